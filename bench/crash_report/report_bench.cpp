// reportbench.exe [FRAMES] [ROUNDS]: times the crash report's walk of a stack FRAMES
// deep (default 50) whose frames each hold a parameter, an int, an array and a
// structure, ROUNDS times (default 5), and prints the first walk (which binds dbghelp
// and reads the symbols) and the best of the others. Figures only; nothing is asserted.
#include "crash_report.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Sample {
    int number;
    char letter;
    float ratio;
};

char report[kReportBufferSize];
LARGE_INTEGER walkTime;
volatile int sink = 0;

__attribute__((noinline)) void TimeWalk() {
    CONTEXT context;
    RtlCaptureContext(&context);
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    WalkCallStack(report, &context);
    QueryPerformanceCounter(&end);
    walkTime.QuadPart = end.QuadPart - start.QuadPart;
}

__attribute__((noinline)) void Frame(int depth) {
    int values[4] = {depth, depth + 1, depth + 2, depth + 3};
    Sample sample = {depth, 'S', 0.5f};
    const char* label = "frame with locals";
    if (depth <= 1) {
        TimeWalk();
    } else {
        Frame(depth - 1);
    }
    sink = sink + values[3] + sample.number + label[0];
}

double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

int CountFrames(const char* text) {
    int frames = 0;
    for (const char* line = text; line != nullptr && *line != '\0';) {
        if (line[0] != ' ' && line[0] != '\r') {
            ++frames;
        }
        const char* next = strchr(line, '\n');
        line = next != nullptr ? next + 1 : nullptr;
    }
    return frames - 1; // the "Call stack:" line
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 50;
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    double first = 0;
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        Frame(frames);
        const double ms = Milliseconds(walkTime.QuadPart);
        if (round == 0) {
            first = ms;
        } else if (round == 1 || ms < best) {
            best = ms;
        }
    }
    printf("stack of %d frames of our own: %d frames reported, %zu bytes of report text\n", frames,
           CountFrames(report), strlen(report));
    printf("first walk (binds dbghelp, reads symbols): %.1f ms\n", first);
    if (rounds > 1) {
        printf("best of the %d later walks: %.1f ms\n", rounds - 1, best);
    }
    return 0;
}

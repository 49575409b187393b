#include "variable_dump_fixture.h"

#include "crash_report.h"

#include <string.h>

char fixtureReport[kFixtureReportSize];
bool fixtureWalked = false;

// Keeps the fixture's variables in use, outside the frames being listed.
volatile int fixtureSink = 0;

// Not inlined, so that the context it captures is its caller's.
__attribute__((noinline)) void WalkFromCaller() {
    // The fixture frames lie below the captured context.
    CONTEXT context;
    RtlCaptureContext(&context);
    fixtureWalked = WalkCallStack(fixtureReport, &context);
}

__attribute__((noinline)) int OpaqueNumber(int seed) {
    return seed * 3 + 1;
}

__attribute__((noinline)) void FixtureFrame(int count, const char* text, const char* unreadable) {
    char letter = 'A';
    int three[3] = {1, 2, 3};
    int many[25];
    for (int i = 0; i < 25; ++i) {
        many[i] = 100 + i;
    }
    float ratio = 1.5f;
    FixtureRecord record = {5, 'B', 2.5f};
    int* low = reinterpret_cast<int*>(0x10);
    const char* pointers[4] = {"abc", unreadable, nullptr, "xyz"};
    char word[16] = "hello";
    FixtureColour colour = kFixtureBlue;
    WalkFromCaller();
    // Used after the walk, so that none of them is dropped.
    fixtureSink = count + text[0] + letter + three[0] + many[0] + static_cast<int>(ratio) +
                  record.number + (low != nullptr) + pointers[0][0] + word[0] + colour;
}

__attribute__((noinline)) void DeepFrames(int depth) {
    char padding[201];
    memset(padding, 'p', 200);
    padding[200] = '\0';
    if (depth <= 1) {
        WalkFromCaller();
    } else {
        DeepFrames(depth - 1);
    }
    fixtureSink = fixtureSink + padding[0];
}

// host_bench.exe: starts Tarvex.exe and bare_loop.exe in turn, each with "bench=TURNS",
// and prints one JSON line per run: the time from just before CreateProcess to the
// program's first loop turn, and its loop turns per second.
//
// Usage: host_bench.exe TURNS ROUNDS GAME_FOLDER BARE_FOLDER
//
// GAME_FOLDER holds Tarvex.exe (its figures go to engine.log), BARE_FOLDER holds
// bare_loop.exe (figures in bare.log). Each round runs both; the order alternates
// from round to round, so that a slow spell of the machine hits both alike.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const DWORD kRunTimeoutMs = 120000;

struct Program {
    const char* name; // as printed
    std::string folder;
    std::string exe;
    std::string log; // the file its bench line goes to
};

std::string ReadFile(const std::string& path) {
    std::string content;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return content;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    fclose(file);
    return content;
}

// The number after "key": in line; false when it is not there.
bool NumberField(const std::string& line, const char* key, unsigned long long* value) {
    const std::string quoted = std::string("\"") + key + "\":";
    const size_t at = line.find(quoted);
    if (at == std::string::npos) {
        return false;
    }
    *value = strtoull(line.c_str() + at + quoted.size(), nullptr, 10);
    return true;
}

// Runs one program and prints its line; false when it gave no figures.
bool RunOnce(const Program& program, unsigned turns, unsigned round, double frequency) {
    DeleteFileA(program.log.c_str());
    std::string commandLine = "\"" + program.exe + "\" bench=" + std::to_string(turns);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    LARGE_INTEGER launched;
    QueryPerformanceCounter(&launched);
    if (!CreateProcessA(program.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        program.folder.c_str(), &startup, &info)) {
        printf("{\"program\":\"%s\",\"round\":%u,\"error\":\"CreateProcess %lu\"}\n", program.name,
               round, GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    DWORD exitCode = 0;
    if (WaitForSingleObject(info.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);

    const std::string log = ReadFile(program.log);
    const size_t at = log.find("{\"event\":\"bench\"");
    unsigned long long done = 0;
    unsigned long long firstTurn = 0;
    unsigned long long ticks = 0;
    if (at == std::string::npos) {
        printf("{\"program\":\"%s\",\"round\":%u,\"exit\":%lu,\"error\":\"no bench line\"}\n",
               program.name, round, exitCode);
        return false;
    }
    const std::string line = log.substr(at, log.find('\n', at) - at);
    NumberField(line, "turns", &done);
    NumberField(line, "firstTurn", &firstTurn);
    NumberField(line, "ticks", &ticks);
    // The program logs the low 32 bits of the counter; the difference in 32-bit
    // arithmetic is right as long as the start took less than a wrap (minutes).
    const unsigned startTicks =
        static_cast<unsigned>(firstTurn) - static_cast<unsigned>(launched.QuadPart);
    const double startMs = 1000.0 * startTicks / frequency;
    const double turnsPerSecond =
        ticks != 0 ? static_cast<double>(done - 1) * frequency / static_cast<double>(ticks) : 0.0;
    printf("{\"program\":\"%s\",\"round\":%u,\"exit\":%lu,\"turns\":%llu,"
           "\"startToFirstTurnMs\":%.3f,\"turnsPerSecond\":%.1f}\n",
           program.name, round, exitCode, done, startMs, turnsPerSecond);
    fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: host_bench.exe TURNS ROUNDS GAME_FOLDER BARE_FOLDER\n");
        return 2;
    }
    const unsigned turns = static_cast<unsigned>(strtoul(argv[1], nullptr, 10));
    const unsigned rounds = static_cast<unsigned>(strtoul(argv[2], nullptr, 10));
    const std::string gameFolder = argv[3];
    const std::string bareFolder = argv[4];
    const Program host = {"host", gameFolder, gameFolder + "\\Tarvex.exe",
                          gameFolder + "\\engine.log"};
    const Program bare = {"bare", bareFolder, bareFolder + "\\bare_loop.exe",
                          bareFolder + "\\bare.log"};
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double ticksPerSecond = static_cast<double>(frequency.QuadPart);

    bool allRan = true;
    for (unsigned round = 1; round <= rounds; ++round) {
        const Program& first = round % 2 == 1 ? host : bare;
        const Program& second = round % 2 == 1 ? bare : host;
        allRan = RunOnce(first, turns, round, ticksPerSecond) && allRan;
        allRan = RunOnce(second, turns, round, ticksPerSecond) && allRan;
    }
    return allRan ? 0 : 1;
}

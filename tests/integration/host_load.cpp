// host_load.exe: tries two promises of Tarvex.exe under load, for test_host.py.
//
//   host_load.exe race ROUNDS FOLDER
//     Each round starts two copies of FOLDER\Tarvex.exe with "waitfile=release.flag",
//     both created suspended and then resumed back to back, so that they reach the
//     single-instance guard together. The copy that runs waits for release.flag; the
//     refused one ends at once. The first copy to end is noted with whether the other
//     was still running then; release.flag is then made and the other awaited. One line
//     a round:
//       {"round":N,"firstExit":C,"otherRunning":B,"secondExit":C,"inits":N}
//     (inits counts the engine.log lines of "Init" in the round), or {"round":N,"error":T} when a
//     copy would not end; that ends the race.
//
//   host_load.exe kill FOLDER TAIL
//     Starts FOLDER\Tarvex.exe with TAIL, waits until its engine.log holds "Init" (the
//     loop is running), ends it with TerminateProcess and prints {"exit":C}.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const DWORD kWaitMs = 30000;
const DWORD kPollMs = 10;
const char kReleaseFile[] = "release.flag";
const UINT kKilledCode = 9;

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

unsigned CountOf(const std::string& text, const std::string& part) {
    unsigned count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool StartHost(const std::string& folder, const std::string& tail, DWORD flags,
               PROCESS_INFORMATION* info) {
    const std::string exe = folder + "\\Tarvex.exe";
    std::string commandLine = "\"" + exe + "\" " + tail;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                          folder.c_str(), &startup, info) != 0;
}

DWORD ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

void MakeFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file != nullptr) {
        fclose(file);
    }
}

// Ends what is still running of a failed round, so the next round starts clean.
void EndBoth(HANDLE* processes) {
    for (int i = 0; i < 2; ++i) {
        if (WaitForSingleObject(processes[i], 0) == WAIT_TIMEOUT) {
            TerminateProcess(processes[i], kKilledCode);
            WaitForSingleObject(processes[i], kWaitMs);
        }
    }
}

bool RaceRound(const std::string& folder, unsigned round) {
    const std::string log = folder + "\\engine.log";
    const std::string release = folder + "\\" + kReleaseFile;
    DeleteFileA(log.c_str());
    DeleteFileA(release.c_str());
    const std::string tail = std::string("waitfile=") + kReleaseFile;
    PROCESS_INFORMATION copies[2];
    if (!StartHost(folder, tail, CREATE_SUSPENDED, &copies[0])) {
        printf("{\"round\":%u,\"error\":\"CreateProcess %lu\"}\n", round, GetLastError());
        return false;
    }
    if (!StartHost(folder, tail, CREATE_SUSPENDED, &copies[1])) {
        printf("{\"round\":%u,\"error\":\"CreateProcess %lu\"}\n", round, GetLastError());
        TerminateProcess(copies[0].hProcess, kKilledCode);
        CloseHandle(copies[0].hThread);
        CloseHandle(copies[0].hProcess);
        return false;
    }
    ResumeThread(copies[0].hThread);
    ResumeThread(copies[1].hThread);
    HANDLE processes[2] = {copies[0].hProcess, copies[1].hProcess};

    bool ok = true;
    const DWORD first = WaitForMultipleObjects(2, processes, FALSE, kWaitMs);
    if (first != WAIT_OBJECT_0 && first != WAIT_OBJECT_0 + 1) {
        printf("{\"round\":%u,\"error\":\"neither copy ended\"}\n", round);
        ok = false;
    } else {
        const HANDLE firstEnded = processes[first - WAIT_OBJECT_0];
        const HANDLE other = processes[1 - (first - WAIT_OBJECT_0)];
        const bool otherRunning = WaitForSingleObject(other, 0) == WAIT_TIMEOUT;
        MakeFile(release);
        if (WaitForSingleObject(other, kWaitMs) != WAIT_OBJECT_0) {
            printf("{\"round\":%u,\"error\":\"the running copy did not end\"}\n", round);
            ok = false;
        } else {
            const std::string content = ReadFile(log);
            // Only the runner writes after the guard; the lines both copies write before
            // it may land at one offset under Wine, so they are not counted.
            printf("{\"round\":%u,\"firstExit\":%lu,\"otherRunning\":%s,\"secondExit\":%lu,"
                   "\"inits\":%u}\n",
                   round, ExitCodeOf(firstEnded), otherRunning ? "true" : "false",
                   ExitCodeOf(other), CountOf(content, "\"call\":\"Init\""));
        }
    }
    fflush(stdout);
    EndBoth(processes);
    for (int i = 0; i < 2; ++i) {
        CloseHandle(copies[i].hThread);
        CloseHandle(copies[i].hProcess);
    }
    return ok;
}

// Stops at the first round that goes wrong: when the guard fails, every round would
// wait its full time for copies that never end.
int Race(unsigned rounds, const std::string& folder) {
    for (unsigned round = 1; round <= rounds; ++round) {
        if (!RaceRound(folder, round)) {
            return 1;
        }
    }
    return 0;
}

int Kill(const std::string& folder, const std::string& tail) {
    const std::string log = folder + "\\engine.log";
    PROCESS_INFORMATION info;
    if (!StartHost(folder, tail, 0, &info)) {
        printf("{\"error\":\"CreateProcess %lu\"}\n", GetLastError());
        return 1;
    }
    CloseHandle(info.hThread);
    bool looping = false;
    for (DWORD waited = 0; waited < kWaitMs && !looping; waited += kPollMs) {
        if (WaitForSingleObject(info.hProcess, kPollMs) == WAIT_OBJECT_0) {
            break;
        }
        looping = CountOf(ReadFile(log), "\"call\":\"Init\"") != 0;
    }
    if (!looping) {
        printf("{\"error\":\"the host never reached its loop\",\"exit\":%lu}\n",
               ExitCodeOf(info.hProcess));
        TerminateProcess(info.hProcess, kKilledCode);
        CloseHandle(info.hProcess);
        return 1;
    }
    TerminateProcess(info.hProcess, kKilledCode);
    WaitForSingleObject(info.hProcess, kWaitMs);
    printf("{\"exit\":%lu}\n", ExitCodeOf(info.hProcess));
    CloseHandle(info.hProcess);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "race") == 0) {
        return Race(static_cast<unsigned>(strtoul(argv[2], nullptr, 10)), argv[3]);
    }
    if (argc == 4 && strcmp(argv[1], "kill") == 0) {
        return Kill(argv[2], argv[3]);
    }
    fprintf(stderr, "usage: host_load.exe race ROUNDS FOLDER | kill FOLDER TAIL\n");
    return 2;
}

// driver.exe: runs a Windows program as a debuggee and prints what it did as JSON lines
// on standard output, so that tests can run the game host without a person in front of
// it. Message boxes are answered with IDOK at once, debugger texts are recorded, and
// the full 32-bit exit code is reported.
//
// Usage: driver.exe [options] PROGRAM
//
//   PROGRAM              the program to run, a path relative to the driver's own
//                        working folder or absolute. Its command line is "PROGRAM"
//                        (in double quotes), then, when the tail is not empty, one
//                        blank and the tail.
//   --cwd DIR            working folder of the debuggee (default: the driver's own).
//   --tail TEXT          the command-line tail.
//   --tail-hex HEX       the tail as hex byte pairs ("2061" is " a"), for tails that an
//                        argument vector cannot carry (quotes, tabs, leading blanks).
//   --env NAME=VALUE     sets NAME in the debuggee's environment; "NAME=" removes it.
//                        Repeatable. Everything else is inherited from the driver.
//   --timeout-ms N       how long each wait may take (default 30000). When the
//                        debuggee outlives it, it is killed and {"event":"timeout"} is
//                        printed in place of its exit event.
//   --mutex NAME         each box event also tells whether a kernel mutex NAME exists
//                        while the box is up ("mutex":true|false).
//
//   --hold NAME          before the debuggee, start a first copy, plain (not debugged),
//                        with the command line "FIRST" waitfile=NAME and its own
//                        folder as working folder. Wait until that copy's engine.log
//                        holds "call":"Init" (the engine stand-in writes it when Init
//                        has returned and the loop begins), run the debuggee as above,
//                        then create NAME in the first copy's folder, wait for the
//                        first copy and print {"event":"first-exit","code":N}
//                        ({"event":"first-timeout"} when it has to be killed).
//   --first PROGRAM      the first copy's program (default: PROGRAM).
//   --first-env NAME=VALUE  as --env, for the first copy only.
//
// Transcript, one JSON object a line, in the order things happened:
//   {"event":"debug","text":T}                       an OutputDebugString text
//   {"event":"box","owner":O,"text":T,"caption":C,"style":N}   a MessageBoxA call,
//       O is "none" (null owner), "desktop" (GetDesktopWindow()) or "other"
//   {"event":"exception","code":N,"first":B,"address":N}  any other exception; it is
//       passed on unhandled, so the program's own handlers run
//   {"event":"exit","code":N}                         the debuggee's exit code
//   {"event":"timeout"}
//   {"event":"first-exit","code":N}, {"event":"first-timeout"}  (with --hold)
//   {"event":"error","text":T}                        the driver could not go on
// Numbers are decimal. Exit codes are printed as signed 32-bit numbers, so
// ExitProcess(-1) reads -1 and an exception code such as 0xC0000005 reads -1073741819.
// Texts are JSON strings; every byte from 0x80 up is written as \u00XX, so a reader
// gets the original bytes back by encoding the text as Latin-1.
//
// The driver's own exit code: 0 when the debuggee ran to its end (whatever its code),
// 1 after a timeout, 2 for a usage error, 3 when a program could not be started.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

namespace {

const DWORD kDefaultTimeoutMs = 30000;
const DWORD kPollIntervalMs = 20;
const DWORD kDrainTimeoutMs = 10000;  // events still due after a kill
const size_t kMaxTextBytes = 65536;   // longest text read from the debuggee
const size_t kReadChunkBytes = 256;   // one read of debuggee memory
const DWORD kMessageBoxArgBytes = 16; // four stdcall arguments
const int kExitRanToEnd = 0;
const int kExitTimeout = 1;
const int kExitUsage = 2;
const int kExitCannotStart = 3;

struct EnvSetting {
    std::string name;
    std::string value; // empty: remove
};

struct Options {
    std::string program;
    std::string cwd;
    std::string tail;
    std::vector<EnvSetting> env;
    DWORD timeoutMs = kDefaultTimeoutMs;
    std::string mutexName;
    std::string holdName;
    std::string firstProgram;
    std::vector<EnvSetting> firstEnv;
};

// The first copy is ready once this file of its folder holds this text.
const char kReadyFile[] = "engine.log";
const char kReadyText[] = "\"call\":\"Init\"";

// ---- Output ------------------------------------------------------------------------

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char escape[8];
                snprintf(escape, sizeof escape, "\\u%04x", c);
                escape[sizeof escape - 1] = '\0';
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Every line is flushed at once, so a test that kills the driver still reads what
// happened until then.
void PrintLine(const std::string& json) {
    fputs(json.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void PrintEvent(const char* event) {
    PrintLine(std::string("{\"event\":\"") + event + "\"}");
}

void PrintCode(const char* event, DWORD code) {
    PrintLine(std::string("{\"event\":\"") + event +
              "\",\"code\":" + std::to_string(static_cast<long>(static_cast<LONG>(code))) + "}");
}

void PrintError(const std::string& text) {
    PrintLine("{\"event\":\"error\",\"text\":" + JsonString(text) + "}");
}

// ---- Options -----------------------------------------------------------------------

bool ParseHex(const char* hex, std::string* out) {
    out->clear();
    const size_t length = strlen(hex);
    if (length % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < length; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], '\0'};
        char* end = nullptr;
        const unsigned long value = strtoul(pair, &end, 16);
        if (end != pair + 2) {
            return false;
        }
        *out += static_cast<char>(value);
    }
    return true;
}

bool ParseEnv(const char* text, std::vector<EnvSetting>* list) {
    const char* equals = strchr(text, '=');
    if (equals == nullptr || equals == text) {
        return false;
    }
    list->push_back({std::string(text, equals), std::string(equals + 1)});
    return true;
}

void Usage(const char* why) {
    fprintf(stderr, "driver: %s\nusage: driver.exe [options] PROGRAM (see the source's head)\n",
            why);
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option.compare(0, 2, "--") != 0) {
            if (!options->program.empty()) {
                Usage("more than one program");
                return false;
            }
            options->program = option;
            continue;
        }
        if (i + 1 >= argc) {
            Usage(("option without a value: " + option).c_str());
            return false;
        }
        const char* value = argv[++i];
        bool good = true;
        if (option == "--cwd") {
            options->cwd = value;
        } else if (option == "--tail") {
            options->tail = value;
        } else if (option == "--tail-hex") {
            good = ParseHex(value, &options->tail);
        } else if (option == "--env") {
            good = ParseEnv(value, &options->env);
        } else if (option == "--timeout-ms") {
            char* end = nullptr;
            options->timeoutMs = strtoul(value, &end, 10);
            good = end != value && *end == '\0';
        } else if (option == "--mutex") {
            options->mutexName = value;
        } else if (option == "--hold") {
            options->holdName = value;
        } else if (option == "--first") {
            options->firstProgram = value;
        } else if (option == "--first-env") {
            good = ParseEnv(value, &options->firstEnv);
        } else {
            Usage(("unknown option " + option).c_str());
            return false;
        }
        if (!good) {
            Usage(("bad value for " + option).c_str());
            return false;
        }
    }
    if (options->program.empty()) {
        Usage("no program");
        return false;
    }
    if (options->firstProgram.empty()) {
        options->firstProgram = options->program;
    }
    return true;
}

// ---- Environment -------------------------------------------------------------------

// Sets the variables for the next CreateProcess and remembers what they were.
class ScopedEnvironment {
  public:
    explicit ScopedEnvironment(const std::vector<EnvSetting>& settings) {
        for (const EnvSetting& setting : settings) {
            Saved saved{setting.name, "", false};
            const DWORD size = GetEnvironmentVariableA(setting.name.c_str(), nullptr, 0);
            if (size > 0) {
                std::vector<char> buffer(size);
                if (GetEnvironmentVariableA(setting.name.c_str(), buffer.data(), size) < size) {
                    saved.value = buffer.data();
                    saved.existed = true;
                }
            }
            saved_.push_back(saved);
            SetEnvironmentVariableA(setting.name.c_str(),
                                    setting.value.empty() ? nullptr : setting.value.c_str());
        }
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            SetEnvironmentVariableA(it->name.c_str(), it->existed ? it->value.c_str() : nullptr);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    struct Saved {
        std::string name;
        std::string value;
        bool existed;
    };
    std::vector<Saved> saved_;
};

// ---- Paths -------------------------------------------------------------------------

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) {
        return path;
    }
    return buffer;
}

std::string FolderOf(const std::string& fullPath) {
    const size_t slash = fullPath.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : fullPath.substr(0, slash);
}

std::string CommandLineFor(const std::string& program, const std::string& tail) {
    std::string line = "\"" + program + "\"";
    if (!tail.empty()) {
        line += " " + tail;
    }
    return line;
}

// ---- Debuggee memory ---------------------------------------------------------------

bool ReadMemory(HANDLE process, ULONG_PTR address, void* out, DWORD size) {
    SIZE_T done = 0;
    return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address),
                             out, size, &done) &&
           done == size;
}

// Reads a NUL-terminated narrow text, at most kMaxTextBytes; a chunk that cannot be
// read whole is read byte by byte, since the text may end just before an unmapped page.
std::string ReadText(HANDLE process, ULONG_PTR address) {
    std::string text;
    if (address == 0) {
        return text;
    }
    while (text.size() < kMaxTextBytes) {
        char chunk[kReadChunkBytes];
        DWORD size = static_cast<DWORD>(sizeof chunk);
        if (!ReadMemory(process, address, chunk, size)) {
            size = 0;
            while (size < sizeof chunk && ReadMemory(process, address + size, chunk + size, 1)) {
                if (chunk[size++] == '\0') {
                    break;
                }
            }
            if (size == 0) {
                return text;
            }
        }
        for (DWORD i = 0; i < size; ++i) {
            if (chunk[i] == '\0') {
                return text;
            }
            text += chunk[i];
        }
        address += size;
    }
    return text;
}

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(info.lpDebugStringData);
    if (!info.fUnicode) {
        return ReadText(process, address);
    }
    // Wide text: code units below 0x100 become their byte, others a '?'.
    std::string text;
    for (DWORD i = 0; i < info.nDebugStringLength && text.size() < kMaxTextBytes; ++i) {
        WCHAR unit = 0;
        if (!ReadMemory(process, address + i * 2, &unit, sizeof unit) || unit == 0) {
            break;
        }
        text += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return text;
}

// The name in a loaded module's export directory ("USER32.dll"), empty when it has none.
// The debuggee has the driver's bitness, so its headers are the driver's own kind.
std::string ExportName(HANDLE process, ULONG_PTR base) {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    if (!ReadMemory(process, base, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !ReadMemory(process, base + static_cast<ULONG_PTR>(dos.e_lfanew), &nt, sizeof nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT) {
        return "";
    }
    const DWORD exportRva =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    IMAGE_EXPORT_DIRECTORY exports;
    if (exportRva == 0 || !ReadMemory(process, base + exportRva, &exports, sizeof exports)) {
        return "";
    }
    return ReadText(process, base + exports.Name);
}

// ---- The debug session -------------------------------------------------------------

// MessageBoxA's offset within user32, taken from the driver's own copy of the module:
// the debuggee maps the same file.
DWORD MessageBoxRva() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr) {
        user32 = LoadLibraryA("user32.dll");
    }
    const FARPROC entry = user32 ? GetProcAddress(user32, "MessageBoxA") : nullptr;
    if (entry == nullptr) {
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry) -
                              reinterpret_cast<ULONG_PTR>(user32));
}

// A MessageBoxA call stopped at the function's first instruction.
struct MessageBoxCall {
    ULONG_PTR returnAddress;
    ULONG_PTR owner;
    ULONG_PTR text;
    ULONG_PTR caption;
    DWORD style;
};

// The two calling conventions are the one place where the bitnesses differ here.
#ifdef _WIN64
// x64: the arguments in RCX, RDX, R8 and R9; [rsp] the return address.
bool ReadMessageBoxCall(HANDLE process, const CONTEXT& context, MessageBoxCall* call) {
    call->owner = context.Rcx;
    call->text = context.Rdx;
    call->caption = context.R8;
    call->style = static_cast<DWORD>(context.R9);
    return ReadMemory(process, context.Rsp, &call->returnAddress, sizeof call->returnAddress);
}

void ReturnFromMessageBox(const MessageBoxCall& call, CONTEXT* context) {
    context->Rax = IDOK;
    context->Rip = call.returnAddress;
    context->Rsp += sizeof(ULONG_PTR);
}
#else
// stdcall: [esp] the return address, then the four arguments, which the callee pops.
bool ReadMessageBoxCall(HANDLE process, const CONTEXT& context, MessageBoxCall* call) {
    DWORD stack[5];
    if (!ReadMemory(process, context.Esp, stack, sizeof stack)) {
        return false;
    }
    call->returnAddress = stack[0];
    call->owner = stack[1];
    call->text = stack[2];
    call->caption = stack[3];
    call->style = stack[4];
    return true;
}

void ReturnFromMessageBox(const MessageBoxCall& call, CONTEXT* context) {
    context->Eax = IDOK;
    context->Eip = static_cast<DWORD>(call.returnAddress);
    context->Esp += 4 + kMessageBoxArgBytes;
}
#endif

class DebugSession {
  public:
    DebugSession(const Options& options, HANDLE process)
        : options_(options), process_(process), messageBoxRva_(MessageBoxRva()) {}

    // Runs the loop until the debuggee has ended; returns the driver's exit code.
    int Run() {
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            const DWORD remaining = elapsed < options_.timeoutMs ? options_.timeoutMs - elapsed : 0;
            DEBUG_EVENT event;
            if (!WaitForDebugEvent(&event, remaining)) {
                PrintEvent("timeout");
                TerminateProcess(process_, static_cast<UINT>(-1));
                Drain();
                return kExitTimeout;
            }
            if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
                PrintCode("exit", event.u.ExitProcess.dwExitCode);
                ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                return kExitRanToEnd;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, Handle(event));
        }
    }

  private:
    DWORD Handle(const DEBUG_EVENT& event) {
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            threads_[event.dwThreadId] = event.u.CreateProcessInfo.hThread;
            if (event.u.CreateProcessInfo.hFile != nullptr) {
                CloseHandle(event.u.CreateProcessInfo.hFile);
            }
            return DBG_CONTINUE;
        case CREATE_THREAD_DEBUG_EVENT:
            threads_[event.dwThreadId] = event.u.CreateThread.hThread;
            return DBG_CONTINUE;
        case EXIT_THREAD_DEBUG_EVENT:
            threads_.erase(event.dwThreadId);
            return DBG_CONTINUE;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) {
                CloseHandle(event.u.LoadDll.hFile);
            }
            OnLoadDll(reinterpret_cast<ULONG_PTR>(event.u.LoadDll.lpBaseOfDll));
            return DBG_CONTINUE;
        case OUTPUT_DEBUG_STRING_EVENT:
            PrintLine("{\"event\":\"debug\",\"text\":" +
                      JsonString(ReadDebugString(process_, event.u.DebugString)) + "}");
            return DBG_CONTINUE;
        case EXCEPTION_DEBUG_EVENT:
            return OnException(event);
        default:
            return DBG_CONTINUE;
        }
    }

    void OnLoadDll(ULONG_PTR base) {
        if (breakpoint_ != 0 || messageBoxRva_ == 0 ||
            _stricmp(ExportName(process_, base).c_str(), "user32.dll") != 0) {
            return;
        }
        const ULONG_PTR address = base + messageBoxRva_;
        LPVOID target = reinterpret_cast<LPVOID>(address);
        const unsigned char int3 = 0xCC;
        DWORD oldProtect = 0;
        const BOOL unprotected =
            VirtualProtectEx(process_, target, 1, PAGE_EXECUTE_READWRITE, &oldProtect);
        SIZE_T written = 0;
        if (WriteProcessMemory(process_, target, &int3, 1, &written) && written == 1) {
            breakpoint_ = address;
        } else {
            PrintError("cannot set the breakpoint on MessageBoxA");
        }
        if (unprotected) {
            VirtualProtectEx(process_, target, 1, oldProtect, &oldProtect);
        }
        FlushInstructionCache(process_, target, 1);
    }

    DWORD OnException(const DEBUG_EVENT& event) {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(record.ExceptionAddress);
        if (record.ExceptionCode == EXCEPTION_BREAKPOINT) {
            // Some systems report the int3 itself, others the byte after it.
            const bool ours =
                breakpoint_ != 0 && (address == breakpoint_ || address == breakpoint_ + 1);
            if (ours && AnswerMessageBox(event.dwThreadId)) {
                return DBG_CONTINUE;
            }
            if (!loaderBreakpointSeen_) {
                loaderBreakpointSeen_ = true; // the system's breakpoint for a new debuggee
                return DBG_CONTINUE;
            }
        }
        PrintLine("{\"event\":\"exception\",\"code\":" +
                  std::to_string(static_cast<long>(static_cast<LONG>(record.ExceptionCode))) +
                  ",\"first\":" + (event.u.Exception.dwFirstChance ? "true" : "false") +
                  ",\"address\":" + std::to_string(static_cast<unsigned long long>(address)) + "}");
        return DBG_EXCEPTION_NOT_HANDLED;
    }

    // At the entry of MessageBoxA: reads the four arguments of the call, then returns
    // from it as if the user had pressed OK.
    bool AnswerMessageBox(DWORD threadId) {
        const auto thread = threads_.find(threadId);
        if (thread == threads_.end()) {
            PrintError("breakpoint in an unknown thread");
            return false;
        }
        CONTEXT context;
        memset(&context, 0, sizeof context);
        context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        MessageBoxCall call;
        if (!GetThreadContext(thread->second, &context) ||
            !ReadMessageBoxCall(process_, context, &call)) {
            PrintError("cannot read the MessageBoxA call");
            return false;
        }
        const char* ownerName = "other";
        if (call.owner == 0) {
            ownerName = "none";
        } else if (call.owner == reinterpret_cast<ULONG_PTR>(GetDesktopWindow())) {
            ownerName = "desktop";
        }
        std::string line = std::string("{\"event\":\"box\",\"owner\":\"") + ownerName +
                           "\",\"text\":" + JsonString(ReadText(process_, call.text)) +
                           ",\"caption\":" + JsonString(ReadText(process_, call.caption)) +
                           ",\"style\":" + std::to_string(static_cast<unsigned long>(call.style));
        if (!options_.mutexName.empty()) {
            HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, options_.mutexName.c_str());
            line += std::string(",\"mutex\":") + (mutex != nullptr ? "true" : "false");
            if (mutex != nullptr) {
                CloseHandle(mutex);
            }
        }
        PrintLine(line + "}");
        ReturnFromMessageBox(call, &context);
        if (!SetThreadContext(thread->second, &context)) {
            PrintError("cannot return from MessageBoxA");
            return false;
        }
        return true;
    }

    // After a kill: lets the remaining events through until the process is gone.
    void Drain() {
        const DWORD start = GetTickCount();
        DEBUG_EVENT event;
        while (GetTickCount() - start < kDrainTimeoutMs && WaitForDebugEvent(&event, 1000)) {
            const bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                               event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT
                                   ? DBG_EXCEPTION_NOT_HANDLED
                                   : DBG_CONTINUE);
            if (exited) {
                return;
            }
        }
    }

    const Options& options_;
    HANDLE process_;
    const DWORD messageBoxRva_;
    ULONG_PTR breakpoint_ = 0;
    bool loaderBreakpointSeen_ = false;
    std::map<DWORD, HANDLE> threads_;
};

// Starts program with its command line, the environment changes applied for the
// start only, in folder (null: the driver's own).
bool Start(const std::string& program, std::string commandLine, const std::vector<EnvSetting>& env,
           const char* folder, DWORD flags, PROCESS_INFORMATION* info) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    ScopedEnvironment environment(env);
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                          folder, &startup, info) != FALSE;
}

int RunDebuggee(const Options& options) {
    const std::string program = FullPath(options.program);
    PROCESS_INFORMATION info;
    if (!Start(program, CommandLineFor(program, options.tail), options.env,
               options.cwd.empty() ? nullptr : options.cwd.c_str(), DEBUG_ONLY_THIS_PROCESS,
               &info)) {
        PrintError("cannot start " + program + " (error " + std::to_string(GetLastError()) + ")");
        return kExitCannotStart;
    }
    DebugSession session(options, info.hProcess);
    const int result = session.Run();
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

// ---- The held first copy -----------------------------------------------------------

bool FileHolds(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::string content;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, count);
    }
    fclose(file);
    return content.find(text) != std::string::npos;
}

// Ends the first copy even when the driver itself is killed: the job goes with the
// driver's last handle.
HANDLE KillOnCloseJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    memset(&limits, 0, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

int RunHeld(const Options& options) {
    const std::string first = FullPath(options.firstProgram);
    const std::string folder = FolderOf(first);
    PROCESS_INFORMATION info;
    if (!Start(first, CommandLineFor(first, "waitfile=" + options.holdName), options.firstEnv,
               folder.c_str(), 0, &info)) {
        PrintError("cannot start the first copy " + first);
        return kExitCannotStart;
    }
    HANDLE job = KillOnCloseJob();
    if (job != nullptr) {
        AssignProcessToJobObject(job, info.hProcess);
    }
    CloseHandle(info.hThread);

    const std::string readyPath = folder + "\\" + kReadyFile;
    const DWORD start = GetTickCount();
    bool ready = false;
    while (!ready) {
        ready = FileHolds(readyPath, kReadyText);
        if (ready) {
            break;
        }
        if (WaitForSingleObject(info.hProcess, kPollIntervalMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(info.hProcess, &code);
            PrintError("the first copy ended before it was ready");
            PrintCode("first-exit", code);
            CloseHandle(info.hProcess);
            return kExitCannotStart;
        }
        if (GetTickCount() - start >= options.timeoutMs) {
            PrintError("the first copy did not get ready");
            TerminateProcess(info.hProcess, static_cast<UINT>(-1));
            PrintEvent("first-timeout");
            CloseHandle(info.hProcess);
            return kExitTimeout;
        }
    }

    int result = RunDebuggee(options);

    const std::string holdPath = folder + "\\" + options.holdName;
    HANDLE release = CreateFileA(holdPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (release == INVALID_HANDLE_VALUE) {
        PrintError("cannot create " + holdPath);
    } else {
        CloseHandle(release);
    }
    if (WaitForSingleObject(info.hProcess, options.timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        PrintCode("first-exit", code);
    } else {
        TerminateProcess(info.hProcess, static_cast<UINT>(-1));
        PrintEvent("first-timeout");
        result = kExitTimeout;
    }
    CloseHandle(info.hProcess);
    if (job != nullptr) {
        CloseHandle(job);
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // The transcript's lines end in LF alone.
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return kExitUsage;
    }
    return options.holdName.empty() ? RunDebuggee(options) : RunHeld(options);
}

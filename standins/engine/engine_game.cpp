#include "engine_game.h"

#include "engine_log.h"
#include "engine_text.h"

namespace {

const char kDemoClassProper[] = "DemoGame";
const char kDemoWindowClass[] = "TarvexDemoGame";
const char kDemoWindowTitle[] = "Tarvex demo game";
const int kDemoWindowWidth = 560;
const int kDemoWindowHeight = 220;
const int kTextLeft = 16;
const int kTextTop = 16;
const int kLineHeight = 24;
const int kFrameLine = 4; // the frame counter is the fifth line
// Room for one line of the window's text.
const size_t kDemoLineSize = kShownCommandLineSize + 32;
// The counter repaints at most this often: OnIdle runs far more often than a screen
// can show, and painting every call would make the demo slow for no one's benefit.
const DWORD kRepaintIntervalMs = 15;
// Time between two looks for the wait file.
const DWORD kWaitFilePollMs = 10;

// The window class is registered once per process, by the first demo Init; the
// module it was registered for, or null while it is not.
HINSTANCE registeredInstance = nullptr;

// The window's game object, kept as a window property: a property holds a whole
// pointer on both bitnesses, where a window long holds 32 bits.
const char kGameProperty[] = "TarvexStandinGame";

LRESULT __stdcall DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCT_HEAD* create = reinterpret_cast<const CREATESTRUCT_HEAD*>(lParam);
        SetPropA(window, kGameProperty, create->lpCreateParams);
    }
    CStandinGame* game = static_cast<CStandinGame*>(GetPropA(window, kGameProperty));
    if (game != nullptr) {
        if (message == WM_PAINT) {
            game->Paint(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            RemovePropA(window, kGameProperty);
            game->OnWindowDestroyed();
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterDemoWindowClass(HINSTANCE instance) {
    if (registeredInstance != nullptr) {
        return true;
    }
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<const char*>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<size_t>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kDemoWindowClass;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    registeredInstance = instance; // never null: the game falls back to the program's module
    return true;
}

void DrawLine(HDC dc, int line, const char* label, const char* value) {
    char text[kDemoLineSize];
    CTextBuilder builder(text, sizeof(text));
    builder.Append(label);
    builder.Append(value);
    TextOutA(dc, kTextLeft, kTextTop + line * kLineHeight, text,
             static_cast<int>(builder.Length()));
}

void NoteWindowFailure(const char* step) {
    CLogLine line("event", "windowFailed");
    line.AddText("step", step);
    line.AddUnsigned("error", GetLastError());
    line.Write();
}

} // namespace

CStandinGame::CStandinGame(HINSTANCE instance, const char* classProper, const Scenario& scenario,
                           const EngineSettings* settings)
    : instance_(instance != nullptr ? instance : GetModuleHandleA(nullptr)), scenario_(scenario),
      settings_(settings), demo_(TextEquals(classProper, strlen(classProper), kDemoClassProper)),
      window_(nullptr), closing_(false), quitPosted_(false), idleCount_(0), loggedCount_(0),
      defaultQuitAt_(0), lastRepaintTick_(0), benchStart_(0) {
    commandLine_[0] = '\0';
}

CStandinGame::~CStandinGame() {
    if (window_ != nullptr) {
        closing_ = true;
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

int CStandinGame::Init(const char* commandLine, int showCommand) {
    CopyText(commandLine_, sizeof(commandLine_), commandLine,
             commandLine != nullptr ? strlen(commandLine) : 0);
    ReadScenarioWords(commandLine, false, &scenario_);

    CLogLine line("call", "Init");
    line.AddText("commandLine", commandLine);
    line.AddInt("showCommand", showCommand);
    if (scenario_.throwAtInit) {
        // No result: Init does not return.
        line.Write();
        ThrowScenarioException();
    }

    int result = scenario_.initFail;
    if (result == 0 && demo_ && !OpenWindow(showCommand)) {
        result = kWindowFailedResult;
    }

    // Without a word that ends the run, a headless game ends it in its first OnIdle, so
    // that nothing waits for ever. A fault or throw word keeps that back until its
    // OnIdle has come, or the word would never take effect.
    bool endsItself = scenario_.quitGiven || scenario_.waitFile[0] != '\0' ||
                      scenario_.frames != 0 || scenario_.benchTurns != 0 || demo_;
    if (!endsItself) {
        unsigned last =
            scenario_.faultAt > scenario_.throwAt ? scenario_.faultAt : scenario_.throwAt;
        defaultQuitAt_ = last < 0xFFFFFFFFu ? last + 1 : last;
    }

    line.AddInt("result", result);
    line.Write();
    return result;
}

void CStandinGame::Unused() {
    LogCall("Unused");
}

int CStandinGame::OnIdle() {
    ++idleCount_;
    if (idleCount_ == scenario_.faultAt) {
        LogIdleCount();
        CLogLine line("event", "fault");
        line.AddText("kind", FaultKindName(scenario_.fault));
        line.Write();
        if (scenario_.faultDepth != 0) {
            RaiseScenarioFaultAtDepth(scenario_.fault, scenario_.faultDepth);
        } else {
            RaiseScenarioFault(scenario_.fault);
        }
    }
    if (idleCount_ == scenario_.throwAt) {
        LogIdleCount();
        ThrowScenarioException();
    }
    if (quitPosted_) {
        return 0;
    }
    if (window_ != nullptr) {
        AdvanceFrame();
        if (quitPosted_) {
            return 0;
        }
    }
    if (scenario_.quitGiven && idleCount_ == scenario_.quitAt) {
        PostQuit(scenario_.quitCode);
    } else if (scenario_.waitFile[0] != '\0') {
        WatchFile();
    } else if (!demo_ && scenario_.frames != 0 && idleCount_ >= scenario_.frames) {
        PostQuit(0);
    } else if (scenario_.benchTurns != 0) {
        BenchTurn();
    } else if (defaultQuitAt_ != 0 && idleCount_ >= defaultQuitAt_) {
        PostQuit(0);
    }
    return 0;
}

void* CStandinGame::DeletingDestructor(unsigned flags) {
    LogIdleCount();
    CLogLine line("call", "DeletingDestructor");
    line.AddUnsigned("flags", flags);
    line.Write();
    this->~CStandinGame();
    if ((flags & 1) != 0) {
        free(this);
    }
    return this;
}

bool CStandinGame::OpenWindow(int showCommand) {
    if (!RegisterDemoWindowClass(instance_)) {
        NoteWindowFailure("RegisterClassA");
        return false;
    }
    window_ = CreateWindowExA(0, kDemoWindowClass, kDemoWindowTitle, WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, kDemoWindowWidth, kDemoWindowHeight,
                              nullptr, nullptr, registeredInstance, this);
    if (window_ == nullptr) {
        NoteWindowFailure("CreateWindowExA");
        return false;
    }
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    lastRepaintTick_ = GetTickCount();
    return true;
}

void CStandinGame::AdvanceFrame() {
    if (scenario_.frames != 0 && idleCount_ >= scenario_.frames) {
        // WM_DESTROY posts the quit.
        DestroyWindow(window_);
        return;
    }
    DWORD now = GetTickCount();
    if (now - lastRepaintTick_ >= kRepaintIntervalMs) {
        lastRepaintTick_ = now;
        RECT counter = {0, kTextTop + kFrameLine * kLineHeight, kDemoWindowWidth,
                        kTextTop + (kFrameLine + 1) * kLineHeight};
        InvalidateRect(window_, &counter, 0);
    }
}

void CStandinGame::WatchFile() {
    if (GetFileAttributesA(scenario_.waitFile) != INVALID_FILE_ATTRIBUTES) {
        PostQuit(0);
    } else {
        Sleep(kWaitFilePollMs);
    }
}

void CStandinGame::BenchTurn() {
    long long now = 0;
    if (idleCount_ == 1) {
        QueryPerformanceCounter(&benchStart_);
    }
    if (idleCount_ < scenario_.benchTurns) {
        return;
    }
    QueryPerformanceCounter(&now);
    // Only the low 32 bits of the first call's time: the reader took the counter just
    // before it started this process and unwraps them from there (the counter runs at
    // 10 MHz under Wine and current Windows, so 32 bits last 7 minutes). The same holds
    // for the span of the turns.
    CLogLine line("event", "bench");
    line.AddUnsigned("turns", idleCount_);
    line.AddUnsigned("firstTurn", static_cast<size_t>(benchStart_ & 0xFFFFFFFF));
    line.AddUnsigned("ticks", static_cast<size_t>((now - benchStart_) & 0xFFFFFFFF));
    line.Write();
    PostQuit(0);
}

void CStandinGame::PostQuit(int code) {
    if (quitPosted_) {
        return;
    }
    quitPosted_ = true;
    LogIdleCount();
    CLogLine line("event", "postQuit");
    line.AddInt("code", code);
    line.Write();
    PostQuitMessage(code);
}

void CStandinGame::LogIdleCount() {
    if (idleCount_ == loggedCount_) {
        return;
    }
    loggedCount_ = idleCount_;
    CLogLine line("call", "OnIdle");
    line.AddUnsigned("count", idleCount_);
    line.Write();
}

void CStandinGame::OnWindowDestroyed() {
    window_ = nullptr;
    if (!closing_) {
        PostQuit(0);
    }
}

void CStandinGame::Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawLine(dc, 0, "Class folder: ", settings_->classFolder);
    DrawLine(dc, 1, "Packed classes: ", settings_->packedClasses);
    DrawLine(dc, 2, "Game class: ", settings_->gameClassName);
    DrawLine(dc, 3, "Command line: ", commandLine_);

    // Blanks after the number paint over the digits of a longer earlier count.
    char counter[kDemoLineSize];
    CTextBuilder builder(counter, sizeof(counter));
    builder.AppendUnsigned(idleCount_);
    builder.Append("            ");
    DrawLine(dc, kFrameLine, "Frame: ", counter);
    EndPaint(window, &paint);
}

void UnregisterDemoWindowClass() {
    if (registeredInstance != nullptr) {
        UnregisterClassA(kDemoWindowClass, registeredInstance);
        registeredInstance = nullptr;
    }
}

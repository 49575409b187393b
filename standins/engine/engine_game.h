// The stand-in game object. Its vtable is the one the host calls through: Init, an
// operation the host never calls, OnIdle, and the scalar deleting destructor. Slot 4
// is declared as the function the MSVC ABI makes of a virtual destructor (thiscall,
// one unsigned flags argument, bit 0 meaning "free the memory too") so that the flags
// can be logged; the layout and calling convention are the same.
#pragma once

#include "engine_platform.h"
#include "engine_scenarios.h"

// Room for each of the three settings and for the command line the demo shows.
const size_t kSettingSize = 260;
const size_t kShownCommandLineSize = 1024;

// The three settings as InitializeGameScript received them (cut to kSettingSize - 1).
struct EngineSettings {
    char classFolder[kSettingSize];
    char packedClasses[kSettingSize];
    char gameClassName[kSettingSize];
};

// What Init answers when the demo window cannot be made.
const int kWindowFailedResult = 1;

class CStandinGame final {
  public:
    // scenario holds the words of the game class name; settings must outlive the game.
    CStandinGame(HINSTANCE instance, const char* classProper, const Scenario& scenario,
                 const EngineSettings* settings);

    // Reads the scenario words of the command line, opens the demo window for the
    // class "DemoGame"; 0 lets the caller run its loop.
    virtual int Init(const char* commandLine, int showCommand);
    virtual void Unused();
    // One frame of work: counts the call and does what the scenario asks of it.
    virtual int OnIdle();
    virtual void* DeletingDestructor(unsigned flags);

    // For the demo window's procedure.
    void OnWindowDestroyed();
    void Paint(HWND window);

  private:
    ~CStandinGame();
    CStandinGame(const CStandinGame&) = delete;
    CStandinGame& operator=(const CStandinGame&) = delete;

    bool OpenWindow(int showCommand);
    void AdvanceFrame();
    void WatchFile();
    // The timing of bench=N: the clock at the first call, the figures at the last.
    void BenchTurn();
    void PostQuit(int code);
    // Writes {"call":"OnIdle","count":N} unless N was the last count written.
    void LogIdleCount();

    HINSTANCE instance_;
    Scenario scenario_;
    const EngineSettings* settings_;
    bool demo_;
    char commandLine_[kShownCommandLineSize];
    HWND window_;
    bool closing_; // the destructor is taking the window down
    bool quitPosted_;
    unsigned idleCount_;
    unsigned loggedCount_;
    unsigned defaultQuitAt_; // 0: no quit of our own
    DWORD lastRepaintTick_;
    long long benchStart_; // the counter at the first OnIdle of bench=N
};

// Removes the demo window class, if it was registered. For UninitializeGameScript.
void UnregisterDemoWindowClass();

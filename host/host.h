// The host's Windows side, each piece called once from WinMain on the main thread:
// the single-instance guard, the module path, the pre-launch tools. Thin files over
// the platform's calls; the logic they share with the portable core is in
// host_core.h. Plain functions over process-wide state; nothing here is locked.
#pragma once

#include "host_core.h"

#include <windows.h>

// Buffer sizes, NUL included.
const size_t kModulePathSize = 1024; // the executable's full path and the working folder
const size_t kArchiveNameSize = 260; // "data%d.pak"

// ---- Single-instance guard -------------------------------------------------------

const char* const kInstanceMutexName = "TarvexMutex";
const char* const kMultipleInstanceSwitch = "-ami";
const char* const kRunningMessageFile = "data\\Running.scr";

// Creates (or opens) the named mutex, which stays held until the process ends.
// True: this copy may start (it is the first, the tail holds "-ami" anywhere, or the
// mutex could not be made). False: another copy runs; the "already running" box has
// been shown when data\Running.scr (relative to the current folder) could be opened.
bool CheckSingleInstance(const char* commandLine);

// ---- Module path -----------------------------------------------------------------

// Splits the tail (SplitArguments) after the module file name of instance.
void SplitCommandLine(const char* commandLine, HINSTANCE instance);

// Makes the executable's folder the current folder. A failure is not reported.
void EnterExecutableFolder();

// ---- Pre-launch tools ------------------------------------------------------------

// Runs "JDK\bin\compile.bat" over "Params\*.java" and waits for it, when the working
// folder holds a folder "Params". The outcome is not looked at.
void CompileParams();

// Starts "dxdiag.exe /t logs/DXDiags.txt" without waiting, unless the report exists.
// Writes its progress to the debugger output only.
void RunDxDiag();

// Test programs whose cases each need a fresh process (the log opens once per
// run) start themselves again with "--case NAME"; their main hands such a call to
// the case and everything else to GoogleTest.
#pragma once

#include "test_folder.h"

#include <filesystem>
#include <string>

// The exit code of a process ended by a fatal error, as RunSelfAsChild reports
// it: the full code -1 on Windows, the exit status 255 (-1 in 8 bits) on POSIX.
extern const int kFatalExitCode;

// Runs this program again with "--case NAME" in the current working folder, its
// standard error going to the file stderrPath; returns the child's exit code, or
// a value below -1000 when it could not be started.
int RunSelfAsChild(const char* caseName, const std::filesystem::path& stderrPath);

// The main of such a program: "--case NAME" runs runCase(NAME) and returns its
// result; anything else runs the tests.
int ChildCaseMain(int argc, char** argv, int (*runCase)(const std::string& name));

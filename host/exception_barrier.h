// Exception translation and the outermost barrier of the game's run. Processor
// exceptions on the main thread are reported (callstack.txt) while the faulting stack
// still exists and then end the run as their unsigned code; the barrier ends every
// failure with a logged header line and the fatal box (exit code -1).
#pragma once

#include <windows.h>

// The text of an exception code: the table's description, or "unknown exception: %x"
// in a static buffer that the next unknown code overwrites.
const char* DescribeException(unsigned code);

// From here on a processor exception that no one handles is reported before the
// process ends with its code. Outside the barrier the host cannot tell a fault that the
// engine would handle itself from one it would not, so every processor exception raised
// there is reported, also one that someone handles later.
void InstallExceptionTranslation();

// Runs body(context) inside the barrier. Returns when body returns. An exception that
// reaches the barrier ends the process through FatalError:
//   a CEngineException thrown by the engine: "*** Unhandled Engine Exception ***" and
//     "%s(%d) : %s\n" with its source file, line and message;
//   a processor exception (error codes, and breakpoints, single steps and misalignments
//     that nothing else handled): reported first, then "*** Exception ***" and the
//     code's description;
//   anything else (another engine throw, a throw of the host's own): "*** Unhandled
//     Exception ***", nothing logged before it.
void RunInsideBarrier(void (*body)(void*), void* context);

// What ended a protected run, for the barrier and its tests.
enum CaughtKind { kCaughtNothing, kCaughtEngineException, kCaughtProcessorException, kCaughtOther };

const size_t kCaughtTextSize = 1024;

struct CaughtException {
    CaughtKind kind;
    unsigned code; // the exception code, for every kind but kCaughtNothing
    // Copied from the engine's exception before anything is unwound (cut to fit).
    char message[kCaughtTextSize];
    char sourceFile[kCaughtTextSize];
    int sourceLine;
};

// Runs body(context) with the barrier's translation and fills caught: kind
// kCaughtNothing when body returned. Does not end the process.
void RunProtected(void (*body)(void*), void* context, CaughtException* caught);

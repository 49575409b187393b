// Scenario words: how a test (or a user) makes the stand-in engine behave. Words come
// from the game class name (all words after the first, the class proper) and from the
// command-line tail given to Init; both are split at blanks, tabs and '+'. A later
// word replaces an earlier one of the same kind. Words the engine does not know are
// skipped in silence, since the command line also carries the host's own arguments;
// a known word with a bad value is noted as {"event":"badWord","word":...} and skipped.
#pragma once

#include <stddef.h>

// Room for a file name word (waitfile=NAME) and for a class proper.
const size_t kScenarioNameSize = 260;

enum FaultKind {
    kFaultNone,
    kFaultAccessViolation, // fault=av@N
    kFaultDivideByZero,    // fault=div0@N
    kFaultThrowInt,        // fault=int@N
};

// What the words asked for. A count of 0 means "not asked".
struct Scenario {
    bool quitGiven; // quit=CODE@N
    int quitCode;
    unsigned quitAt;
    int initFail;                     // initfail=N, N non-zero
    char waitFile[kScenarioNameSize]; // waitfile=NAME, empty when not asked
    bool throwAtInit;                 // throw=init
    unsigned throwAt;                 // throw=idle@N
    FaultKind fault;                  // fault=KIND@N
    unsigned faultAt;
    unsigned faultDepth; // depth=N: N engine frames between OnIdle and the faulting one
    unsigned frames;     // frames=N
    bool createFail;     // createfail: CreateGame answers null
    bool createFault;    // createfault: CreateGame raises an access violation
    // bench=N: N OnIdle calls, then the quit; the first and the last are timed and
    // {"event":"bench",...} is logged (bench/host reads it).
    unsigned benchTurns;
};

// A scenario with nothing asked.
void ClearScenario(Scenario* scenario);

// Reads the words of text into scenario. With skipFirstWord the first word (the class
// proper of a game class name) is not a scenario word. A null text has no words.
void ReadScenarioWords(const char* text, bool skipFirstWord, Scenario* scenario);

// Copies the first word of a game class name into dest (empty for a null name).
void ClassProper(const char* gameClassName, char* dest, size_t capacity);

// The values of the exception that throw=init and throw=idle@N raise.
extern const char kScenarioExceptionMessage[];
extern const char kScenarioExceptionFile[];
const int kScenarioExceptionLine = 12;

// Logs {"event":"throw",...} and raises the scenario's CEngineException. Never returns.
[[noreturn]] void ThrowScenarioException();

// Raises the fault of the kind: a write to address 0, an integer division by zero or
// a thrown int 7. Never returns for a real kind; does nothing for kFaultNone.
void RaiseScenarioFault(FaultKind kind);

// Raises the fault of the kind through depth frames of its own (at least one), each
// with a parameter and a local, so a crash report shows engine frames with variables
// between the caller and the faulting function.
void RaiseScenarioFaultAtDepth(FaultKind kind, unsigned depth);

// The word's name of a fault kind, for the log ("av", "div0", "int").
const char* FaultKindName(FaultKind kind);

// Frames with known parameters and locals for the variable dump's tests. The fixture's
// sources are built without optimisation (every variable in memory), except the
// register holder, which is built optimised so that its local stays in a register.
#pragma once

#include <windows.h>

#include <stddef.h>

// What a fixture frame leaves behind: the call-stack text walked from inside it.
const size_t kFixtureReportSize = 131072;
extern char fixtureReport[kFixtureReportSize];
extern bool fixtureWalked;

// Walks the stack from its caller's frame into fixtureReport.
void WalkFromCaller();

struct FixtureRecord {
    int number;
    char letter;
    float ratio;
};

enum FixtureColour { kFixtureRed, kFixtureGreen, kFixtureBlue };

// Holds one variable of every kind the dump shows; unreadable points to a page that
// cannot be read.
void FixtureFrame(int count, const char* text, const char* unreadable);

// seed * 3 + 1, computed where an optimiser cannot see it.
int OpaqueNumber(int seed);

// Keeps a local in a register across its call of WalkFromCaller; returns it.
int RegisterHolder(int seed);

// Calls itself until depth frames of its own lie below the caller, each holding a
// 200-character text, then walks the stack into fixtureReport.
void DeepFrames(int depth);

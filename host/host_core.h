// The host's start-up logic that needs no Windows call: the argument vector, the
// configuration lookup and the text of the "already running" box. Kept free of the
// platform's headers so it is also built and tested natively; the Windows calls
// (module path, mutex, boxes, spawns, the loop) live in the files of host.h.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <string.h>

class CKVPARSE_KEYWORD;

// Copies at most size - 1 characters of src and always ends dest with a NUL.
inline void CopyBounded(char* dest, size_t size, const char* src) {
    strncpy(dest, src, size - 1);
    dest[size - 1] = '\0';
}

// ---- The "already running" box ---------------------------------------------------

const size_t kRunningCaptionSize = 128; // at most 127 characters
const size_t kRunningTextSize = 256;    // at most 255 characters

// Reads the box's caption (line 1) and text (line 2) from an open text file into
// buffers of kRunningCaptionSize and kRunningTextSize. Each starts with its default
// ("Error", "Tarvex already running"); a line the file does not have leaves it. The
// caption read stops after 127 characters and the text read goes on from there.
// Every CR and LF becomes a NUL, so each text ends at its first line break.
void ReadRunningMessage(FILE* file, char* caption, char* text);

// ---- Command line ----------------------------------------------------------------

const int kMaxCmdArgs = 64;            // entry 0 and at most 63 arguments
const size_t kCmdArgTextSize = 1024;   // the store, every NUL included
const size_t kCmdModuleNameSize = 256; // entry 0: at most 255 characters

// The argument vector: entry 0 the module file name, then the arguments in order,
// all pointing into cmdArgText. Written only by the split; lives until the process ends.
extern char* cmdArgs[kMaxCmdArgs];
extern int cmdArgCount;
extern char cmdArgText[kCmdArgTextSize];

// Entry 0 becomes moduleName (cut to 255 characters), the words of commandLine
// follow, split at blanks and tabs (no quoting). The vector only ever holds whole
// arguments, a leading run of the command line: the split stops at the first argument
// that no longer fits whole in the store, and after the 63rd argument. Dropped
// arguments still reach the game in the raw tail.
void SplitArguments(const char* moduleName, const char* commandLine);

// ---- Configuration ---------------------------------------------------------------

const size_t kSettingSize = 260; // each of the three settings: at most 259 characters
const char* const kDefaultConfigurationPath = "game.ini";
const char* const kConfigurationSwitch = "ini=";

// The three settings handed to the engine, with their defaults in place.
struct GameSettings {
    char gameClassName[kSettingSize]; // key "JavaGameClassName", default "TestGame"
    char classFolder[kSettingSize];   // key "JavaClasses", default "Java"
    char packedClasses[kSettingSize]; // key "JavaClassesPacked", default "code"
};

// Puts the defaults in place.
void SetDefaultSettings(GameSettings* settings);

// "game.ini", or the text after the last argument that begins "ini=" (case-sensitive;
// entry 0 takes part). The text lives in the argument store.
const char* ConfigurationPath();

// Copies the first string parameter of each top-level node named by a key (compared
// without regard to case) over its setting; nested blocks are not looked at and the
// last occurrence of a key wins. A node without a first string parameter, or whose
// text has more than 259 characters, leaves the setting as it is (the latter is
// logged). chain may be null; it stays the caller's.
void ApplySettings(const CKVPARSE_KEYWORD* chain, GameSettings* settings);

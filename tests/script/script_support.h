// Shared by the parser tests: a working folder of the test program's own, mounted in
// the archive file system, fixture files written into it, the parser's reports read
// back from crash.log, and a one-line rendering of parse trees.
#pragma once

#include "kvparser.h"
#include "test_folder.h"

#include <string>
#include <vector>

// Makes a new temporary folder the working folder and mounts it (once per process;
// later calls do nothing). The log opens crash.log there at its first line.
void EnterWorkspace();

// The text the log gained since the reader was made (or last asked), with CR LF
// turned into LF. Raw() gives the bytes as stored.
class LogReader {
  public:
    LogReader();
    std::string Take();
    std::string TakeRaw();

  private:
    size_t offset_;
};

// One "[CKVParse] ..." report, taken apart.
struct Report {
    std::string message;
    std::string file;
    int line;
    std::string echo;
};
// Every report in a log text (LF line ends). Text between reports is ignored.
std::vector<Report> ReportsIn(const std::string& log);

// A tree on one line: name(values){child chain} siblings separated by blanks.
// Integers in decimal, floats as 1.5f, strings quoted (CR, LF, TAB, quote and
// backslash escaped); a value read from %name ends with %name.
std::string Render(const CKVPARSE_KEYWORD* chain);
std::string RenderValues(const CKVPARSE_PARAM* values);

// What one parse gave: the rendered tree ("" for null), the log text and its reports.
struct Outcome {
    bool parsed; // ParseScriptFile returned a tree
    std::string tree;
    std::string log;
    std::vector<Report> reports;
};
// Writes script to name and parses it with ParseScriptFile and the callbacks of
// TestVariables (int "width" 640, float "scale" 1.5, string "title" "Tarvex").
Outcome ParseText(const std::string& script, const std::string& name = "case.ini");
Outcome ParseFile(const std::string& name);

// Called by ParseFile with the script's name before the parse that it checks, when
// set: the fault-injection program runs its allocation failures there.
extern void (*beforeParse)(const std::string& name);

bool TestIntVariable(int32_t* value, const char* name);
bool TestFloatVariable(float* value, const char* name);
bool TestStringVariable(char* value, const char* name);

// One script and what its parse must give: whether a tree comes back and its
// rendering, the messages of all reports in order, and the line and echoed source
// line of the first report. A parse that reports and fails must end its log with
// "Parser: cant parse file"; one that returns a tree must not.
struct ScriptCase {
    std::string script;
    bool parsed;
    std::string tree;
    std::vector<std::string> messages;
    int line;
    std::string echo;
};
void CheckScript(const ScriptCase& c);

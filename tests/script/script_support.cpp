#include "script_support.h"

#include "filesystem.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace stdfs = std::filesystem;

static const char kLogName[] = "crash.log";

// The program's folder: left and removed at exit, after the last test. Whatever is
// still open then (the log, on Windows) stays behind.
static TempFolder* workspace = nullptr;

static void LeaveWorkspace() {
    delete workspace;
    workspace = nullptr;
}

void EnterWorkspace() {
    if (workspace)
        return;
    workspace = new TempFolder("script");
    atexit(LeaveWorkspace);
    FS_init();
    FS_add_source(".", 0, 0, 0);
}

static size_t LogSize() {
    std::error_code failed;
    const uintmax_t size = stdfs::file_size(kLogName, failed);
    return failed ? 0 : static_cast<size_t>(size);
}

LogReader::LogReader() : offset_(LogSize()) {}

std::string LogReader::TakeRaw() {
    std::ifstream in(kLogName, std::ios::binary);
    if (!in)
        return std::string();
    in.seekg(static_cast<std::streamoff>(offset_));
    std::ostringstream text;
    text << in.rdbuf();
    std::string result = text.str();
    offset_ += result.size();
    return result;
}

std::string LogReader::Take() {
    const std::string raw = TakeRaw();
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        text += raw[i];
    }
    return text;
}

std::vector<Report> ReportsIn(const std::string& log) {
    static const char kTag[] = "[CKVParse] ";
    static const char kFile[] = ": in file '";
    static const char kLine[] = "' in line ";
    std::vector<Report> reports;
    size_t at = 0;
    while ((at = log.find(kTag, at)) != std::string::npos) {
        at += strlen(kTag);
        const size_t file = log.find(kFile, at);
        if (file == std::string::npos)
            break;
        Report report;
        report.message = log.substr(at, file - at);
        const size_t fileStart = file + strlen(kFile);
        const size_t line = log.find(kLine, fileStart);
        if (line == std::string::npos)
            break;
        report.file = log.substr(fileStart, line - fileStart);
        report.line = atoi(log.c_str() + line + strlen(kLine));
        const size_t echoStart = log.find('\n', line);
        if (echoStart == std::string::npos)
            break;
        const size_t echoEnd = log.find('\n', echoStart + 1);
        report.echo =
            log.substr(echoStart + 1,
                       echoEnd == std::string::npos ? std::string::npos : echoEnd - echoStart - 1);
        reports.push_back(report);
        at = echoEnd == std::string::npos ? log.size() : echoEnd;
    }
    return reports;
}

static std::string Quoted(const char* text) {
    if (!text)
        return "null";
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += *p;
        }
    }
    return out + "\"";
}

std::string RenderValues(const CKVPARSE_PARAM* values) {
    std::string out;
    for (const CKVPARSE_PARAM* p = values; p; p = p->next) {
        if (p != values)
            out += ",";
        char number[64];
        if (p->type == KV_INT) {
            snprintf(number, sizeof number, "%d",
                     static_cast<int>(static_cast<const CKVPARSE_INT*>(p)->value));
            out += number;
        } else if (p->type == KV_FLOAT) {
            snprintf(number, sizeof number, "%.9gf",
                     static_cast<double>(static_cast<const CKVPARSE_FLOAT*>(p)->value));
            out += number;
        } else {
            out += Quoted(static_cast<const CKVPARSE_STRING*>(p)->value);
        }
        if (p->name)
            out += std::string("%") + p->name;
    }
    return out;
}

std::string Render(const CKVPARSE_KEYWORD* chain) {
    std::string out;
    for (const CKVPARSE_KEYWORD* node = chain; node; node = node->next) {
        if (node != chain)
            out += " ";
        out += node->name;
        out += "(" + RenderValues(node->params) + ")";
        if (node->child)
            out += "{" + Render(node->child) + "}";
    }
    return out;
}

bool TestIntVariable(int32_t* value, const char* name) {
    if (strcmp(name, "width") == 0) {
        *value = 640;
        return true;
    }
    if (strcmp(name, "") == 0) {
        *value = -1;
        return true;
    }
    return false;
}

bool TestFloatVariable(float* value, const char* name) {
    if (strcmp(name, "scale") != 0)
        return false;
    *value = 1.5f;
    return true;
}

bool TestStringVariable(char* value, const char* name) {
    if (strcmp(name, "title") == 0) {
        strcpy(value, "Tarvex");
        return true;
    }
    if (strcmp(name, "long") == 0) {
        // A callback that fills the whole place, NUL included.
        memset(value, 'L', kKvStringVariableSize - 1);
        value[kKvStringVariableSize - 1] = '\0';
        return true;
    }
    return false;
}

void (*beforeParse)(const std::string& name) = nullptr;

Outcome ParseFile(const std::string& name) {
    if (beforeParse)
        beforeParse(name);
    LogReader log;
    Outcome outcome;
    CKVPARSE_KEYWORD* tree =
        ParseScriptFile(name.c_str(), TestIntVariable, TestFloatVariable, TestStringVariable);
    outcome.parsed = tree != nullptr;
    outcome.tree = Render(tree);
    delete tree;
    outcome.log = log.Take();
    outcome.reports = ReportsIn(outcome.log);
    return outcome;
}

Outcome ParseText(const std::string& script, const std::string& name) {
    EnterWorkspace();
    WriteTextFile(name, script);
    return ParseFile(name);
}

void CheckScript(const ScriptCase& c) {
    const Outcome outcome = ParseText(c.script);
    const std::string what = "script: " + c.script;
    EXPECT_EQ(outcome.parsed, c.parsed) << what << "\nlog:\n" << outcome.log;
    EXPECT_EQ(outcome.tree, c.tree) << what;
    std::vector<std::string> messages;
    for (const Report& report : outcome.reports)
        messages.push_back(report.message);
    EXPECT_EQ(messages, c.messages) << what << "\nlog:\n" << outcome.log;
    if (!outcome.reports.empty()) {
        EXPECT_EQ(outcome.reports[0].file, "case.ini") << what;
        EXPECT_EQ(outcome.reports[0].line, c.line) << what;
        EXPECT_EQ(outcome.reports[0].echo, c.echo) << what;
    }
    static const char kCantParse[] = "Parser: cant parse file 'case.ini'\n";
    const bool cantParse = outcome.log.size() >= strlen(kCantParse) &&
                           outcome.log.compare(outcome.log.size() - strlen(kCantParse),
                                               std::string::npos, kCantParse) == 0;
    EXPECT_EQ(cantParse, !c.parsed && !c.messages.empty()) << what << "\nlog:\n" << outcome.log;
}

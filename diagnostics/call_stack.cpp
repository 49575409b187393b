#include "crash_report.h"

#include "debug_help.h"
#include "variable_dump.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <inttypes.h>

const char kReportCutLine[] = "\r\n*** Report cut here: its 131072-byte buffer is full. ***\r\n";

namespace {

const char kReportFileName[] = "callstack.txt";
// Sixty asterisks, then LF and CR: text mode stores them as CR LF CR.
const char kSeparator[] = "************************************************************\n\r";
const size_t kMaxSymbolNameLength = 1024;

#ifdef _WIN64
const DWORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const DWORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif

// The report text of the block being built.
char* reportBuffer = nullptr;
size_t reportSize = 0;
size_t reportLength = 0;
bool reportCut = false;

// The walk's records. The walk steps on a copy of the exception's context.
CONTEXT walkContext;
STACKFRAME64 walkFrame;
struct SymbolRecord {
    SYMBOL_INFO info;
    char nameRoom[kMaxSymbolNameLength];
};
SymbolRecord walkSymbol;
SymbolRecord exceptionSymbol;
IMAGEHLP_LINE64 walkLine;
IMAGEHLP_LINE64 exceptionLine;
IMAGEHLP_STACK_FRAME scope;

void PrepareSymbol(SymbolRecord* record) {
    record->info.SizeOfStruct = sizeof(SYMBOL_INFO);
    record->info.MaxNameLen = kMaxSymbolNameLength;
}

bool FindLine(DWORD64 address, IMAGEHLP_LINE64* line) {
    if (debugHelp.SymGetLineFromAddr64 == nullptr) {
        return false;
    }
    memset(line, 0, sizeof *line);
    line->SizeOfStruct = sizeof *line;
    DWORD displacement = 0;
    return debugHelp.SymGetLineFromAddr64(debugHelpProcess, address, &displacement, line) != FALSE;
}

// The machine type from the host module's own header.
DWORD OwnMachine() {
    const DWORD64 base = debugHelp.SymGetModuleBase64(
        debugHelpProcess, static_cast<DWORD64>(reinterpret_cast<uintptr_t>(&OwnMachine)));
    if (base == 0) {
        return kOwnMachine;
    }
    const IMAGE_NT_HEADERS* headers =
        debugHelp.ImageNtHeader(reinterpret_cast<void*>(static_cast<uintptr_t>(base)));
    return headers != nullptr ? headers->FileHeader.Machine : kOwnMachine;
}

// The faulting instruction's address.
DWORD64 ProgramCounter(const CONTEXT* context) {
#ifdef _WIN64
    return context->Rip;
#else
    return context->Eip;
#endif
}

bool StepWalk(DWORD machine, HANDLE thread) {
    return debugHelp.StackWalk64(machine, debugHelpProcess, thread, &walkFrame, &walkContext,
                                 nullptr, debugHelp.SymFunctionTableAccess64,
                                 debugHelp.SymGetModuleBase64, nullptr) != FALSE;
}

void WriteFrame(DWORD64 pc, bool faultingFrame) {
    // A caller's pc is its return address, which may already belong to the next line
    // or, after a call that does not return, to the next function.
    const DWORD64 lookup = faultingFrame ? pc : pc - 1;
    DWORD64 displacement = 0;
    if (debugHelp.SymFromAddr(debugHelpProcess, lookup, &displacement, &walkSymbol.info)) {
        ReportWrite("%s", walkSymbol.info.Name);
    } else {
        ReportWrite("%" PRIX64, static_cast<uint64_t>(pc));
    }
    if (FindLine(lookup, &walkLine)) {
        ReportWrite(" (%s, line %lu)", walkLine.FileName, walkLine.LineNumber);
    }
    ReportWrite("\r\n");
    if (DebugHelpCanListVariables()) {
        dumpHeading = kHeadingNone;
        memset(&scope, 0, sizeof scope);
        scope.InstructionOffset = lookup;
        debugHelp.SymSetContext(debugHelpProcess, &scope, nullptr);
        debugHelp.SymEnumSymbols(debugHelpProcess, 0, nullptr, DumpSymbol, &walkFrame);
    }
    ReportWrite("\r\n");
}

FILE* OpenReportFile() {
    // Text mode: every LF is stored as CR LF.
    return fopen(kReportFileName, "at");
}

} // namespace

void ReportBegin(char* buffer, size_t size) {
    reportBuffer = buffer;
    reportSize = size;
    reportLength = 0;
    reportCut = false;
    reportBuffer[0] = '\0';
}

void ReportWrite(const char* format, ...) {
    if (reportCut) {
        return;
    }
    // Room is kept for the cut line and its NUL at all times.
    const size_t usable = reportSize - sizeof kReportCutLine;
    const size_t room = usable - reportLength;
    va_list arguments;
    va_start(arguments, format);
    const int written = vsnprintf(reportBuffer + reportLength, room + 1, format, arguments);
    va_end(arguments);
    if (written < 0) {
        reportBuffer[reportLength] = '\0';
        return;
    }
    if (static_cast<size_t>(written) <= room) {
        reportLength += static_cast<size_t>(written);
        return;
    }
    reportLength = usable;
    memcpy(reportBuffer + reportLength, kReportCutLine, sizeof kReportCutLine);
    reportLength += sizeof kReportCutLine - 1;
    reportCut = true;
}

bool ReportIsCut() {
    return reportCut;
}

bool WalkCallStack(char* buffer, const CONTEXT* context) {
    if (!crashReportEnabled) {
        return false;
    }
    BindDebugHelp();
    if (!crashReportEnabled) {
        return false;
    }
    const bool named = debugHelp.SymFromAddr != nullptr;
    ReportBegin(buffer, kReportBufferSize);
    ReportWrite("\r\nCall stack:\r\n");
    if (!named) {
        ReportWrite("warning: older dbghelp.dll loaded; no type information available.\r\n");
    }
    HANDLE thread = GetCurrentThread();
    walkContext = *context;
    memset(&walkFrame, 0, sizeof walkFrame);
    walkFrame.AddrPC.Offset = ProgramCounter(&walkContext);
#ifdef _WIN64
    walkFrame.AddrFrame.Offset = walkContext.Rbp;
    walkFrame.AddrStack.Offset = walkContext.Rsp;
#else
    walkFrame.AddrFrame.Offset = walkContext.Ebp;
    walkFrame.AddrStack.Offset = walkContext.Esp;
#endif
    walkFrame.AddrPC.Mode = AddrModeFlat;
    walkFrame.AddrFrame.Mode = AddrModeFlat;
    walkFrame.AddrStack.Mode = AddrModeFlat;
    const DWORD machine = OwnMachine();
    PrepareSymbol(&walkSymbol);
    if (!StepWalk(machine, thread)) {
        return false;
    }
    bool faultingFrame = true;
    do {
        const DWORD64 pc = walkFrame.AddrPC.Offset;
        if (named) {
            WriteFrame(pc, faultingFrame);
        } else {
            ReportWrite("%" PRIX64 "\r\n", static_cast<uint64_t>(pc));
        }
        faultingFrame = false;
    } while (!ReportIsCut() && StepWalk(machine, thread));
    return true;
}

void WriteCallStack(const CONTEXT* context) {
    char* buffer = static_cast<char*>(malloc(kReportBufferSize));
    if (buffer == nullptr) {
        return;
    }
    if (WalkCallStack(buffer, context)) {
        FILE* file = OpenReportFile();
        if (file != nullptr) {
            fputs(kSeparator, file);
            fputs(buffer, file);
            fclose(file);
        }
    }
    free(buffer);
}

void ReportException(EXCEPTION_POINTERS* pointers) {
    if (!crashReportEnabled) {
        return;
    }
    BindDebugHelp();
    if (!crashReportEnabled) {
        return;
    }
    WriteCallStack(pointers->ContextRecord);
    PrepareSymbol(&exceptionSymbol);
    if (debugHelp.SymFromAddr == nullptr) {
        return;
    }
    const DWORD64 address = ProgramCounter(pointers->ContextRecord);
    DWORD64 displacement = 0;
    if (!debugHelp.SymFromAddr(debugHelpProcess, address, &displacement, &exceptionSymbol.info)) {
        return;
    }
    FILE* file = OpenReportFile();
    if (file == nullptr) {
        return;
    }
    fputs(kSeparator, file);
    fprintf(file, "Exception occured at: %s\n", exceptionSymbol.info.Name);
    if (FindLine(address, &exceptionLine)) {
        fprintf(file, "%s, line %lu\n", exceptionLine.FileName, exceptionLine.LineNumber);
    }
    fclose(file);
}

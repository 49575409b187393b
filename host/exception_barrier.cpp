#include "exception_barrier.h"

#include "crash_report.h"
#include "engine.h"
#include "log.h"
#include "memory_probe.h"
#include "protected_call.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

struct ExceptionDescription {
    unsigned code;
    const char* text;
};

const ExceptionDescription exceptionDescriptions[] = {
    {0xC0000005u, "The thread attempted to read from or write to a virtual address for which it "
                  "does not have the appropriate access."},
    {0x80000003u, "A breakpoint was encountered."},
    {0x80000002u, "The thread attempted to read or write data that is misaligned on hardware "
                  "that does not provide alignment. For example, 16-bit values must be aligned "
                  "on 2-byte boundaries, 32-bit values on 4-byte boundaries, and so on."},
    {0x80000004u, "A trace trap or other single-instruction mechanism signaled that one "
                  "instruction has been executed."},
    {0xC000008Cu, "The thread attempted to access an array element that is out of bounds, and "
                  "the underlying hardware supports bounds checking."},
    {0xC000008Du, "One of the operands in a floating-point operation is denormal. A denormal "
                  "value is one that is too small to represent as a standard floating-point "
                  "value."},
    {0xC000008Eu, "The thread attempted to divide a floating-point value by a floating-point "
                  "divisor of zero."},
    {0xC000008Fu, "The result of a floating-point operation cannot be represented exactly as a "
                  "decimal fraction."},
    {0xC0000090u, "This exception represents any floating-point exception not included in this "
                  "list."},
    {0xC0000091u, "The exponent of a floating-point operation is greater than the magnitude "
                  "allowed by the corresponding type."},
    {0xC0000092u, "The stack overflowed or underflowed as the result of a floating-point "
                  "operation."},
    {0xC0000093u, "The exponent of a floating-point operation is less than the magnitude allowed "
                  "by the corresponding type."},
    {0xC0000094u, "The thread attempted to divide an integer value by an integer divisor of "
                  "zero."},
    {0xC0000095u, "The result of an integer operation caused a carry out of the most significant "
                  "bit of the result."},
    {0xC0000096u, "The thread attempted to execute an instruction whose operation is not allowed "
                  "in the current machine mode."},
    {0xC0000025u, "The thread attempted to continue execution after a noncontinuable exception "
                  "occurred."},
};

const size_t kUnknownDescriptionSize = 256;
char unknownDescription[kUnknownDescriptionSize];

// What the records of exceptions thrown by code of Microsoft's compiler hold (see
// engine.h). Read here through the memory probe, since the handler must not fault,
// and through every catchable type, so that a class derived from CEngineException
// counts as one.
const ULONG_PTR kMsvcMagicLast = 0x19930522u; // later versions of the record
const size_t kCatchableTypesOffset = 12;      // in the throw information
const size_t kTypeDescriptorOffset = 4;       // in a catchable type
// In a type descriptor the name follows the vtable pointer and one more pointer.
const size_t kTypeNameOffset = 2 * sizeof(void*);
const int32_t kMaxCatchableTypes = 64;
const char* const kEngineExceptionNames[] = {".?AVCEngineException@@", ".?AUCEngineException@@"};
const size_t kLongestTypeName = 32;

// Informational, warning and error exceptions carry these in their top two bits.
const unsigned kErrorSeverity = 0xC0000000u;

// State of the process's only exception path: the main thread.
bool barrierRunning = false;
bool reportRunning = false;
CaughtException* activeCaught = nullptr;
// Set while the game runs in the barrier proper, which ends the process on whatever it
// catches (the protected runs of the tests return instead).
bool endsTheProcess = false;

[[noreturn]] void EndRun(const CaughtException& caught);

// Error codes, and the warnings that the table names.
bool IsTranslated(unsigned code) {
    return (code & kErrorSeverity) == kErrorSeverity || code == EXCEPTION_BREAKPOINT ||
           code == EXCEPTION_DATATYPE_MISALIGNMENT || code == EXCEPTION_SINGLE_STEP;
}

void Report(EXCEPTION_RECORD* record, CONTEXT* context) {
    EXCEPTION_POINTERS pointers = {record, context};
    reportRunning = true;
    ReportException(&pointers);
    reportRunning = false;
}

// Where a field of the throw information points: an address on i686, an offset from
// the throwing module's base on x86_64.
bool ReadReference(uint64_t at, uint64_t imageBase, uint64_t* target) {
#ifdef _WIN64
    uint32_t offset = 0;
    if (!ReadMemorySafely(at, &offset, sizeof offset)) {
        return false;
    }
    *target = imageBase + offset;
#else
    (void)imageBase;
    uint32_t address = 0;
    if (!ReadMemorySafely(at, &address, sizeof address)) {
        return false;
    }
    *target = address;
#endif
    return *target != 0;
}

bool IsEngineExceptionName(uint64_t at) {
    char name[kLongestTypeName];
    for (const char* wanted : kEngineExceptionNames) {
        const size_t size = strlen(wanted) + 1;
        if (ReadMemorySafely(at, name, size) && memcmp(name, wanted, size) == 0) {
            return true;
        }
    }
    return false;
}

// True when one of the thrown object's catchable types is CEngineException.
bool ThrowsEngineException(const EXCEPTION_RECORD* record) {
#ifdef _WIN64
    const uint64_t imageBase = record->NumberParameters >= 4 ? record->ExceptionInformation[3] : 0;
#else
    const uint64_t imageBase = 0;
#endif
    uint64_t types = 0;
    int32_t count = 0;
    if (!ReadReference(record->ExceptionInformation[2] + kCatchableTypesOffset, imageBase,
                       &types) ||
        !ReadMemorySafely(types, &count, sizeof count)) {
        return false;
    }
    for (int32_t i = 0; i < count && i < kMaxCatchableTypes; ++i) {
        uint64_t catchable = 0;
        uint64_t descriptor = 0;
        const uint64_t entry = types + sizeof(int32_t) + static_cast<uint64_t>(i) * 4;
        if (ReadReference(entry, imageBase, &catchable) &&
            ReadReference(catchable + kTypeDescriptorOffset, imageBase, &descriptor) &&
            IsEngineExceptionName(descriptor + kTypeNameOffset)) {
            return true;
        }
    }
    return false;
}

// Copies the NUL-terminated text at address, cut to the buffer; empty when unreadable.
void CopyTextSafely(uint64_t address, char* dest, size_t size) {
    size_t length = 0;
    while (length + 1 < size) {
        char c = '\0';
        if (!ReadMemorySafely(address + length, &c, 1) || c == '\0') {
            break;
        }
        dest[length++] = c;
    }
    dest[length] = '\0';
}

bool CopyEngineException(const EXCEPTION_RECORD* record, CaughtException* caught) {
    CEngineException thrown;
    if (!ReadMemorySafely(record->ExceptionInformation[1], &thrown, sizeof thrown)) {
        return false;
    }
    CopyTextSafely(reinterpret_cast<uintptr_t>(thrown.message), caught->message,
                   sizeof caught->message);
    CopyTextSafely(reinterpret_cast<uintptr_t>(thrown.sourceFile), caught->sourceFile,
                   sizeof caught->sourceFile);
    caught->sourceLine = thrown.sourceLine;
    return true;
}

bool TakeException(EXCEPTION_RECORD* record, CONTEXT* context) {
    CaughtException* caught = activeCaught;
    const unsigned code = record->ExceptionCode;
    if (code == kMsvcExceptionCode && record->NumberParameters >= 3 &&
        record->ExceptionInformation[0] >= kMsvcExceptionMagic &&
        record->ExceptionInformation[0] <= kMsvcMagicLast) {
        caught->kind = ThrowsEngineException(record) && CopyEngineException(record, caught)
                           ? kCaughtEngineException
                           : kCaughtOther;
        caught->code = code;
#ifdef _WIN64
        // Wine's x86_64 unwinder faults without end while it unwinds the engine's
        // frames after a C++ throw when a debugger is attached. The barrier ends the
        // process anyway, so end it here, on top of the thrown-from stack: the same
        // line, box and exit code, only the engine's destructors do not run (they do
        // not for processor faults either).
        if (endsTheProcess) {
            EndRun(*caught);
        }
#endif
        return true;
    }
    if (!IsTranslated(code)) {
        return false; // information, GCC's own throws, anything the frames further out own
    }
    if (reportRunning) {
        // A fault inside the report itself (the debug-help library's own): the run
        // still ends as the fault that was being reported, with what the report had
        // written by then, rather than with a report of the reporter.
        return true;
    }
    caught->kind = kCaughtProcessorException;
    caught->code = code;
    Report(record, context);
    return true;
}

struct GuardedBody {
    void (*body)(void*);
    void* context;
    bool threw; // a throw of GCC's own reached the barrier
};

// GCC's own throws never reach a frame-based handler on i686 and pass it on x86_64, so
// a catch clause of GCC's takes them.
void CallCatchingOwnThrows(void* argument) {
    GuardedBody* guarded = static_cast<GuardedBody*>(argument);
    try {
        guarded->body(guarded->context);
    } catch (...) {
        guarded->threw = true;
    }
}

// Outside the barrier: report, and leave the exception to whoever handles it.
LONG CALLBACK TranslateOutsideBarrier(EXCEPTION_POINTERS* pointers) {
    if (!barrierRunning && !reportRunning &&
        IsTranslated(pointers->ExceptionRecord->ExceptionCode)) {
        Report(pointers->ExceptionRecord, pointers->ContextRecord);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

const char* DescribeException(unsigned code) {
    for (const ExceptionDescription& entry : exceptionDescriptions) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    snprintf(unknownDescription, sizeof unknownDescription, "unknown exception: %x", code);
    unknownDescription[sizeof unknownDescription - 1] = '\0';
    return unknownDescription;
}

void InstallExceptionTranslation() {
    AddVectoredExceptionHandler(0, TranslateOutsideBarrier);
}

void RunProtected(void (*body)(void*), void* context, CaughtException* caught) {
    memset(caught, 0, sizeof *caught);
    GuardedBody guarded = {body, context, false};
    CaughtException* outerCaught = activeCaught;
    const bool outerRunning = barrierRunning;
    activeCaught = caught;
    barrierRunning = true;
    if (CallProtected(CallCatchingOwnThrows, &guarded, TakeException)) {
        caught->kind = guarded.threw ? kCaughtOther : kCaughtNothing;
    }
    reportRunning = false; // a fault inside the report left it without returning
    barrierRunning = outerRunning;
    activeCaught = outerCaught;
}

void RunInsideBarrier(void (*body)(void*), void* context) {
    static CaughtException caught; // the fields outlive the stack they came from
    endsTheProcess = true;
    RunProtected(body, context, &caught);
    endsTheProcess = false;
    if (caught.kind != kCaughtNothing) {
        EndRun(caught);
    }
}

namespace {

void EndRun(const CaughtException& caught) {
    switch (caught.kind) {
    case kCaughtEngineException:
        LogWrite("*** Unhandled Engine Exception ***\n");
        FatalError("%s(%d) : %s\n", caught.sourceFile, caught.sourceLine, caught.message);
    case kCaughtProcessorException:
        LogWrite("*** Exception ***\n");
        FatalError("%s\n", DescribeException(caught.code));
    case kCaughtNothing:
    case kCaughtOther:
        break;
    }
    FatalError("*** Unhandled Exception ***\n");
}

} // namespace

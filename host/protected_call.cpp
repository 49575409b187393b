#include "protected_call.h"

#include <setjmp.h>

namespace {

ExceptionTaker activeTaker = nullptr;

bool Unwinding(const EXCEPTION_RECORD* record) {
    return (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0;
}

} // namespace

#ifdef _WIN64

// x86_64: the frame is a small function whose unwind data name the handler. On an
// exception taken, RtlUnwindEx resumes at ProtectedCallResume with 1 in RAX, so the
// function returns 1; the plain path returns 0.
extern "C" int ProtectedCallFrame(void (*call)(void*), void* argument);
extern "C" char ProtectedCallResume[];
extern "C" EXCEPTION_DISPOSITION ProtectedCallHandler(EXCEPTION_RECORD* record,
                                                      void* establisherFrame, CONTEXT* context,
                                                      DISPATCHER_CONTEXT* dispatcher);

asm(R"(
    .text
    .globl ProtectedCallFrame
    .globl ProtectedCallResume
    .def ProtectedCallFrame; .scl 2; .type 32; .endef
    .seh_proc ProtectedCallFrame
    .seh_handler ProtectedCallHandler, @except
ProtectedCallFrame:
    pushq %rbp
    .seh_pushreg %rbp
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
ProtectedCallResume:
    addq $32, %rsp
    popq %rbp
    ret
    .seh_endproc
)");

namespace {
CONTEXT unwindScratch; // RtlUnwindEx works in it
} // namespace

extern "C" EXCEPTION_DISPOSITION ProtectedCallHandler(EXCEPTION_RECORD* record,
                                                      void* establisherFrame, CONTEXT* context,
                                                      DISPATCHER_CONTEXT* dispatcher) {
    if (Unwinding(record) || !activeTaker(record, context)) {
        return ExceptionContinueSearch;
    }
    RtlUnwindEx(establisherFrame, ProtectedCallResume, record, reinterpret_cast<void*>(1),
                &unwindScratch, dispatcher->HistoryTable);
    return ExceptionContinueSearch; // not reached
}

bool CallProtected(void (*call)(void*), void* argument, ExceptionTaker take) {
    ExceptionTaker outer = activeTaker;
    activeTaker = take;
    const bool returned = ProtectedCallFrame(call, argument) == 0;
    activeTaker = outer;
    return returned;
}

#else // i686

namespace {

// An SEH registration record linked through fs:[0], shaped like a frame of Microsoft's
// compiler: with no scope table and try level -1, msvcrt's longjmp finds nothing of
// ours to unwind.
struct RegistrationRecord {
    RegistrationRecord* previous;
    void* handler;
    const void* scopeTable;
    int tryLevel;
};

jmp_buf* activeResume = nullptr;

extern "C" EXCEPTION_DISPOSITION __cdecl ProtectedCallHandler(EXCEPTION_RECORD* record, void* frame,
                                                              CONTEXT* context,
                                                              void* /*dispatcher*/) {
    if (Unwinding(record) || !activeTaker(record, context)) {
        return ExceptionContinueSearch;
    }
    // Unwinds the frames above ours with the original record, so that the engine's
    // destructors run on its C++ throws, then leaves for the setjmp below.
    RtlUnwind(frame, nullptr, record, nullptr);
    longjmp(*activeResume, 1);
}

RegistrationRecord* TopRegistration() {
    return reinterpret_cast<RegistrationRecord*>(__readfsdword(0));
}

void SetTopRegistration(RegistrationRecord* record) {
    __writefsdword(0, static_cast<DWORD>(reinterpret_cast<uintptr_t>(record)));
}

} // namespace

bool CallProtected(void (*call)(void*), void* argument, ExceptionTaker take) {
    ExceptionTaker outer = activeTaker;
    jmp_buf* outerResume = activeResume;
    jmp_buf resume;
    RegistrationRecord record = {TopRegistration(), reinterpret_cast<void*>(&ProtectedCallHandler),
                                 nullptr, -1};
    SetTopRegistration(&record);
    activeTaker = take;
    activeResume = &resume;
    // setjmp after the record is linked: msvcrt's longjmp unwinds the SEH frames down
    // to the one in force here.
    volatile bool returned = false;
    if (setjmp(resume) == 0) {
        call(argument);
        returned = true;
    }
    SetTopRegistration(record.previous);
    activeTaker = outer;
    activeResume = outerResume;
    return returned;
}

#endif

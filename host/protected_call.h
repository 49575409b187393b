// A call made through a frame that owns an exception handler. mingw GCC has no __try,
// and its catch clauses see neither processor faults nor exceptions thrown by modules
// built with Microsoft's compiler; a frame-based handler sees every exception that
// reaches it, in the search phase, while the faulting stack still exists.
#pragma once

#include <windows.h>

// Decides, inside the handler and before anything is unwound, whether the frame takes
// the exception. It may read the record and the faulting context; what it needs later
// it must copy, since the stack below the frame is given up.
using ExceptionTaker = bool (*)(EXCEPTION_RECORD* record, CONTEXT* context);

// Calls call(argument). True when it returned. False when an exception that take
// accepted ended it: the stack is cut back to this frame (the engine's own C++
// destructors run on its throws; GCC frames in between run none), and CallProtected
// returns. Exceptions that take declines pass on to the frames further out.
bool CallProtected(void (*call)(void*), void* argument, ExceptionTaker take);

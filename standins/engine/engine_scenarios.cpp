#include "engine_scenarios.h"

#include "engine_exception.h"
#include "engine_log.h"
#include "engine_platform.h"
#include "engine_text.h"

const char kScenarioExceptionMessage[] = "scenario exception";
const char kScenarioExceptionFile[] = "engine_scenarios.cpp";

namespace {

// The value thrown by fault=int@N.
const int kThrownInt = 7;

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '+';
}

// The text after "key=" when the word starts with it, else null.
const char* ValueAfter(const char* word, size_t length, const char* key, size_t* valueLength) {
    size_t keyLength = strlen(key);
    if (length < keyLength || !TextEquals(word, keyLength, key)) {
        return nullptr;
    }
    *valueLength = length - keyLength;
    return word + keyLength;
}

// Splits "A@N" at its last '@'; false without one.
bool SplitAt(const char* value, size_t length, size_t* headLength, const char** count,
             size_t* countLength) {
    for (size_t i = length; i > 0; --i) {
        if (value[i - 1] == '@') {
            *headLength = i - 1;
            *count = value + i;
            *countLength = length - i;
            return true;
        }
    }
    return false;
}

// Reads N of "...@N": a whole number from 1 up.
bool ReadCount(const char* text, size_t length, unsigned* count) {
    unsigned value = 0;
    if (!ParseUnsigned(text, length, &value) || value == 0) {
        return false;
    }
    *count = value;
    return true;
}

bool ReadFaultKind(const char* text, size_t length, FaultKind* kind) {
    if (TextEquals(text, length, "av")) {
        *kind = kFaultAccessViolation;
    } else if (TextEquals(text, length, "div0")) {
        *kind = kFaultDivideByZero;
    } else if (TextEquals(text, length, "int")) {
        *kind = kFaultThrowInt;
    } else {
        return false;
    }
    return true;
}

// Applies one word; false when it is a known word with a bad value.
bool ApplyWord(const char* word, size_t length, Scenario* scenario) {
    size_t valueLength = 0;
    const char* value = nullptr;
    size_t headLength = 0;
    const char* count = nullptr;
    size_t countLength = 0;

    if ((value = ValueAfter(word, length, "quit=", &valueLength)) != nullptr) {
        int code = 0;
        unsigned at = 0;
        if (!SplitAt(value, valueLength, &headLength, &count, &countLength) ||
            !ParseDecimalInt(value, headLength, &code) || !ReadCount(count, countLength, &at)) {
            return false;
        }
        scenario->quitGiven = true;
        scenario->quitCode = code;
        scenario->quitAt = at;
    } else if ((value = ValueAfter(word, length, "initfail=", &valueLength)) != nullptr) {
        int result = 0;
        // 0 would let the game run, which is not a failure.
        if (!ParseDecimalInt(value, valueLength, &result) || result == 0) {
            return false;
        }
        scenario->initFail = result;
    } else if ((value = ValueAfter(word, length, "waitfile=", &valueLength)) != nullptr) {
        if (valueLength == 0 || valueLength >= kScenarioNameSize) {
            return false;
        }
        CopyText(scenario->waitFile, kScenarioNameSize, value, valueLength);
    } else if ((value = ValueAfter(word, length, "throw=", &valueLength)) != nullptr) {
        unsigned at = 0;
        if (TextEquals(value, valueLength, "init")) {
            scenario->throwAtInit = true;
        } else if (SplitAt(value, valueLength, &headLength, &count, &countLength) &&
                   TextEquals(value, headLength, "idle") && ReadCount(count, countLength, &at)) {
            scenario->throwAt = at;
        } else {
            return false;
        }
    } else if ((value = ValueAfter(word, length, "fault=", &valueLength)) != nullptr) {
        FaultKind kind = kFaultNone;
        unsigned at = 0;
        if (!SplitAt(value, valueLength, &headLength, &count, &countLength) ||
            !ReadFaultKind(value, headLength, &kind) || !ReadCount(count, countLength, &at)) {
            return false;
        }
        scenario->fault = kind;
        scenario->faultAt = at;
    } else if ((value = ValueAfter(word, length, "frames=", &valueLength)) != nullptr) {
        return ReadCount(value, valueLength, &scenario->frames); // untouched when bad
    } else if ((value = ValueAfter(word, length, "depth=", &valueLength)) != nullptr) {
        return ReadCount(value, valueLength, &scenario->faultDepth); // untouched when bad
    } else if ((value = ValueAfter(word, length, "bench=", &valueLength)) != nullptr) {
        return ReadCount(value, valueLength, &scenario->benchTurns); // untouched when bad
    } else if (TextEquals(word, length, "createfail")) {
        scenario->createFail = true;
    } else if (TextEquals(word, length, "createfault")) {
        scenario->createFault = true;
    }
    return true;
}

void NoteBadWord(const char* word, size_t length) {
    // The word is copied so the log can show it alone; a word too long for the copy
    // shows cut, which is enough to find it.
    char copy[kScenarioNameSize];
    CopyText(copy, sizeof(copy), word, length);
    CLogLine line("event", "badWord");
    line.AddText("word", copy);
    line.Write();
}

} // namespace

void ClearScenario(Scenario* scenario) {
    memset(scenario, 0, sizeof(*scenario));
    scenario->fault = kFaultNone;
}

void ReadScenarioWords(const char* text, bool skipFirstWord, Scenario* scenario) {
    if (text == nullptr) {
        return;
    }
    bool first = true;
    const char* p = text;
    while (*p != '\0') {
        while (IsSeparator(*p)) {
            ++p;
        }
        const char* word = p;
        while (*p != '\0' && !IsSeparator(*p)) {
            ++p;
        }
        size_t length = static_cast<size_t>(p - word);
        if (length == 0) {
            break;
        }
        bool isClassProper = first && skipFirstWord;
        first = false;
        if (!isClassProper && !ApplyWord(word, length, scenario)) {
            NoteBadWord(word, length);
        }
    }
}

void ClassProper(const char* gameClassName, char* dest, size_t capacity) {
    const char* start = gameClassName != nullptr ? gameClassName : "";
    while (IsSeparator(*start)) {
        ++start;
    }
    const char* end = start;
    while (*end != '\0' && !IsSeparator(*end)) {
        ++end;
    }
    CopyText(dest, capacity, start, static_cast<size_t>(end - start));
}

void ThrowScenarioException() {
    CLogLine thrown("event", "throw");
    thrown.AddText("type", "CEngineException");
    thrown.Write();
    throw CEngineException(kScenarioExceptionMessage, kScenarioExceptionFile,
                           kScenarioExceptionLine);
}

// Not inlined: the report is to show this frame, the one that faults.
__declspec(noinline) void RaiseScenarioFault(FaultKind kind) {
    switch (kind) {
    case kFaultAccessViolation: {
        // Read back through volatile storage, so the compiler cannot see the null.
        int* volatile target = nullptr;
        *target = 0;
        break;
    }
    case kFaultDivideByZero: {
        volatile int dividend = 1;
        volatile int divisor = 0;
        volatile int quotient = dividend / divisor;
        (void)quotient;
        break;
    }
    case kFaultThrowInt:
        throw kThrownInt;
    case kFaultNone:
        break;
    }
}

__declspec(noinline) void RaiseScenarioFaultAtDepth(FaultKind kind, unsigned depth) {
    // Read back after the call, so the call is not made a jump and this frame stays.
    volatile unsigned callsLeft = depth;
    if (depth <= 1) {
        RaiseScenarioFault(kind);
    } else {
        RaiseScenarioFaultAtDepth(kind, depth - 1);
    }
    callsLeft = callsLeft - 1;
}

const char* FaultKindName(FaultKind kind) {
    switch (kind) {
    case kFaultAccessViolation:
        return "av";
    case kFaultDivideByZero:
        return "div0";
    case kFaultThrowInt:
        return "int";
    case kFaultNone:
        break;
    }
    return "none";
}

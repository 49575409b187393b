#include "variable_dump.h"

#include "crash_report.h"
#include "debug_help.h"
#include "memory_probe.h"

#include <ctype.h>
#include <string.h>

#include <inttypes.h>

int dumpHeading = kHeadingNone;

namespace {

// The debug-help library's register numbers for frame-relative symbols.
#ifdef _WIN64
const ULONG kFramePointerRegister = 334; // CV_AMD64_RBP
const ULONG kStackPointerRegister = 335; // CV_AMD64_RSP
#else
const ULONG kFramePointerRegister = 22; // CV_REG_EBP
const ULONG kStackPointerRegister = 21; // CV_REG_ESP
#endif
// The register number that means "optimised out".
const ULONG kOptimisedOutRegister = static_cast<ULONG>(-3);

// An enumeration's children are its named values, not parts of the value: it is shown
// as the number it holds.
const DWORD kSymTagEnum = 12;

const uint64_t kLowestTextAddress = 4096;
const DWORD kMaxShownElements = 10;
// Members are shown this many levels deep, and at most this many per level, so that a
// broken type record cannot make the walk run away.
const int kMaxMemberLevel = 8;
const DWORD kMaxChildren = 256;
const int kTextScoreLimit = -10;
const int kControlBytePenalty = 5;

ULONG64 symbolModuleBase = 0;

bool TypeInfo(ULONG id, IMAGEHLP_SYMBOL_TYPE_INFO query, void* result) {
    return debugHelp.SymGetTypeInfo(debugHelpProcess, symbolModuleBase, id, query, result) != FALSE;
}

// The query's DWORD result, 0 when it fails.
DWORD TypeNumber(ULONG id, IMAGEHLP_SYMBOL_TYPE_INFO query) {
    DWORD value = 0;
    return TypeInfo(id, query, &value) ? value : 0;
}

uint64_t HighestUserAddress() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress);
}

// Where a frame-relative symbol lives: the register it names, in the walked frame, plus
// its offset. False when the register is neither frame nor stack pointer.
bool FrameRelativeAddress(const SYMBOL_INFO* symbol, const STACKFRAME64* frame, uint64_t* address) {
    uint64_t base = 0;
    if (symbol->Register == kStackPointerRegister) {
        base = frame->AddrStack.Offset;
    } else if (symbol->Register == kFramePointerRegister || symbol->Register == 0) {
        base = frame->AddrFrame.Offset;
    } else {
        return false;
    }
#ifdef _WIN64
    *address = base + symbol->Address; // the offset is a signed 64-bit number
#else
    // The offset comes as a zero-extended 32-bit number; only the low half of the sum is
    // the address.
    *address = static_cast<uint32_t>(base + symbol->Address);
#endif
    return true;
}

bool FormatValue(bool member, ULONG id, uint64_t address) {
    DWORD baseType = 0;
    DWORD typeId = 0;
    if (!TypeInfo(id, TI_GET_BASETYPE, &baseType)) {
        baseType = 0;
        if (TypeInfo(id, TI_GET_TYPEID, &typeId)) {
            baseType = TypeNumber(typeId, TI_GET_BASETYPE);
        }
    }
    const ULONG sized = member ? typeId : id;
    ULONG64 length = 0;
    if (!TypeInfo(sized, TI_GET_LENGTH, &length)) {
        length = 0;
    }
    return WriteValue(baseType, length, TypeNumber(sized, TI_GET_COUNT), address);
}

bool DumpType(ULONG id, int level, uint64_t address) {
    const DWORD childCount =
        TypeNumber(id, TI_GET_SYMTAG) == kSymTagEnum ? 0 : TypeNumber(id, TI_GET_CHILDRENCOUNT);
    WCHAR* name = nullptr;
    if (TypeInfo(id, TI_GET_SYMNAME, &name) && name != nullptr) {
        ReportWrite("%ls ", name);
        LocalFree(name);
    }
    if (childCount == 0 || level >= kMaxMemberLevel) {
        return FormatValue(level != 0, id, address);
    }
    struct {
        TI_FINDCHILDREN_PARAMS params;
        ULONG moreIds[kMaxChildren - 1];
    } children;
    memset(&children, 0, sizeof children);
    children.params.Count = childCount < kMaxChildren ? childCount : kMaxChildren;
    if (!TypeInfo(id, TI_FINDCHILDREN, &children.params)) {
        children.params.Count = 0;
    }
    ReportWrite("\r\n");
    bool readable = true;
    for (DWORD i = 0; i < children.params.Count && readable && !ReportIsCut(); ++i) {
        const ULONG child = children.params.ChildId[i];
        DWORD offset = 0;
        // Member functions, static members and nested types have no offset and no
        // place in the value: they are left out.
        if (!TypeInfo(child, TI_GET_OFFSET, &offset)) {
            continue;
        }
        for (int indent = 0; indent < level + 3; ++indent) {
            ReportWrite("  ");
        }
        readable = DumpType(child, level + 1, address + offset);
    }
    return readable;
}

} // namespace

bool LooksLikeText(uint64_t address) {
    static const uint64_t highest = HighestUserAddress();
    if (address < kLowestTextAddress || address > highest) {
        return false;
    }
    int score = 0;
    uint64_t at = address;
    for (;;) {
        const size_t readable = ReadableBytesAt(at);
        if (readable == 0) {
            return false;
        }
        const unsigned char* bytes =
            reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(at));
        for (size_t i = 0; i < readable; ++i) {
            const unsigned char c = bytes[i];
            if (c == '\0') {
                return score > 0;
            }
            if (isalnum(c)) {
                ++score;
            } else if (c < 0x20 || c > 0x7E) {
                score -= kControlBytePenalty;
                if (score <= kTextScoreLimit) {
                    return false;
                }
            }
        }
        at += readable;
    }
}

bool WriteValue(DWORD baseType, uint64_t length, uint64_t count, uint64_t address) {
    ReportWrite("= ");
    if (length == count && LooksLikeText(address)) {
        ReportWrite("\"%s\"\r\n", reinterpret_cast<const char*>(static_cast<uintptr_t>(address)));
        return true;
    }
    const uint64_t elementSize = count != 0 ? length / count : length;
    const uint64_t shown = count < kMaxShownElements ? count : kMaxShownElements;
    if (count != 0) {
        ReportWrite("{ ");
    }
    for (uint64_t i = 0; i < (count != 0 ? shown : 1); ++i) {
        uint64_t value = 0;
        const size_t size =
            elementSize < sizeof value ? static_cast<size_t>(elementSize) : sizeof value;
        if (!ReadMemorySafely(address, &value, size)) {
            return false;
        }
        if (baseType == kBaseTypeFloat) {
            double number = 0;
            if (elementSize == sizeof(float)) {
                float single = 0;
                memcpy(&single, &value, sizeof single);
                number = single;
            } else {
                memcpy(&number, &value, sizeof number);
            }
            ReportWrite("%lf", number);
        } else {
            if (elementSize == sizeof(void*) && LooksLikeText(value)) {
                ReportWrite("\"%s\"", reinterpret_cast<const char*>(static_cast<uintptr_t>(value)));
            } else {
                ReportWrite("%" PRIX64, value);
            }
            if (value < 256 && isprint(static_cast<int>(value))) {
                ReportWrite(" ('%c')", static_cast<int>(value));
            }
        }
        address += elementSize;
        if (count != 0) {
            ReportWrite(i + 1 == shown ? " }" : ", ");
        }
    }
    ReportWrite("\r\n");
    return true;
}

BOOL CALLBACK DumpSymbol(PSYMBOL_INFO symbol, ULONG /*symbolSize*/, PVOID userContext) {
    if (ReportIsCut()) {
        return FALSE;
    }
    const STACKFRAME64* frame = static_cast<const STACKFRAME64*>(userContext);
    symbolModuleBase = symbol->ModBase;
    if ((symbol->Flags & SYMFLAG_PARAMETER) != 0) {
        if (dumpHeading != kHeadingParams) {
            dumpHeading = kHeadingParams;
            ReportWrite("  params:\r\n");
        }
    } else if (dumpHeading != kHeadingLocals) {
        dumpHeading = kHeadingLocals;
        ReportWrite("  locals:\r\n");
    }
    ReportWrite("    %s ", symbol->Name);
    uint64_t address = symbol->Address;
    if ((symbol->Flags & SYMFLAG_REGREL) != 0) {
        if (!FrameRelativeAddress(symbol, frame, &address)) {
            ReportWrite("(relative to register %lu, not shown)\r\n", symbol->Register);
            return !ReportIsCut();
        }
    } else if ((symbol->Flags & SYMFLAG_REGISTER) != 0) {
        // The walk keeps no registers but the frame's own addresses, so the value of a
        // register-resident variable is not known here.
        ReportWrite("%s\r\n", symbol->Register == kOptimisedOutRegister
                                  ? "(optimised out)"
                                  : "(in a register, not shown)");
        return !ReportIsCut();
    }
    if (!DumpType(symbol->TypeIndex, 0, address)) {
        ReportWrite("\r\nError reading symbol %s!\r\n", symbol->Name);
    }
    return !ReportIsCut();
}

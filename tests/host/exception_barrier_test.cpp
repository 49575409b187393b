// The barrier's protected run inside this process: which exceptions it takes and how
// it names them, with a crash report for processor faults only. The whole path through
// Tarvex.exe and the engine is tested in tests/integration/test_crash.py.
#include "exception_barrier.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const std::string kSeparator = std::string(60, '*') + "\r\n\r";

void Returns(void* context) {
    *static_cast<int*>(context) = 1;
}

// Everything through volatile storage: the compiler may drop a store or a division
// whose outcome it can see.
void WritesThroughNull(void*) {
    volatile int* volatile target = nullptr;
    *target = 7;
}

void DividesByZero(void*) {
    volatile int dividend = 7;
    volatile int divisor = 0;
    volatile int quotient = dividend / divisor;
    (void)quotient;
}

void RaisesBreakpoint(void*) {
    RaiseException(EXCEPTION_BREAKPOINT, 0, 0, nullptr);
}

void ThrowsOwnException(void*) {
    throw std::string("a GCC throw");
}

// A processor fault inside a nested protected run does not reach the outer one.
void NestedFault(void* context) {
    CaughtException inner;
    RunProtected(WritesThroughNull, nullptr, &inner);
    *static_cast<unsigned*>(context) = inner.code;
}

TEST(ExceptionBarrier, TakesFaultsAndThrowsAndNamesThem) {
    struct Case {
        const char* name;
        void (*body)(void*);
        CaughtKind kind;
        unsigned code;
        bool reported;
    };
    const Case cases[] = {
        {"access violation", WritesThroughNull, kCaughtProcessorException, 0xC0000005u, true},
        {"division by zero", DividesByZero, kCaughtProcessorException, 0xC0000094u, true},
        {"breakpoint no debugger handles", RaisesBreakpoint, kCaughtProcessorException, 0x80000003u,
         true},
        {"throw of our own", ThrowsOwnException, kCaughtOther, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("exception_barrier_test");
        CaughtException caught;
        RunProtected(c.body, nullptr, &caught);
        EXPECT_EQ(caught.kind, c.kind);
        EXPECT_EQ(caught.code, c.code);
        const std::string report = ReadTextFile(folder.path() / "callstack.txt");
        EXPECT_EQ(!report.empty(), c.reported) << report;
        if (c.reported) {
            // The call-stack block names the body, the exception block the same.
            EXPECT_EQ(
                report.compare(0, kSeparator.size() + 17, kSeparator + "\r\r\nCall stack:\r\r\n"),
                0)
                << report;
            EXPECT_NE(report.find(kSeparator + "Exception occured at: "), std::string::npos);
        }
    }
}

TEST(ExceptionBarrier, BodyThatReturnsEndsNothing) {
    TempFolder folder("exception_barrier_test");
    int ran = 0;
    CaughtException caught;
    RunProtected(Returns, &ran, &caught);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(caught.kind, kCaughtNothing);
    unsigned innerCode = 0;
    RunProtected(NestedFault, &innerCode, &caught);
    EXPECT_EQ(innerCode, 0xC0000005u);
    EXPECT_EQ(caught.kind, kCaughtNothing);
}

TEST(DescribeException, GivesTheTableTextOrTheCodeInHexadecimal) {
    EXPECT_STREQ(DescribeException(0xC0000005u),
                 "The thread attempted to read from or write to a virtual address for which it "
                 "does not have the appropriate access.");
    EXPECT_STREQ(DescribeException(0xC0000094u),
                 "The thread attempted to divide an integer value by an integer divisor of zero.");
    EXPECT_STREQ(DescribeException(0xC0000025u),
                 "The thread attempted to continue execution after a noncontinuable exception "
                 "occurred.");
    EXPECT_STREQ(DescribeException(0xC00000FDu), "unknown exception: c00000fd");
    EXPECT_STREQ(DescribeException(1), "unknown exception: 1");
}

} // namespace

// The single-instance guard.
#include "host.h"

#include "test_folder.h"

#include <gtest/gtest.h>

namespace {

// Another copy holds the mutex: this test process itself, after its first call. The
// folder has no data\Running.scr, so a refusal shows no box.
class CheckSingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override { CheckSingleInstance(""); }

    TempFolder folder{"guard"};
};

TEST_F(CheckSingleInstanceTest, RefusesASecondCopy) {
    EXPECT_FALSE(CheckSingleInstance(""));
    EXPECT_FALSE(CheckSingleInstance("ini=x.ini -window"));
}

TEST_F(CheckSingleInstanceTest, TheSwitchLetsAFurtherCopyStart) {
    EXPECT_TRUE(CheckSingleInstance("-ami"));
    EXPECT_TRUE(CheckSingleInstance("ini=x.ini -ami"));
    EXPECT_TRUE(CheckSingleInstance("x-amiy")); // found inside a longer word too
    EXPECT_FALSE(CheckSingleInstance("-AMI"));  // the search is case-sensitive
}

TEST_F(CheckSingleInstanceTest, TheMutexHasTheAgreedName) {
    HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, "TarvexMutex");
    ASSERT_NE(other, nullptr);
    CloseHandle(other);
}

} // namespace

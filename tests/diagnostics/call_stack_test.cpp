// The call-stack report's text: its bound at the buffer's end, also for a real walk
// of a stack too deep for it.
#include "crash_report.h"
#include "variable_dump_fixture.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(ReportText, StopsAtTheBufferEndWithTheCutLine) {
    const size_t size = 256;
    const char guard = '#';
    char buffer[size + 16];
    memset(buffer, guard, sizeof buffer);
    ReportBegin(buffer, size);
    ReportWrite("%s", "first line\r\n");
    EXPECT_FALSE(ReportIsCut());
    for (int i = 0; i < 40; ++i) {
        ReportWrite("line %d of a long report\r\n", i);
    }
    EXPECT_TRUE(ReportIsCut());
    ReportWrite("dropped");
    const std::string text = buffer;
    EXPECT_EQ(text.size(), size - 1);
    EXPECT_EQ(text.compare(0, 12, "first line\r\n"), 0);
    EXPECT_EQ(text.substr(text.size() - strlen(kReportCutLine)), kReportCutLine);
    for (size_t i = size; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], guard) << "written past the buffer at " << i;
    }
}

TEST(ReportText, TextThatFitsExactlyIsNotCut) {
    char buffer[64];
    ReportBegin(buffer, sizeof buffer);
    const std::string exact(sizeof buffer - strlen(kReportCutLine) - 1, 'x');
    ReportWrite("%s", exact.c_str());
    EXPECT_FALSE(ReportIsCut());
    EXPECT_EQ(std::string(buffer), exact);
}

TEST(CallStack, DeepStackFillsTheReportAndEndsWithTheCutLine) {
    // Each frame shows its 200-character text: 700 of them need far more than 128 KB.
    memset(fixtureReport, '#', sizeof fixtureReport);
    DeepFrames(700);
    ASSERT_TRUE(fixtureWalked);
    const size_t length = strnlen(fixtureReport, sizeof fixtureReport);
    ASSERT_LT(length, sizeof fixtureReport) << "no NUL inside the buffer";
    EXPECT_GT(length, sizeof fixtureReport - 1024);
    const std::string text(fixtureReport, length);
    EXPECT_EQ(text.substr(length - strlen(kReportCutLine)), kReportCutLine);
    EXPECT_NE(text.find("DeepFrames"), std::string::npos);
}

} // namespace

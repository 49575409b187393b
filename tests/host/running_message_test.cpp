// The text of the "already running" box, read from data\Running.scr as stored.
#include "host_core.h"

#include "test_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MessageCase {
    const char* name;
    std::string bytes; // the file exactly as stored
    std::string caption;
    std::string text;
};

TEST(ReadRunningMessage, ReadsCaptionAndTextWithTheirDefaults) {
    const std::string longLine(200, 'a');
    const std::string longText(300, 't');
    const MessageCase cases[] = {
        {"empty", "", "Error", "Tarvex already running"},
        {"one line", "Only caption\n", "Only caption", "Tarvex already running"},
        {"one line, no line end", "Only caption", "Only caption", "Tarvex already running"},
        {"windows line ends", "Caption\r\nText\r\n", "Caption", "Text"},
        {"bare carriage return", "Cap\rtion\nTe\rxt\n", "Cap", "Te"},
        {"third line ignored", "C\nT\nmore\n", "C", "T"},
        {"empty first line", "\nText\n", "", "Text"},
        // The first read stops after 127 characters; the text read goes on from there.
        {"long first line", longLine + "\nnext\n", longLine.substr(0, 127), longLine.substr(127)},
        {"long second line", "C\n" + longText + "\n", "C", longText.substr(0, 255)},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("message");
        WriteTextFile("Running.scr", c.bytes);
        FILE* file = fopen("Running.scr", "rt");
        ASSERT_NE(file, nullptr);
        char caption[kRunningCaptionSize];
        char text[kRunningTextSize];
        ReadRunningMessage(file, caption, text);
        fclose(file);
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(text, c.text);
    }
}

} // namespace

// Which configuration file is read, and how the three settings come from its tree.
#include "host_core.h"

#include "filesystem.h"
#include "kvtree.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

struct PathCase {
    const char* moduleName;
    const char* tail;
    const char* path;
};

TEST(ConfigurationPath, TakesTheLastIniArgument) {
    const PathCase cases[] = {
        {"Tarvex.exe", "", "game.ini"},
        {"Tarvex.exe", "-window ini=x.ini", "x.ini"},
        {"Tarvex.exe", "ini=a.ini ini=b.ini", "b.ini"},
        {"Tarvex.exe", "ini=a.ini ini=", ""},     // empty: fails to parse, defaults stay
        {"Tarvex.exe", "INI=x.ini", "game.ini"},  // the prefix is case-sensitive
        {"Tarvex.exe", "xini=x.ini", "game.ini"}, // a prefix, not a substring
        {"ini=module", "", "module"},             // entry 0 takes part too
        {"ini=module", "ini=c.ini", "c.ini"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(std::string(c.moduleName) + " | " + c.tail);
        SplitArguments(c.moduleName, c.tail);
        EXPECT_STREQ(ConfigurationPath(), c.path);
    }
}

// A top-level chain built the way the parser leaves it.
class Tree {
  public:
    ~Tree() { delete first_; }

    // Appends a call node whose name is stored as given; text null gives a node
    // without parameters.
    CKVPARSE_KEYWORD* Add(const char* name, const char* text) {
        CKVPARSE_KEYWORD* node = new CKVPARSE_KEYWORD();
        strncpy(node->name, name, kKvNameLength);
        node->name[kKvNameLength] = '\0';
        if (text != nullptr) {
            node->params = new CKVPARSE_STRING(text, nullptr);
        }
        if (first_ == nullptr) {
            first_ = node;
        } else {
            last_->next = node;
        }
        last_ = node;
        return node;
    }

    const CKVPARSE_KEYWORD* First() const { return first_; }

  private:
    CKVPARSE_KEYWORD* first_ = nullptr;
    CKVPARSE_KEYWORD* last_ = nullptr;
};

class ApplySettingsTest : public ::testing::Test {
  protected:
    // An over-long value is logged, and the log asks the file system about
    // "debug.fnt", so it must have started, as in the host.
    static void SetUpTestSuite() { FS_init(); }
    static void TearDownTestSuite() { FS_shutdown(); }

    void SetUp() override { SetDefaultSettings(&settings); }

    void ExpectSettings(const char* gameClassName, const char* classFolder,
                        const char* packedClasses) {
        EXPECT_STREQ(settings.gameClassName, gameClassName);
        EXPECT_STREQ(settings.classFolder, classFolder);
        EXPECT_STREQ(settings.packedClasses, packedClasses);
    }

    GameSettings settings;
    Tree tree;
};

TEST_F(ApplySettingsTest, WithoutATreeTheDefaultsStay) {
    ApplySettings(nullptr, &settings);
    ExpectSettings("TestGame", "Java", "code");
}

TEST_F(ApplySettingsTest, KeysMatchWithoutRegardToCase) {
    tree.Add("javagameclassname", "DemoGame"); // the parser stores names lower-cased
    tree.Add("JAVACLASSES", "classes");
    tree.Add("JavaClassesPacked", "packed");
    tree.Add("other", "ignored");
    ApplySettings(tree.First(), &settings);
    ExpectSettings("DemoGame", "classes", "packed");
}

TEST_F(ApplySettingsTest, TheLastOccurrenceWins) {
    tree.Add("javaclasses", "first");
    tree.Add("javaclasses", "second");
    tree.Add("javaclasses", "third");
    ApplySettings(tree.First(), &settings);
    ExpectSettings("TestGame", "third", "code");
}

TEST_F(ApplySettingsTest, NestedBlocksAreNotLookedAt) {
    CKVPARSE_KEYWORD* parent = tree.Add("group", "g");
    parent->child = new CKVPARSE_KEYWORD();
    strcpy(parent->child->name, "javagameclassname");
    parent->child->params = new CKVPARSE_STRING("Nested", nullptr);
    ApplySettings(tree.First(), &settings);
    ExpectSettings("TestGame", "Java", "code");
}

TEST_F(ApplySettingsTest, AKeyWithoutAStringLeavesTheSetting) {
    tree.Add("javaclasses", "set");
    tree.Add("javaclasses", nullptr); // no parameter
    CKVPARSE_KEYWORD* number = tree.Add("javagameclassname", nullptr);
    number->params = new CKVPARSE_INT(7, nullptr);
    // A string that is not the first parameter does not count either.
    CKVPARSE_KEYWORD* mixed = tree.Add("javaclassespacked", nullptr);
    mixed->params = AppendParam(new CKVPARSE_INT(1, nullptr), new CKVPARSE_STRING("x", nullptr));
    ApplySettings(tree.First(), &settings);
    ExpectSettings("TestGame", "set", "code");
}

TEST_F(ApplySettingsTest, AValueLongerThan259CharactersIsIgnored) {
    const std::string longest(kSettingSize - 1, 'a');
    const std::string tooLong(kSettingSize, 'b');
    tree.Add("javaclasses", longest.c_str());
    tree.Add("javaclasses", tooLong.c_str());
    tree.Add("javagameclassname", "DemoGame");
    ApplySettings(tree.First(), &settings);
    ExpectSettings("DemoGame", longest.c_str(), "code");
}

} // namespace

// The stand-in engine TarvexEngine2.dll seen from a mingw program, as the host sees
// it: the four exports and the game object through CGame, each test in a fresh
// working folder whose engine.log it reads. Scenarios that end the process run in
// engine_loader.exe, a child that writes what reached it to exception.txt.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine.h"
#include "test_folder.h"

namespace {

const char kVersionVariable[] = "TARVEX_ENGINE_VERSION";
const int kShowDefault = 10;
// The engine's limit for one log line, and what Init answers when the demo window
// cannot be opened.
const size_t kLogLineSize = 65536;
const int kWindowFailedResult = 1;
// engine_loader.exe's code for an exception nothing handled.
const DWORD kLoaderUnhandledExit = 204;
const DWORD kChildTimeoutMs = 60000;

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string InstanceText(HINSTANCE instance) {
    return std::to_string(reinterpret_cast<size_t>(instance));
}

// A fresh working folder for each test, with the message queue drained on both sides
// so that no test sees another's WM_QUIT.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironmentVariableA(kVersionVariable, nullptr);
        DrainMessages();
        instance_ = GetModuleHandleA(nullptr);
    }

    void TearDown() override {
        DrainMessages();
        SetEnvironmentVariableA(kVersionVariable, nullptr);
    }

    // One more OnIdle, which must post the quit with code 0, then the object's end;
    // gives engine.log's lines.
    std::vector<std::string> QuitWithTheTurnAndEnd(CGame* game) {
        game->OnIdle();
        int code = -1;
        EXPECT_TRUE(DrainMessages(&code));
        EXPECT_EQ(code, 0);
        game->DeletingDestructor(1);
        return Log();
    }

    // Removes every waiting message; true when one of them was WM_QUIT, whose wParam
    // goes to code.
    static bool DrainMessages(int* code = nullptr) {
        bool quit = false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                if (code != nullptr) {
                    *code = static_cast<int>(message.wParam);
                }
            } else {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        return quit;
    }

    std::vector<std::string> Log() const { return ReadLines("engine.log"); }

    // InitializeGameScript and CreateGame with the host's arguments.
    CGame* StartGame(const char* gameClassName) {
        InitializeGameScript(instance_, "Java", "code", gameClassName);
        return CreateGame(gameClassName, instance_, 1);
    }

    std::string OnIdleLine(unsigned count) const {
        return "{\"call\":\"OnIdle\",\"count\":" + std::to_string(count) + "}";
    }

    // Runs engine_loader.exe in the working folder; its exit code.
    DWORD RunLoader(const std::string& gameClassName, const std::string& commandLine) {
        char self[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
        EXPECT_TRUE(length > 0 && length < sizeof(self));
        std::string loader(self, length);
        loader = loader.substr(0, loader.find_last_of("\\/") + 1) + "engine_loader.exe";
        std::string line = "\"" + loader + "\" \"" + gameClassName + "\" \"" + commandLine + "\"";

        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::vector<char> mutableLine(line.begin(), line.end());
        mutableLine.push_back('\0');
        if (!CreateProcessA(loader.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process)) {
            ADD_FAILURE() << "cannot start " << loader << ": " << GetLastError();
            return 0;
        }
        DWORD exitCode = 0;
        EXPECT_EQ(WaitForSingleObject(process.hProcess, kChildTimeoutMs), WAIT_OBJECT_0);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }

    TempFolder folder_{"engine"}; // made before SetUp, removed after TearDown
    HINSTANCE instance_ = nullptr;
};

TEST_F(EngineTest, HostSequenceLogsEveryCallInOrder) {
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->Init("", kShowDefault), 0);
    EXPECT_FALSE(DrainMessages());
    game->OnIdle();
    int code = -1;
    EXPECT_TRUE(DrainMessages(&code)) << "the default game ends in its first OnIdle";
    EXPECT_EQ(code, 0);
    game->DeletingDestructor(1);
    UninitializeGameScript();

    std::string instance = InstanceText(instance_);
    std::vector<std::string> expected = {
        "{\"call\":\"InitializeGameScript\",\"instance\":" + instance +
            ",\"classFolder\":\"Java\",\"packedClasses\":\"code\",\"gameClassName\":\"TestGame\"}",
        "{\"call\":\"CreateGame\",\"gameClassName\":\"TestGame\",\"instance\":" + instance +
            ",\"mode\":1}",
        "{\"call\":\"Init\",\"commandLine\":\"\",\"showCommand\":10,\"result\":0}",
        OnIdleLine(1),
        "{\"event\":\"postQuit\",\"code\":0}",
        "{\"call\":\"DeletingDestructor\",\"flags\":1}",
        "{\"call\":\"UninitializeGameScript\"}",
    };
    EXPECT_EQ(Log(), expected);
}

struct VersionCase {
    const char* value; // null: variable not set
    unsigned expected;
    const char* extraLine; // a line before the call's own, or null
};

TEST_F(EngineTest, VersionAnswersTheVariableOrTheRealVersion) {
    const std::string tooLong(40, '1');
    const VersionCase cases[] = {
        {nullptr, 0x10001, nullptr},
        {"65538", 65538, nullptr},
        {"0x20001", 0x20001, nullptr},
        {"0X10002", 0x10002, nullptr},
        {"4294967295", 0xFFFFFFFFu, nullptr},
        {"4294967296", 0x10001, "{\"event\":\"badEngineVersion\",\"value\":\"4294967296\"}"},
        {"12abc", 0x10001, "{\"event\":\"badEngineVersion\",\"value\":\"12abc\"}"},
        {"0x", 0x10001, "{\"event\":\"badEngineVersion\",\"value\":\"0x\"}"},
        {tooLong.c_str(), 0x10001, "{\"event\":\"badEngineVersion\",\"length\":40}"},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "(not set)");
        DeleteFileA("engine.log");
        SetEnvironmentVariableA(kVersionVariable, c.value);
        EXPECT_EQ(GetEngineDllVersion(), c.expected);
        std::vector<std::string> expected;
        if (c.extraLine != nullptr) {
            expected.push_back(c.extraLine);
        }
        expected.push_back(
            "{\"call\":\"GetEngineDllVersion\",\"result\":" + std::to_string(c.expected) + "}");
        EXPECT_EQ(Log(), expected);
    }
}

struct QuitCase {
    const char* gameClassName;
    const char* commandLine;
    int code;
    unsigned at; // the OnIdle that posts WM_QUIT
};

TEST_F(EngineTest, QuitComesInTheAskedOnIdleWithTheAskedCode) {
    const QuitCase cases[] = {
        {"TestGame", "quit=3@5", 3, 5},          {"TestGame+quit=3@5", "", 3, 5},
        {"TestGame quit=-2@1", "", -2, 1},       {"TestGame", "ini=other.ini\tquit=7@2 -ami", 7, 2},
        {"TestGame quit=1@9", "quit=4@3", 4, 3}, {"TestGame", "frames=4", 0, 4},
    };
    for (const QuitCase& c : cases) {
        SCOPED_TRACE(std::string(c.gameClassName) + " / " + c.commandLine);
        DeleteFileA("engine.log");
        CGame* game = StartGame(c.gameClassName);
        ASSERT_NE(game, nullptr);
        ASSERT_EQ(game->Init(c.commandLine, kShowDefault), 0);
        for (unsigned i = 1; i < c.at; ++i) {
            game->OnIdle();
            ASSERT_FALSE(DrainMessages()) << "early WM_QUIT in OnIdle " << i;
        }
        game->OnIdle();
        int code = 12345;
        EXPECT_TRUE(DrainMessages(&code));
        EXPECT_EQ(code, c.code);
        // A caller that goes on calling OnIdle gets no second quit, and the count
        // line before the destructor's shows the calls made after the quit.
        game->OnIdle();
        EXPECT_FALSE(DrainMessages());
        game->DeletingDestructor(1);
        std::vector<std::string> log = Log();
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[log.size() - 4], OnIdleLine(c.at));
        EXPECT_EQ(log[log.size() - 3],
                  "{\"event\":\"postQuit\",\"code\":" + std::to_string(c.code) + "}");
        EXPECT_EQ(log[log.size() - 2], OnIdleLine(c.at + 1));
        EXPECT_EQ(log.back(), "{\"call\":\"DeletingDestructor\",\"flags\":1}");
    }
}

TEST_F(EngineTest, BenchTimesItsTurnsThenQuits) {
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    ASSERT_EQ(game->Init("bench=3", kShowDefault), 0);
    game->OnIdle();
    game->OnIdle();
    ASSERT_FALSE(DrainMessages());
    std::vector<std::string> log = QuitWithTheTurnAndEnd(game);
    ASSERT_GE(log.size(), 4u);
    // The figures come before the quit; their values are times, so only the shape is checked.
    const std::string& bench = log[log.size() - 4];
    EXPECT_EQ(bench.rfind("{\"event\":\"bench\",\"turns\":3,\"firstTurn\":", 0), 0u) << bench;
    EXPECT_NE(bench.find(",\"ticks\":"), std::string::npos) << bench;
    EXPECT_EQ(log[log.size() - 3], OnIdleLine(3));
    EXPECT_EQ(log[log.size() - 2], "{\"event\":\"postQuit\",\"code\":0}");
}

TEST_F(EngineTest, InitFailAnswersItsNumberAndLogsNoOnIdle) {
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->Init("initfail=4", kShowDefault), 4);
    game->DeletingDestructor(1);
    UninitializeGameScript();
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2], "{\"call\":\"Init\",\"commandLine\":\"initfail=4\",\"showCommand\":10,"
                      "\"result\":4}");
    EXPECT_EQ(log[3], "{\"call\":\"DeletingDestructor\",\"flags\":1}");
}

TEST_F(EngineTest, BadWordsAreNotedAndSkipped) {
    const char* const words[] = {"quit=3",      "quit=x@2",          "quit=3@0",  "quit=3@-1",
                                 "initfail=0",  "initfail=",         "waitfile=", "throw=idle@",
                                 "throw=later", "fault=xx@1",        "fault=av",  "frames=0",
                                 "depth=0",     "quit=9999999999@1", "bench=0"};
    for (const char* word : words) {
        SCOPED_TRACE(word);
        DeleteFileA("engine.log");
        CGame* game = StartGame("TestGame");
        ASSERT_NE(game, nullptr);
        EXPECT_EQ(game->Init(word, kShowDefault), 0);
        // The word is gone, so the default quit of the first OnIdle stands.
        std::vector<std::string> log = QuitWithTheTurnAndEnd(game);
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[2], std::string("{\"event\":\"badWord\",\"word\":\"") + word + "\"}");
    }
}

TEST_F(EngineTest, WaitFileQuitsOnceTheFileExists) {
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    ASSERT_EQ(game->Init("waitfile=go.flag", kShowDefault), 0);
    for (int i = 0; i < 3; ++i) {
        game->OnIdle();
        ASSERT_FALSE(DrainMessages());
    }
    std::ofstream("go.flag") << "go";
    std::vector<std::string> log = QuitWithTheTurnAndEnd(game);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], OnIdleLine(4));
}

TEST_F(EngineTest, CreateFailAnswersNull) {
    EXPECT_EQ(StartGame("TestGame+createfail"), nullptr);
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2], "{\"event\":\"createFailed\"}");
}

TEST_F(EngineTest, LogLinesEscapeTextAndStayAscii) {
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->Init("say \"hi\" C:\\dir\\ \x01\xE9\r\n", kShowDefault), 0);
    game->DeletingDestructor(1);
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "{\"call\":\"Init\",\"commandLine\":\"say \\\"hi\\\" C:\\\\dir\\\\ "
                      "\\u0001\\u00e9\\r\\n\",\"showCommand\":10,\"result\":0}");
}

TEST_F(EngineTest, OverlongLineIsCutAndMarked) {
    // Every character needs a six-character escape, so the text alone is far more
    // than one line holds.
    const std::string commandLine(kLogLineSize / 2, '\x01');
    CGame* game = StartGame("TestGame");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->Init(commandLine.c_str(), kShowDefault), 0);
    game->DeletingDestructor(1);
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 4u);
    const std::string& line = log[2];
    EXPECT_LT(line.size(), kLogLineSize);
    const std::string head = "{\"call\":\"Init\",\"commandLine\":\"";
    ASSERT_EQ(line.compare(0, head.size(), head), 0);
    // The cut keeps whole escapes, closes the text and drops the fields that no
    // longer fit.
    const std::string tail = "\",\"truncated\":true}";
    ASSERT_GT(line.size(), head.size() + tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_EQ((line.size() - head.size() - tail.size()) % 6, 0u);
    EXPECT_EQ(log[3], "{\"call\":\"DeletingDestructor\",\"flags\":1}");
}

// Needs a display: without one the window cannot be made, and the test is skipped.
TEST_F(EngineTest, DemoWindowClosesItselfAfterItsFrames) {
    CGame* game = StartGame("DemoGame");
    ASSERT_NE(game, nullptr);
    int result = game->Init("frames=3", kShowDefault);
    if (result == kWindowFailedResult) {
        game->DeletingDestructor(1);
        GTEST_SKIP() << "no display for the demo window";
    }
    ASSERT_EQ(result, 0);
    int code = -1;
    bool quit = false;
    for (int i = 0; i < 3 && !quit; ++i) {
        EXPECT_FALSE(DrainMessages());
        game->OnIdle();
        quit = DrainMessages(&code);
    }
    EXPECT_TRUE(quit);
    EXPECT_EQ(code, 0);
    game->DeletingDestructor(1);
    UninitializeGameScript();
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], OnIdleLine(3));
}

// What a child run of engine_loader.exe must end with.
struct ChildCase {
    const char* commandLine;
    DWORD exitCode;
    const char* exceptionText; // exception.txt, or null when there must be none
    unsigned countLogged;      // the OnIdle count line before the end, 0 for none
};

TEST_F(EngineTest, ChildRunsEndAsTheScenarioAsks) {
    const ChildCase cases[] = {
        {"quit=5@2", 5, nullptr, 2},
        {"initfail=-3", static_cast<DWORD>(-3), nullptr, 0},
        // The default quit waits for the fault's OnIdle.
        {"fault=av@2", kLoaderUnhandledExit, "code=c0000005\n", 2},
        {"fault=div0@1", kLoaderUnhandledExit, "code=c0000094\n", 1},
        {"fault=int@3", kLoaderUnhandledExit, "code=e06d7363\ntype=.H\n", 3},
        {"throw=idle@2", kLoaderUnhandledExit,
         "code=e06d7363\ntype=.?AVCEngineException@@\nmessage=scenario exception\n"
         "sourceFile=engine_scenarios.cpp\nsourceLine=12\n",
         2},
        {"throw=init", kLoaderUnhandledExit,
         "code=e06d7363\ntype=.?AVCEngineException@@\nmessage=scenario exception\n"
         "sourceFile=engine_scenarios.cpp\nsourceLine=12\n",
         0},
    };
    for (const ChildCase& c : cases) {
        SCOPED_TRACE(c.commandLine);
        DeleteFileA("engine.log");
        DeleteFileA("exception.txt");
        EXPECT_EQ(RunLoader("TestGame", c.commandLine), c.exitCode);

        std::vector<std::string> report = ReadLines("exception.txt");
        std::string reportText;
        for (const std::string& line : report) {
            reportText += line + "\n";
        }
        EXPECT_EQ(reportText, c.exceptionText != nullptr ? c.exceptionText : "");

        std::vector<std::string> log = Log();
        size_t countLines = 0;
        for (const std::string& line : log) {
            if (line.compare(0, 23, "{\"call\":\"OnIdle\",\"count") == 0) {
                ++countLines;
                EXPECT_EQ(line, OnIdleLine(c.countLogged));
            }
        }
        EXPECT_EQ(countLines, c.countLogged != 0 ? 1u : 0u);
        // A run that crashed never reached the destructor.
        bool deleted = !log.empty() && log.back() == "{\"call\":\"UninitializeGameScript\"}";
        EXPECT_EQ(deleted, c.exceptionText == nullptr);
    }
}

} // namespace

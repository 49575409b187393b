// The parse tree model: strings, value chains and their copies, node ownership,
// and the binary dump's exact bytes.
#include "kvtree.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

TEST(DupString, CopiesIntoANewArray) {
    EXPECT_EQ(DupString(nullptr), nullptr);
    const char empty[] = "";
    char* emptyCopy = DupString(empty);
    ASSERT_NE(emptyCopy, nullptr);
    EXPECT_NE(emptyCopy, empty);
    EXPECT_STREQ(emptyCopy, "");
    KvReleaseString(emptyCopy);
    const char text[] = "speed";
    char* copy = DupString(text);
    EXPECT_NE(copy, text);
    EXPECT_STREQ(copy, "speed");
    KvReleaseString(copy);
}

TEST(Values, OwnCopiesOfTheirStrings) {
    char name[] = "car";
    char text[] = "red";
    CKVPARSE_STRING value(text, name);
    name[0] = 'X';
    text[0] = 'X';
    EXPECT_STREQ(value.name, "car");
    EXPECT_STREQ(value.value, "red");
    EXPECT_EQ(value.type, KV_STRING);
    EXPECT_EQ(value.next, nullptr);

    CKVPARSE_STRING empty(nullptr, nullptr);
    EXPECT_EQ(empty.value, nullptr);
    EXPECT_EQ(empty.name, nullptr);
    CKVPARSE_PARAM slot(KV_FLOAT, nullptr);
    EXPECT_EQ(slot.type, KV_FLOAT);
    EXPECT_EQ(CKVPARSE_INT(1, nullptr).type, KV_INT);
    EXPECT_EQ(CKVPARSE_FLOAT(1, nullptr).type, KV_FLOAT);
}

// int 1 (from %a), float 2.5, string "x" (from %s): deleted element by element.
struct ValueChain {
    CKVPARSE_INT* first = new CKVPARSE_INT(1, "a");
    CKVPARSE_FLOAT* second = new CKVPARSE_FLOAT(2.5f, nullptr);
    CKVPARSE_STRING* third = new CKVPARSE_STRING("x", "s");
    ValueChain() {
        first->next = second;
        second->next = third;
    }
    ~ValueChain() {
        delete first;
        delete second;
        delete third;
    }
};

void DeleteValues(CKVPARSE_PARAM* p) {
    while (p) {
        CKVPARSE_PARAM* following = p->next;
        delete p;
        p = following;
    }
}

TEST(Values, CopyConstructorsCopyTheRestOfTheChain) {
    ValueChain chain;
    CKVPARSE_INT* whole = new CKVPARSE_INT(*chain.first);
    EXPECT_EQ(RenderValues(whole), "1%a,2.5f,\"x\"%s");
    // New elements and new strings throughout.
    for (const CKVPARSE_PARAM *copy = whole, *source = chain.first; copy;
         copy = copy->next, source = source->next) {
        EXPECT_NE(copy, source);
        EXPECT_EQ(copy->type, source->type);
        if (copy->name) {
            EXPECT_NE(copy->name, source->name);
        }
    }
    EXPECT_EQ(typeid(*whole->next->next), typeid(CKVPARSE_STRING));
    EXPECT_NE(static_cast<CKVPARSE_STRING*>(whole->next->next)->value, chain.third->value);

    CKVPARSE_FLOAT* rest = new CKVPARSE_FLOAT(*chain.second);
    EXPECT_EQ(RenderValues(rest), "2.5f,\"x\"%s");
    CKVPARSE_STRING* last = new CKVPARSE_STRING(*chain.third);
    EXPECT_EQ(RenderValues(last), "\"x\"%s");
    DeleteValues(whole);
    DeleteValues(rest);
    DeleteValues(last);
}

TEST(Values, CopyValueChainKeepsSlotsAsSlots) {
    EXPECT_EQ(CopyValueChain(nullptr), nullptr);
    CKVPARSE_PARAM* slots =
        AppendParam(new CKVPARSE_PARAM(KV_INT, nullptr), new CKVPARSE_PARAM(KV_STRING, nullptr));
    CKVPARSE_PARAM* copy = CopyValueChain(slots);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(typeid(*copy), typeid(CKVPARSE_PARAM));
    EXPECT_EQ(copy->type, KV_INT);
    ASSERT_NE(copy->next, nullptr);
    EXPECT_EQ(typeid(*copy->next), typeid(CKVPARSE_PARAM));
    EXPECT_EQ(copy->next->type, KV_STRING);
    DeleteValues(slots);
    DeleteValues(copy);
}

TEST(Values, AppendParam) {
    CKVPARSE_INT* a = new CKVPARSE_INT(1, nullptr);
    EXPECT_EQ(AppendParam(nullptr, a), a);
    CKVPARSE_INT* b = new CKVPARSE_INT(2, nullptr);
    CKVPARSE_INT* c = new CKVPARSE_INT(3, nullptr);
    CKVPARSE_INT* d = new CKVPARSE_INT(4, nullptr);
    c->next = d; // the appended element keeps what follows it
    EXPECT_EQ(AppendParam(a, b), a);
    EXPECT_EQ(AppendParam(a, c), a);
    EXPECT_EQ(RenderValues(a), "1,2,3,4");
    DeleteValues(a);
}

// A node that counts its destructions, by name.
std::vector<std::string> destroyed;

struct CountedNode : CKVPARSE_KEYWORD {
    explicit CountedNode(const char* text) { strcpy(name, text); }
    ~CountedNode() override { destroyed.push_back(name); }
};

struct CountedInt : CKVPARSE_INT {
    explicit CountedInt(int32_t v) : CKVPARSE_INT(v, nullptr) {}
    ~CountedInt() override { destroyed.push_back("param" + std::to_string(value)); }
};

TEST(Keyword, DeletingANodeDeletesWhatFollowsItOnly) {
    destroyed.clear();
    // a -> b -> c, b holding params 1, 2 and the child chain d -> e.
    CountedNode* a = new CountedNode("a");
    CountedNode* b = new CountedNode("b");
    CountedNode* c = new CountedNode("c");
    CountedNode* d = new CountedNode("d");
    CountedNode* e = new CountedNode("e");
    a->params = new CountedInt(0);
    a->next = b;
    b->next = c;
    b->child = d;
    d->next = e;
    b->params = AppendParam(new CountedInt(1), new CountedInt(2));

    delete b;
    std::vector<std::string> sorted = destroyed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"b", "c", "d", "e", "param1", "param2"}));
    // The node before it is untouched.
    EXPECT_STREQ(a->name, "a");
    EXPECT_EQ(static_cast<CKVPARSE_INT*>(a->params)->value, 0);
    a->next = nullptr;
    destroyed.clear();
    delete a;
    // The counting destructor runs before the node's own releases its parameters.
    EXPECT_EQ(destroyed, (std::vector<std::string>{"a", "param0"}));
}

CKVPARSE_KEYWORD* Node(const char* name, CKVPARSE_PARAM* params = nullptr,
                       CKVPARSE_KEYWORD* child = nullptr, CKVPARSE_KEYWORD* next = nullptr) {
    CKVPARSE_KEYWORD* node = new CKVPARSE_KEYWORD();
    strcpy(node->name, name);
    node->params = params;
    node->child = child;
    node->next = next;
    return node;
}

TEST(Keyword, CopyIsDeepAndIndependent) {
    CKVPARSE_KEYWORD* tree = Node(
        "a", AppendParam(new CKVPARSE_INT(1, "n"), new CKVPARSE_STRING("s", nullptr)),
        Node("b", nullptr, Node("c", new CKVPARSE_FLOAT(0.5f, nullptr)), Node("d")), Node("e"));
    const std::string before = Render(tree);
    EXPECT_EQ(before, "a(1%n,\"s\"){b(){c(0.5f)} d()} e()");
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*tree);
    EXPECT_NE(copy->child, tree->child);
    EXPECT_NE(copy->params, tree->params);
    delete tree; // the copy shares nothing with it
    EXPECT_EQ(Render(copy), before);
    // Copying from the second node copies it and the siblings after it.
    CKVPARSE_KEYWORD* rest = new CKVPARSE_KEYWORD(*copy->child);
    EXPECT_EQ(Render(rest), "b(){c(0.5f)} d()");
    delete rest;
    delete copy;
}

TEST(Keyword, GetFirstString) {
    CKVPARSE_KEYWORD bare;
    EXPECT_EQ(bare.GetFirstString(), nullptr);
    CKVPARSE_KEYWORD number;
    number.params = AppendParam(new CKVPARSE_INT(1, nullptr), new CKVPARSE_STRING("s", nullptr));
    EXPECT_EQ(number.GetFirstString(), nullptr);
    CKVPARSE_KEYWORD text;
    text.params = AppendParam(new CKVPARSE_STRING("Java", nullptr), new CKVPARSE_INT(1, nullptr));
    ASSERT_NE(text.GetFirstString(), nullptr);
    EXPECT_STREQ(text.GetFirstString(), "Java");
    CKVPARSE_KEYWORD nullText;
    nullText.params = new CKVPARSE_STRING(nullptr, nullptr);
    EXPECT_EQ(nullText.GetFirstString(), nullptr);
}

// Long chains and deep nesting copy, dump and delete without deep recursion.
TEST(Keyword, MillionSiblingsAndDeepNesting) {
    const int kCount = 1000000;
    CKVPARSE_KEYWORD* chain = nullptr;
    for (int i = 0; i < kCount; ++i)
        chain = Node("k", new CKVPARSE_INT(i, nullptr), nullptr, chain);
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*chain);
    int count = 0;
    for (const CKVPARSE_KEYWORD* node = copy; node; node = node->next)
        ++count;
    EXPECT_EQ(count, kCount);
    delete chain;
    delete copy;

    const int kDepth = 200000;
    CKVPARSE_KEYWORD* deep = nullptr;
    for (int i = 0; i < kDepth; ++i)
        deep = Node("n", nullptr, deep);
    CKVPARSE_KEYWORD* deepCopy = new CKVPARSE_KEYWORD(*deep);
    int depth = 0;
    for (const CKVPARSE_KEYWORD* node = deepCopy; node; node = node->child)
        ++depth;
    EXPECT_EQ(depth, kDepth);
    EnterWorkspace();
    FILE* file = fopen("deep.bin", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(deep->Save(file), 1u);
    fclose(file);
    delete deep;
    delete deepCopy;
}

// ---- The binary dump ----

std::string Bytes(std::initializer_list<int32_t> words, const char* text = nullptr) {
    std::string out;
    for (int32_t word : words) {
        const uint32_t w = static_cast<uint32_t>(word);
        for (int shift = 0; shift < 32; shift += 8)
            out += static_cast<char>((w >> shift) & 0xFF);
    }
    if (text)
        out += text;
    return out;
}

std::string Dump(CKVPARSE_KEYWORD* tree, size_t* result = nullptr) {
    EnterWorkspace();
    FILE* file = fopen("dump.bin", "wb");
    EXPECT_NE(file, nullptr);
    const size_t written = tree->Save(file);
    if (result)
        *result = written;
    fclose(file);
    std::ifstream in("dump.bin", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(Save, ExampleTree) {
    // a(1) { b("x") } c()
    CKVPARSE_KEYWORD* tree = Node("a", new CKVPARSE_INT(1, nullptr),
                                  Node("b", new CKVPARSE_STRING("x", nullptr)), Node("c"));
    size_t result = 0;
    const std::string bytes = Dump(tree, &result);
    // clang-format off
    const unsigned char golden[] = {
        16, 0, 0, 0,   1, 0, 0, 0,   'a',                  // node a
        0, 0, 0, 0,    1, 0, 0, 0,   0, 0, 0, 0,           // int 1, no variable
        32, 0, 0, 0,                                       // child chain
        16, 0, 0, 0,   1, 0, 0, 0,   'b',                  // node b
        2, 0, 0, 0,    1, 0, 0, 0,   'x',   0, 0, 0, 0,    // string "x", no variable
        0xFF, 0xFF, 0xFF, 0xFF,                            // end of the child chain
        16, 0, 0, 0,   1, 0, 0, 0,   'c',                  // node c
        0xFF, 0xFF, 0xFF, 0xFF,                            // end of the top chain
    };
    // clang-format on
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(golden), sizeof golden));
    EXPECT_EQ(result, 1u);
    delete tree;
}

TEST(Save, SmallCases) {
    struct Case {
        const char* what;
        CKVPARSE_KEYWORD* tree;
        std::string bytes;
    };
    float quarter = 0.25f;
    uint32_t quarterBits;
    memcpy(&quarterBits, &quarter, 4);
    const Case cases[] = {
        {"bare node", Node("name"), Bytes({16, 4}, "name") + Bytes({-1})},
        {"empty string", Node("s", new CKVPARSE_STRING("", nullptr)),
         Bytes({16, 1}, "s") + Bytes({2, 0, 0, -1})},
        {"null string", Node("s", new CKVPARSE_STRING(nullptr, nullptr)),
         Bytes({16, 1}, "s") + Bytes({2, 0, 0, -1})},
        {"variable name", Node("v", new CKVPARSE_INT(-2, "speed")),
         Bytes({16, 1}, "v") + Bytes({0, -2, 5}, "speed") + Bytes({-1})},
        {"float bits", Node("f", new CKVPARSE_FLOAT(0.25f, nullptr)),
         Bytes({16, 1}, "f") + Bytes({1, static_cast<int32_t>(quarterBits), 0, -1})},
        {"child chain ending two chains", Node("p", nullptr, Node("q", nullptr, Node("r"))),
         Bytes({16, 1}, "p") + Bytes({32, 16, 1}, "q") + Bytes({32, 16, 1}, "r") +
             Bytes({-1, -1, -1})},
        {"empty name", Node(""), Bytes({16, 0, -1})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Dump(c.tree), c.bytes) << c.what;
        delete c.tree;
    }
}

TEST(Save, ReportsAFailedFinalWrite) {
    EnterWorkspace();
    WriteTextFile("readonly.bin", "");
    FILE* file = fopen("readonly.bin", "rb");
    ASSERT_NE(file, nullptr);
    CKVPARSE_KEYWORD* node = Node("x");
    EXPECT_EQ(node->Save(file), 0u);
    fclose(file);
    delete node;
}

} // namespace

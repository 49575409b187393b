#include "json_writer.h"
#include "tree_builder.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

float FromBits(uint32_t bits) {
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t ToBits(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct FloatCase {
    float value;
    const char* json;
};

TEST(JsonFloat, PrintsTheShortestTextThatReadsBackAsAFloat) {
    const FloatCase cases[] = {
        {0.1f, "0.1"},
        {5.0f, "5.0"},
        {-2.5f, "-2.5"},
        {0.0f, "0.0"},
        {-0.0f, "-0.0"},
        {1e-45f, "1e-45"}, // the smallest subnormal
        {3.4028235e38f, "3.4028235e+38"},
        {16777216.0f, "16777216.0"},
        {123456.79f, "123456.79"},
        {1e10f, "1e+10"},
        {std::numeric_limits<float>::infinity(), "\"inf\""},
        {-std::numeric_limits<float>::infinity(), "\"-inf\""},
        {std::numeric_limits<float>::quiet_NaN(), "\"nan\""},
        {FromBits(0xFFC00001u), "\"nan\""}, // a negative NaN with a payload
    };
    for (const FloatCase& c : cases)
        EXPECT_EQ(JsonFloat(c.value), c.json) << "bits " << std::hex << ToBits(c.value);
}

// Every finite float, sampled across the whole bit range, reads back bit for bit
// and looks like a float (a '.' or an exponent), never like an integer.
TEST(JsonFloat, EveryFiniteSampleReadsBackExactly) {
    const uint32_t kStride = 200003; // about 40 samples per exponent, both signs
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += kStride) {
        float value = FromBits(static_cast<uint32_t>(bits));
        if (!std::isfinite(value))
            continue;
        std::string text = JsonFloat(value);
        ASSERT_NE(text.find_first_of(".e"), std::string::npos) << text;
        float back = strtof(text.c_str(), nullptr);
        ASSERT_EQ(ToBits(back), ToBits(value)) << text;
    }
}

struct StringCase {
    const char* text;
    const char* json;
};

TEST(JsonString, EscapesQuotesBackslashesAndEveryNonPrintableByte) {
    const StringCase cases[] = {
        {"plain text", "\"plain text\""},
        {"", "\"\""},
        {nullptr, "\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\game\\data", "\"C:\\\\game\\\\data\""},
        {"line\r\nnext\ttab", "\"line\\u000d\\u000anext\\u0009tab\""},
        {"\x01\x1f", "\"\\u0001\\u001f\""},
        {" ~/'", "\" ~/'\""},
        {"\x7f\x80\xe9\xff", "\"\\u007f\\u0080\\u00e9\\u00ff\""},
    };
    for (const StringCase& c : cases)
        EXPECT_EQ(JsonString(c.text), c.json) << (c.text ? c.text : "(null)");
}

TEST(JsonFromTree, AnEmptyTreeIsAnEmptyArray) {
    EXPECT_EQ(JsonFromTree(nullptr), "[]\n");
}

// Pins the layout: scripts' authors and their tools compare this text.
TEST(JsonFromTree, WritesNodesParametersVariablesAndChildrenInChainOrder) {
    std::unique_ptr<CKVPARSE_KEYWORD> tree(MakeChain({
        MakeNode(
            "window",
            {new CKVPARSE_INT(-3, nullptr), new CKVPARSE_FLOAT(2.5f, "scale"),
             new CKVPARSE_STRING("Main \"menu\"", nullptr)},
            MakeChain({
                MakeNode("button", {new CKVPARSE_STRING("ok", "label")}, MakeNode("empty", {})),
                MakeNode("spacer", {}),
            })),
        MakeNode("quit", {}),
    }));
    const char* expected = R"([
  {
    "name": "window",
    "params": [
      {"type": "int", "value": -3},
      {"type": "float", "value": 2.5, "var": "scale"},
      {"type": "string", "value": "Main \"menu\""}
    ],
    "children": [
      {
        "name": "button",
        "params": [
          {"type": "string", "value": "ok", "var": "label"}
        ],
        "children": [
          {
            "name": "empty",
            "params": []
          }
        ]
      },
      {
        "name": "spacer",
        "params": []
      }
    ]
  },
  {
    "name": "quit",
    "params": []
  }
]
)";
    EXPECT_EQ(JsonFromTree(tree.get()), expected);
}

// A variable with an empty name (the script wrote '%' alone) still shows as one.
TEST(JsonFromTree, ShowsAnEmptyVariableName) {
    std::unique_ptr<CKVPARSE_KEYWORD> tree(MakeNode("n", {new CKVPARSE_INT(7, "")}));
    EXPECT_NE(JsonFromTree(tree.get()).find("{\"type\": \"int\", \"value\": 7, \"var\": \"\"}"),
              std::string::npos);
}

// A long sibling chain and deep nesting are written by loops, not by recursion.
TEST(JsonFromTree, WritesLongChainsAndDeepNesting) {
    const int kSiblings = 50000;
    CKVPARSE_KEYWORD* chain = nullptr;
    for (int i = 0; i < kSiblings; ++i) {
        CKVPARSE_KEYWORD* node = MakeNode("s", {});
        node->next = chain;
        chain = node;
    }
    const int kDepth = 1000;
    CKVPARSE_KEYWORD* deep = nullptr;
    for (int i = 0; i < kDepth; ++i)
        deep = MakeNode("d", {}, deep);
    chain->child = deep;
    std::unique_ptr<CKVPARSE_KEYWORD> tree(chain);

    std::string json = JsonFromTree(tree.get());
    size_t nodes = 0;
    size_t children = 0;
    for (size_t at = json.find("\"name\""); at != std::string::npos;
         at = json.find("\"name\"", at + 1))
        ++nodes;
    for (size_t at = json.find("\"children\""); at != std::string::npos;
         at = json.find("\"children\"", at + 1))
        ++children;
    EXPECT_EQ(nodes, static_cast<size_t>(kSiblings + kDepth));
    EXPECT_EQ(children, static_cast<size_t>(kDepth));
    const std::string ending = "\"params\": []\n  }\n]\n";
    ASSERT_GE(json.size(), ending.size());
    EXPECT_EQ(json.substr(json.size() - ending.size()), ending);
    // The names hold no brackets, so balanced brackets mean every level was closed.
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '['), std::count(json.begin(), json.end(), ']'));
}

} // namespace

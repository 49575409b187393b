#include "json_writer.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>
#include <vector>

namespace {

// Room for "%.9g" of any float ("-1.17549435e-38" is 15 characters).
const size_t kFloatTextSize = 32;
// The most significant digits a float ever needs to read back exactly.
const int kFloatMaxDigits = 9;

void AppendString(std::string& out, const char* text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p;
         ++p) {
        unsigned char c = *p;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void AppendFloat(std::string& out, float value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "\"-inf\"" : "\"inf\"";
        return;
    }
    char text[kFloatTextSize];
    for (int digits = 1; digits <= kFloatMaxDigits; ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        text[sizeof text - 1] = '\0';
        float back = strtof(text, nullptr);
        if (back == value && std::signbit(back) == std::signbit(value))
            break;
    }
    out += text;
    // "5" or "-0" would read back as an integer.
    if (!strpbrk(text, ".e"))
        out += ".0";
}

void AppendParam(std::string& out, const CKVPARSE_PARAM* param) {
    out += "{\"type\": ";
    switch (param->type) {
    case KV_INT:
        out += "\"int\", \"value\": ";
        out += std::to_string(static_cast<const CKVPARSE_INT*>(param)->value);
        break;
    case KV_FLOAT:
        out += "\"float\", \"value\": ";
        AppendFloat(out, static_cast<const CKVPARSE_FLOAT*>(param)->value);
        break;
    default:
        out += "\"string\", \"value\": ";
        AppendString(out, static_cast<const CKVPARSE_STRING*>(param)->value);
        break;
    }
    if (param->name) {
        out += ", \"var\": ";
        AppendString(out, param->name);
    }
    out += '}';
}

void Indent(std::string& out, size_t level) {
    out.append(2 * level, ' ');
}

// Writes a node's opening brace, its name and its parameters, leaving the
// parameter array closed and the node open.
void AppendNodeHead(std::string& out, const CKVPARSE_KEYWORD* node, size_t level) {
    Indent(out, level);
    out += "{\n";
    Indent(out, level + 1);
    out += "\"name\": ";
    AppendString(out, node->name);
    out += ",\n";
    Indent(out, level + 1);
    out += "\"params\": [";
    if (node->params) {
        out += '\n';
        for (const CKVPARSE_PARAM* p = node->params; p; p = p->next) {
            Indent(out, level + 2);
            AppendParam(out, p);
            out += p->next ? ",\n" : "\n";
        }
        Indent(out, level + 1);
    }
    out += ']';
}

} // namespace

std::string JsonFromTree(const CKVPARSE_KEYWORD* root) {
    std::string out;
    if (!root) {
        out += "[]\n";
        return out;
    }
    out += "[\n";
    // For each open child array: the sibling that follows its parent node.
    std::vector<const CKVPARSE_KEYWORD*> resume;
    const CKVPARSE_KEYWORD* node = root;
    size_t level = 1;
    for (;;) {
        AppendNodeHead(out, node, level);
        if (node->child) {
            out += ",\n";
            Indent(out, level + 1);
            out += "\"children\": [\n";
            resume.push_back(node->next);
            node = node->child;
            level += 2;
            continue;
        }
        out += '\n';
        Indent(out, level);
        out += '}';
        const CKVPARSE_KEYWORD* following = node->next;
        while (!following) {
            out += '\n';
            if (resume.empty()) {
                out += "]\n";
                return out;
            }
            level -= 2;
            Indent(out, level + 1);
            out += "]\n";
            Indent(out, level);
            out += '}';
            following = resume.back();
            resume.pop_back();
        }
        out += ",\n";
        node = following;
    }
}

std::string JsonFloat(float value) {
    std::string out;
    AppendFloat(out, value);
    return out;
}

std::string JsonString(const char* text) {
    std::string out;
    AppendString(out, text);
    return out;
}

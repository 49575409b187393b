// Writes a deterministic script of about the given size for the parser benchmark:
// mixed int, float and string calls, about 20% with nested blocks 1 to 3 deep,
// line and block comments, a few prototypes and constants.
//
//   kvgen SIZE_MB OUT
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

uint32_t state = 12345;

uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

uint32_t Below(uint32_t n) { return Next() % n; }

const char* const kWords[] = {"alpha", "bravo",  "charlie", "delta", "echo",
                              "fox",   "golf",   "hotel",   "india", "juliet",
                              "kilo",  "lima",   "mike",    "nov",   "oscar"};
const int kWordCount = sizeof kWords / sizeof kWords[0];

void Indent(std::string& out, int depth) { out.append(static_cast<size_t>(depth) * 4, ' '); }

void Call(std::string& out, int depth) {
    char text[160];
    Indent(out, depth);
    switch (Below(6)) {
    case 0:
        snprintf(text, sizeof text, "count(%u)", Below(100000));
        break;
    case 1:
        snprintf(text, sizeof text, "pos(%u.%u, -%u.%02u, %u)", Below(1000), Below(1000), Below(100),
                 Below(100), Below(50));
        break;
    case 2:
        snprintf(text, sizeof text, "name(\"%s %s %u\")", kWords[Below(kWordCount)],
                 kWords[Below(kWordCount)], Below(1000));
        break;
    case 3:
        snprintf(text, sizeof text, "entity(\"%s_%u\", %u)", kWords[Below(kWordCount)], Below(10000),
                 Below(256));
        break;
    case 4:
        snprintf(text, sizeof text, "prop(\"%s\", speed)", kWords[Below(kWordCount)]);
        break;
    default:
        snprintf(text, sizeof text, "Limit(maxn)");
        break;
    }
    out += text;
}

void Statement(std::string& out, int depth) {
    uint32_t roll = Below(100);
    if (roll < 5) {
        Indent(out, depth);
        out += "// ";
        out += kWords[Below(kWordCount)];
        out += " settings follow\n";
    } else if (roll < 8) {
        Indent(out, depth);
        out += "/* block comment: ";
        out += kWords[Below(kWordCount)];
        out += " */\n";
    }
    Call(out, depth);
    // About one call in five opens a block, 1 to 3 levels deep in all.
    if (depth < 3 && Below(100) < (depth == 0 ? 20u : 35u)) {
        out += " {\n";
        uint32_t inner = 1 + Below(4);
        for (uint32_t i = 0; i < inner; i++)
            Statement(out, depth + 1);
        Indent(out, depth);
        out += "}\n";
    } else {
        out += "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kvgen SIZE_MB OUT\n");
        return 2;
    }
    double megabytes = atof(argv[1]);
    size_t target = static_cast<size_t>(megabytes * 1024 * 1024);
    FILE* file = fopen(argv[2], "wb");
    if (!file) {
        perror(argv[2]);
        return 2;
    }
    std::string out =
        "// generated benchmark script\n"
        "!count(i)\n!pos(f, f, f)\n!name(s)\n!entity(string, int)\n!prop(s, f)\n!limit(i)\n"
        "$speed(f, 2.5)\n$maxn(i, 100)\n$title(s, \"benchmark\")\n\n";
    size_t written = 0;
    while (written + out.size() < target) {
        for (int i = 0; i < 64; i++)
            Statement(out, 0);
        fwrite(out.data(), 1, out.size(), file);
        written += out.size();
        out.clear();
    }
    fclose(file);
    return 0;
}

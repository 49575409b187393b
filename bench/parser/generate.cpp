// Writes a deterministic script of about the given size for the parser benchmark,
// with the same content in two other notations for the libraries it is compared
// with: STEM.kv in the script language, STEM.json and STEM.cfg (libconfig).
//
// The script holds mixed int, float and string calls, about 20% with nested blocks
// 1 to 3 deep, line and block comments, a few prototypes and constants. In the
// other notations a call is an object whose one key is the keyword and whose value
// is the list of arguments, with its nested block under "block"; a constant is
// written as its value. JSON has no comments, so its copy leaves them out.
//
//   kvgen SIZE_MB STEM
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

uint32_t state = 12345;

uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

uint32_t Below(uint32_t n) {
    return Next() % n;
}

const char* const kWords[] = {"alpha", "bravo",  "charlie", "delta", "echo", "fox", "golf", "hotel",
                              "india", "juliet", "kilo",    "lima",  "mike", "nov", "oscar"};
const int kWordCount = sizeof kWords / sizeof kWords[0];

const char* Word() {
    return kWords[Below(kWordCount)];
}

// One argument as the script writes it and as the other notations do: they differ
// only for a constant, which they write as its value.
struct Arg {
    std::string script;
    std::string data;
};

Arg Literal(const char* format, ...) __attribute__((format(printf, 1, 2)));

Arg Literal(const char* format, ...) {
    char text[96];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return {text, text};
}

struct Out {
    std::string kv;
    std::string json;
    std::string cfg;
};

void Indent(Out& out, int depth) {
    const size_t width = static_cast<size_t>(depth) * 4;
    out.kv.append(width, ' ');
    out.json.append(width, ' ');
    out.cfg.append(width, ' ');
}

void Call(Out& out) {
    const char* name;
    std::vector<Arg> args;
    // Each value drawn in its own statement, so the order does not depend on the
    // compiler's order of evaluating arguments.
    switch (Below(6)) {
    case 0:
        name = "count";
        args.push_back(Literal("%u", Below(100000)));
        break;
    case 1: {
        name = "pos";
        const uint32_t a = Below(1000), b = Below(1000), c = Below(100), d = Below(100);
        args.push_back(Literal("%u.%u", a, b));
        args.push_back(Literal("-%u.%02u", c, d));
        args.push_back(Literal("%u", Below(50)));
        break;
    }
    case 2: {
        name = "name";
        const char* first = Word();
        const char* second = Word();
        args.push_back(Literal("\"%s %s %u\"", first, second, Below(1000)));
        break;
    }
    case 3: {
        name = "entity";
        const char* word = Word();
        args.push_back(Literal("\"%s_%u\"", word, Below(10000)));
        args.push_back(Literal("%u", Below(256)));
        break;
    }
    case 4:
        name = "prop";
        args.push_back(Literal("\"%s\"", Word()));
        args.push_back({"speed", "2.5"});
        break;
    default:
        name = "Limit";
        args.push_back({"maxn", "100"});
        break;
    }
    out.kv += name;
    out.kv += '(';
    out.json += "{\"";
    out.json += name;
    out.json += "\": [";
    out.cfg += "{ ";
    out.cfg += name;
    out.cfg += " = (";
    for (size_t i = 0; i < args.size(); i++) {
        if (i > 0) {
            out.kv += ", ";
            out.json += ", ";
            out.cfg += ", ";
        }
        out.kv += args[i].script;
        out.json += args[i].data;
        out.cfg += args[i].data;
    }
    out.kv += ')';
    out.json += ']';
    out.cfg += ");";
}

void Statement(Out& out, int depth) {
    const uint32_t roll = Below(100);
    if (roll < 8) {
        const char* word = Word();
        out.kv.append(static_cast<size_t>(depth) * 4, ' ');
        out.cfg.append(static_cast<size_t>(depth) * 4, ' ');
        std::string comment = roll < 5 ? std::string("// ") + word + " settings follow\n"
                                       : std::string("/* block comment: ") + word + " */\n";
        out.kv += comment;
        out.cfg += comment;
    }
    Indent(out, depth);
    Call(out);
    // About one call in five opens a block, 1 to 3 levels deep in all.
    if (depth < 3 && Below(100) < (depth == 0 ? 20u : 35u)) {
        out.kv += " {\n";
        out.json += ", \"block\": [\n";
        out.cfg += " block = (\n";
        const uint32_t inner = 1 + Below(4);
        for (uint32_t i = 0; i < inner; i++) {
            if (i > 0) {
                out.json += ",\n";
                out.cfg += ",\n";
            }
            Statement(out, depth + 1);
        }
        out.json += "\n";
        out.cfg += "\n";
        Indent(out, depth);
        out.kv += "}";
        out.json += "]}";
        out.cfg += "); }";
    } else {
        out.json += '}';
        out.cfg += " }";
    }
    out.kv += '\n';
}

FILE* Create(const std::string& path) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        perror(path.c_str());
        exit(2);
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kvgen SIZE_MB STEM\n");
        return 2;
    }
    const double megabytes = atof(argv[1]);
    const size_t target = static_cast<size_t>(megabytes * 1024 * 1024);
    const std::string stem = argv[2];
    FILE* kv = Create(stem + ".kv");
    FILE* json = Create(stem + ".json");
    FILE* cfg = Create(stem + ".cfg");

    Out out;
    out.kv = "// generated benchmark script\n"
             "!count(i)\n!pos(f, f, f)\n!name(s)\n!entity(string, int)\n!prop(s, f)\n!limit(i)\n"
             "$speed(f, 2.5)\n$maxn(i, 100)\n$title(s, \"benchmark\")\n\n";
    out.json = "{\"prototypes\": {\"count\": [\"i\"], \"pos\": [\"f\", \"f\", \"f\"], "
               "\"name\": [\"s\"], \"entity\": [\"string\", \"int\"], \"prop\": [\"s\", \"f\"], "
               "\"limit\": [\"i\"]},\n"
               "\"constants\": {\"speed\": 2.5, \"maxn\": 100, \"title\": \"benchmark\"},\n"
               "\"script\": [\n";
    out.cfg = "// generated benchmark script\n"
              "prototypes = { count = (\"i\"); pos = (\"f\", \"f\", \"f\"); name = (\"s\");\n"
              "    entity = (\"string\", \"int\"); prop = (\"s\", \"f\"); limit = (\"i\"); };\n"
              "constants = { speed = 2.5; maxn = 100; title = \"benchmark\"; };\n"
              "script = (\n";
    size_t written = 0;
    bool first = true;
    while (written + out.kv.size() < target) {
        for (int i = 0; i < 64; i++) {
            if (!first) {
                out.json += ",\n";
                out.cfg += ",\n";
            }
            first = false;
            Statement(out, 0);
        }
        fwrite(out.kv.data(), 1, out.kv.size(), kv);
        fwrite(out.json.data(), 1, out.json.size(), json);
        fwrite(out.cfg.data(), 1, out.cfg.size(), cfg);
        written += out.kv.size();
        // Emptied, not replaced: the strings keep their room for the next batch.
        out.kv.clear();
        out.json.clear();
        out.cfg.clear();
    }
    fputs("\n]}\n", json);
    fputs("\n);\n", cfg);
    fclose(kv);
    fclose(json);
    fclose(cfg);
    return 0;
}

// Fuzzes the script parser through its entry point: each input becomes the file
// input.ini in a temporary folder mounted in the stand-in file system and is
// parsed with ParseScriptFile (callbacks that know a few variables). Pre-written
// files let inputs include other files: other.ini includes input.ini back (a
// cycle), sub/nested.ini includes other.ini.
//
// The oracle: for every input that parses, the JSON of the tree, of its deep copy
// and of its binary dump read back are the same text; any difference aborts (run
// the saved input again with KVPARSE_FUZZ_VERBOSE set to see the texts).
//
//   kvparse_fuzz [libFuzzer flags] CORPUS...
//
// The parser's reports go to standard error through the stderr log; so that they
// do not drown the fuzzer's own output, -close_fd_mask=2 is added unless a
// close_fd_mask flag is given or KVPARSE_FUZZ_VERBOSE is set (libFuzzer keeps its
// own output and the sanitizer reports on a copy of standard error).
#include "filesystem.h"
#include "json_writer.h"
#include "kvdump.h"
#include "kvparse.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const char kInputName[] = "input.ini";

// The pre-written files, relative to the fuzzing folder.
struct Fixture {
    const char* name;
    const char* text;
};
const Fixture kFixtures[] = {
    {"other.ini", "!other(i) $shared(i, 7) $label(s, \"other\")\n"
                  "other(shared)\n!include(\"input.ini\")\n"},
    {"sub/nested.ini", "!nested(f, s) nested(%scale, label)\n!include(\"../other.ini\")\n"},
    {"empty.ini", ""},
};

char folder[] = "/tmp/kvparse-fuzz-XXXXXX";

bool IntVariable(int32_t* value, const char* name) {
    if (strcmp(name, "width") == 0) {
        *value = 640;
        return true;
    }
    if (strcmp(name, "quality") == 0) {
        *value = 2;
        return true;
    }
    return false;
}

bool FloatVariable(float* value, const char* name) {
    if (strcmp(name, "scale") != 0)
        return false;
    *value = 1.5f;
    return true;
}

bool StringVariable(char* value, const char* name) {
    if (strcmp(name, "title") == 0) {
        strcpy(value, "Tarvex");
        return true;
    }
    if (strcmp(name, "other") == 0) {
        strcpy(value, "other.ini");
        return true;
    }
    if (strcmp(name, "full") == 0) { // the whole place the parser gives
        memset(value, 'x', kKvStringVariableSize - 1);
        value[kKvStringVariableSize - 1] = '\0';
        return true;
    }
    return false;
}

// The path of name inside the fuzzing folder.
std::string InFolder(const char* name) {
    return std::string(folder) + "/" + name;
}

bool WriteFile(const char* name, const void* data, size_t size) {
    FILE* file = fopen(InFolder(name).c_str(), "wb");
    if (!file)
        return false;
    const bool written = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

void RemoveFolder() {
    remove(InFolder(kInputName).c_str());
    for (const Fixture& fixture : kFixtures)
        remove(InFolder(fixture.name).c_str());
    rmdir(InFolder("sub").c_str());
    rmdir(folder);
}

// Adds -close_fd_mask=2 to the flags libFuzzer is about to read.
void QuietStandardError(int* argc, char*** argv) {
    if (getenv("KVPARSE_FUZZ_VERBOSE"))
        return;
    for (int i = 1; i < *argc; ++i) {
        if (strstr((*argv)[i], "close_fd_mask"))
            return;
    }
    static std::vector<char*> arguments;
    static char flag[] = "-close_fd_mask=2";
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + 1, flag);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
}

// Ends the run as a finding: libFuzzer saves the input that caused it.
[[noreturn]] void Mismatch(const char* what, const std::string& got, const std::string& tree) {
    fprintf(stderr, "kvparse_fuzz: %s differs from the tree\n--- tree:\n%s\n--- %s:\n%s\n", what,
            tree.c_str(), what, got.c_str());
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    QuietStandardError(argc, argv);
    // The working folder stays as it is: libFuzzer reads the corpus and writes its
    // artifacts relative to it.
    if (!mkdtemp(folder)) {
        perror("kvparse_fuzz: cannot make a temporary folder");
        exit(1);
    }
    atexit(RemoveFolder);
    if (mkdir(InFolder("sub").c_str(), 0755) != 0) {
        perror("kvparse_fuzz: cannot make sub/");
        exit(1);
    }
    for (const Fixture& fixture : kFixtures) {
        if (!WriteFile(fixture.name, fixture.text, strlen(fixture.text))) {
            perror(fixture.name);
            exit(1);
        }
    }
    FS_init();
    FS_add_source(folder, 0, 0, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteFile(kInputName, data, size))
        return 0;
    CKVPARSE_KEYWORD* tree =
        ParseScriptFile(kInputName, IntVariable, FloatVariable, StringVariable);
    if (!tree)
        return 0;
    const std::string json = JsonFromTree(tree);
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*tree);
    const std::string copyJson = JsonFromTree(copy);
    delete copy;
    char* dump = nullptr;
    size_t dumpSize = 0;
    FILE* file = open_memstream(&dump, &dumpSize);
    if (!file)
        abort();
    const bool saved = tree->Save(file) == 1;
    fclose(file);
    delete tree;
    CKVPARSE_KEYWORD* back = nullptr;
    std::string error;
    const bool read =
        ReadDump(reinterpret_cast<const unsigned char*>(dump), dumpSize, &back, &error);
    free(dump);
    if (!saved || !read)
        Mismatch("the dump", saved ? error : "the final write failed", json);
    const std::string backJson = JsonFromTree(back);
    delete back;
    if (copyJson != json)
        Mismatch("the copy", copyJson, json);
    if (backJson != json)
        Mismatch("the dump read back", backJson, json);
    return 0;
}

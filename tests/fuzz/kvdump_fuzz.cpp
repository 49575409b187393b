// Fuzzes the binary dump reader, which reads files from outside: any bytes must
// give a clear error or a tree, never a crash or a hang. The oracle: the reader
// accepts exactly what Save writes, so a dump it accepts is saved back to the
// same bytes, and a refusal names its fault.
//
//   kvdump_fuzz [libFuzzer flags] CORPUS...
#include "kvdump.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

[[noreturn]] void Finding(const char* what) {
    fprintf(stderr, "kvdump_fuzz: %s\n", what);
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CKVPARSE_KEYWORD* tree = nullptr;
    std::string error;
    if (!ReadDump(data, size, &tree, &error)) {
        if (error.empty())
            Finding("a refused dump without a message");
        return 0;
    }
    if (!tree) {
        // An empty tree is the end tag alone.
        static const unsigned char kEndTag[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        if (size != sizeof kEndTag || memcmp(data, kEndTag, size) != 0)
            Finding("an empty tree from more than the end tag");
        return 0;
    }
    char* saved = nullptr;
    size_t savedSize = 0;
    FILE* file = open_memstream(&saved, &savedSize);
    if (!file)
        abort();
    tree->Save(file);
    fclose(file);
    delete tree;
    const bool same = savedSize == size && memcmp(saved, data, size) == 0;
    free(saved);
    if (!same)
        Finding("an accepted dump saves back to other bytes");
    return 0;
}

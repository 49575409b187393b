// Times the script parser on one file and prints its figures.
//
//   kvbench FILE [REPEATS]
//
// The first parse of the process is the cold one (the host parses once at
// start-up); REPEATS warm parse-and-delete rounds follow (default 3). Heap use is
// counted by replacing the global allocation functions: "tree" is what the parse
// result holds once the parser has gone, "peak" the most the heap held during
// the parse (file buffer, scratch array and tree together).
#include "filesystem.h"
#include "kvparse.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace {

size_t heapNow = 0;
size_t heapPeak = 0;

// Each block carries its size in front, so delete knows what it gives back.
const size_t kHeader = 16;

void* CountedAlloc(size_t size) {
    unsigned char* block = static_cast<unsigned char*>(malloc(size + kHeader));
    if (!block)
        throw std::bad_alloc();
    memcpy(block, &size, sizeof size);
    heapNow += size;
    if (heapNow > heapPeak)
        heapPeak = heapNow;
    return block + kHeader;
}

void CountedFree(void* p) {
    if (!p)
        return;
    unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
    size_t size;
    memcpy(&size, block, sizeof size);
    heapNow -= size;
    free(block);
}

double Seconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Round {
    double parse;
    double destroy;
    size_t tree;
    size_t peak;
    long faults;   // page faults during the parse
    double system; // seconds the kernel spent for the process during the parse
};

double SystemSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

Round ParseOnce(const char* name) {
    Round round;
    size_t before = heapNow;
    heapPeak = heapNow;
    rusage usageBefore;
    getrusage(RUSAGE_SELF, &usageBefore);
    double start = Seconds();
    CKVPARSE_KEYWORD* tree = ParseScriptFile(name, nullptr, nullptr, nullptr);
    double parsed = Seconds();
    rusage usageAfter;
    getrusage(RUSAGE_SELF, &usageAfter);
    round.faults = usageAfter.ru_minflt - usageBefore.ru_minflt;
    round.system = SystemSeconds(usageAfter) - SystemSeconds(usageBefore);
    round.tree = heapNow - before;
    round.peak = heapPeak - before;
    if (!tree) {
        fprintf(stderr, "kvbench: the parse of %s failed\n", name);
        exit(1);
    }
    delete tree;
    round.destroy = Seconds() - parsed;
    round.parse = parsed - start;
    return round;
}

} // namespace

void* operator new(size_t size) {
    return CountedAlloc(size);
}
void* operator new[](size_t size) {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
    CountedFree(p);
}

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: kvbench FILE [REPEATS]\n");
        return 2;
    }
    std::string path = argv[1];
    int repeats = argc == 3 ? atoi(argv[2]) : 3;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        perror(path.c_str());
        return 2;
    }
    double megabytes = static_cast<double>(info.st_size) / (1024.0 * 1024.0);

    // Mount the file's folder and parse it by its bare name, as the host does.
    std::string folder = ".";
    std::string name = path;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
        folder = path.substr(0, slash);
        name = path.substr(slash + 1);
    }
    FS_init();
    FS_add_source(folder.c_str(), 0, 0, 0);

    Round cold = ParseOnce(name.c_str());
    std::vector<Round> warm;
    for (int i = 0; i < repeats; i++)
        warm.push_back(ParseOnce(name.c_str()));
    FS_shutdown();

    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    double fileBytes = static_cast<double>(info.st_size);
    printf("file %.1f MB\n", megabytes);
    printf("cold: parse %.1f MB/s (%.3f s), delete %.1f MB/s (%.3f s, %.2fx parse)\n",
           megabytes / cold.parse, cold.parse, megabytes / cold.destroy, cold.destroy,
           cold.destroy / cold.parse);
    printf("cold: %ld page faults, %.3f s of the parse in the kernel\n", cold.faults, cold.system);
    printf("cold: tree %.2fx file, peak heap %.2fx file\n",
           static_cast<double>(cold.tree) / fileBytes, static_cast<double>(cold.peak) / fileBytes);
    if (!warm.empty()) {
        auto best = *std::min_element(warm.begin(), warm.end(), [](const Round& a, const Round& b) {
            return a.parse < b.parse;
        });
        printf(
            "warm (best of %d): parse %.1f MB/s (%.3f s), delete %.1f MB/s (%.3f s, %.2fx parse), "
            "%ld page faults\n",
            repeats, megabytes / best.parse, best.parse, megabytes / best.destroy, best.destroy,
            best.destroy / best.parse, best.faults);
    }
    printf("process: max resident %.2fx file\n",
           static_cast<double>(usage.ru_maxrss) * 1024.0 / fileBytes);
    return 0;
}

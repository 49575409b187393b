// Times one parser on one file and prints its figures: the script parser on a
// script, or for comparison rapidjson (with its pool allocator) on the JSON copy
// of the same content, or libconfig on the libconfig copy (kvgen writes all three).
//
//   kvbench kv|rapidjson|libconfig FILE [REPEATS]
//
// The first parse of the process is the cold one (the host parses once at
// start-up); REPEATS warm parse-and-delete rounds follow (default 3). A parse
// includes reading the file. Memory is the process's resident size, the same
// measure for all three: "tree" is what the result holds once the parse has
// returned, "peak" the most the parse held at once (file buffer and result).
#include "filesystem.h"
#include "kvparse.h"

#include <libconfig.h>
#include <rapidjson/document.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

double Seconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

size_t ResidentBytes() {
    long pages = 0;
    long resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (!statm || fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
        fprintf(stderr, "kvbench: cannot read /proc/self/statm\n");
        exit(1);
    }
    fclose(statm);
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Sets the process's resident peak back to its resident size now.
void ResetResidentPeak() {
    FILE* refs = fopen("/proc/self/clear_refs", "w");
    if (refs) {
        fputs("5", refs);
        fclose(refs);
    }
}

[[noreturn]] void Fail(const char* what, const char* path) {
    fprintf(stderr, "kvbench: the parse of %s failed: %s\n", path, what);
    exit(1);
}

// One parser: Parse reads and parses the file and keeps the result, Delete
// releases it.
struct ScriptParser {
    CKVPARSE_KEYWORD* tree = nullptr;
    std::string name; // the file's bare name in its mounted folder

    explicit ScriptParser(const std::string& path) {
        // Mount the file's folder and parse it by its bare name, as the host does.
        std::string folder = ".";
        name = path;
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos) {
            folder = path.substr(0, slash);
            name = path.substr(slash + 1);
        }
        FS_init();
        FS_add_source(folder.c_str(), 0, 0, 0);
    }
    ~ScriptParser() { FS_shutdown(); }
    void Parse() {
        tree = ParseScriptFile(name.c_str(), nullptr, nullptr, nullptr);
        if (!tree)
            Fail("no tree", name.c_str());
    }
    void Delete() {
        delete tree;
        tree = nullptr;
    }
};

struct RapidJsonParser {
    using Document =
        rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<>>;
    Document* document = nullptr;
    std::string path;

    explicit RapidJsonParser(const std::string& file) : path(file) {}
    void Parse() {
        FILE* file = fopen(path.c_str(), "rb");
        if (!file)
            Fail("cannot open", path.c_str());
        fseek(file, 0, SEEK_END);
        const size_t length = static_cast<size_t>(ftell(file));
        fseek(file, 0, SEEK_SET);
        char* text = static_cast<char*>(malloc(length));
        if (!text || fread(text, 1, length, file) != length)
            Fail("cannot read", path.c_str());
        fclose(file);
        document = new Document();
        document->Parse(text, length);
        free(text);
        if (document->HasParseError())
            Fail("syntax error", path.c_str());
    }
    void Delete() {
        delete document;
        document = nullptr;
    }
};

struct LibconfigParser {
    config_t config;
    std::string path;

    explicit LibconfigParser(const std::string& file) : path(file) {}
    void Parse() {
        config_init(&config);
        if (config_read_file(&config, path.c_str()) != CONFIG_TRUE)
            Fail(config_error_text(&config), path.c_str());
    }
    void Delete() { config_destroy(&config); }
};

// Wall-clock and processor seconds: on a busy machine the processor time is closer
// to the work's own cost.
struct Times {
    double wall;
    double cpu;
};

Times Now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {Seconds(), static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9};
}

Times Since(const Times& start) {
    const Times now = Now();
    return {now.wall - start.wall, now.cpu - start.cpu};
}

struct Round {
    Times parse;
    Times destroy;
    size_t tree;   // resident growth once the parse has returned
    size_t peak;   // resident peak during the parse, above the size before it
    double system; // processor seconds of the parse in the kernel
    long faults;   // page faults during the parse
};

template <class Parser> Round ParseOnce(Parser& parser) {
    Round round;
    ResetResidentPeak();
    const size_t before = ResidentBytes();
    rusage usageBefore;
    getrusage(RUSAGE_SELF, &usageBefore);
    const Times start = Now();
    parser.Parse();
    round.parse = Since(start);
    rusage usageAfter;
    getrusage(RUSAGE_SELF, &usageAfter);
    round.peak = static_cast<size_t>(usageAfter.ru_maxrss) * 1024 - before;
    round.tree = ResidentBytes() - before;
    round.faults = usageAfter.ru_minflt - usageBefore.ru_minflt;
    round.system = Seconds(usageAfter.ru_stime) - Seconds(usageBefore.ru_stime);
    const Times deleting = Now();
    parser.Delete();
    round.destroy = Since(deleting);
    return round;
}

template <class Parser> std::vector<Round> Measure(Parser& parser, int repeats) {
    std::vector<Round> rounds;
    for (int i = 0; i <= repeats; i++)
        rounds.push_back(ParseOnce(parser));
    return rounds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: kvbench kv|rapidjson|libconfig FILE [REPEATS]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const std::string path = argv[2];
    const int repeats = argc == 4 ? atoi(argv[3]) : 3;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        perror(path.c_str());
        return 2;
    }

    std::vector<Round> rounds;
    if (kind == "kv") {
        ScriptParser parser(path);
        rounds = Measure(parser, repeats);
    } else if (kind == "rapidjson") {
        RapidJsonParser parser(path);
        rounds = Measure(parser, repeats);
    } else if (kind == "libconfig") {
        LibconfigParser parser(path);
        rounds = Measure(parser, repeats);
    } else {
        fprintf(stderr, "kvbench: unknown parser %s\n", kind.c_str());
        return 2;
    }

    const double fileBytes = static_cast<double>(info.st_size);
    const double megabytes = fileBytes / (1024.0 * 1024.0);
    const Round& cold = rounds.front();
    printf("%s: file %.1f MB\n", kind.c_str(), megabytes);
    printf("cold: parse %.1f MB/s (%.3f s, cpu %.3f s), delete %.3f s (cpu %.3f s, %.3fx parse)\n",
           megabytes / cold.parse.wall, cold.parse.wall, cold.parse.cpu, cold.destroy.wall,
           cold.destroy.cpu, cold.destroy.wall / cold.parse.wall);
    printf("cold: %ld page faults, cpu %.3f s of the parse in the kernel\n", cold.faults,
           cold.system);
    printf("cold: tree %.2fx file, peak %.2fx file (resident)\n",
           static_cast<double>(cold.tree) / fileBytes, static_cast<double>(cold.peak) / fileBytes);
    if (repeats > 0) {
        const Round& best =
            *std::min_element(rounds.begin() + 1, rounds.end(), [](const Round& a, const Round& b) {
                return a.parse.wall < b.parse.wall;
            });
        printf("warm (best of %d): parse %.1f MB/s (%.3f s, cpu %.3f s), delete %.3f s (cpu %.3f "
               "s), %ld page faults\n",
               repeats, megabytes / best.parse.wall, best.parse.wall, best.parse.cpu,
               best.destroy.wall, best.destroy.cpu, best.faults);
    }
    // For bench/parser/run.sh: the cold round's seconds and peak.
    printf("figures: %.4f %.4f %.4f %.4f %.3f\n", cold.parse.wall, cold.parse.cpu,
           cold.destroy.wall, cold.destroy.cpu, static_cast<double>(cold.peak) / fileBytes);
    return 0;
}

// Times the chunk splitter on a generated log against cp of the same file, in one run, each
// twice in alternating order. Usage: bench-split [folder] [mebibytes]
#include "BenchSupport.h"

#include "app/MainForm.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
namespace stdfs = std::filesystem;
using namespace trawlmeter;

std::string makeBenchFolder(const char* parent) {
    std::string pattern =
        (stdfs::path(parent ? parent : stdfs::temp_directory_path().c_str()) / "bench-split-XXXXXX")
            .string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// Writes back what earlier steps left dirty, so neither side pays for the other's writes.
void settle() {
    if (std::system("sync") != 0) {
        std::fprintf(stderr, "sync failed\n");
    }
}

double timeSplit(MainForm& form, const std::string& source) {
    if (form.CmdCreateTemp_Click() != RunStep::Done) {
        return -1.0;
    }
    settle();
    const auto start = std::chrono::steady_clock::now();
    if (form.FileSplit(source, split::chunkBasePath(form.programFolder()), split::kRunChunkBuffers,
                       split::kRunBufferBytes, FinishMessage::Show) != RunStep::Done) {
        return -1.0;
    }
    const double seconds = bench::secondsSince(start);
    std::uintmax_t total = 0;
    for (const auto& name : form.LstiisFile.items()) {
        total += stdfs::file_size(split::chunkPath(form.programFolder(), name));
    }
    if (total != stdfs::file_size(source)) {
        std::fprintf(stderr, "chunks hold %ju bytes, the source %ju\n", total,
                     stdfs::file_size(source));
        return -1.0;
    }
    std::printf("  split: %.3f s (%lld chunks)\n", seconds,
                static_cast<long long>(form.LstiisFile.ListCount()));
    (void)form.CmdDeleteTemp_Click();
    return seconds;
}

double timeCopy(const std::string& source, const std::string& target) {
    stdfs::remove(target);
    settle();
    const double seconds = bench::timeShellCommand("cp '" + source + "' '" + target + "'");
    std::printf("  cp:    %.3f s\n", seconds);
    stdfs::remove(target);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = makeBenchFolder(argc > 1 ? argv[1] : nullptr);
    const long long mebibytes = argc > 2 ? std::atoll(argv[2]) : 1024;
    if (folder.empty() || mebibytes <= 0) {
        std::fprintf(stderr, "usage: bench-split [folder] [mebibytes]\n");
        return 2;
    }
    const std::string source = folder + "/ex080715.log";
    const std::string copy = folder + "/copy.log";
    std::printf("generating %lld MiB in %s\n", mebibytes, folder.c_str());
    bench::writeGeneratedLog(source, mebibytes << 20, 5);

    bench::QuietPlatform platform;
    MainForm form(platform.ports(folder));
    // On a fresh virtual machine the first gibibyte of page cache written after the log costs
    // the host's first touch of that memory; one untimed copy pays it for both sides.
    std::printf("warm-up\n");
    timeCopy(source, copy);
    double split[2], cp[2];
    std::printf("run 1 (split first)\n");
    split[0] = timeSplit(form, source);
    cp[0] = timeCopy(source, copy);
    std::printf("run 2 (cp first)\n");
    cp[1] = timeCopy(source, copy);
    split[1] = timeSplit(form, source);

    std::error_code error;
    stdfs::remove_all(folder, error);
    if (split[0] < 0 || split[1] < 0 || cp[0] < 0 || cp[1] < 0) {
        std::fprintf(stderr, "a timed step failed\n");
        return 1;
    }
    std::printf("split %.3f s + %.3f s, cp %.3f s + %.3f s, split/cp %.2f (run 1 %.2f, run 2 "
                "%.2f)\n",
                split[0], split[1], cp[0], cp[1], (split[0] + split[1]) / (cp[0] + cp[1]),
                split[0] / cp[0], split[1] / cp[1]);
    return 0;
}

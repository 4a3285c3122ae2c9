// The Linux version back-end on files of different sizes: a small PE file and
// 200 MB sparse ones (version data near the start, and at the very end), read
// as the version reader reads them. The cost must not grow with the file's
// size, since only headers, directory tables and the block itself are read.
// Also the package path: a packaged ELF file with the index cached, and the
// index build itself.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "packages/Digest.h"
#include "packages/dpkg/DpkgIndex.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/linux/LinuxVersionApi.h"
#include "versioninfo/pe/PeWriter.h"

namespace {

using namespace quorvane;
using namespace quorvane::pewriter;

constexpr std::uint64_t kLargeSize = 200ull << 20;

struct TFixtures {
    std::string Dir, Small, LargeFront, LargeEnd;

    TFixtures() {
        std::string Pattern = (std::filesystem::temp_directory_path() / "quorvane-bench-XXXXXX").string();
        if (!mkdtemp(Pattern.data()))
            std::abort();
        Dir = Pattern;
        TVersionRecipe Version = SampleVersion();
        Version.Tables[0].Strings.push_back({"LegalCopyright", "(C) Beispiel"});
        const TPeFileImage Image = BuildPe(TPeRecipe{}.Version(Version.Build()));

        Small = Dir + "/small.exe";
        Write(Small, Image.Bytes, 0, 0);
        // The same image followed by a hole up to 200 MB.
        LargeFront = Dir + "/large-front.exe";
        Write(LargeFront, Image.Bytes, 0, kLargeSize);
        // Headers at the start, the resource section as the file's last bytes.
        LargeEnd = Dir + "/large-end.exe";
        TBytes Headers(Image.Bytes.begin(), Image.Bytes.begin() + kSectionFileOffset);
        const TBytes Section(Image.Bytes.begin() + kSectionFileOffset, Image.Bytes.end());
        const std::uint64_t SectionAt = kLargeSize - Section.size();
        Put32(Headers, Image.Layout.SectionTable + 20, static_cast<std::uint32_t>(SectionAt));
        Write(LargeEnd, Headers, 0, kLargeSize);
        Write(LargeEnd, Section, SectionAt, kLargeSize, false);
    }
    ~TFixtures() {
        std::error_code Ignored;
        std::filesystem::remove_all(Dir, Ignored);
    }

    static void Write(const std::string& Path, const TBytes& Bytes, std::uint64_t At, std::uint64_t Size,
                      bool Truncate = true) {
        const int Fd = open(Path.c_str(), O_WRONLY | O_CREAT | (Truncate ? O_TRUNC : 0), 0644);
        if (Fd < 0 || pwrite(Fd, Bytes.data(), Bytes.size(), static_cast<off_t>(At)) != static_cast<ssize_t>(Bytes.size()) ||
            (Size != 0 && ftruncate(Fd, static_cast<off_t>(Size)) != 0))
            std::abort();
        close(Fd);
    }
};

TFixtures& Fixtures() {
    static TFixtures Instance;
    return Instance;
}

std::unique_ptr<IVersionApi> BenchApi() {
    TLinuxVersionApiOptions Options;
    Options.PersistCaches = false;
    return CreateLinuxVersionApi(Options);
}

// One load as the reader does it: size, block, translation, fixed record and
// the ten strings.
void LoadVersion(benchmark::State& State, const std::string& Path) {
    auto Api = BenchApi();
    std::uint64_t Bytes = 0;
    for (auto _ : State) {
        TStVersionInfo Reader(nullptr, *Api);
        Reader.SetFileName(Path);
        benchmark::DoNotOptimize(Reader.CompanyName());
        Bytes += Reader.CompanyName().size();
    }
    if (Bytes == 0)
        State.SkipWithError("no company name read");
    struct stat Info;
    stat(Path.c_str(), &Info);
    State.counters["file_MB"] = static_cast<double>(Info.st_size) / (1 << 20);
}

void BM_PeSmallFile(benchmark::State& State) { LoadVersion(State, Fixtures().Small); }
void BM_PeLargeFileDataAtStart(benchmark::State& State) { LoadVersion(State, Fixtures().LargeFront); }
void BM_PeLargeFileDataAtEnd(benchmark::State& State) { LoadVersion(State, Fixtures().LargeEnd); }

// A packaged program with the package index already in memory.
void BM_PackagedElfIndexBuilt(benchmark::State& State) {
    auto Api = BenchApi();
    std::uint32_t Handle = 0, Error = 0;
    Api->GetFileVersionInfoSize("/usr/bin/bash", Handle, Error);  // builds the index
    for (auto _ : State) {
        TStVersionInfo Reader(nullptr, *Api);
        Reader.SetFileName("/usr/bin/bash");
        benchmark::DoNotOptimize(Reader.CompanyName());
    }
}

// Building the index of this machine's dpkg database from scratch.
void BM_DpkgIndexBuild(benchmark::State& State) {
    for (auto _ : State) {
        TDpkgIndex Index("/var/lib/dpkg", "");
        benchmark::DoNotOptimize(Index.Lookup("/usr/bin/bash"));
    }
}

// Loading the index from its cache file, as every later run of a program does.
void BM_DpkgIndexFromCache(benchmark::State& State) {
    const std::string Cache = Fixtures().Dir + "/dpkg-index";
    TDpkgIndex("/var/lib/dpkg", Cache).Lookup("/usr/bin/bash");
    for (auto _ : State) {
        TDpkgIndex Index("/var/lib/dpkg", Cache);
        benchmark::DoNotOptimize(Index.Lookup("/usr/bin/bash"));
        if (!Index.LoadedFromCache())
            State.SkipWithError("cache not used");
    }
}

// The checksum of a file's content, as a package's file is checked against
// the dpkg database: bytes per second of a 64 MB file in the page cache.
void BM_Md5OfFile(benchmark::State& State) {
    const std::string Path = Fixtures().Dir + "/hashed";
    {
        std::ofstream File(Path, std::ios::binary);
        const std::string Block(1 << 20, 'q');
        for (int I = 0; I < 64; ++I)
            File << Block;
    }
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    std::uint64_t Read = 0;
    for (auto _ : State) {
        Read = 0;
        benchmark::DoNotOptimize(DigestHexOfFile(Fd, TDigestAlgorithm::Md5, Read));
    }
    ::close(Fd);
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(Read));
}

BENCHMARK(BM_PeSmallFile);
BENCHMARK(BM_PeLargeFileDataAtStart);
BENCHMARK(BM_PeLargeFileDataAtEnd);
BENCHMARK(BM_PackagedElfIndexBuilt);
BENCHMARK(BM_DpkgIndexBuild)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DpkgIndexFromCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Md5OfFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

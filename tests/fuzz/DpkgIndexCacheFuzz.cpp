// libFuzzer target: the reader of the package index's cache file. Its
// checksums would turn nearly every input away at the header, so the reader
// runs twice: once as every run uses it, once with the checksums skipped, so
// that the checks of the structure behind them are reached too. Lookups go
// to every path line of the input and to a few fixed paths.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSeeds.h"
#include "packages/dpkg/DpkgIndexCache.h"

namespace quorvane::fuzz {

// A small index, and one of several blocks with a very short first path.
std::vector<TInput> FuzzSeeds() {
    const std::vector<TPackageInfo> Packages = {{"werkzeug", "1:2.4-1", "Anna <a@example.org>", "Ein Werkzeug"},
                                                {"libding:amd64", "0.9", "Bert", "Eine\tBibliothek"}};
    std::vector<TInput> Seeds = {Bytes(BuildIndexCache("/", "stamp 1", Packages,
                                                       {{"/usr/bin/bash", 0, "0123456789abcdef0123456789abcdef"},
                                                        {"/usr/lib/x/libding.so", 1, ""}}))};
    std::vector<TIndexedFile> Files = {{"/a", 0, ""}};
    for (int I = 0; I < 700; ++I) {
        std::string Number = std::to_string(I);
        Files.push_back({"/usr/share/doc/p/f" + std::string(4 - Number.size(), '0') + Number, std::uint32_t(I % 2),
                         I % 3 ? "" : "0123456789abcdef0123456789abcdef"});
    }
    Seeds.push_back(Bytes(BuildIndexCache("/", "stamp 2", Packages, Files)));
    return Seeds;
}

}  // namespace quorvane::fuzz

namespace {

void Read(std::string_view Text, bool CheckSums) {
    quorvane::TIndexCacheReader Reader;
    if (!Reader.Open(Text, CheckSums))
        return;
    for (std::size_t I = 0; I < Reader.PackageCount(); ++I)
        if (Reader.Package(I).Name.find('\n') != std::string::npos)
            __builtin_trap();
    auto Find = [&](std::string_view Path) {
        std::uint32_t Package = 0;
        std::string_view Md5;
        if (Reader.Find(Path, Package, Md5) == quorvane::TIndexCacheReader::TFind::Found &&
            (Package >= Reader.PackageCount() || (!Md5.empty() && Md5.size() != 32)))
            __builtin_trap();
    };
    for (const std::string_view Path : {"/", "/a", "/usr/bin/bash", "/zzzz"})
        Find(Path);
    std::size_t Lines = 0;
    for (std::size_t Pos = 0; Pos < Text.size() && Lines < 32; ++Lines) {
        std::size_t End = Text.find('\n', Pos);
        if (End == std::string_view::npos)
            End = Text.size();
        const std::string_view Line = Text.substr(Pos, End - Pos);
        if (!Line.empty() && Line.front() == '/')
            Find(Line.substr(0, Line.find('\t')));
        Pos = End + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    Read(Text, true);
    Read(Text, false);
    return 0;
}

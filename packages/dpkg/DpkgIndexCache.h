// The package index in the text form it is kept in: written once per change
// of the dpkg database, read in place (mapped) by every later run.
//
// Layout, lines ending in LF:
//   quorvane-dpkg-index 3
//   <database root>
//   <stamp of the database>
//   packages <n>
//   <n lines: name TAB version TAB maintainer TAB description>
//   paths <lines> blocks <b>
//   <b lines: first path TAB offset TAB length TAB lines TAB SHA-256>
//   header <SHA-256 of everything above this line>
//   <the path lines, sorted by path, in b consecutive blocks:
//    path TAB package number TAB MD5 of the content, or nothing>
//   end
// Offsets count from the first path line. The header is checked when the
// cache is opened, each block the first time a lookup reaches it, so a run
// that looks up a few hundred files reads a small part of a large index, and
// still never uses a byte that the checksums do not cover.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

struct TPackageInfo {
    std::string Name;
    std::string Version;
    std::string Maintainer;
    std::string Description;  // first line (the synopsis)
};

struct TIndexedFile {
    std::string Path;  // as the index keys it: the directories resolved
    std::uint32_t Package = 0;  // position in the package list
    std::string Md5;  // 32 lowercase hexadecimal digits; empty when none is recorded
};

// Text with TAB, CR and LF replaced by blanks, so it fits one field of a line.
std::string IndexField(std::string_view Text);

// The cache text. Files must be sorted by path without duplicates; text fields
// go through IndexField.
std::string BuildIndexCache(std::string_view Root, std::string_view Stamp, const std::vector<TPackageInfo>& Packages,
                            const std::vector<TIndexedFile>& Files);

class TIndexCacheReader {
public:
    enum class TFind { Found, Missing, Damaged };

    // Reads and checks the header of Text, which must outlive the reader;
    // false when Text is no complete index with an intact header. CheckSums
    // false skips the checksums only, so that a fuzzer reaches the checks of
    // the structure behind them.
    bool Open(std::string_view Text, bool CheckSums = true);

    std::string_view Root() const { return FRoot; }
    std::string_view Stamp() const { return FStamp; }
    std::size_t PackageCount() const { return FPackages.size(); }
    TPackageInfo Package(std::size_t Index) const;

    // The package number and the checksum stored for Path. Damaged when the
    // block that would hold it fails its checksum or its structure; the
    // reader then answers Damaged for that block from then on.
    TFind Find(std::string_view Path, std::uint32_t& Package, std::string_view& Md5);

private:
    struct TBlock {
        std::string_view FirstPath;
        std::size_t Offset = 0;
        std::size_t Length = 0;
        std::size_t Lines = 0;
        std::string_view Sum;
    };
    enum class TBlockState : std::uint8_t { Unchecked, Intact, Damaged };

    // The block's checksum, its line count and its first path.
    bool CheckBlock(std::size_t Index) const;

    bool FCheckSums = true;
    std::string_view FRoot;
    std::string_view FStamp;
    std::vector<std::string_view> FPackages;
    std::vector<TBlock> FBlocks;
    std::string_view FArea;
    std::vector<TBlockState> FStates;
};

}  // namespace quorvane

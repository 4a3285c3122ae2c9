#include "packages/dpkg/DpkgIndexCache.h"

#include <algorithm>
#include <charconv>

#include "packages/Digest.h"

namespace quorvane {
namespace {

constexpr std::string_view kMagic = "quorvane-dpkg-index 3";
constexpr std::string_view kEnd = "end\n";
// A block is closed once it holds this many bytes: small enough that
// checking one costs microseconds, large enough that the table of blocks in
// the header stays a small part of the file.
constexpr std::size_t kBlockBytes = 16 * 1024;

bool NextLine(std::string_view Text, std::size_t& Pos, std::string_view& Line) {
    if (Pos >= Text.size())
        return false;
    const std::size_t End = Text.find('\n', Pos);
    if (End == std::string_view::npos)
        return false;  // a complete file ends every line
    Line = Text.substr(Pos, End - Pos);
    Pos = End + 1;
    return true;
}

// Splits Text at Separator into exactly Count fields.
template <std::size_t Count>
bool SplitFields(std::string_view Text, char Separator, std::string_view (&Fields)[Count]) {
    for (std::size_t I = 0; I + 1 < Count; ++I) {
        const std::size_t At = Text.find(Separator);
        if (At == std::string_view::npos)
            return false;
        Fields[I] = Text.substr(0, At);
        Text.remove_prefix(At + 1);
    }
    Fields[Count - 1] = Text;
    return Text.find(Separator) == std::string_view::npos;
}

template <typename T>
bool ParseNumber(std::string_view Text, T& Value) {
    if (Text.empty() || Text.size() > 20 || (Text.size() > 1 && Text.front() == '0'))
        return false;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size();
}

bool IsLowerHex(std::string_view Text, std::size_t Length) {
    if (Text.size() != Length)
        return false;
    for (const char C : Text)
        if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
            return false;
    return true;
}

// "word <number>" and "paths <number> blocks <number>".
bool ParseCountLine(std::string_view Line, std::string_view Word, std::size_t& Count) {
    return Line.substr(0, Word.size() + 1) == std::string(Word) + ' ' &&
           ParseNumber(Line.substr(Word.size() + 1), Count);
}

}  // namespace

std::string IndexField(std::string_view Text) {
    std::string Out(Text);
    for (char& C : Out)
        if (C == '\t' || C == '\n' || C == '\r')
            C = ' ';
    return Out;
}

std::string BuildIndexCache(std::string_view Root, std::string_view Stamp, const std::vector<TPackageInfo>& Packages,
                            const std::vector<TIndexedFile>& Files) {
    // The path lines first: the header holds the checksums of their blocks.
    std::string Area;
    std::string Table;
    std::size_t Blocks = 0;
    std::size_t BlockStart = 0;
    std::size_t BlockLines = 0;
    std::string FirstPath;
    auto CloseBlock = [&] {
        if (BlockLines == 0)
            return;
        const std::string_view Block = std::string_view(Area).substr(BlockStart);
        Table += FirstPath + '\t' + std::to_string(BlockStart) + '\t' + std::to_string(Block.size()) + '\t' +
                 std::to_string(BlockLines) + '\t' + Sha256Hex(Block) + '\n';
        ++Blocks;
        BlockStart = Area.size();
        BlockLines = 0;
    };
    for (const TIndexedFile& File : Files) {
        const std::string Path = IndexField(File.Path);
        if (BlockLines == 0)
            FirstPath = Path;
        Area += Path;
        Area += '\t';
        Area += std::to_string(File.Package);
        Area += '\t';
        Area += File.Md5;
        Area += '\n';
        ++BlockLines;
        if (Area.size() - BlockStart >= kBlockBytes)
            CloseBlock();
    }
    CloseBlock();

    std::string Text;
    Text.reserve(Area.size() + Table.size() + Packages.size() * 128 + 256);
    Text += kMagic;
    Text += '\n';
    Text += IndexField(Root) + '\n' + IndexField(Stamp) + '\n';
    Text += "packages " + std::to_string(Packages.size()) + '\n';
    for (const TPackageInfo& Package : Packages)
        Text += IndexField(Package.Name) + '\t' + IndexField(Package.Version) + '\t' + IndexField(Package.Maintainer) +
                '\t' + IndexField(Package.Description) + '\n';
    Text += "paths " + std::to_string(Files.size()) + " blocks " + std::to_string(Blocks) + '\n';
    Text += Table;
    Text += "header " + Sha256Hex(Text) + '\n';
    Text += Area;
    Text += kEnd;  // a file cut short lacks it
    return Text;
}

bool TIndexCacheReader::Open(std::string_view Text, bool CheckSums) {
    *this = TIndexCacheReader{};
    FCheckSums = CheckSums;
    std::size_t Pos = 0;
    std::string_view Line;
    if (!NextLine(Text, Pos, Line) || Line != kMagic || !NextLine(Text, Pos, FRoot) || !NextLine(Text, Pos, FStamp))
        return false;

    std::size_t PackageCount = 0;
    if (!NextLine(Text, Pos, Line) || !ParseCountLine(Line, "packages", PackageCount) ||
        PackageCount > Text.size() - Pos)
        return false;
    FPackages.reserve(PackageCount);
    for (std::size_t I = 0; I < PackageCount; ++I) {
        if (!NextLine(Text, Pos, Line) || std::count(Line.begin(), Line.end(), '\t') != 3)
            return false;
        FPackages.push_back(Line);
    }

    // "paths <lines> blocks <b>": every count is checked against the blocks.
    std::size_t PathLines = 0;
    std::size_t BlockCount = 0;
    std::string_view Counts[4];
    if (!NextLine(Text, Pos, Line) || !SplitFields(Line, ' ', Counts) || Counts[0] != "paths" ||
        Counts[2] != "blocks" || !ParseNumber(Counts[1], PathLines) || !ParseNumber(Counts[3], BlockCount) ||
        BlockCount > PathLines || BlockCount > Text.size() - Pos || (PathLines > 0 && BlockCount == 0))
        return false;
    FBlocks.reserve(BlockCount);
    std::size_t LinesInBlocks = 0;
    std::size_t AreaLength = 0;
    for (std::size_t I = 0; I < BlockCount; ++I) {
        std::string_view Fields[5];
        TBlock Block;
        if (!NextLine(Text, Pos, Line) || !SplitFields(Line, '\t', Fields) || Fields[0].empty() ||
            !ParseNumber(Fields[1], Block.Offset) || !ParseNumber(Fields[2], Block.Length) ||
            !ParseNumber(Fields[3], Block.Lines) || Fields[4].size() != 64)
            return false;
        Block.FirstPath = Fields[0];
        Block.Sum = Fields[4];
        // Consecutive blocks from offset 0, each with a line, each line at least "/x TAB 0 TAB LF".
        if (Block.Offset != AreaLength || Block.Lines == 0 || Block.Lines > Block.Length / 5 ||
            (!FBlocks.empty() && !(FBlocks.back().FirstPath < Block.FirstPath)))
            return false;
        AreaLength += Block.Length;
        LinesInBlocks += Block.Lines;
        if (AreaLength > Text.size() || LinesInBlocks > PathLines)
            return false;
        FBlocks.push_back(Block);
    }
    if (LinesInBlocks != PathLines)
        return false;

    const std::size_t HeaderLength = Pos;
    if (!NextLine(Text, Pos, Line) || Line.substr(0, 7) != "header " || !IsLowerHex(Line.substr(7), 64) ||
        (CheckSums && Sha256Hex(Text.substr(0, HeaderLength)) != Line.substr(7)))
        return false;
    if (Text.size() - Pos < kEnd.size() || Text.size() - Pos - kEnd.size() != AreaLength ||
        Text.substr(Pos + AreaLength) != kEnd)
        return false;
    FArea = Text.substr(Pos, AreaLength);
    FStates.assign(FBlocks.size(), TBlockState::Unchecked);
    return true;
}

TPackageInfo TIndexCacheReader::Package(std::size_t Index) const {
    TPackageInfo Info;
    std::string_view Fields[4];
    if (Index < FPackages.size() && SplitFields(FPackages[Index], '\t', Fields)) {
        Info.Name = Fields[0];
        Info.Version = Fields[1];
        Info.Maintainer = Fields[2];
        Info.Description = Fields[3];
    }
    return Info;
}

bool TIndexCacheReader::CheckBlock(std::size_t Index) const {
    const TBlock& Block = FBlocks[Index];
    const std::string_view Text = FArea.substr(Block.Offset, Block.Length);
    const std::size_t FirstLength = Block.FirstPath.size();
    return Text.back() == '\n' && static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n')) == Block.Lines &&
           Text.size() > FirstLength && Text.substr(0, FirstLength) == Block.FirstPath && Text[FirstLength] == '\t' &&
           (!FCheckSums || Sha256Hex(Text) == Block.Sum);
}

TIndexCacheReader::TFind TIndexCacheReader::Find(std::string_view Path, std::uint32_t& Package,
                                                 std::string_view& Md5) {
    const auto After = std::upper_bound(FBlocks.begin(), FBlocks.end(), Path,
                                        [](std::string_view Wanted, const TBlock& Block) {
                                            return Wanted < Block.FirstPath;
                                        });
    if (After == FBlocks.begin())
        return TFind::Missing;
    const std::size_t Index = static_cast<std::size_t>(After - FBlocks.begin()) - 1;
    if (FStates[Index] == TBlockState::Unchecked)
        FStates[Index] = CheckBlock(Index) ? TBlockState::Intact : TBlockState::Damaged;
    if (FStates[Index] == TBlockState::Damaged)
        return TFind::Damaged;
    // The lines of a block are few and sorted: a scan up to the first path
    // that is not smaller finds it, without taking the block apart first.
    const TBlock& Block = FBlocks[Index];
    const std::string_view Text = FArea.substr(Block.Offset, Block.Length);
    std::size_t Pos = 0;
    std::string_view Line;
    std::string_view Previous;
    while (NextLine(Text, Pos, Line)) {
        std::string_view Fields[3];
        if (!SplitFields(Line, '\t', Fields) || Fields[0].empty() || Fields[0].front() != '/' ||
            !(Previous < Fields[0]) || (Previous.empty() && Fields[0] != Block.FirstPath)) {
            FStates[Index] = TBlockState::Damaged;
            return TFind::Damaged;
        }
        Previous = Fields[0];
        if (Fields[0] < Path)
            continue;
        if (Path < Fields[0])
            return TFind::Missing;
        if (!ParseNumber(Fields[1], Package) || Package >= FPackages.size() ||
            (!Fields[2].empty() && !IsLowerHex(Fields[2], 32))) {
            FStates[Index] = TBlockState::Damaged;
            return TFind::Damaged;
        }
        Md5 = Fields[2];
        return TFind::Found;
    }
    // Past the block's last path: the next block's first path is larger, or
    // the block is out of order.
    if (Index + 1 < FBlocks.size() && !(Previous < FBlocks[Index + 1].FirstPath)) {
        FStates[Index] = TBlockState::Damaged;
        return TFind::Damaged;
    }
    return TFind::Missing;
}

}  // namespace quorvane

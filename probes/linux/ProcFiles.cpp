#include "probes/linux/ProcFiles.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace quorvane::proc {
namespace {

template <typename T>
bool ParseNumber(std::string_view Text, T& Out, int Base = 10) {
    if (Text.empty())
        return false;
    const char* End = Text.data() + Text.size();
    const auto [Ptr, Error] = std::from_chars(Text.data(), End, Out, Base);
    return Error == std::errc() && Ptr == End;
}

// Calls Line for each line of Text, without its line break.
template <typename F>
void ForEachLine(std::string_view Text, F&& Line) {
    while (!Text.empty()) {
        const std::size_t Break = Text.find('\n');
        Line(Text.substr(0, Break));
        if (Break == std::string_view::npos)
            break;
        Text.remove_prefix(Break + 1);
    }
}

bool StartsWith(std::string_view Text, std::string_view Prefix) { return Text.substr(0, Prefix.size()) == Prefix; }

std::string_view TrimBlanks(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r'))
        Text.remove_suffix(1);
    return Text;
}

// A path as the maps file shows it: a line break is written as "\012".
std::string MapsPathText(std::string_view Path) {
    std::string Text;
    Text.reserve(Path.size());
    for (char C : Path) {
        if (C == '\n')
            Text += "\\012";
        else
            Text += C;
    }
    return Text;
}

}  // namespace

bool ParseStat(std::string_view Text, TStatFields& Out) {
    const std::size_t Open = Text.find('(');
    const std::size_t Close = Text.rfind(')');
    if (Open == std::string_view::npos || Close == std::string_view::npos || Close < Open)
        return false;
    std::string_view Rest = Text.substr(Close + 1);

    // Field 3 (state) onwards; fields we need: 4 ppid, 9 flags, 14 utime,
    // 15 stime, 19 nice, 20 num_threads, 22 starttime, 41 policy.
    constexpr std::size_t kFirstField = 3;
    constexpr std::size_t kWanted = 41 - kFirstField + 1;
    std::string_view Fields[kWanted];
    std::size_t Count = 0;
    while (Count < kWanted) {
        while (!Rest.empty() && (Rest.front() == ' ' || Rest.front() == '\n'))
            Rest.remove_prefix(1);
        if (Rest.empty())
            break;
        const std::size_t End = std::min(Rest.find(' '), Rest.find('\n'));
        Fields[Count++] = Rest.substr(0, End);
        Rest.remove_prefix(End == std::string_view::npos ? Rest.size() : End);
    }
    const auto Field = [&](std::size_t Number) { return Fields[Number - kFirstField]; };
    if (Count < 22 - kFirstField + 1)
        return false;

    TStatFields Parsed;
    if (!ParseNumber(Field(4), Parsed.ParentId) || !ParseNumber(Field(20), Parsed.Threads) || Parsed.Threads < 0 ||
        !ParseNumber(Field(9), Parsed.Flags) || !ParseNumber(Field(14), Parsed.UserTicks) ||
        !ParseNumber(Field(15), Parsed.SystemTicks) || !ParseNumber(Field(19), Parsed.Nice) ||
        !ParseNumber(Field(22), Parsed.StartTicks))
        return false;
    if (Count >= 41 - kFirstField + 1 && !ParseNumber(Field(41), Parsed.Policy))
        return false;
    Parsed.Name = std::string(Text.substr(Open + 1, Close - Open - 1));
    Out = std::move(Parsed);
    return true;
}

std::optional<std::uint64_t> BootTime(std::string_view ProcStat) {
    std::optional<std::uint64_t> Result;
    ForEachLine(ProcStat, [&](std::string_view Line) {
        std::uint64_t Seconds = 0;
        if (!Result && StartsWith(Line, "btime ") && ParseNumber(TrimBlanks(Line.substr(6)), Seconds))
            Result = Seconds;
    });
    return Result;
}

int OnlineProcessors(std::string_view ProcStat) {
    int Count = 0;
    ForEachLine(ProcStat, [&](std::string_view Line) {
        if (Line.size() > 3 && StartsWith(Line, "cpu") && Line[3] >= '0' && Line[3] <= '9')
            ++Count;
    });
    return Count;
}

namespace {

// The columns of one line of a maps file: "start-end perms offset dev inode   path".
struct TMapsLine {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
    std::string_view Permissions;
    std::string_view Device;
    std::string_view Inode;
    std::string_view Path;  // empty for a mapping without a path
};

// False for a line of fewer than five columns or with a malformed range.
bool SplitMapsLine(std::string_view Line, TMapsLine& Out) {
    std::string_view Rest = Line;
    std::string_view Range;
    for (int Column = 0; Column < 5; ++Column) {
        const std::size_t Blank = Rest.find(' ');
        if (Blank == std::string_view::npos && Column < 4)
            return false;
        const std::string_view Field = Rest.substr(0, Blank);
        if (Column == 0)
            Range = Field;
        else if (Column == 1)
            Out.Permissions = Field;
        else if (Column == 3)
            Out.Device = Field;
        else if (Column == 4)
            Out.Inode = Field;
        // A mapping without a path ends with its inode.
        Rest.remove_prefix(Blank == std::string_view::npos ? Rest.size() : Blank + 1);
    }
    while (!Rest.empty() && Rest.front() == ' ')
        Rest.remove_prefix(1);
    Out.Path = Rest;
    const std::size_t Dash = Range.find('-');
    return Dash != std::string_view::npos && ParseNumber(Range.substr(0, Dash), Out.Start, 16) &&
           ParseNumber(Range.substr(Dash + 1), Out.End, 16) && Out.End >= Out.Start;
}

// "major:minor" in hexadecimal, and the inode in decimal.
bool ParseFileIdentity(const TMapsLine& Line, std::uint32_t& Major, std::uint32_t& Minor, std::uint64_t& Inode) {
    const std::size_t Colon = Line.Device.find(':');
    return Colon != std::string_view::npos && ParseNumber(Line.Device.substr(0, Colon), Major, 16) &&
           ParseNumber(Line.Device.substr(Colon + 1), Minor, 16) && ParseNumber(Line.Inode, Inode);
}

// The path a maps line names, with its line breaks read back.
std::string PathOfMapsText(std::string_view Text) {
    std::string Path;
    Path.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text.substr(I, 4) == "\\012") {
            Path += '\n';
            I += 3;
        } else {
            Path += Text[I];
        }
    }
    return Path;
}

}  // namespace

TMappingExtent::TMappingExtent(std::string_view ImagePath) : FWanted(MapsPathText(ImagePath)) {}

bool TMappingExtent::Feed(std::string_view Line) {
    if (FEnded)
        return false;
    TMapsLine Fields;
    if (!SplitMapsLine(Line, Fields))
        return true;
    if (Fields.Path != FWanted) {
        if (!FStarted && !Fields.Path.empty() && Fields.Path.front() == '/')
            ++FFilesBefore;
        FEnded = FStarted;
        return !FEnded;
    }
    if (!FStarted) {
        FStarted = true;
        FLowest = Fields.Start;
        FHighest = Fields.End;
        FHasIdentity = ParseFileIdentity(Fields, FMajor, FMinor, FInode);
    } else {
        FLowest = std::min(FLowest, Fields.Start);
        FHighest = std::max(FHighest, Fields.End);
    }
    return true;
}

bool TMappingExtent::FileIdentity(std::uint32_t& Major, std::uint32_t& Minor, std::uint64_t& Inode) const {
    if (!FHasIdentity)
        return false;
    Major = FMajor;
    Minor = FMinor;
    Inode = FInode;
    return true;
}

std::uint64_t MappingExtent(std::string_view Maps, std::string_view ImagePath) {
    TMappingExtent Extent(ImagePath);
    ForEachLine(Maps, [&](std::string_view Line) { Extent.Feed(Line); });
    return Extent.Extent();
}

TExecutableMappings::TExecutableMappings(std::string_view ImagePath) : FImage(MapsPathText(ImagePath)) {}

void TExecutableMappings::Feed(std::string_view Line) {
    // Most lines map nothing executable: passed over before they are parsed.
    const std::size_t Blank = Line.find(' ');
    if (Blank == std::string_view::npos || Blank + 3 >= Line.size() || Line[Blank + 3] != 'x')
        return;
    TMapsLine Fields;
    if (!SplitMapsLine(Line, Fields) || Fields.Permissions.size() < 3 || Fields.Permissions[2] != 'x' ||
        Fields.Path.empty() || Fields.Path.front() != '/' || Fields.Path == FImage)
        return;
    TMappedFile File;
    if (!ParseFileIdentity(Fields, File.Major, File.Minor, File.Inode))
        return;
    File.Path = PathOfMapsText(Fields.Path);
    for (const TMappedFile& Known : FFiles)
        if (Known.Inode == File.Inode && Known.Major == File.Major && Known.Minor == File.Minor &&
            Known.Path == File.Path)
            return;
    File.Start = Fields.Start;
    File.End = Fields.End;
    FFiles.push_back(std::move(File));
}

std::vector<std::string> PreloadList(std::string_view Text, bool Comments) {
    std::vector<std::string> Entries;
    std::string Entry;
    bool InComment = false;
    for (const char C : Text) {
        if (InComment) {
            InComment = C != '\n';
            continue;
        }
        if (Comments && C == '#') {
            InComment = true;
        } else if (C != ' ' && C != '\t' && C != '\n' && C != ':') {
            Entry += C;
            continue;
        }
        if (!Entry.empty())
            Entries.push_back(std::move(Entry));
        Entry.clear();
    }
    if (!Entry.empty())
        Entries.push_back(std::move(Entry));
    return Entries;
}

bool NamesLibrary(const TPreloadEntry& Entry, std::string_view Path) {
    if (Entry.Name.find('/') == std::string::npos)
        return LastComponent(Path) == Entry.Name;
    return Entry.Name == Path || (!Entry.Resolved.empty() && Entry.Resolved == Path);
}

std::string_view PreloadVariable(std::string_view Environment) {
    constexpr std::string_view kName = "LD_PRELOAD=";
    while (!Environment.empty()) {
        const std::size_t End = Environment.find('\0');
        const std::string_view Entry = Environment.substr(0, End);
        if (StartsWith(Entry, kName))
            return Entry.substr(kName.size());
        if (End == std::string_view::npos)
            break;
        Environment.remove_prefix(End + 1);
    }
    return {};
}

std::uint32_t PriorityClassOf(std::uint32_t Policy, std::int64_t Nice) {
    constexpr std::uint32_t kFifo = 1, kRoundRobin = 2, kIdle = 5, kDeadline = 6;
    if (Policy == kFifo || Policy == kRoundRobin || Policy == kDeadline)
        return 256;  // REALTIME_PRIORITY_CLASS
    if (Policy == kIdle)
        return 64;  // IDLE_PRIORITY_CLASS
    // SCHED_OTHER and SCHED_BATCH by their nice value.
    if (Nice <= -10)
        return 128;  // HIGH_PRIORITY_CLASS
    if (Nice < 0)
        return 32768;  // ABOVE_NORMAL_PRIORITY_CLASS
    if (Nice == 0)
        return 32;  // NORMAL_PRIORITY_CLASS
    if (Nice < 10)
        return 16384;  // BELOW_NORMAL_PRIORITY_CLASS
    return 64;
}

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

std::string_view WithoutDeletedSuffix(std::string_view Target) {
    if (Target.size() > kDeletedSuffix.size() && Target.substr(Target.size() - kDeletedSuffix.size()) == kDeletedSuffix)
        Target.remove_suffix(kDeletedSuffix.size());
    return Target;
}

}  // namespace

TImageOrigin ImageOriginOf(std::string_view Target, bool TargetIsImage,
                           const std::function<bool(const std::string&)>& Exists) {
    TImageOrigin Origin;
    if (TargetIsImage) {
        Origin.State = TImageState::Present;
        return Origin;
    }
    const std::string_view Path = WithoutDeletedSuffix(Target);
    if (Path.empty() || Path.front() != '/' || Path.substr(0, 7) == "/memfd:")
        Origin.State = TImageState::MemoryOnly;
    else
        Origin.State = Exists(std::string(Path)) ? TImageState::Replaced : TImageState::Deleted;
    return Origin;
}

std::string ImagePathOf(std::string_view Target, TImageState State) {
    if (State == TImageState::Present)
        return std::string(Target);
    std::string_view Path = WithoutDeletedSuffix(Target);
    if (State == TImageState::MemoryOnly && !Path.empty() && Path.front() == '/')
        Path.remove_prefix(1);
    return std::string(Path);
}

std::string_view LastComponent(std::string_view Path) {
    const std::size_t Slash = Path.rfind('/');
    return Slash == std::string_view::npos ? Path : Path.substr(Slash + 1);
}

}  // namespace quorvane::proc

#include "probes/linux/LinuxProcessSource.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "probes/ProbeText.h"
#include "probes/Probes.h"
#include "probes/linux/ProcFiles.h"

namespace quorvane {
namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";
// No /proc file we read is larger in practice; a larger one is cut here.
constexpr std::size_t kReadLimit = 64u << 20;

// One read, repeated when a signal interrupts it.
ssize_t ReadChunk(int Fd, char* Chunk, std::size_t Size) {
    ssize_t Got;
    do
        Got = ::read(Fd, Chunk, Size);
    while (Got < 0 && errno == EINTR);
    return Got;
}

// Reads the whole file (proc files report size 0, so read until the end).
bool ReadText(const std::string& Path, std::string& Text, int& Error) {
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        Error = errno;
        return false;
    }
    Text.clear();
    char Chunk[16384];
    bool Ok = true;
    while (Text.size() < kReadLimit) {
        const ssize_t Got = ReadChunk(Fd, Chunk, sizeof Chunk);
        if (Got < 0) {
            Error = errno;
            Ok = false;
            break;
        }
        if (Got == 0)
            break;
        Text.append(Chunk, static_cast<std::size_t>(Got));
    }
    ::close(Fd);
    return Ok;
}

// Hands the file's lines to Line (without their line breaks) until it answers
// false or the file ends. False when the file cannot be opened or read.
template <typename F>
bool ReadLines(const std::string& Path, std::string& Buffer, int& Error, F&& Line) {
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        Error = errno;
        return false;
    }
    Buffer.clear();
    // Small reads: the kernel writes only as many lines as a read asks for,
    // and the lines wanted are mostly the first few.
    char Chunk[1024];
    bool Ok = true;
    std::size_t Total = 0;
    bool Wanted = true;
    while (Wanted && Total < kReadLimit) {
        const ssize_t Got = ReadChunk(Fd, Chunk, sizeof Chunk);
        if (Got < 0) {
            Error = errno;
            Ok = false;
            break;
        }
        if (Got == 0)
            break;
        Total += static_cast<std::size_t>(Got);
        Buffer.append(Chunk, static_cast<std::size_t>(Got));
        std::size_t From = 0;
        for (std::size_t Break; Wanted && (Break = Buffer.find('\n', From)) != std::string::npos; From = Break + 1)
            Wanted = Line(std::string_view(Buffer).substr(From, Break - From));
        Buffer.erase(0, From);
    }
    if (Ok && Wanted && !Buffer.empty())
        Line(std::string_view(Buffer));  // a last line without a line break
    ::close(Fd);
    return Ok;
}

bool ReadLink(const std::string& Path, std::string& Target, int& Error) {
    std::string Buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t Length = ::readlink(Path.c_str(), Buffer.data(), Buffer.size());
        if (Length < 0) {
            Error = errno;
            return false;
        }
        if (static_cast<std::size_t>(Length) < Buffer.size()) {
            Buffer.resize(static_cast<std::size_t>(Length));
            Target = std::move(Buffer);
            return true;
        }
        if (Buffer.size() >= kReadLimit) {
            Error = ENAMETOOLONG;
            return false;
        }
        Buffer.resize(Buffer.size() * 2);  // possibly cut: try again with more room
    }
}

bool EndsWith(std::string_view Text, std::string_view Suffix) {
    return Text.size() >= Suffix.size() && Text.substr(Text.size() - Suffix.size()) == Suffix;
}

bool SameFile(const std::string& A, const std::string& B) {
    struct stat StatA, StatB;
    return ::stat(A.c_str(), &StatA) == 0 && ::stat(B.c_str(), &StatB) == 0 && StatA.st_dev == StatB.st_dev &&
           StatA.st_ino == StatB.st_ino;
}

bool ParseProcessId(const char* Name, std::uint32_t& Id) {
    if (*Name == '\0')
        return false;
    std::uint64_t Value = 0;
    for (const char* C = Name; *C; ++C) {
        if (*C < '0' || *C > '9')
            return false;
        Value = Value * 10 + static_cast<unsigned>(*C - '0');
        if (Value > std::numeric_limits<std::uint32_t>::max())
            return false;
    }
    Id = static_cast<std::uint32_t>(Value);
    return true;
}

// Clock ticks as 100-nanosecond units, exact for every tick rate that divides 10^7.
TFileTime TicksToFileTime(std::uint64_t Ticks, long TicksPerSecond) {
    const unsigned __int128 Units = static_cast<unsigned __int128>(Ticks) * 10'000'000u /
                                    static_cast<unsigned long>(TicksPerSecond);
    return Units > std::numeric_limits<TFileTime>::max() ? std::numeric_limits<TFileTime>::max()
                                                         : static_cast<TFileTime>(Units);
}

std::string FormatTime(const char* Format, const std::tm& Time) {
    char Buffer[256];
    const std::size_t Length = std::strftime(Buffer, sizeof Buffer, Format, &Time);
    return std::string(Buffer, Length);
}

// The locale's time separator: the first mark after the hour in its time format.
char LocaleTimeSeparator() {
    std::tm Sample{};
    Sample.tm_hour = 13;
    Sample.tm_min = 24;
    Sample.tm_sec = 35;
    const std::string Text = FormatTime(nl_langinfo(T_FMT), Sample);
    std::size_t I = 0;
    while (I < Text.size() && Text[I] >= '0' && Text[I] <= '9')
        ++I;
    if (I == 0 || I >= Text.size())
        return ':';
    const char Mark = Text[I];
    const bool Letter = (Mark >= 'A' && Mark <= 'Z') || (Mark >= 'a' && Mark <= 'z');
    const bool Punctuation = Mark > ' ' && Mark < 0x7F && !Letter;
    return Punctuation ? Mark : ':';
}

std::int32_t SaturatingAdd(std::int32_t A, std::int32_t B) {
    const std::int64_t Sum = static_cast<std::int64_t>(A) + B;
    return Sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(Sum);
}

}  // namespace

TLinuxProcessSource::TLinuxProcessSource(std::string ProcRoot)
    : FRoot(std::move(ProcRoot)), FClockTicks(::sysconf(_SC_CLK_TCK)) {
    if (FClockTicks <= 0)
        FClockTicks = 100;  // the tick rate Linux has always reported to user space
}

std::string TLinuxProcessSource::ProcessPath(std::uint32_t ProcessId, const char* File) const {
    return FRoot + '/' + std::to_string(ProcessId) + '/' + File;
}

std::string TLinuxProcessSource::EnableDebugPrivilege() {
    // Nothing to enable: each query reports its own lack of rights.
    return {};
}

std::string TLinuxProcessSource::ProcessName(std::uint32_t ProcessId, const std::string& Comm) {
    std::string Target;
    int Error = 0;
    if (ReadLink(ProcessPath(ProcessId, "exe"), Target, Error)) {
        std::string_view Path = Target;
        if (EndsWith(Path, kDeletedSuffix))
            Path.remove_suffix(kDeletedSuffix.size());
        const std::string_view Name = proc::LastComponent(Path);
        if (!Name.empty())
            return proc::ValidUtf8(Name);
    }
    if (ReadText(ProcessPath(ProcessId, "cmdline"), FBuffer, Error)) {
        const std::string_view CommandLine = FBuffer;
        const std::string_view Name = proc::LastComponent(CommandLine.substr(0, CommandLine.find('\0')));
        if (!Name.empty())
            return proc::ValidUtf8(Name);
    }
    return proc::ValidUtf8(Comm);
}

void TLinuxProcessSource::EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) {
    DIR* Folder = ::opendir(FRoot.c_str());
    if (!Folder)
        return;
    std::vector<std::uint32_t> Ids;
    while (const dirent* Entry = ::readdir(Folder)) {
        std::uint32_t Id = 0;
        if (ParseProcessId(Entry->d_name, Id))
            Ids.push_back(Id);
    }
    ::closedir(Folder);
    std::sort(Ids.begin(), Ids.end());

    int Error = 0;
    int Processors = 0;
    if (ReadText(FRoot + "/stat", FBuffer, Error)) {
        Processors = proc::OnlineProcessors(FBuffer);
        if (!FBootTime)
            FBootTime = proc::BootTime(FBuffer);
    }
    if (Processors <= 0)
        Processors = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));

    std::vector<TProcessEntry> Entries;
    Entries.reserve(Ids.size() + 1);
    Entries.push_back(TProcessEntry{"[System Process]", 0, 0, Processors});
    std::optional<std::size_t> KernelDaemon;
    std::int32_t KernelThreadCount = 0;
    proc::TStatFields Stat;
    for (const std::uint32_t Id : Ids) {
        // A process that ended since the folder was read has lost its files: skip it.
        if (!ReadText(ProcessPath(Id, "stat"), FBuffer, Error) || !proc::ParseStat(FBuffer, Stat))
            continue;
        if (Stat.Flags & proc::kKernelThreadFlag) {
            // As Windows shows its kernel: one "System" process holding every kernel thread.
            KernelThreadCount = SaturatingAdd(KernelThreadCount, Stat.Threads);
            if (Id == 2) {
                KernelDaemon = Entries.size();
                Entries.push_back(TProcessEntry{"System", Id, Stat.ParentId, 0});
            }
            continue;
        }
        Entries.push_back(TProcessEntry{ProcessName(Id, Stat.Name), Id, Stat.ParentId, Stat.Threads});
    }
    if (KernelDaemon)
        Entries[*KernelDaemon].Threads = KernelThreadCount;

    for (const TProcessEntry& Entry : Entries)
        Visit(Entry);
}

bool TLinuxProcessSource::QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize,
                                         std::string& Remark) {
    const std::string Link = ProcessPath(ProcessId, "exe");
    std::string Target;
    int Error = 0;
    if (!ReadLink(Link, Target, Error)) {
        Remark = SystemErrorText(static_cast<std::uint32_t>(Error));
        return false;
    }
    proc::TMappingExtent Mappings(Target);
    if (!ReadLines(ProcessPath(ProcessId, "maps"), FBuffer, Error,
                   [&](std::string_view Line) { return Mappings.Feed(Line); }))
        return false;
    const std::uint64_t Extent = Mappings.Extent();
    ImageSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(Extent, std::numeric_limits<std::uint32_t>::max()));
    if (SameFile(Link, Target)) {
        FLastOrigin = TImageOrigin{TImageState::Present, {}};
        ImagePath = Target;
        return true;
    }
    // The path as the process sees it: it may live in another mount namespace
    // (a container) or below another root folder, where the path still names
    // its image. Either way the image is read through the link.
    const std::string Root = ProcessPath(ProcessId, "root");
    FLastOrigin = proc::ImageOriginOf(Target, SameFile(Link, Root + Target), [&Root](const std::string& Path) {
        struct stat Info;
        return ::stat((Root + Path).c_str(), &Info) == 0 || ::stat(Path.c_str(), &Info) == 0;
    });
    FLastOrigin.ContentPath = Link;
    ImagePath = proc::ImagePathOf(Target, FLastOrigin.State);
    return true;
}

std::string TLinuxProcessSource::HostName() {
    char Name[256] = {};
    if (::gethostname(Name, sizeof Name - 1) != 0)
        return {};
    return proc::ValidUtf8(Name);
}

std::optional<std::uint64_t> TLinuxProcessSource::BootTime() {
    if (!FBootTime) {
        int Error = 0;
        if (ReadText(FRoot + "/stat", FBuffer, Error))
            FBootTime = proc::BootTime(FBuffer);
    }
    return FBootTime;
}

bool TLinuxProcessSource::QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                                            std::string& CpuTime, std::uint32_t& PriorityClass,
                                            std::string& Remark) {
    int Error = 0;
    if (!ReadText(ProcessPath(ProcessId, "stat"), FBuffer, Error)) {
        Remark = SystemErrorText(static_cast<std::uint32_t>(Error));
        return false;
    }
    proc::TStatFields Stat;
    if (!proc::ParseStat(FBuffer, Stat))
        return false;
    const std::optional<std::uint64_t> Boot = BootTime();
    if (!Boot)
        return false;

    const std::uint64_t StartSeconds = *Boot + Stat.StartTicks / static_cast<std::uint64_t>(FClockTicks);
    if (StartSeconds > static_cast<std::uint64_t>(std::numeric_limits<std::time_t>::max()))
        return false;
    const std::time_t Start = static_cast<std::time_t>(StartSeconds);
    std::tm Local{};
    if (!::localtime_r(&Start, &Local))
        return false;
    TSystemTime Fields;
    Fields.Year = static_cast<std::uint16_t>(Local.tm_year + 1900);
    Fields.Month = static_cast<std::uint16_t>(Local.tm_mon + 1);
    Fields.DayOfWeek = static_cast<std::uint16_t>(Local.tm_wday);
    Fields.Day = static_cast<std::uint16_t>(Local.tm_mday);
    Fields.Hour = static_cast<std::uint16_t>(Local.tm_hour);
    Fields.Minute = static_cast<std::uint16_t>(Local.tm_min);
    Fields.Second = static_cast<std::uint16_t>(Local.tm_sec);
    StartTime = StartTimeText(Fields, FormatTime(nl_langinfo(D_FMT), Local), FormatTime(nl_langinfo(T_FMT), Local));

    const char Separator = LocaleTimeSeparator();
    const TFileTime Kernel = TicksToFileTime(Stat.SystemTicks, FClockTicks);
    const TFileTime User = TicksToFileTime(Stat.UserTicks, FClockTicks);
    KernelTime = DurationText(Kernel, Separator);
    CpuTime = CpuTimeText(Kernel, User, Separator);
    PriorityClass = proc::PriorityClassOf(Stat.Policy, Stat.Nice);
    return true;
}

}  // namespace quorvane

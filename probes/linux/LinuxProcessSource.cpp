#include "probes/linux/LinuxProcessSource.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <limits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "probes/ProbeText.h"
#include "probes/Probes.h"
#include "probes/linux/ProcFiles.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";
// No /proc file we read is larger in practice; a larger one is cut here.
constexpr std::size_t kReadLimit = 64u << 20;
// 1970-01-01 as a FILETIME count.
constexpr TFileTime kUnixEpoch = 116'444'736'000'000'000ULL;
constexpr TFileTime kFileTimeTicksPerSecond = 1000 * kFileTimeTicksPerMs;
// The last second since 1970 that both time_t and a FILETIME count hold.
constexpr std::uint64_t kLastUnixSecond =
    std::min<std::uint64_t>(std::numeric_limits<std::time_t>::max(),
                            (std::numeric_limits<TFileTime>::max() / 2 - kUnixEpoch) / kFileTimeTicksPerSecond);

// One read, repeated when a signal interrupts it.
ssize_t ReadChunk(int Fd, char* Chunk, std::size_t Size) {
    ssize_t Got;
    do
        Got = ::read(Fd, Chunk, Size);
    while (Got < 0 && errno == EINTR);
    return Got;
}

// Reads the whole file (proc files report size 0, so read until the end).
// ShortReadEnds: a read that fills less than its buffer was the last one. That
// holds for regular files and for the proc files that the kernel writes as one
// record (stat), and saves the read that would only find the end.
bool ReadText(const std::string& Path, std::string& Text, int& Error, bool ShortReadEnds = false) {
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
        if (ShortReadEnds && static_cast<std::size_t>(Got) < sizeof Chunk)
            break;
    }
    ::close(Fd);
    return Ok;
}

// Hands the file's lines to Line (without their line breaks) until it answers
// false or the file ends. False when the file cannot be opened or read.
// Whole: the whole file is wanted, so it is read in large pieces.
template <typename F>
bool ReadLines(const std::string& Path, std::string& Buffer, int& Error, F&& Line, bool Whole = false) {
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        Error = errno;
        return false;
    }
    Buffer.clear();
    // Small reads unless the whole file is wanted: the kernel writes only as
    // many lines as a read asks for, and the lines wanted are mostly the
    // first few (512 bytes are about six lines of maps: an image's run and
    // the line after it).
    char Chunk[16384];
    const std::size_t ChunkSize = Whole ? sizeof Chunk : 512;
    bool Ok = true;
    std::size_t Total = 0;
    bool Wanted = true;
    while (Wanted && Total < kReadLimit) {
        const ssize_t Got = ReadChunk(Fd, Chunk, ChunkSize);
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
    // Nearly every target fits here; the string then holds only its own length.
    char Room[PATH_MAX];
    const ssize_t Length = ::readlink(Path.c_str(), Room, sizeof Room);
    if (Length < 0) {
        Error = errno;
        return false;
    }
    if (static_cast<std::size_t>(Length) < sizeof Room) {
        Target.assign(Room, static_cast<std::size_t>(Length));
        return true;
    }
    std::string Buffer(2 * sizeof Room, '\0');
    for (;;) {
        const ssize_t Got = ::readlink(Path.c_str(), Buffer.data(), Buffer.size());
        if (Got < 0) {
            Error = errno;
            return false;
        }
        if (static_cast<std::size_t>(Got) < Buffer.size()) {
            Buffer.resize(static_cast<std::size_t>(Got));
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

// True when the maps file names the image's file by the device and inode that
// PathNow (the stat of the image's path) gives. Only a match is conclusive:
// the kernel may state the device of a layer below the one that stat shows
// (overlay, btrfs).
bool MapsNameFileOf(const proc::TMappingExtent& Mappings, const struct stat& PathNow) {
    std::uint32_t Major = 0, Minor = 0;
    std::uint64_t Inode = 0;
    return Mappings.FileIdentity(Major, Minor, Inode) && major(PathNow.st_dev) == Major &&
           minor(PathNow.st_dev) == Minor && static_cast<std::uint64_t>(PathNow.st_ino) == Inode;
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

std::vector<proc::TPreloadEntry> Resolved(std::vector<std::string> Names) {
    std::vector<proc::TPreloadEntry> Entries;
    for (std::string& Name : Names) {
        proc::TPreloadEntry& Entry = Entries.emplace_back();
        if (Name.find('/') != std::string::npos) {
            char Path[PATH_MAX];
            if (::realpath(Name.c_str(), Path))
                Entry.Resolved = Path;
        }
        Entry.Name = std::move(Name);
    }
    return Entries;
}

// True when Info is the file that a maps line states by device and inode.
bool IsMappedFile(const struct stat& Info, const proc::TMappedFile& File) {
    return major(Info.st_dev) == File.Major && minor(Info.st_dev) == File.Minor &&
           static_cast<std::uint64_t>(Info.st_ino) == File.Inode;
}

std::string Hex(std::uint64_t Value) {
    char Digits[17];
    const auto Result = std::to_chars(Digits, Digits + sizeof Digits, Value, 16);
    return std::string(Digits, Result.ptr);
}

std::int32_t SaturatingAdd(std::int32_t A, std::int32_t B) {
    const std::int64_t Sum = static_cast<std::int64_t>(A) + B;
    return Sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(Sum);
}

}  // namespace

TLinuxProcessSource::TLinuxProcessSource(std::string ProcRoot, std::string PreloadFile)
    : FRoot(std::move(ProcRoot)), FClockTicks(::sysconf(_SC_CLK_TCK)), FPreloadFile(std::move(PreloadFile)) {
    if (FClockTicks <= 0)
        FClockTicks = 100;  // the tick rate Linux has always reported to user space
}

TLinuxProcessSource::~TLinuxProcessSource() { CloseImageDescriptor(); }

std::string TLinuxProcessSource::ProcessPath(std::uint32_t ProcessId, const char* File) const {
    return FRoot + '/' + std::to_string(ProcessId) + '/' + File;
}

std::string TLinuxProcessSource::EnableDebugPrivilege() {
    // Nothing to enable: each query reports its own lack of rights.
    return {};
}

std::string TLinuxProcessSource::ProcessName(std::uint32_t ProcessId, const TWalkFacts& Facts) {
    int Error = 0;
    if (Facts.ExeError == 0) {
        std::string_view Path = Facts.Exe;
        if (EndsWith(Path, kDeletedSuffix))
            Path.remove_suffix(kDeletedSuffix.size());
        const std::string_view Name = proc::LastComponent(Path);
        if (!Name.empty())
            return std::string(Name);
    }
    if (ReadText(ProcessPath(ProcessId, "cmdline"), FBuffer, Error)) {
        const std::string_view CommandLine = FBuffer;
        const std::string_view Name = proc::LastComponent(CommandLine.substr(0, CommandLine.find('\0')));
        if (!Name.empty())
            return std::string(Name);
    }
    return Facts.Stat.Name;
}

TLinuxProcessSource::TWalkFacts* TLinuxProcessSource::WalkFactsOf(std::uint32_t ProcessId) {
    const auto Found = std::lower_bound(FWalk.begin(), FWalk.end(), ProcessId,
                                        [](const TWalkFacts& Facts, std::uint32_t Id) { return Facts.Id < Id; });
    return Found != FWalk.end() && Found->Id == ProcessId ? &*Found : nullptr;
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

    // What the walk reads serves the queries that follow it (see WalkFactsOf).
    FWalk.clear();
    FWalk.reserve(Ids.size());
    FImageFiles.clear();
    FTimeSeparator.reset();

    std::vector<TProcessEntry> Entries;
    Entries.reserve(Ids.size() + 1);
    Entries.push_back(TProcessEntry{"[System Process]", 0, 0, Processors});
    std::optional<std::size_t> KernelDaemon;
    std::int32_t KernelThreadCount = 0;
    TWalkFacts Facts;
    for (const std::uint32_t Id : Ids) {
        // A process that ended since the folder was read has lost its files: skip it.
        if (!ReadText(ProcessPath(Id, "stat"), FBuffer, Error, true) || !proc::ParseStat(FBuffer, Facts.Stat))
            continue;
        const proc::TStatFields& Stat = Facts.Stat;
        if (Stat.Flags & proc::kKernelThreadFlag) {
            // As Windows shows its kernel: one "System" process holding every kernel thread.
            KernelThreadCount = SaturatingAdd(KernelThreadCount, Stat.Threads);
            if (Id == 2) {
                KernelDaemon = Entries.size();
                Entries.push_back(TProcessEntry{"System", Id, Stat.ParentId, 0});
            }
            continue;
        }
        Facts.Id = Id;
        Facts.Exe.clear();
        Facts.ExeError = 0;
        ReadLink(ProcessPath(Id, "exe"), Facts.Exe, Facts.ExeError);
        Entries.push_back(TProcessEntry{ProcessName(Id, Facts), Id, Stat.ParentId, Stat.Threads});
        FWalk.push_back(std::move(Facts));
        Facts = TWalkFacts{};
    }
    if (KernelDaemon)
        Entries[*KernelDaemon].Threads = KernelThreadCount;

    for (const TProcessEntry& Entry : Entries)
        Visit(Entry);
}

bool TLinuxProcessSource::QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize,
                                         std::string& Remark) {
    CloseImageDescriptor();
    const std::string Link = ProcessPath(ProcessId, "exe");
    std::string Target;
    int Error = 0;
    TWalkFacts* Walked = WalkFactsOf(ProcessId);
    if (Walked && Walked->ExeTaken)
        Walked = nullptr;  // asked a second time: read anew
    if (Walked) {
        Walked->ExeTaken = true;
        Target = std::move(Walked->Exe);
        Error = Walked->ExeError;
    } else {
        ReadLink(Link, Target, Error);
    }
    if (Error != 0) {
        Remark = SystemErrorText(static_cast<std::uint32_t>(Error));
        return false;
    }
    proc::TMappingExtent Mappings(Target);
    FMappedId = 0;
    FMapped.clear();
    if (FListModules) {
        // One read of the maps for the image and its libraries.
        proc::TExecutableMappings Executable(Target);
        if (!ReadLines(
                ProcessPath(ProcessId, "maps"), FBuffer, Error,
                [&](std::string_view Line) {
                    Mappings.Feed(Line);
                    Executable.Feed(Line);
                    return true;
                },
                true))
            return false;
        FMapped = std::move(Executable).Files();
    } else if (!ReadLines(ProcessPath(ProcessId, "maps"), FBuffer, Error,
                          [&](std::string_view Line) { return Mappings.Feed(Line); })) {
        return false;
    }
    // Within a walk the path's stat is shared by the processes that run its file.
    const struct stat* TargetNow = Walked ? ImageFileStat(Target) : nullptr;
    const bool MapsShowThePath = TargetNow && MapsNameFileOf(Mappings, *TargetNow);
    const bool AtItsPath = MapsShowThePath || SameFile(Link, Target);
    // Elsewhere the image is read through the link, opened now so that what
    // is read later is this image, whatever the process runs by then. A
    // descriptor that cannot be had leaves the link itself to be read.
    if (!AtItsPath)
        FImageDescriptor = ::open(Link.c_str(), O_RDONLY | O_CLOEXEC);

    // Had the process run another program (exec) or ended since the walk took
    // its name from the link, the maps, and the image opened, would be another
    // program's than the name's. Maps whose first file is the one at the path
    // are the program's own; otherwise the link is read once more, after the
    // maps and the open, and must not have changed.
    if (!(MapsShowThePath && Mappings.FirstFileMapped())) {
        std::string Now;
        if (!ReadLink(Link, Now, Error)) {
            CloseImageDescriptor();
            Remark = SystemErrorText(static_cast<std::uint32_t>(Error));
            return false;
        }
        if (Now != Target) {
            CloseImageDescriptor();
            Remark = LoadStr(TStringId::sRemarkProgramChanged);
            return false;
        }
    }

    ImageSize = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(Mappings.Extent(), std::numeric_limits<std::uint32_t>::max()));
    FMappedId = ProcessId;
    if (AtItsPath) {
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
    FLastOrigin.ContentPath =
        FImageDescriptor >= 0 ? "/proc/self/fd/" + std::to_string(FImageDescriptor) : Link;
    ImagePath = proc::ImagePathOf(Target, FLastOrigin.State);
    return true;
}

void TLinuxProcessSource::CloseImageDescriptor() {
    if (FImageDescriptor >= 0)
        ::close(FImageDescriptor);
    FImageDescriptor = -1;
}

const struct stat* TLinuxProcessSource::ImageFileStat(const std::string& Path) {
    auto Found = FImageFiles.find(Path);
    if (Found == FImageFiles.end()) {
        std::optional<struct stat> Info;
        if (struct stat Now; ::stat(Path.c_str(), &Now) == 0)
            Info = Now;
        Found = FImageFiles.emplace(Path, Info).first;
    }
    return Found->second ? &*Found->second : nullptr;
}

void TLinuxProcessSource::ListModules(bool Wanted) {
    FListModules = Wanted;
    FSystemPreload.clear();
    int Error = 0;
    if (Wanted && ReadText(FPreloadFile, FBuffer, Error))
        FSystemPreload = Resolved(proc::PreloadList(FBuffer, true));
}

std::unique_ptr<IProcessSource> TLinuxProcessSource::ModuleReader() const {
    return std::make_unique<TLinuxProcessSource>(FRoot, FPreloadFile);
}

TProcessModules TLinuxProcessSource::QueryModules(std::uint32_t ProcessId) {
    TProcessModules Result;
    if (!FListModules)
        return Result;  // nor is /etc/ld.so.preload read
    int Error = 0;
    if (ProcessId != FMappedId) {
        // Not right after the image query: the maps are read for the libraries alone.
        std::string Target;
        if (!ReadLink(ProcessPath(ProcessId, "exe"), Target, Error)) {
            Result.Problem = SystemErrorText(static_cast<std::uint32_t>(Error));
            return Result;
        }
        proc::TExecutableMappings Executable(Target);
        if (!ReadLines(
                ProcessPath(ProcessId, "maps"), FBuffer, Error,
                [&](std::string_view Line) {
                    Executable.Feed(Line);
                    return true;
                },
                true)) {
            Result.Problem = SystemErrorText(static_cast<std::uint32_t>(Error));
            return Result;
        }
        FMapped = std::move(Executable).Files();
        // The program these libraries belong to, named as the image query names it.
        const TImageState Named = Target.starts_with("/memfd:")       ? TImageState::MemoryOnly
                                  : EndsWith(Target, kDeletedSuffix) ? TImageState::Deleted
                                                                     : TImageState::Present;
        Result.ImagePath = proc::ImagePathOf(Target, Named);
    }
    FMappedId = 0;
    Result.Listed = true;
    if (FMapped.empty())
        return Result;

    std::vector<proc::TPreloadEntry> Environment;
    if (ReadText(ProcessPath(ProcessId, "environ"), FBuffer, Error, true))
        Environment = Resolved(proc::PreloadList(proc::PreloadVariable(FBuffer), false));
    std::optional<bool> SharesView;
    Result.Modules.reserve(FMapped.size());
    for (const proc::TMappedFile& File : FMapped) {
        TLoadedModule& Module = Result.Modules.emplace_back();
        const bool InMemory = File.Path.starts_with("/memfd:");
        // A file at the path with the mapping's identity is the library, whatever its name ends with.
        const struct stat* AtPath = InMemory ? nullptr : ImageFileStat(File.Path);
        if (InMemory) {
            Module.State = TImageState::MemoryOnly;
            Module.Path = proc::ImagePathOf(File.Path, Module.State);
        } else if (AtPath && IsMappedFile(*AtPath, File)) {
            Module.State = TImageState::Present;
            Module.Path = File.Path;
            Module.ContentPath = File.Path;
        } else if (EndsWith(File.Path, kDeletedSuffix)) {
            // Read through the mapping itself; another file may have its path by now.
            Module.Path = File.Path.substr(0, File.Path.size() - kDeletedSuffix.size());
            struct stat Info;
            Module.State = ::stat((ProcessPath(ProcessId, "root") + Module.Path).c_str(), &Info) == 0 ||
                                   ::stat(Module.Path.c_str(), &Info) == 0
                               ? TImageState::Replaced
                               : TImageState::Deleted;
            Module.ContentPath = ProcessPath(ProcessId, "map_files") + '/' + Hex(File.Start) + '-' + Hex(File.End);
        } else {
            // The kernel may state another device than stat shows (btrfs,
            // overlay); a process of another mount namespace or root folder
            // sees another file under the path, and is read through its root.
            Module.State = TImageState::Present;
            Module.Path = File.Path;
            if (AtPath && !SharesView)
                SharesView = SharesOwnView(ProcessId);
            Module.ContentPath = AtPath && *SharesView ? File.Path : ProcessPath(ProcessId, "root") + File.Path;
        }
        const auto Names = [&Module](const proc::TPreloadEntry& Entry) { return NamesLibrary(Entry, Module.Path); };
        if (std::any_of(Environment.begin(), Environment.end(), Names))
            Module.Preload = TPreload::Environment;
        else if (std::any_of(FSystemPreload.begin(), FSystemPreload.end(), Names))
            Module.Preload = TPreload::SystemFile;
    }
    return Result;
}

bool TLinuxProcessSource::SharesOwnView(std::uint32_t ProcessId) {
    int Error = 0;
    if (!FOwnMountNamespace) {
        FOwnMountNamespace.emplace();
        ReadLink(FRoot + "/self/ns/mnt", *FOwnMountNamespace, Error);
    }
    std::string Namespace;
    return !FOwnMountNamespace->empty() && ReadLink(ProcessPath(ProcessId, "ns/mnt"), Namespace, Error) &&
           Namespace == *FOwnMountNamespace && SameFile(ProcessPath(ProcessId, "root"), "/");
}

std::string TLinuxProcessSource::HostName() {
    char Name[256] = {};
    if (::gethostname(Name, sizeof Name - 1) != 0)
        return {};
    return Name;
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
    FLastTimes = {};
    proc::TStatFields Stat;
    if (TWalkFacts* Walked = WalkFactsOf(ProcessId); Walked && !Walked->StatTaken) {
        Walked->StatTaken = true;
        Stat = std::move(Walked->Stat);
    } else {
        int Error = 0;
        if (!ReadText(ProcessPath(ProcessId, "stat"), FBuffer, Error, true)) {
            Remark = SystemErrorText(static_cast<std::uint32_t>(Error));
            return false;
        }
        if (!proc::ParseStat(FBuffer, Stat))
            return false;
    }
    const std::optional<std::uint64_t> Boot = BootTime();
    if (!Boot)
        return false;

    const std::uint64_t StartSeconds = *Boot + Stat.StartTicks / static_cast<std::uint64_t>(FClockTicks);
    if (StartSeconds > kLastUnixSecond)
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
    FLastTimes.StartUtc = kUnixEpoch + *Boot * kFileTimeTicksPerSecond + TicksToFileTime(Stat.StartTicks, FClockTicks);

    if (!FTimeSeparator)
        FTimeSeparator = LocaleTimeSeparator();
    const char Separator = *FTimeSeparator;
    const TFileTime Kernel = TicksToFileTime(Stat.SystemTicks, FClockTicks);
    const TFileTime User = TicksToFileTime(Stat.UserTicks, FClockTicks);
    KernelTime = DurationText(Kernel, Separator);
    CpuTime = CpuTimeText(Kernel, User, Separator);
    FLastTimes.Kernel = Kernel;
    FLastTimes.Cpu = Kernel + User;
    PriorityClass = proc::PriorityClassOf(Stat.Policy, Stat.Nice);
    return true;
}

}  // namespace quorvane

#include "versioninfo/linux/DpkgIndex.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unordered_map>

namespace quorvane {

namespace {

constexpr std::string_view kCacheMagic = "quorvane-dpkg-index 2";
constexpr std::string_view kCacheEnd = "end of index\n";

std::int64_t MtimeNs(const struct stat& Info) {
    return static_cast<std::int64_t>(Info.st_mtim.tv_sec) * 1000000000 + Info.st_mtim.tv_nsec;
}

bool ReadWholeFile(const std::string& Path, std::string& Out) {
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return false;
    std::ostringstream Buffer;
    Buffer << In.rdbuf();
    Out = std::move(Buffer).str();
    return true;
}

// Tabs and line ends would break the cache's line format.
std::string Clean(std::string_view Text) {
    std::string Out(Text);
    for (char& C : Out)
        if (C == '\t' || C == '\n' || C == '\r')
            C = ' ';
    return Out;
}

struct TStatusPackage {
    std::string Name;
    std::string Architecture;
    std::string Version;
    std::string Maintainer;
    std::string Description;
    bool Installed = false;
};

// Stanzas of the status file: "Field: value" lines, continuation lines start
// with a blank, stanzas end at an empty line.
std::vector<TStatusPackage> ParseStatus(std::string_view Text) {
    std::vector<TStatusPackage> Packages;
    TStatusPackage Current;
    bool Any = false;
    auto Finish = [&] {
        if (Any && Current.Installed && !Current.Name.empty())
            Packages.push_back(std::move(Current));
        Current = TStatusPackage{};
        Any = false;
    };
    std::size_t Pos = 0;
    while (Pos <= Text.size()) {
        std::size_t End = Text.find('\n', Pos);
        if (End == std::string_view::npos)
            End = Text.size();
        std::string_view Line = Text.substr(Pos, End - Pos);
        Pos = End + 1;
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        if (Line.empty()) {
            Finish();
            if (End == Text.size())
                break;
            continue;
        }
        if (Line.front() == ' ' || Line.front() == '\t')
            continue;  // continuation: only the first line of any field is used
        const std::size_t Colon = Line.find(':');
        if (Colon == std::string_view::npos)
            continue;
        const std::string_view Field = Line.substr(0, Colon);
        std::string_view Value = Line.substr(Colon + 1);
        while (!Value.empty() && (Value.front() == ' ' || Value.front() == '\t'))
            Value.remove_prefix(1);
        while (!Value.empty() && (Value.back() == ' ' || Value.back() == '\t'))
            Value.remove_suffix(1);
        Any = true;
        if (Field == "Package")
            Current.Name = Value;
        else if (Field == "Architecture")
            Current.Architecture = Value;
        else if (Field == "Version")
            Current.Version = Value;
        else if (Field == "Maintainer")
            Current.Maintainer = Value;
        else if (Field == "Description")
            Current.Description = Value;
        else if (Field == "Status") {
            // "want flag state": files are in place from "installed" on,
            // also while triggers are outstanding.
            const std::size_t Space = Value.rfind(' ');
            const std::string_view State = Space == std::string_view::npos ? Value : Value.substr(Space + 1);
            Current.Installed = State == "installed" || State == "triggers-pending" || State == "triggers-awaited";
        }
    }
    Finish();
    return Packages;
}

std::uint64_t Fnv1a(std::string_view Text) {
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (unsigned char C : Text)
        Hash = (Hash ^ C) * 0x100000001b3ull;
    return Hash;
}

// One line of Text from Pos, without its end; false at the end of Text.
bool NextLine(std::string_view Text, std::size_t& Pos, std::string_view& Line) {
    if (Pos >= Text.size())
        return false;
    std::size_t End = Text.find('\n', Pos);
    if (End == std::string_view::npos)
        return false;  // a complete file ends every line
    Line = Text.substr(Pos, End - Pos);
    Pos = End + 1;
    return true;
}

bool ParseNumber(std::string_view Text, std::int64_t& Value) {
    auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size();
}

}  // namespace

TDpkgIndex::TDpkgIndex(std::string Root, std::string CacheFile)
    : FRoot(std::move(Root)), FCacheFile(std::move(CacheFile)) {}

std::string TDpkgIndex::DefaultCacheFile(const std::string& Root) {
    std::string Base;
    if (const char* Xdg = getenv("XDG_CACHE_HOME"); Xdg && Xdg[0] == '/') {
        Base = Xdg;
    } else {
        const char* Home = getenv("HOME");
        if (!Home || Home[0] != '/') {
            const passwd* Entry = getpwuid(getuid());
            Home = Entry ? Entry->pw_dir : nullptr;
        }
        if (!Home || Home[0] != '/')
            return {};
        Base = std::string(Home) + "/.cache";
    }
    char Hash[17];
    std::snprintf(Hash, sizeof Hash, "%016llx", static_cast<unsigned long long>(Fnv1a(Root)));
    return Base + "/quorvane/dpkg-index-" + Hash;
}

TDpkgIndex::TStamp TDpkgIndex::CurrentStamp() const {
    TStamp Stamp;
    struct stat Info;
    if (stat((FRoot + "/status").c_str(), &Info) == 0) {
        Stamp.StatusMtime = MtimeNs(Info);
        Stamp.StatusSize = static_cast<std::int64_t>(Info.st_size);
    }
    if (stat((FRoot + "/info").c_str(), &Info) == 0)
        Stamp.InfoMtime = MtimeNs(Info);
    return Stamp;
}

std::string TDpkgIndex::BuildText(const TStamp& Stamp) const {
    std::string Status;
    std::vector<TStatusPackage> Packages;
    if (ReadWholeFile(FRoot + "/status", Status))
        Packages = ParseStatus(Status);

    // Listed paths with their directory resolved once per directory, so that
    // a path listed under a linked directory (/bin on a merged /usr) matches
    // the path the kernel reports (/usr/bin).
    std::unordered_map<std::string, std::string> ResolvedDirs;
    std::vector<std::pair<std::string, std::uint32_t>> Paths;
    std::string List;
    for (std::uint32_t Index = 0; Index < Packages.size(); ++Index) {
        const TStatusPackage& Package = Packages[Index];
        if (!ReadWholeFile(FRoot + "/info/" + Package.Name + ":" + Package.Architecture + ".list", List) &&
            !ReadWholeFile(FRoot + "/info/" + Package.Name + ".list", List))
            continue;
        std::size_t Pos = 0;
        std::string_view Line;
        const std::string_view View(List);
        while (Pos < View.size()) {
            std::size_t End = View.find('\n', Pos);
            if (End == std::string_view::npos)
                End = View.size();
            Line = View.substr(Pos, End - Pos);
            Pos = End + 1;
            const std::size_t Slash = Line.rfind('/');
            if (Line.empty() || Line.front() != '/' || Slash == 0 || Slash + 1 >= Line.size() ||
                Line.find('\t') != std::string_view::npos)
                continue;
            const std::string Dir(Line.substr(0, Slash));
            auto Found = ResolvedDirs.find(Dir);
            if (Found == ResolvedDirs.end()) {
                char Resolved[PATH_MAX];
                Found = ResolvedDirs.emplace(Dir, realpath(Dir.c_str(), Resolved) ? std::string(Resolved) : Dir).first;
            }
            std::string Path = Found->second;
            if (Path != "/")
                Path += '/';
            Path += Line.substr(Slash + 1);
            Paths.emplace_back(std::move(Path), Index);
        }
    }
    std::stable_sort(Paths.begin(), Paths.end(),
                     [](const auto& A, const auto& B) { return A.first < B.first; });
    Paths.erase(std::unique(Paths.begin(), Paths.end(),
                            [](const auto& A, const auto& B) { return A.first == B.first; }),
                Paths.end());

    std::string Text;
    Text.reserve(Paths.size() * 48);
    Text += kCacheMagic;
    Text += '\n' + Clean(FRoot) + '\n';
    Text += std::to_string(Stamp.StatusMtime) + ' ' + std::to_string(Stamp.StatusSize) + ' ' +
            std::to_string(Stamp.InfoMtime) + '\n';
    Text += std::to_string(Packages.size()) + '\n';
    for (const TStatusPackage& Package : Packages)
        Text += Clean(Package.Name) + '\t' + Clean(Package.Version) + '\t' + Clean(Package.Maintainer) + '\t' +
                Clean(Package.Description) + '\n';
    Text += std::to_string(Paths.size()) + '\n';
    for (const auto& [Path, Index] : Paths) {
        Text += Path;
        Text += '\t';
        Text += std::to_string(Index);
        Text += '\n';
    }
    Text += kCacheEnd;  // a file cut short lacks it
    return Text;
}

// Reads the header and package lines of FView; false when it is no complete
// index of this root with this stamp. The path lines are checked as they are
// searched.
bool TDpkgIndex::Parse(const TStamp& Stamp) {
    FPackages.clear();
    FPaths = {};
    const std::string_view Text = FView;
    std::size_t Pos = 0;
    std::string_view Line;
    if (!NextLine(Text, Pos, Line) || Line != kCacheMagic || !NextLine(Text, Pos, Line) || Line != Clean(FRoot))
        return false;
    const std::string Expected = std::to_string(Stamp.StatusMtime) + ' ' + std::to_string(Stamp.StatusSize) + ' ' +
                                 std::to_string(Stamp.InfoMtime);
    std::int64_t Count = 0;
    if (!NextLine(Text, Pos, Line) || Line != Expected || !NextLine(Text, Pos, Line) || !ParseNumber(Line, Count) ||
        Count < 0 || static_cast<std::uint64_t>(Count) > Text.size())
        return false;
    FPackages.reserve(static_cast<std::size_t>(Count));
    for (std::int64_t I = 0; I < Count; ++I) {
        if (!NextLine(Text, Pos, Line) || std::count(Line.begin(), Line.end(), '\t') != 3)
            return false;
        FPackages.push_back(Line);
    }
    if (Text.size() - Pos < kCacheEnd.size() || Text.substr(Text.size() - kCacheEnd.size()) != kCacheEnd ||
        (Text.size() - kCacheEnd.size() > Pos && Text[Text.size() - kCacheEnd.size() - 1] != '\n'))
        return false;
    FPaths = Text.substr(Pos, Text.size() - kCacheEnd.size() - Pos);
    return true;
}

bool TDpkgIndex::MapCache() {
    Unmap();
    if (FCacheFile.empty())
        return false;
    const int Fd = open(FCacheFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return false;
    struct stat Info;
    if (fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode) && Info.st_size > 0) {
        void* Mapped = mmap(nullptr, static_cast<std::size_t>(Info.st_size), PROT_READ, MAP_PRIVATE, Fd, 0);
        if (Mapped != MAP_FAILED) {
            FMapped = Mapped;
            FMappedSize = static_cast<std::size_t>(Info.st_size);
        }
    }
    close(Fd);
    if (FMapped)
        FView = std::string_view(static_cast<const char*>(FMapped), FMappedSize);
    return FMapped != nullptr;
}

void TDpkgIndex::Unmap() {
    if (FMapped)
        munmap(FMapped, FMappedSize);
    FMapped = nullptr;
    FMappedSize = 0;
    FView = {};
}

TDpkgIndex::~TDpkgIndex() { Unmap(); }

void TDpkgIndex::WriteCache() const {
    if (FCacheFile.empty())
        return;
    const std::size_t Slash = FCacheFile.rfind('/');
    if (Slash == std::string::npos)
        return;
    // The folder and its parent (e.g. ~/.cache); failures leave the index in memory.
    const std::string Dir = FCacheFile.substr(0, Slash);
    const std::size_t ParentSlash = Dir.rfind('/');
    if (ParentSlash != std::string::npos && ParentSlash > 0)
        mkdir(Dir.substr(0, ParentSlash).c_str(), 0700);
    mkdir(Dir.c_str(), 0700);
    // Written beside the target and renamed over it, so a reader never sees
    // half a file.
    std::string Temp = FCacheFile + ".XXXXXX";
    const int Fd = mkstemp(Temp.data());
    if (Fd < 0)
        return;
    std::size_t Done = 0;
    bool Ok = true;
    while (Done < FText.size()) {
        const ssize_t Written = write(Fd, FText.data() + Done, FText.size() - Done);
        if (Written <= 0) {
            Ok = false;
            break;
        }
        Done += static_cast<std::size_t>(Written);
    }
    if (close(Fd) != 0)
        Ok = false;
    if (!Ok || rename(Temp.c_str(), FCacheFile.c_str()) != 0)
        unlink(Temp.c_str());
}

void TDpkgIndex::Refresh() {
    const TStamp Stamp = CurrentStamp();
    if (FBuilt && Stamp == FStamp)
        return;
    FStamp = Stamp;
    FBuilt = true;
    FLoadedFromCache = false;
    FText.clear();
    if (MapCache() && Parse(Stamp)) {
        FLoadedFromCache = true;
        return;
    }
    Rebuild();
}

void TDpkgIndex::Rebuild() {
    Unmap();
    FLoadedFromCache = false;
    FText = BuildText(FStamp);
    FView = FText;
    if (!Parse(FStamp)) {  // cannot happen for our own text; keep an empty index then
        FPackages.clear();
        FPaths = {};
        return;
    }
    WriteCache();
}

std::optional<TPackageInfo> TDpkgIndex::Lookup(std::string_view Path) {
    Refresh();
    // Binary search over the sorted lines in place: Low is always a line's
    // start; each step moves Low past a line or High down to a line's start,
    // so it ends on any content.
    std::size_t Low = 0;
    std::size_t High = FPaths.size();
    std::string_view Found;
    while (Low < High) {
        std::size_t Start = Low + (High - Low) / 2;
        while (Start > Low && FPaths[Start - 1] != '\n')
            --Start;
        std::size_t End = FPaths.find('\n', Start);
        if (End == std::string_view::npos || End >= High)
            End = High;
        const std::string_view Line = FPaths.substr(Start, End - Start);
        const std::string_view Key = Line.substr(0, Line.rfind('\t'));
        if (Key < Path) {
            Low = End + 1;
        } else if (Path < Key) {
            High = Start;
        } else {
            Found = Line;
            break;
        }
    }
    if (Found.empty())
        return std::nullopt;
    std::int64_t Index = -1;
    const std::size_t Tab = Found.rfind('\t');
    if (Tab == std::string_view::npos || !ParseNumber(Found.substr(Tab + 1), Index) || Index < 0 ||
        static_cast<std::uint64_t>(Index) >= FPackages.size()) {
        // A damaged cache: read the database itself once more.
        if (!FLoadedFromCache)
            return std::nullopt;
        Rebuild();
        return Lookup(Path);
    }
    std::string_view Line = FPackages[static_cast<std::size_t>(Index)];
    TPackageInfo Info;
    std::string* Fields[] = {&Info.Name, &Info.Version, &Info.Maintainer, &Info.Description};
    for (std::string* Field : Fields) {
        const std::size_t FieldEnd = Line.find('\t');
        *Field = Line.substr(0, FieldEnd);
        Line.remove_prefix(FieldEnd == std::string_view::npos ? Line.size() : FieldEnd + 1);
    }
    return Info;
}

}  // namespace quorvane

#include "packages/dpkg/DpkgIndex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "packages/CacheFolder.h"
#include "packages/PackageDatabase.h"
#include "packages/dpkg/DpkgDatabase.h"

namespace quorvane {

namespace {

std::int64_t MtimeNs(const struct stat& Info) {
    return static_cast<std::int64_t>(Info.st_mtim.tv_sec) * 1000000000 + Info.st_mtim.tv_nsec;
}

// A file of the info folder, under its multi-arch name first.
bool ReadInfoFile(const TSystemRoot& System, const std::string& Root, const dpkg::TStatusPackage& Package,
                  const char* Suffix, std::string& Out) {
    return (!Package.Architecture.empty() &&
            System.ReadFile(Root + "/info/" + Package.Name + ":" + Package.Architecture + Suffix, Out)) ||
           System.ReadFile(Root + "/info/" + Package.Name + Suffix, Out);
}

std::uint64_t Fnv1a(std::string_view Text) {
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (unsigned char C : Text)
        Hash = (Hash ^ C) * 0x100000001b3ull;
    return Hash;
}

// Listed paths with their directory resolved once per directory, so that a
// path listed under a linked directory (/bin on a merged /usr) matches the
// path the kernel reports (/usr/bin).
class TDirectoryResolver {
public:
    explicit TDirectoryResolver(const TSystemRoot& System) : FSystem(System) {}

    std::string Resolve(std::string_view Path) {
        const std::size_t Slash = Path.rfind('/');
        const std::string Dir(Path.substr(0, Slash));
        auto Found = FResolved.find(Dir);
        if (Found == FResolved.end()) {
            std::string Resolved = FSystem.Resolve(Dir.empty() ? "/" : Dir);
            Found = FResolved.emplace(Dir, Resolved.empty() ? Dir : std::move(Resolved)).first;
        }
        std::string Out = Found->second;
        if (Out != "/")
            Out += '/';
        Out += Path.substr(Slash + 1);
        return Out;
    }

private:
    const TSystemRoot& FSystem;
    std::unordered_map<std::string, std::string> FResolved;
};

}  // namespace

TDpkgIndex::TDpkgIndex(std::string Root, std::string CacheFile, const TSystemRoot& System)
    : FRoot(std::move(Root)), FSystem(System), FHostRoot(System.HostPath(FRoot)), FCacheFile(std::move(CacheFile)) {}

const TSystemRoot& TDpkgIndex::HostSystem() {
    static const TSystemRoot Host;
    return Host;
}

TDpkgIndex::~TDpkgIndex() { Unmap(); }

std::string TDpkgIndex::CacheFileName(const std::string& Root) {
    char Hash[17];
    std::snprintf(Hash, sizeof Hash, "%016llx", static_cast<unsigned long long>(Fnv1a(Root)));
    return std::string("dpkg-index-") + Hash;
}

// dpkg writes status for every change of a package, info/ when a package's
// files come or go, and diversions through dpkg-divert.
std::string TDpkgIndex::CurrentStamp() const {
    std::string Stamp;
    struct stat Info;
    for (const char* Name : {"/status", "/info", "/diversions"}) {
        Stamp += Stamp.empty() ? "" : " ";
        if (FSystem.Stat(FRoot + Name, Info))
            Stamp += std::to_string(MtimeNs(Info)) + ':' + std::to_string(static_cast<std::int64_t>(Info.st_size));
        else
            Stamp += '-';
    }
    return Stamp;
}

std::string TDpkgIndex::BuildText() const {
    std::string Text;
    std::vector<dpkg::TStatusPackage> Status;
    if (FSystem.ReadFile(FRoot + "/status", Text))
        Status = dpkg::ParseStatus(Text);
    std::unordered_map<std::string, dpkg::TDiversion> Diversions;
    if (FSystem.ReadFile(FRoot + "/diversions", Text))
        for (dpkg::TDiversion& Diversion : dpkg::ParseDiversions(Text))
            Diversions.emplace(Diversion.From, std::move(Diversion));

    TDirectoryResolver Resolver(FSystem);
    std::vector<TPackageInfo> Packages;
    std::vector<TIndexedFile> Files;
    std::unordered_map<std::string, std::string> Checksums;
    for (const dpkg::TStatusPackage& Package : Status) {
        const auto Number = static_cast<std::uint32_t>(Packages.size());
        Packages.push_back({Package.Name, Package.Version, Package.Maintainer, Package.Description});
        Checksums.clear();
        if (ReadInfoFile(FSystem, FRoot, Package, ".md5sums", Text))
            dpkg::ParseMd5Sums(Text, [&](std::string_view Path, std::string_view Md5) {
                Checksums.emplace(std::string(Path), std::string(Md5));
            });
        for (const dpkg::TFileChecksum& Conffile : Package.Conffiles)
            Checksums.emplace(Conffile.Path, Conffile.Md5);
        if (!ReadInfoFile(FSystem, FRoot, Package, ".list", Text))
            continue;
        dpkg::ParseList(Text, [&](std::string_view Listed) {
            // The package's file is installed under the diverted name, unless
            // this package is the one that diverts it.
            const std::string Key(Listed);
            const auto Diverted = Diversions.find(Key);
            const bool ElseWhere = Diverted != Diversions.end() && Diverted->second.Package != Package.Name;
            const auto Checksum = Checksums.find(Key);
            Files.push_back({Resolver.Resolve(ElseWhere ? std::string_view(Diverted->second.To) : Listed), Number,
                             Checksum == Checksums.end() ? std::string() : Checksum->second});
        });
    }
    // A path listed twice (shared by packages of several architectures)
    // keeps the entry of the package the status file names first.
    std::stable_sort(Files.begin(), Files.end(),
                     [](const TIndexedFile& A, const TIndexedFile& B) { return A.Path < B.Path; });
    Files.erase(std::unique(Files.begin(), Files.end(),
                            [](const TIndexedFile& A, const TIndexedFile& B) { return A.Path == B.Path; }),
                Files.end());
    return BuildIndexCache(FHostRoot, FStamp, Packages, Files);
}

bool TDpkgIndex::OpenView(std::string_view View) {
    FUsable = FReader.Open(View) && FReader.Root() == IndexField(FHostRoot) && FReader.Stamp() == FStamp;
    return FUsable;
}

bool TDpkgIndex::MapCache() {
    Unmap();
    if (FCacheFile.empty())
        return false;
    const int Fd = open(FCacheFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (Fd < 0)
        return false;
    struct stat Info;
    if (fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode) && IsPrivateFile(Info) && Info.st_size > 0) {
        void* Mapped = mmap(nullptr, static_cast<std::size_t>(Info.st_size), PROT_READ, MAP_PRIVATE, Fd, 0);
        if (Mapped != MAP_FAILED) {
            FMapped = Mapped;
            FMappedSize = static_cast<std::size_t>(Info.st_size);
        }
    }
    close(Fd);
    return FMapped && OpenView(std::string_view(static_cast<const char*>(FMapped), FMappedSize));
}

void TDpkgIndex::Unmap() {
    FReader = TIndexCacheReader{};
    FUsable = false;
    if (FMapped)
        munmap(FMapped, FMappedSize);
    FMapped = nullptr;
    FMappedSize = 0;
}

void TDpkgIndex::WriteCache() const {
    if (!FCacheFile.empty())
        WritePrivateFile(FCacheFile, FText);
}

void TDpkgIndex::Refresh() {
    const std::string Stamp = CurrentStamp();
    if (FBuilt && Stamp == FStamp)
        return;
    FStamp = Stamp;
    FBuilt = true;
    FText.clear();
    FLoadedFromCache = MapCache();
    if (!FLoadedFromCache)
        Rebuild();
}

void TDpkgIndex::Rebuild() {
    Unmap();
    FLoadedFromCache = false;
    FText = BuildText();
    if (OpenView(FText))
        WriteCache();
}

std::optional<TPackageFile> TDpkgIndex::Lookup(std::string_view Path) {
    Refresh();
    if (!FUsable)
        return std::nullopt;
    std::uint32_t Number = 0;
    std::string_view Md5;
    switch (FReader.Find(Path, Number, Md5)) {
    case TIndexCacheReader::TFind::Missing:
        return std::nullopt;
    case TIndexCacheReader::TFind::Damaged:
        // A damaged cache: read the database itself once more. An index built
        // here is intact, so this happens at most once per refresh.
        if (!FLoadedFromCache)
            return std::nullopt;
        Rebuild();
        return Lookup(Path);
    case TIndexCacheReader::TFind::Found:
        break;
    }
    return TPackageFile{FReader.Package(Number), std::string(Md5)};
}

namespace {

// The dpkg back-end of the packages layer.
class TDpkgDatabase final : public IPackageDatabase {
public:
    TDpkgDatabase(const TSystemRoot& System, const std::string& Folder, const std::string& CacheFolder)
        : FLocation(Folder),
          FIndex(Folder, CacheFolder.empty() ? std::string()
                                             : CacheFolder + "/" + TDpkgIndex::CacheFileName(System.HostPath(Folder)),
                 System) {}

    TPackageManager Manager() const override { return TPackageManager::Dpkg; }
    const std::string& Location() const override { return FLocation; }

    std::optional<TPackageOwner> Owner(std::string_view Path) override {
        std::optional<TPackageFile> Listed = FIndex.Lookup(Path);
        if (!Listed)
            return std::nullopt;
        TPackageOwner Owner;
        Owner.Manager = TPackageManager::Dpkg;
        Owner.Name = std::move(Listed->Package.Name);
        Owner.Version = std::move(Listed->Package.Version);
        Owner.Maker = std::move(Listed->Package.Maintainer);
        Owner.Summary = std::move(Listed->Package.Description);
        Owner.Digest = std::move(Listed->Md5);
        Owner.Algorithm = Owner.Digest.empty() ? TDigestAlgorithm::None : TDigestAlgorithm::Md5;
        return Owner;
    }

    std::string Stamp() override { return FIndex.Stamp(); }

    // dpkg's files are read as far as they can be; what cannot be read lists nothing.
    std::string Problem() const override { return {}; }

private:
    std::string FLocation;
    TDpkgIndex FIndex;
};

}  // namespace

std::unique_ptr<IPackageDatabase> OpenDpkgDatabase(const TSystemRoot& Root, const std::string& Folder,
                                                   const std::string& CacheFolder) {
    return std::make_unique<TDpkgDatabase>(Root, Folder, CacheFolder);
}

}  // namespace quorvane

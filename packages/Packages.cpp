#include "packages/Packages.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

bool IsRegularFile(const TSystemRoot& Root, const std::string& Path) {
    struct stat Info;
    return Root.Stat(Path, Info) && S_ISREG(Info.st_mode);
}

// A folder with at least one entry besides "." and "..".
bool IsFolderWithEntries(const TSystemRoot& Root, const std::string& Path) {
    const int Fd = Root.Open(Path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return false;
    DIR* Folder = fdopendir(Fd);
    if (!Folder) {
        close(Fd);
        return false;
    }
    bool Found = false;
    while (const dirent* Entry = readdir(Folder)) {
        const std::string_view Name = Entry->d_name;
        if (Name != "." && Name != "..") {
            Found = true;
            break;
        }
    }
    closedir(Folder);
    return Found;
}

}  // namespace

std::vector<TDatabaseLocation> FindPackageDatabases(const TSystemRoot& Root) {
    std::vector<TDatabaseLocation> Found;
    if (IsRegularFile(Root, "/var/lib/dpkg/status"))
        Found.push_back({TPackageManager::Dpkg, "/var/lib/dpkg"});
    // Fedora keeps the database in /usr/lib/sysimage/rpm, with /var/lib/rpm a
    // link to it; older systems have /var/lib/rpm only. Whichever of sqlite,
    // Berkeley DB or ndb it is, the back-end tells.
    std::string RpmFolder;
    for (const char* Folder : {"/usr/lib/sysimage/rpm", "/var/lib/rpm"}) {
        for (const char* File : {"/rpmdb.sqlite", "/Packages", "/Packages.db"}) {
            if (RpmFolder.empty() && IsRegularFile(Root, std::string(Folder) + File))
                RpmFolder = Folder;
        }
    }
    if (!RpmFolder.empty())
        Found.push_back({TPackageManager::Rpm, RpmFolder});
    if (IsFolderWithEntries(Root, "/var/lib/pacman/local"))
        Found.push_back({TPackageManager::Pacman, "/var/lib/pacman"});
    if (IsRegularFile(Root, "/lib/apk/db/installed"))
        Found.push_back({TPackageManager::Apk, "/lib/apk/db/installed"});
    return Found;
}

TPackages::TPackages(const TPackagesOptions& Options)
    : FRoot(Options.Root),
      FDigests(Options.CacheFolder.empty() ? std::string() : Options.CacheFolder + "/file-digests",
               Options.DigestSettleTime) {
    const std::vector<TDatabaseLocation> Locations =
        Options.Databases ? *Options.Databases : FindPackageDatabases(FRoot);
    for (const TDatabaseLocation& Location : Locations) {
        switch (Location.Manager) {
            case TPackageManager::Dpkg:
                FDatabases.push_back(OpenDpkgDatabase(FRoot, Location.Path, Options.CacheFolder));
                break;
            case TPackageManager::Rpm: FDatabases.push_back(OpenRpmDatabase(FRoot, Location.Path)); break;
            case TPackageManager::Pacman: FDatabases.push_back(OpenPacmanDatabase(FRoot, Location.Path)); break;
            case TPackageManager::Apk: FDatabases.push_back(OpenApkDatabase(FRoot, Location.Path)); break;
        }
    }
}

TPackages::~TPackages() = default;

TPackageVerdict TPackages::Check(std::string_view Path, int Fd, const struct stat& Info) {
    TPackageVerdict Verdict;
    for (const auto& Database : FDatabases) {
        std::optional<TPackageOwner> Owner = Database->Owner(Path);
        if (!Owner)
            continue;
        TContentCheck Check = TContentCheck::NoDigest;
        if (!Owner->Digest.empty() && Owner->Algorithm != TDigestAlgorithm::None) {
            const std::string Content = FDigests.Of(Fd, Info, Owner->Algorithm);
            Check = Content.empty()             ? TContentCheck::Unreadable
                    : Content == Owner->Digest ? TContentCheck::Verified
                                               : TContentCheck::Changed;
        }
        if (Check == TContentCheck::Verified)
            return {Check, std::move(Owner)};
        if (!Verdict.Owner)
            Verdict = {Check, std::move(Owner)};
    }
    return Verdict;
}

TPackageVerdict TPackages::Check(std::string_view Path) {
    std::string Resolved;
    const int Fd = FRoot.Open(Path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, &Resolved);
    if (Fd < 0)
        return {};
    struct stat Info;
    TPackageVerdict Verdict;
    if (fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode) && !Resolved.empty())
        Verdict = Check(Resolved, Fd, Info);
    close(Fd);
    return Verdict;
}

std::string TPackages::Stamp() {
    std::string Stamp;
    for (const auto& Database : FDatabases)
        Stamp += std::string(PackageManagerName(Database->Manager())) + ' ' + Database->Stamp() + '\n';
    return Stamp;
}

std::vector<TDatabaseProblem> TPackages::Problems() const {
    std::vector<TDatabaseProblem> Problems;
    for (const auto& Database : FDatabases)
        if (std::string Reason = Database->Problem(); !Reason.empty())
            Problems.push_back({Database->Manager(), Database->Location(), std::move(Reason)});
    return Problems;
}

}  // namespace quorvane

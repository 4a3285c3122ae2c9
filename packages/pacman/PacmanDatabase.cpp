// The pacman back-end of the packages layer, through libalpm (loaded when
// the first pacman database is asked). The local database holds one folder
// per package: its fields (desc), its files, and an mtree with each file's
// digests. At the first lookup every package's file list is read into one
// table of paths; a package's mtree is read when one of its files is first
// looked up. Both are read again when the database changes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <alpm.h>

#include "common/SystemText.h"
#include "packages/Digest.h"
#include "packages/PackageDatabase.h"
#include "packages/SharedLibrary.h"
#include "packages/SystemRoot.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

// The calls of libalpm, and of the libarchive it reads the mtree files with.
struct TAlpmCalls {
    decltype(&alpm_initialize) Initialize = nullptr;
    decltype(&alpm_release) Release = nullptr;
    decltype(&alpm_strerror) StrError = nullptr;
    decltype(&alpm_option_set_logcb) SetLogCallback = nullptr;
    decltype(&alpm_get_localdb) LocalDb = nullptr;
    decltype(&alpm_db_get_pkgcache) PackageCache = nullptr;
    decltype(&alpm_pkg_get_name) Name = nullptr;
    decltype(&alpm_pkg_get_version) Version = nullptr;
    decltype(&alpm_pkg_get_desc) Description = nullptr;
    decltype(&alpm_pkg_get_packager) Packager = nullptr;
    decltype(&alpm_pkg_get_files) Files = nullptr;
    decltype(&alpm_pkg_mtree_open) MtreeOpen = nullptr;
    decltype(&alpm_pkg_mtree_next) MtreeNext = nullptr;
    decltype(&alpm_pkg_mtree_close) MtreeClose = nullptr;
    decltype(&archive_entry_pathname) EntryPath = nullptr;
    decltype(&archive_entry_digest) EntryDigest = nullptr;
};

const TAlpmCalls* AlpmCalls() {
    static TAlpmCalls Calls;
    static bool Usable = false;
    static std::once_flag Once;
    std::call_once(Once, [] {
        static TSharedLibrary Library("libalpm.so.13");
        Usable = Library.Bind(Calls.Initialize, "alpm_initialize") && Library.Bind(Calls.Release, "alpm_release") &&
                 Library.Bind(Calls.StrError, "alpm_strerror") &&
                 Library.Bind(Calls.SetLogCallback, "alpm_option_set_logcb") &&
                 Library.Bind(Calls.LocalDb, "alpm_get_localdb") &&
                 Library.Bind(Calls.PackageCache, "alpm_db_get_pkgcache") &&
                 Library.Bind(Calls.Name, "alpm_pkg_get_name") && Library.Bind(Calls.Version, "alpm_pkg_get_version") &&
                 Library.Bind(Calls.Description, "alpm_pkg_get_desc") &&
                 Library.Bind(Calls.Packager, "alpm_pkg_get_packager") &&
                 Library.Bind(Calls.Files, "alpm_pkg_get_files") &&
                 Library.Bind(Calls.MtreeOpen, "alpm_pkg_mtree_open") &&
                 Library.Bind(Calls.MtreeNext, "alpm_pkg_mtree_next") &&
                 Library.Bind(Calls.MtreeClose, "alpm_pkg_mtree_close") &&
                 Library.Bind(Calls.EntryPath, "archive_entry_pathname") &&
                 Library.Bind(Calls.EntryDigest, "archive_entry_digest");
    });
    return Usable ? &Calls : nullptr;
}

// libalpm's errors go to the database's problem, not to standard error.
void CollectLog(void* Context, alpm_loglevel_t Level, const char* Format, va_list Arguments) {
    auto* FirstError = static_cast<std::string*>(Context);
    if (!(Level & ALPM_LOG_ERROR) || !FirstError->empty())
        return;
    char Text[512];
    std::vsnprintf(Text, sizeof Text, Format, Arguments);
    *FirstError = Text;
    while (!FirstError->empty() && (FirstError->back() == '\n' || FirstError->back() == ' '))
        FirstError->pop_back();
}

bool AllZero(const unsigned char* Bytes, std::size_t Length) {
    for (std::size_t I = 0; I < Length; ++I)
        if (Bytes[I] != 0)
            return false;
    return true;
}

struct TRecordedDigest {
    TDigestAlgorithm Algorithm = TDigestAlgorithm::None;
    std::string Hex;
};

class TPacmanDatabase final : public IPackageDatabase {
public:
    TPacmanDatabase(const TSystemRoot& Root, const std::string& Folder)
        : FRoot(Root), FLocation(Folder), FLocal(Root, Folder + "/local") {}
    ~TPacmanDatabase() override { Close(); }

    TPackageManager Manager() const override { return TPackageManager::Pacman; }
    const std::string& Location() const override { return FLocation; }

    std::optional<TPackageOwner> Owner(std::string_view Path) override {
        Refresh();
        const auto Found = FByPath.find(std::string(Path));
        if (Found == FByPath.end())
            return std::nullopt;
        alpm_pkg_t* Package = Found->second;
        auto Text = [](const char* Value) { return Value ? std::string(Value) : std::string(); };
        TPackageOwner Owner;
        Owner.Manager = TPackageManager::Pacman;
        Owner.Name = Text(FCalls->Name(Package));
        Owner.Version = Text(FCalls->Version(Package));
        Owner.Maker = Text(FCalls->Packager(Package));
        Owner.Summary = Text(FCalls->Description(Package));
        const auto& Digests = DigestsOf(Package);
        if (const auto Digest = Digests.find(Found->first); Digest != Digests.end()) {
            Owner.Algorithm = Digest->second.Algorithm;
            Owner.Digest = Digest->second.Hex;
        }
        return Owner;
    }

    // A package's folder comes and goes with it (its name holds the version).
    std::string Stamp() override { return FLocal.Stamp(); }

    std::string Problem() const override { return FProblem; }

private:
    void Close() {
        FByPath.clear();
        FDigests.clear();
        if (FHandle)
            FCalls->Release(FHandle);
        FHandle = nullptr;
    }

    void Refresh() {
        std::string Stamp = this->Stamp();
        if (FLoaded && Stamp == FStamp)
            return;
        FLoaded = true;
        FStamp = std::move(Stamp);
        Close();
        FProblem.clear();
        FFirstError.clear();
        if (!Load() && FProblem.empty())
            FProblem = FormatStr(TStringId::sDatabaseDamaged, {FFirstError});
    }

    // Inside another system's root, libalpm must find no link that it
    // would follow out of it: the package folders and their files are checked.
    bool FreeOfLinks(const std::string& Folder) const {
        const std::string Local = Folder + "/local";
        const int Fd = FRoot.Open(Local, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        DIR* Entries = Fd >= 0 ? fdopendir(Fd) : nullptr;
        if (!Entries) {
            if (Fd >= 0)
                close(Fd);
            return false;
        }
        bool Free = true;
        while (const dirent* Entry = Free ? readdir(Entries) : nullptr) {
            const std::string Name = Entry->d_name;
            struct stat Info;
            if (Name == "." || Name == "..")
                continue;
            Free = fstatat(dirfd(Entries), Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(Info.st_mode);
            for (const char* File : {"/desc", "/files", "/mtree"})
                if (Free && S_ISDIR(Info.st_mode))
                    Free = !FRoot.LinkStat(Local + "/" + Name + File, Info) || !S_ISLNK(Info.st_mode);
        }
        closedir(Entries);
        return Free;
    }

    bool Load() {
        FCalls = AlpmCalls();
        if (!FCalls) {
            FProblem = FormatStr(TStringId::sDatabaseNoLibrary, {"libalpm", "libalpm13"});
            return false;
        }
        const std::string Folder = FRoot.Resolve(FLocation);
        if (Folder.empty()) {
            FProblem = LastSystemErrorText();
            return false;
        }
        if (!FRoot.IsHost() && !FreeOfLinks(Folder)) {
            FProblem = LoadStr(TStringId::sDatabaseLinked);
            return false;
        }
        alpm_errno_t Error = ALPM_ERR_OK;
        const std::string RootDir = FRoot.IsHost() ? "/" : FRoot.Folder();
        FHandle = FCalls->Initialize(RootDir.c_str(), FRoot.HostPath(Folder).c_str(), &Error);
        if (!FHandle) {
            FFirstError = FCalls->StrError(Error);
            return false;
        }
        FCalls->SetLogCallback(FHandle, CollectLog, &FFirstError);
        alpm_db_t* Local = FCalls->LocalDb(FHandle);
        for (alpm_list_t* Item = Local ? FCalls->PackageCache(Local) : nullptr; Item; Item = Item->next) {
            auto* Package = static_cast<alpm_pkg_t*>(Item->data);
            const alpm_filelist_t* Files = FCalls->Files(Package);
            for (std::size_t I = 0; Files && I < Files->count; ++I) {
                const std::string_view Name = Files->files[I].name ? Files->files[I].name : "";
                // Folders end in "/"; a path two packages list keeps the first.
                if (!Name.empty() && Name.back() != '/')
                    FByPath.emplace(std::string(1, '/').append(Name), Package);
            }
        }
        if (!FFirstError.empty())
            FProblem = FormatStr(TStringId::sDatabaseDamaged, {FFirstError});
        return true;
    }

    // The digests of a package's files from its mtree, read once.
    const std::unordered_map<std::string, TRecordedDigest>& DigestsOf(alpm_pkg_t* Package) {
        auto [Found, Added] = FDigests.try_emplace(Package);
        if (!Added)
            return Found->second;
        archive* Mtree = FCalls->MtreeOpen(Package);
        if (!Mtree) {
            if (FProblem.empty())
                FProblem = FormatStr(TStringId::sDatabaseDamaged, {std::string(FCalls->Name(Package)) + "/mtree"});
            return Found->second;
        }
        archive_entry* Entry = nullptr;
        while (FCalls->MtreeNext(Package, Mtree, &Entry) == ARCHIVE_OK) {
            const char* Name = FCalls->EntryPath(Entry);
            if (!Name || Name[0] != '.' || Name[1] != '/')
                continue;
            TRecordedDigest Digest;
            if (const unsigned char* Sha256 = FCalls->EntryDigest(Entry, ARCHIVE_ENTRY_DIGEST_SHA256);
                Sha256 && !AllZero(Sha256, 32)) {
                Digest = {TDigestAlgorithm::Sha256, HexText(Sha256, 32)};
            } else if (const unsigned char* Md5 = FCalls->EntryDigest(Entry, ARCHIVE_ENTRY_DIGEST_MD5);
                       Md5 && !AllZero(Md5, 16)) {
                Digest = {TDigestAlgorithm::Md5, HexText(Md5, 16)};
            }
            if (Digest.Algorithm != TDigestAlgorithm::None)
                Found->second.emplace(std::string(Name + 1), std::move(Digest));
        }
        FCalls->MtreeClose(Package, Mtree);
        return Found->second;
    }

    const TSystemRoot& FRoot;
    std::string FLocation;
    TWatchedFile FLocal;
    const TAlpmCalls* FCalls = nullptr;
    alpm_handle_t* FHandle = nullptr;
    bool FLoaded = false;
    std::string FStamp;
    std::string FProblem;
    std::string FFirstError;  // the first error libalpm logged
    std::unordered_map<std::string, alpm_pkg_t*> FByPath;
    std::unordered_map<alpm_pkg_t*, std::unordered_map<std::string, TRecordedDigest>> FDigests;
};

}  // namespace

std::unique_ptr<IPackageDatabase> OpenPacmanDatabase(const TSystemRoot& Root, const std::string& Folder) {
    return std::make_unique<TPacmanDatabase>(Root, Folder);
}

}  // namespace quorvane

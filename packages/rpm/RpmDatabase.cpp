// The rpm back-end of the packages layer, through librpm (4.18), loaded when
// the first rpm database is asked. The database is opened read-only once and
// kept open; each lookup asks rpm's index of installed file names (which
// costs as much as "rpm -qf" does per path), and its answer is kept until the
// database changes, for the next reload that asks for the same file.
//
// librpm picks its storage back-end from its configuration and, where that
// finds nothing, from the files in the folder; a folder whose format it
// cannot read it would take for a new, empty database and create one. So
// the format is told here from the files (rpmdb.sqlite: sqlite; Packages:
// Berkeley DB, read-only; Packages.db: ndb) and set explicitly; a format
// this librpm lacks is reported, never taken for "no package".
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmfiles.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmlog.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmpgp.h>
#include <rpm/rpmts.h>

#include "common/SystemText.h"
#include "packages/Digest.h"
#include "packages/PackageDatabase.h"
#include "packages/SharedLibrary.h"
#include "packages/SystemRoot.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

// The calls of librpm (and its librpmio) that the back-end makes.
struct TRpmCalls {
    decltype(&rpmReadConfigFiles) ReadConfigFiles = nullptr;
    decltype(&rpmPushMacro) PushMacro = nullptr;
    decltype(&rpmPopMacro) PopMacro = nullptr;
    decltype(&rpmlogSetCallback) LogSetCallback = nullptr;
    decltype(&rpmlogRecMessage) LogRecMessage = nullptr;
    decltype(&rpmlogRecPriority) LogRecPriority = nullptr;
    decltype(&rpmtsCreate) TsCreate = nullptr;
    decltype(&rpmtsFree) TsFree = nullptr;
    decltype(&rpmtsSetRootDir) TsSetRootDir = nullptr;
    decltype(&rpmtsOpenDB) TsOpenDB = nullptr;
    decltype(&rpmtsSetVSFlags) TsSetVSFlags = nullptr;
    decltype(&rpmtsInitIterator) TsInitIterator = nullptr;
    decltype(&rpmdbNextIterator) NextIterator = nullptr;
    decltype(&rpmdbFreeIterator) FreeIterator = nullptr;
    decltype(&headerGetString) GetString = nullptr;
    decltype(&rpmfilesNew) FilesNew = nullptr;
    decltype(&rpmfilesFree) FilesFree = nullptr;
    decltype(&rpmfilesFindFN) FilesFindFN = nullptr;
    decltype(&rpmfilesFDigest) FilesFDigest = nullptr;
};

// What librpm logged while the back-end called it: the first error, and
// whether it gave up on the configured storage format.
struct TRpmLog {
    std::string FirstError;
    bool FormatUnknown = false;
};
TRpmLog* CurrentLog = nullptr;

int CollectLog(rpmlogRec Record, rpmlogCallbackData Data) {
    const auto* Calls = static_cast<const TRpmCalls*>(Data);
    if (!CurrentLog)
        return 0;
    const int Priority = Calls->LogRecPriority(Record);
    std::string Message = Calls->LogRecMessage(Record);
    while (!Message.empty() && (Message.back() == '\n' || Message.back() == ' '))
        Message.pop_back();
    // "invalid %_db_backend: ndb", then "using dummy database".
    if (Message.find("_db_backend") != std::string::npos || Message.find("dummy database") != std::string::npos)
        CurrentLog->FormatUnknown = true;
    else if (Priority <= RPMLOG_ERR && CurrentLog->FirstError.empty())
        CurrentLog->FirstError = Message;
    return 0;  // nothing on standard error
}

// librpm, loaded and configured once per process; null when it cannot be.
const TRpmCalls* RpmCalls() {
    static TRpmCalls Calls;
    static bool Usable = false;
    static std::once_flag Once;
    std::call_once(Once, [] {
        static TSharedLibrary Library("librpm.so.9");
        Usable = Library.Bind(Calls.ReadConfigFiles, "rpmReadConfigFiles") &&
                 Library.Bind(Calls.PushMacro, "rpmPushMacro") && Library.Bind(Calls.PopMacro, "rpmPopMacro") &&
                 Library.Bind(Calls.LogSetCallback, "rpmlogSetCallback") &&
                 Library.Bind(Calls.LogRecMessage, "rpmlogRecMessage") &&
                 Library.Bind(Calls.LogRecPriority, "rpmlogRecPriority") &&
                 Library.Bind(Calls.TsCreate, "rpmtsCreate") && Library.Bind(Calls.TsFree, "rpmtsFree") &&
                 Library.Bind(Calls.TsSetRootDir, "rpmtsSetRootDir") && Library.Bind(Calls.TsOpenDB, "rpmtsOpenDB") &&
                 Library.Bind(Calls.TsSetVSFlags, "rpmtsSetVSFlags") &&
                 Library.Bind(Calls.TsInitIterator, "rpmtsInitIterator") &&
                 Library.Bind(Calls.NextIterator, "rpmdbNextIterator") &&
                 Library.Bind(Calls.FreeIterator, "rpmdbFreeIterator") &&
                 Library.Bind(Calls.GetString, "headerGetString") && Library.Bind(Calls.FilesNew, "rpmfilesNew") &&
                 Library.Bind(Calls.FilesFree, "rpmfilesFree") && Library.Bind(Calls.FilesFindFN, "rpmfilesFindFN") &&
                 Library.Bind(Calls.FilesFDigest, "rpmfilesFDigest");
        if (!Usable)
            return;
        Calls.LogSetCallback(CollectLog, &Calls);
        TRpmLog Log;
        CurrentLog = &Log;
        Usable = Calls.ReadConfigFiles(nullptr, nullptr) == 0;
        CurrentLog = nullptr;
    });
    return Usable ? &Calls : nullptr;
}

TDigestAlgorithm AlgorithmOf(int PgpHashAlgo) {
    switch (PgpHashAlgo) {
        case PGPHASHALGO_MD5: return TDigestAlgorithm::Md5;
        case PGPHASHALGO_SHA1: return TDigestAlgorithm::Sha1;
        case PGPHASHALGO_SHA224: return TDigestAlgorithm::Sha224;
        case PGPHASHALGO_SHA256: return TDigestAlgorithm::Sha256;
        case PGPHASHALGO_SHA384: return TDigestAlgorithm::Sha384;
        case PGPHASHALGO_SHA512: return TDigestAlgorithm::Sha512;
        default: return TDigestAlgorithm::None;
    }
}

// The storage formats, by the file that holds the packages.
struct TFormat {
    const char* File;
    const char* Backend;  // librpm's name for it
    const char* Name;  // as the messages name it
};
constexpr std::array<TFormat, 3> kFormats = {{
    {"rpmdb.sqlite", "sqlite", "sqlite"},
    {"Packages", "bdb_ro", "Berkeley DB"},
    {"Packages.db", "ndb", "ndb"},
}};

class TRpmDatabase final : public IPackageDatabase {
public:
    TRpmDatabase(const TSystemRoot& Root, const std::string& Folder) : FRoot(Root), FLocation(Folder) {}

    ~TRpmDatabase() override {
        if (FTs)
            FCalls->TsFree(FTs);  // closes the database
    }

    TPackageManager Manager() const override { return TPackageManager::Rpm; }
    const std::string& Location() const override { return FLocation; }

    std::optional<TPackageOwner> Owner(std::string_view Path) override {
        if (!Open())
            return std::nullopt;
        if (std::string Now = Stamp(); Now != FAnswersStamp) {
            FAnswers.clear();
            FAnswersStamp = std::move(Now);
        }
        const std::string Name(Path);
        if (const auto Known = FAnswers.find(Name); Known != FAnswers.end())
            return Known->second;
        TRpmLog Log;
        CurrentLog = &Log;
        std::optional<TPackageOwner> Owner;
        rpmdbMatchIterator Iterator = FCalls->TsInitIterator(FTs, RPMDBI_INSTFILENAMES, Name.c_str(), 0);
        if (Header Found = Iterator ? FCalls->NextIterator(Iterator) : nullptr)
            Owner = OwnerOf(Found, Name);
        if (Iterator)
            FCalls->FreeIterator(Iterator);
        CurrentLog = nullptr;
        if (!Log.FirstError.empty() && FProblem.empty())
            FProblem = FormatStr(TStringId::sDatabaseDamaged, {Log.FirstError});
        FAnswers.emplace(Name, Owner);
        return Owner;
    }

    // The files of the database's format; sqlite writes its -wal file first.
    // Not the -shm file: every reader writes it.
    std::string Stamp() override {
        if (FWatched.empty()) {
            std::string Stamp;
            for (const TFormat& Format : kFormats)
                Stamp += ChangeStamp(FRoot, FLocation + "/" + Format.File) + ' ';
            return Stamp;
        }
        std::string Stamp;
        for (const auto& File : FWatched)
            Stamp += File->Stamp() + ' ';
        return Stamp;
    }

    std::string Problem() const override { return FProblem; }

private:
    std::string Text(Header Found, rpmTagVal Tag) const {
        const char* Value = FCalls->GetString(Found, Tag);
        return Value ? std::string(Value) : std::string();
    }

    TPackageOwner OwnerOf(Header Found, const std::string& Path) const {
        TPackageOwner Owner;
        Owner.Manager = TPackageManager::Rpm;
        Owner.Name = Text(Found, RPMTAG_NAME);
        Owner.Version = Text(Found, RPMTAG_VERSION) + '-' + Text(Found, RPMTAG_RELEASE);
        Owner.Maker = Text(Found, RPMTAG_VENDOR);
        if (Owner.Maker.empty())
            Owner.Maker = Text(Found, RPMTAG_PACKAGER);
        Owner.Summary = Text(Found, RPMTAG_SUMMARY);
        rpmfiles Files = FCalls->FilesNew(nullptr, Found, RPMTAG_BASENAMES, RPMFI_FLAGS_QUERY);
        if (!Files)
            return Owner;
        const int Index = FCalls->FilesFindFN(Files, Path.c_str());
        int Algorithm = 0;
        std::size_t Length = 0;
        const unsigned char* Digest = Index >= 0 ? FCalls->FilesFDigest(Files, Index, &Algorithm, &Length) : nullptr;
        // Links and folders have a digest of zeros.
        const bool Recorded = Digest && Length > 0 &&
                              std::any_of(Digest, Digest + Length, [](unsigned char Byte) { return Byte != 0; });
        const TDigestAlgorithm Known = AlgorithmOf(Algorithm);
        if (Recorded && Known != TDigestAlgorithm::None && 2 * Length == DigestHexLength(Known)) {
            Owner.Algorithm = Known;
            Owner.Digest = HexText(Digest, Length);
        }
        FCalls->FilesFree(Files);
        return Owner;
    }

    // Opens the database at the first lookup; false, with the reason in
    // FProblem, when it cannot be read.
    bool Open() {
        if (FOpened)
            return FTs != nullptr;
        FOpened = true;
        const std::string Folder = FRoot.Resolve(FLocation);
        const TFormat* Format = nullptr;
        for (const TFormat& Candidate : kFormats) {
            struct stat Info;
            const std::string File = Folder + "/" + Candidate.File;
            if (Folder.empty() || !FRoot.Stat(File, Info))
                continue;
            // librpm opens the files itself: inside another system's root,
            // none of them may be a link that it would follow out of it.
            if (!FRoot.IsHost() && (!FRoot.LinkStat(File, Info) || !S_ISREG(Info.st_mode))) {
                FProblem = LoadStr(TStringId::sDatabaseLinked);
                return false;
            }
            if (!Format)
                Format = &Candidate;
        }
        if (!Format) {
            errno = ENOENT;
            FProblem = LastSystemErrorText();
            return false;
        }
        FWatched.push_back(std::make_unique<TWatchedFile>(FRoot, Folder + "/" + Format->File));
        if (Format == &kFormats[0])
            FWatched.push_back(std::make_unique<TWatchedFile>(FRoot, Folder + "/rpmdb.sqlite-wal"));
        FCalls = RpmCalls();
        if (!FCalls) {
            FProblem = FormatStr(TStringId::sDatabaseNoLibrary, {"librpm", "librpm9"});
            return false;
        }
        TRpmLog Log;
        CurrentLog = &Log;
        rpmts Ts = FCalls->TsCreate();
        const std::string RootDir = FRoot.IsHost() ? "/" : FRoot.Folder();
        FCalls->PushMacro(nullptr, "_dbpath", nullptr, Folder.c_str(), RMIL_CMDLINE);
        FCalls->PushMacro(nullptr, "_db_backend", nullptr, Format->Backend, RMIL_CMDLINE);
        // Headers are read as stored, as "rpm -qf --nodigest --nosignature" reads
        // them: checking each one's digest and signature (the keyring read from
        // the database) made a lookup cost milliseconds, and a digest guards
        // against damage, not against whoever can write the database.
        FCalls->TsSetVSFlags(Ts, RPMVSF_MASK_NODIGESTS | RPMVSF_MASK_NOSIGNATURES);
        const bool Opened = FCalls->TsSetRootDir(Ts, RootDir.c_str()) == 0 && FCalls->TsOpenDB(Ts, O_RDONLY) == 0;
        FCalls->PopMacro(nullptr, "_db_backend");
        FCalls->PopMacro(nullptr, "_dbpath");
        CurrentLog = nullptr;
        if (Log.FormatUnknown) {
            FProblem = FormatStr(TStringId::sDatabaseFormat, {Format->Name});
        } else if (!Opened) {
            FProblem = FormatStr(TStringId::sDatabaseDamaged, {Log.FirstError.empty() ? Format->File : Log.FirstError});
        } else {
            FTs = Ts;
            return true;
        }
        FCalls->TsFree(Ts);
        return false;
    }

    const TSystemRoot& FRoot;
    std::string FLocation;
    const TRpmCalls* FCalls = nullptr;
    bool FOpened = false;
    rpmts FTs = nullptr;
    std::string FProblem;
    std::vector<std::unique_ptr<TWatchedFile>> FWatched;
    // What lookups answered while the database had the stamp FAnswersStamp.
    std::string FAnswersStamp;
    std::unordered_map<std::string, std::optional<TPackageOwner>> FAnswers;
};

}  // namespace

std::unique_ptr<IPackageDatabase> OpenRpmDatabase(const TSystemRoot& Root, const std::string& Folder) {
    return std::make_unique<TRpmDatabase>(Root, Folder);
}

}  // namespace quorvane

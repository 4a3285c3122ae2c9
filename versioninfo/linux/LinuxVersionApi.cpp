#include "versioninfo/linux/LinuxVersionApi.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include "common/SystemText.h"
#include "packages/CacheFolder.h"
#include "packages/Packages.h"
#include "packages/SharedLibrary.h"
#include "resources/StringTable.h"
#include "versioninfo/linux/ElfPackageNote.h"
#include "versioninfo/linux/PeVersionResource.h"
#include "versioninfo/linux/VersionBlock.h"

namespace quorvane {

namespace {

// ICU names the languages of version resources, which only PE files carry.
// It is loaded when first asked: loading it cost every start of the report
// some milliseconds, a twentieth of a report's time. The names bound are the
// versioned ones that the headers rename the functions to (uloc_getDisplayName_72).
#define QUORVANE_SYMBOL_NAME(Function) QUORVANE_SYMBOL_TEXT(Function)
#define QUORVANE_SYMBOL_TEXT(Function) #Function
class TIcu {
public:
    static const TIcu& Get() {
        static const TIcu Loaded;
        return Loaded;
    }

    bool Loaded() const { return FLibrary.Loaded(); }
    decltype(&uloc_getLCID) Lcid = nullptr;
    decltype(&uloc_getLocaleForLCID) LocaleForLcid = nullptr;
    decltype(&uloc_getDisplayName) DisplayName = nullptr;
    decltype(&u_strToUTF8) ToUtf8 = nullptr;

private:
    TIcu() : FLibrary("libicuuc.so." U_ICU_VERSION_SHORT) {
        FLibrary.Bind(Lcid, QUORVANE_SYMBOL_NAME(uloc_getLCID)) &&
            FLibrary.Bind(LocaleForLcid, QUORVANE_SYMBOL_NAME(uloc_getLocaleForLCID)) &&
            FLibrary.Bind(DisplayName, QUORVANE_SYMBOL_NAME(uloc_getDisplayName)) &&
            FLibrary.Bind(ToUtf8, QUORVANE_SYMBOL_NAME(u_strToUTF8));
    }

    TSharedLibrary FLibrary;
};
#undef QUORVANE_SYMBOL_TEXT
#undef QUORVANE_SYMBOL_NAME

// The user's locale, found as ICU finds its default one on POSIX systems, so
// that the German names below need no ICU: the messages locale as set, else
// LC_ALL, LC_MESSAGES or LANG from the environment; without codeset and
// modifier; "en_US_POSIX" for none and for C.
std::string UserLocaleId() {
    const auto Named = [](const char* Id) {
        return Id && std::strcmp(Id, "C") != 0 && std::strcmp(Id, "POSIX") != 0;
    };
    const char* Id = std::setlocale(LC_MESSAGES, nullptr);
    if (!Named(Id)) {
        Id = std::getenv("LC_ALL");
        if (!Id)
            Id = std::getenv("LC_MESSAGES");
        if (!Id)
            Id = std::getenv("LANG");
    }
    std::string Locale = Id ? Id : "";
    Locale.resize(std::min(Locale.size(), Locale.find_first_of(".@")));
    return Locale.empty() || !Named(Locale.c_str()) ? "en_US_POSIX" : Locale;
}

constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorFilenameTooLong = 206;
constexpr std::uint32_t kErrorReadFault = 30;

std::uint32_t WindowsErrorOf(int Errno) {
    switch (Errno) {
    case ENOENT:
        return kErrorFileNotFound;
    case ENOTDIR:
        return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
        return kErrorAccessDenied;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    default:
        return kErrorReadFault;
    }
}

class TFile {
public:
    explicit TFile(int Fd) : FFd(Fd) {}
    ~TFile() {
        if (FFd >= 0)
            close(FFd);
    }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    int Fd() const { return FFd; }

private:
    int FFd;
};

bool PreadAll(int Fd, std::uint64_t Offset, void* Buffer, std::size_t Count) {
    auto* Out = static_cast<std::uint8_t*>(Buffer);
    while (Count > 0) {
        if (Offset > static_cast<std::uint64_t>(INT64_MAX))
            return false;
        const ssize_t Got = pread(Fd, Out, Count, static_cast<off_t>(Offset));
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            return false;
        Out += Got;
        Offset += static_cast<std::uint64_t>(Got);
        Count -= static_cast<std::size_t>(Got);
    }
    return true;
}

std::string FirstLine(const std::string& Text) { return Text.substr(0, Text.find('\n')); }

// The values a package gives a file: its maker, the first line of its description, its version and name.
struct TPackageValues {
    std::string Name;
    std::string Version;
    std::string Maker;
    std::string Description;
};

std::vector<std::uint8_t> PackageBlock(const TPackageValues& Package) {
    TVersionBlockContent Content;
    VersionNumbersFromText(Package.Version, Content.FileVersionMS, Content.FileVersionLS);
    Content.ProductVersionMS = Content.FileVersionMS;
    Content.ProductVersionLS = Content.FileVersionLS;
    Content.Language = 0;
    Content.CodePage = 1200;
    Content.Strings = {
        {"CompanyName", Package.Maker},            {"FileDescription", FirstLine(Package.Description)},
        {"FileVersion", Package.Version},          {"InternalName", Package.Name},
        {"ProductName", Package.Name},             {"ProductVersion", Package.Version},
    };
    return BuildVersionBlock(Content);
}

std::optional<TPackageValues> PackageFromNote(const std::string& Json) {
    const nlohmann::json Note = nlohmann::json::parse(Json, nullptr, false);
    if (!Note.is_object())
        return std::nullopt;
    auto Text = [&](const char* Key) -> std::string {
        auto Found = Note.find(Key);
        return Found != Note.end() && Found->is_string() ? Found->get<std::string>() : std::string();
    };
    TPackageValues Package;
    Package.Name = Text("name");
    Package.Version = Text("version");
    for (const char* Key : {"maintainer", "packager", "vendor"}) {
        Package.Maker = Text(Key);
        if (!Package.Maker.empty())
            break;
    }
    Package.Description = Text("description");
    return Package;
}

constexpr std::string_view kDeletedSuffix = " (deleted)";

// Path with its directory resolved and its last component kept, as the
// package index stores the listed paths.
std::string DirectoryResolved(const std::string& Path) {
    const std::size_t Slash = Path.rfind('/');
    const std::string Dir = Slash == std::string::npos ? "." : (Slash == 0 ? "/" : Path.substr(0, Slash));
    const std::string Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
    char Resolved[PATH_MAX];
    if (!realpath(Dir.c_str(), Resolved))
        return {};
    std::string Out(Resolved);
    if (Out != "/")
        Out += '/';
    return Out + Name;
}

// The path under which the package index knows the file that FileName opens:
// the file a chain of links ends at. A link of the kernel to a running image
// whose file was deleted names it "PATH (deleted)": the image is then known
// under PATH, and only its checksum can tell whether it is still the package's.
std::string PackagePath(const char* FileName) {
    char Resolved[PATH_MAX];
    if (realpath(FileName, Resolved))
        return Resolved;
    char Target[PATH_MAX];
    const ssize_t Length = readlink(FileName, Target, sizeof Target);
    if (Length <= 0 || static_cast<std::size_t>(Length) >= sizeof Target || Target[0] != '/')
        return {};
    std::string_view Path(Target, static_cast<std::size_t>(Length));
    if (Path.size() > kDeletedSuffix.size() && Path.substr(Path.size() - kDeletedSuffix.size()) == kDeletedSuffix)
        Path.remove_suffix(kDeletedSuffix.size());
    return DirectoryResolved(std::string(Path));
}

std::string CacheFolderOf(const TLinuxVersionApiOptions& Options) {
    if (!Options.PersistCaches)
        return {};
    return Options.CacheFolder.empty() ? ChooseCacheFolder() : Options.CacheFolder;
}

TPackagesOptions PackagesOptions(const TLinuxVersionApiOptions& Options) {
    TPackagesOptions Packages;
    Packages.Root = Options.Root;
    Packages.Databases = Options.Databases;
    Packages.CacheFolder = CacheFolderOf(Options);
    Packages.DigestSettleTime = Options.DigestSettleTime;
    return Packages;
}

TPackageCheck CheckOf(TContentCheck Check) {
    switch (Check) {
        case TContentCheck::Verified: return TPackageCheck::Verified;
        case TContentCheck::Changed: return TPackageCheck::Changed;
        case TContentCheck::NoDigest: return TPackageCheck::NoChecksum;
        case TContentCheck::Unreadable: return TPackageCheck::Unreadable;
        case TContentCheck::NotListed: break;
    }
    return TPackageCheck::NotListed;
}

class TLinuxVersionApi final : public IVersionApi {
public:
    explicit TLinuxVersionApi(const TLinuxVersionApiOptions& Options) : FPackages(PackagesOptions(Options)) {}

    const TSystemRoot& Root() const { return FPackages.Root(); }

    std::uint32_t GetFileVersionInfoSize(const char* FileName, std::uint32_t& Handle,
                                         std::uint32_t& LastError) override {
        Handle = 0;
        FLastName.clear();
        FLastResource.clear();
        FSource = {};
        if (FileName == nullptr) {
            LastError = kErrorFileNotFound;
            return 0;
        }
        std::vector<std::uint8_t> Resource;
        LastError = LoadResource(FileName, Resource, FSource);
        if (LastError != 0)
            return 0;
        const std::uint32_t Size = PreparedVersionBlockSize(TByteSpan(Resource.data(), Resource.size()));
        if (Size == 0) {
            LastError = kErrorResourceDataNotFound;
            return 0;
        }
        // Kept for the GetFileVersionInfo call that follows, so the file is read once.
        FLastName = FileName;
        FLastResource = std::move(Resource);
        return Size;
    }

    bool GetFileVersionInfo(const char* FileName, std::uint32_t, std::uint32_t Size, void* Data) override {
        if (FileName == nullptr || Data == nullptr)
            return false;
        std::vector<std::uint8_t> Resource;
        if (FileName == FLastName && !FLastResource.empty()) {
            Resource = std::move(FLastResource);
            FLastName.clear();
            FLastResource.clear();
        } else if (TVersionSource Source; LoadResource(FileName, Resource, Source) != 0) {
            return false;
        }
        return PrepareVersionBlock(TByteSpan(Resource.data(), Resource.size()), Data, Size);
    }

    bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) override {
        return QueryVersionBlock(Block, SubBlock, Value, Length);
    }

    std::uint32_t VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) override;

    bool FileExists(const std::string& FileName) override {
        struct stat Info;
        if (FileName.empty() || !Root().Stat(FileName, Info) || S_ISDIR(Info.st_mode))
            return false;
        struct tm Local;
        if (!localtime_r(&Info.st_mtime, &Local))
            return false;
        // The range of an MS-DOS date.
        const int Year = Local.tm_year + 1900;
        return Year >= 1980 && Year <= 2107;
    }

    TVersionSource LastVersionSource() override { return FSource; }

    std::vector<TUnreadDatabase> UnreadPackageDatabases() override { return UnreadDatabases(); }

    std::string FileProblem(const std::string& FileName) override {
        // stat first: a device is not opened, which may have effects of its own.
        struct stat Info;
        if (!Root().Stat(FileName, Info))
            return LastSystemErrorText();
        if (S_ISDIR(Info.st_mode)) {
            errno = EISDIR;
            return LastSystemErrorText();
        }
        if (!S_ISREG(Info.st_mode))
            return LoadStr(TStringId::sFileNotRegular);
        const TFile File(Root().Open(FileName, O_RDONLY | O_CLOEXEC | O_NOCTTY));
        return File.Fd() < 0 ? LastSystemErrorText() : std::string();
    }

    std::string ModuleFileName() override {
        char Path[PATH_MAX];
        const ssize_t Length = readlink("/proc/self/exe", Path, sizeof Path);
        if (Length <= 0 || static_cast<std::size_t>(Length) >= sizeof Path)
            return {};
        return std::string(Path, static_cast<std::size_t>(Length));
    }

private:
    static std::string DisplayName(std::uint32_t Language, const char* UserLocale);

    // The Windows language identifier of the user's locale; 0 when it has none.
    static std::uint16_t UserLanguage() {
        const TIcu& Icu = TIcu::Get();
        const std::uint32_t Lcid = Icu.Loaded() ? Icu.Lcid(UserLocaleId().c_str()) : 0;
        return static_cast<std::uint16_t>((Lcid & 0x3FF) != 0 ? Lcid & 0xFFFF : 0);
    }

    // The raw UTF-16 version block of FileName, or a Windows error number;
    // Source tells what spoke for the file.
    std::uint32_t LoadResource(const char* FileName, std::vector<std::uint8_t>& Resource, TVersionSource& Source) {
        // O_NONBLOCK: opening a FIFO must not wait for a writer. Inside
        // another system's root the walk there gives the path the file has.
        std::string Resolved;
        const TFile File(Root().Open(FileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                                     Root().IsHost() ? nullptr : &Resolved));
        if (File.Fd() < 0)
            return WindowsErrorOf(errno);
        const std::string Path = Root().IsHost() ? PackagePath(FileName) : Resolved;
        struct stat Info;
        if (fstat(File.Fd(), &Info) != 0)
            return WindowsErrorOf(errno);
        if (S_ISDIR(Info.st_mode))
            return kErrorAccessDenied;
        const bool Regular = S_ISREG(Info.st_mode);
        const std::uint64_t Size = Regular ? static_cast<std::uint64_t>(Info.st_size) : 0;
        const int Fd = File.Fd();
        const TReadAt ReadAt = [Fd](std::uint64_t Offset, void* Buffer, std::size_t Count) {
            return PreadAll(Fd, Offset, Buffer, Count);
        };

        std::uint8_t Magic[2] = {0, 0};
        if (Regular && Size >= 2 && ReadAt(0, Magic, 2) && Magic[0] == 'M' && Magic[1] == 'Z') {
            // The file's own resource speaks; a package that lists the file
            // is named beside it, with whether the content is still its.
            VouchingPackage(Path, Fd, Info, Source);
            Source.Kind = TVersionSourceKind::FileResource;
            TPeVersionResource Pe = ReadPeVersionResource(ReadAt, Size, WindowsLanguagePreference(UserLanguage()));
            Resource = std::move(Pe.Data);
            return Pe.Error;
        }

        Source.Kind = TVersionSourceKind::None;
        if (Regular) {
            if (std::optional<TPackageValues> Package = VouchingPackage(Path, Fd, Info, Source)) {
                Source.Kind = TVersionSourceKind::Package;
                Resource = PackageBlock(*Package);
                return 0;
            }
        }
        std::string Json;
        const TElfNoteResult Note = Regular ? ReadElfPackageNote(ReadAt, Size, Json) : TElfNoteResult::NotElf;
        if (Note == TElfNoteResult::Found) {
            if (std::optional<TPackageValues> Package = PackageFromNote(Json)) {
                Source.Kind = TVersionSourceKind::PackageNote;
                Resource = PackageBlock(*Package);
                return 0;
            }
        }
        return Note == TElfNoteResult::NotElf ? kErrorResourceDataNotFound : kErrorResourceTypeNotFound;
    }

    // The package that installed the file open as Fd (Info), known as Path,
    // if it vouches for the content: the digest of the content is the one the
    // package records. What was found goes to Source.
    std::optional<TPackageValues> VouchingPackage(const std::string& Path, int Fd, const struct stat& Info,
                                                  TVersionSource& Source) {
        TPackageVerdict Verdict;
        if (!Path.empty())
            Verdict = FPackages.Check(Path, Fd, Info);
        Source.Check = CheckOf(Verdict.Check);
        if (Verdict.Check != TContentCheck::Verified)
            Source.UnreadDatabases = UnreadDatabases();
        if (!Verdict.Owner)
            return std::nullopt;
        TPackageOwner& Owner = *Verdict.Owner;
        Source.PackageName = Owner.Name;
        Source.PackageVersion = Owner.Version;
        Source.PackageManager = PackageManagerName(Owner.Manager);
        if (Verdict.Check != TContentCheck::Verified)
            return std::nullopt;
        return TPackageValues{std::move(Owner.Name), std::move(Owner.Version), std::move(Owner.Maker),
                              std::move(Owner.Summary)};
    }

    std::vector<TUnreadDatabase> UnreadDatabases() const {
        std::vector<TUnreadDatabase> Unread;
        for (TDatabaseProblem& Problem : FPackages.Problems())
            Unread.push_back({PackageManagerName(Problem.Manager), std::move(Problem.Location), std::move(Problem.Reason)});
        return Unread;
    }

    // Display names asked for so far, for the user's locale they were made for
    // (ICU builds each from its data tables).
    std::string FNamesLocale;
    std::unordered_map<std::uint32_t, std::string> FNames;  // empty: no name

    TPackages FPackages;
    TVersionSource FSource;  // of the last GetFileVersionInfoSize call
    std::string FLastName;
    std::vector<std::uint8_t> FLastResource;
};

// ICU knows the Windows language identifiers (LCIDs with sort order 0). The
// neutral language (primary language 0), the process and system default
// languages and the invariant language have no locale of their own; they are
// named as Windows names them, in German for a German user.
std::uint32_t TLinuxVersionApi::VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) {
    if (Buffer == nullptr || BufferSize == 0)
        return 0;
    Buffer[0] = 0;
    const std::string UserLocale = UserLocaleId();
    if (FNamesLocale != UserLocale) {
        FNames.clear();
        FNamesLocale = UserLocale;
    }
    auto Cached = FNames.find(Language);
    if (Cached == FNames.end())
        Cached = FNames.emplace(Language, DisplayName(Language, UserLocale.c_str())).first;
    const std::string& Name = Cached->second;
    if (Name.empty())
        return 0;
    // Cut at a character boundary when the buffer is short.
    std::size_t Length = Name.size();
    if (Length >= BufferSize) {
        Length = BufferSize - 1;
        while (Length > 0 && (static_cast<unsigned char>(Name[Length]) & 0xC0) == 0x80)
            --Length;
    }
    std::memcpy(Buffer, Name.data(), Length);
    Buffer[Length] = 0;
    return static_cast<std::uint32_t>(Length);
}

std::string TLinuxVersionApi::DisplayName(std::uint32_t Language, const char* UserLocale) {
    std::string Name;
    const bool German = std::strncmp(UserLocale, "de", 2) == 0;
    if ((Language & 0xFFFF) == 0x0400) {
        Name = German ? "Prozessstandardsprache" : "Process Default Language";
    } else if ((Language & 0xFFFF) == 0x0800) {
        Name = German ? "Systemstandardsprache" : "System Default Language";
    } else if ((Language & 0xFFFF) == 0x007F) {
        Name = German ? "Invariante Sprache" : "Invariant Language";
    } else if ((Language & 0x3FF) == 0) {
        Name = German ? "Sprachneutral" : "Language Neutral";
    } else {
        const TIcu& Icu = TIcu::Get();
        if (!Icu.Loaded())
            return {};
        UErrorCode Status = U_ZERO_ERROR;
        char Locale[ULOC_FULLNAME_CAPACITY];
        const std::int32_t LocaleLength =
            Icu.LocaleForLcid(Language & 0xFFFF, Locale, static_cast<std::int32_t>(sizeof Locale), &Status);
        if (U_FAILURE(Status) || LocaleLength <= 0)
            return {};
        UChar Display[256];
        const std::int32_t DisplayLength = Icu.DisplayName(Locale, UserLocale, Display, 256, &Status);
        if (U_FAILURE(Status) || DisplayLength <= 0)
            return {};
        char Utf8[1024];
        std::int32_t Utf8Length = 0;
        Icu.ToUtf8(Utf8, static_cast<std::int32_t>(sizeof Utf8), &Utf8Length, Display, DisplayLength, &Status);
        if (U_FAILURE(Status) || Utf8Length <= 0 || Utf8Length >= static_cast<std::int32_t>(sizeof Utf8))
            return {};
        Name.assign(Utf8, static_cast<std::size_t>(Utf8Length));
    }
    return Name;
}

}  // namespace

std::unique_ptr<IVersionApi> CreateLinuxVersionApi(const TLinuxVersionApiOptions& Options) {
    return std::make_unique<TLinuxVersionApi>(Options);
}

std::unique_ptr<IVersionApi> CreateSystemVersionApi() { return CreateLinuxVersionApi(TLinuxVersionApiOptions{}); }

std::unique_ptr<IVersionApi> CreateSystemVersionApi(const std::string& Root, std::string& Problem) {
    const TSystemRoot Folder(Root);
    if (!Folder.Valid()) {
        errno = Folder.Error();
        Problem = LastSystemErrorText();
        return nullptr;
    }
    TLinuxVersionApiOptions Options;
    Options.Root = Root;
    return CreateLinuxVersionApi(Options);
}

}  // namespace quorvane

// The operations the version reader needs of the platform: the four calls of
// the Windows version API and two file facts. One implementation per OS
// (versioninfo/linux, versioninfo/win32); the tests supply fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// Windows error numbers that the back-ends report (named apart from the
// macros of the Windows headers).
constexpr std::uint32_t kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kErrorBadExeFormat = 193;  // ERROR_BAD_EXE_FORMAT
constexpr std::uint32_t kErrorResourceDataNotFound = 1812;  // ERROR_RESOURCE_DATA_NOT_FOUND
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
constexpr std::uint32_t kErrorResourceNameNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
constexpr std::uint32_t kErrorResourceLangNotFound = 1815;  // ERROR_RESOURCE_LANG_NOT_FOUND

// What spoke for a file's version values. The Windows API knows one source,
// the file's own version resource; the Linux build knows the package that
// installed the file, and the package note of an ELF file.
enum class TVersionSourceKind : std::uint8_t {
    FileResource,  // the version resource in the file itself
    Package,  // an installed package that vouches for the file's content
    PackageNote,  // the package note in the ELF file itself
    None,  // nothing speaks for the file
};

// Whether an installed package vouches for the file at a path.
enum class TPackageCheck : std::uint8_t {
    NotListed,  // no installed package lists the file
    Verified,  // the content matches the checksum the package records
    Changed,  // the content differs from it: the file was changed after installation
    NoChecksum,  // the package records no checksum for the file
    Unreadable,  // the content could not be read to compare it
};

// A package database that could not be read (Linux): which packages list a
// file is then not known.
struct TUnreadDatabase {
    std::string Manager;  // "rpm", ...
    std::string Location;  // the database's folder or file
    std::string Reason;
};

struct TVersionSource {
    TVersionSourceKind Kind = TVersionSourceKind::FileResource;
    TPackageCheck Check = TPackageCheck::NotListed;
    std::string PackageName;  // when a package lists the file
    std::string PackageVersion;
    std::string PackageManager;  // "dpkg", "rpm", "pacman" or "apk"
    // Databases that could not be read, when no package vouches for the file.
    std::vector<TUnreadDatabase> UnreadDatabases;
};

class IVersionApi {
public:
    virtual ~IVersionApi() = default;

    // GetFileVersionInfoSizeA: bytes of the file's version block, or 0 with the
    // reason in LastError. Handle is handed back to GetFileVersionInfo unchanged.
    virtual std::uint32_t GetFileVersionInfoSize(const char* FileName, std::uint32_t& Handle,
                                                 std::uint32_t& LastError) = 0;

    // GetFileVersionInfoA: fills Size bytes of Data with the block.
    virtual bool GetFileVersionInfo(const char* FileName, std::uint32_t Handle, std::uint32_t Size, void* Data) = 0;

    // VerQueryValueA: a value of the block by path ("\", "\VarFileInfo\Translation",
    // "StringFileInfo\040704E4\CompanyName"). Value points into Block; string
    // values are zero-terminated 8-bit text, Length counts their characters.
    // Key names and hexadecimal digits match regardless of letter case.
    virtual bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) = 0;

    // VerLanguageNameA: display name of a language identifier into Buffer
    // (BufferSize bytes, always zero-terminated); answers the text's length, 0
    // on failure.
    virtual std::uint32_t VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) = 0;

    // The reader's existence test: an entry that is no directory and whose
    // last-write time, in local time, lies in the years 1980 to 2107.
    virtual bool FileExists(const std::string& FileName) = 0;

    // Full path of the running program's executable; empty on failure.
    virtual std::string ModuleFileName() = 0;

    // Why a file cannot be examined at all (it is missing, unreadable, a
    // directory or a device): the system's message; empty when it can be.
    virtual std::string FileProblem(const std::string& FileName) = 0;

    // What spoke for the file of the last GetFileVersionInfoSize call, also
    // when that call failed.
    virtual TVersionSource LastVersionSource() { return {}; }

    // Every package database asked so far that could not be read.
    virtual std::vector<TUnreadDatabase> UnreadPackageDatabases() { return {}; }
};

// The back-end of this build, for this machine's files.
std::unique_ptr<IVersionApi> CreateSystemVersionApi();

// The back-end for the files of another system whose root is the folder Root
// (Linux: paths are as inside Root, links are resolved inside it, and the
// system's own package databases speak). Null, with the reason in Problem,
// when the folder cannot be used or the build cannot examine another system.
std::unique_ptr<IVersionApi> CreateSystemVersionApi(const std::string& Root, std::string& Problem);

}  // namespace quorvane

// One package manager's database of installed packages, as the packages
// layer asks it: which package installed a file, and the digest that the
// database records for the file's content. One back-end per manager (dpkg,
// rpm, pacman, apk).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

class TSystemRoot;

enum class TPackageManager : std::uint8_t { Dpkg, Rpm, Pacman, Apk };

// "dpkg", "rpm", "pacman", "apk": the names the outputs use.
const char* PackageManagerName(TPackageManager Manager);

// The hash a database records for a file's content.
enum class TDigestAlgorithm : std::uint8_t { None, Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };

// "md5", "sha1", ... ; "" for None.
const char* DigestAlgorithmName(TDigestAlgorithm Algorithm);

struct TPackageOwner {
    TPackageManager Manager = TPackageManager::Dpkg;
    std::string Name;
    std::string Version;
    std::string Maker;  // dpkg and apk: the maintainer; rpm: the vendor, else the packager; pacman: the packager
    std::string Summary;  // the first line of the description
    TDigestAlgorithm Algorithm = TDigestAlgorithm::None;
    std::string Digest;  // lowercase hexadecimal; empty when the database records none for the file
};

class IPackageDatabase {
public:
    virtual ~IPackageDatabase() = default;

    virtual TPackageManager Manager() const = 0;

    // Where the database lies, as inside the examined system's root.
    virtual const std::string& Location() const = 0;

    // The installed package that owns the file at Path: the path inside the
    // root with every link resolved, as the kernel would name the file.
    virtual std::optional<TPackageOwner> Owner(std::string_view Path) = 0;

    // Changes whenever the database changes, so that what was learnt from it
    // can be kept until then.
    virtual std::string Stamp() = 0;

    // Why the database, or part of it, could not be read: empty while every
    // answer could be given. Meaningful once Owner has been asked.
    virtual std::string Problem() const = 0;
};

// The back-ends. Folder is the database's folder (apk: the file of installed
// packages) as inside Root, which must outlive the database.
std::unique_ptr<IPackageDatabase> OpenDpkgDatabase(const TSystemRoot& Root, const std::string& Folder,
                                                   const std::string& CacheFolder);
std::unique_ptr<IPackageDatabase> OpenRpmDatabase(const TSystemRoot& Root, const std::string& Folder);
std::unique_ptr<IPackageDatabase> OpenPacmanDatabase(const TSystemRoot& Root, const std::string& Folder);
std::unique_ptr<IPackageDatabase> OpenApkDatabase(const TSystemRoot& Root, const std::string& File);

}  // namespace quorvane

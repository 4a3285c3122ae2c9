// What the package databases of a system say about a file: every database
// found under the system's root is asked, and the first that owns the file
// and whose recorded digest matches the file's content vouches for it. A
// package that owns the file but records another digest, or none, vouches
// for nothing; it is named all the same, so that the reader learns why.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packages/FileDigests.h"
#include "packages/PackageDatabase.h"
#include "packages/SystemRoot.h"

namespace quorvane {

enum class TContentCheck : std::uint8_t {
    NotListed,  // no package owns the file
    Verified,  // the content matches the digest the package records
    Changed,  // it differs: the file was changed after installation
    NoDigest,  // the package records no digest for the file that could be compared
    Unreadable,  // the content could not be read to compare it
};

struct TPackageVerdict {
    TContentCheck Check = TContentCheck::NotListed;
    // The package that vouches; else the first that owns the file.
    std::optional<TPackageOwner> Owner;
};

struct TDatabaseLocation {
    TPackageManager Manager;
    std::string Path;  // inside the root: the folder, or apk's file of installed packages
};

// A database that could not be read, whole or in part.
struct TDatabaseProblem {
    TPackageManager Manager;
    std::string Location;  // inside the root
    std::string Reason;  // German, for the explanations
};

struct TPackagesOptions {
    std::string Root;  // empty: this machine's own
    // The databases to ask; none given: those found under the root.
    std::optional<std::vector<TDatabaseLocation>> Databases;
    // Where the index and digest caches persist; empty: in memory only.
    std::string CacheFolder;
    // How long a file must have stayed unchanged before its digest is kept (see TFileDigests).
    std::chrono::nanoseconds DigestSettleTime = std::chrono::seconds(2);
};

// The databases of the usual managers under Root, in the order they are asked:
// dpkg (/var/lib/dpkg), rpm (/usr/lib/sysimage/rpm, else /var/lib/rpm),
// pacman (/var/lib/pacman), apk (/lib/apk/db/installed).
std::vector<TDatabaseLocation> FindPackageDatabases(const TSystemRoot& Root);

class TPackages {
public:
    explicit TPackages(const TPackagesOptions& Options);
    ~TPackages();
    TPackages(const TPackages&) = delete;
    TPackages& operator=(const TPackages&) = delete;

    const TSystemRoot& Root() const { return FRoot; }

    // The verdict on the file open as Fd (a regular file; Info its fstat),
    // known inside the root as Path with every link resolved.
    TPackageVerdict Check(std::string_view Path, int Fd, const struct stat& Info);

    // The verdict on the file that Path names inside the root (links followed).
    TPackageVerdict Check(std::string_view Path);

    // Changes whenever one of the databases changes.
    std::string Stamp();

    // The databases asked so far that could not be read.
    std::vector<TDatabaseProblem> Problems() const;

private:
    TSystemRoot FRoot;
    std::vector<std::unique_ptr<IPackageDatabase>> FDatabases;
    TFileDigests FDigests;
};

}  // namespace quorvane

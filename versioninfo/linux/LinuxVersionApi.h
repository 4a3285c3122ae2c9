// The Linux back-end of IVersionApi. Version data comes from, first match
// first:
//   PE files        their own RT_VERSION resource;
//   other files     the installed package (dpkg, rpm, pacman or apk: see
//                   packages/Packages.h) that owns the file at the path
//                   (links followed), but only while the file's content
//                   matches the digest the package records for it;
//                   else an ELF file's package note (.note.package, JSON);
//                   else none: 1813 for an ELF file, 1812 for anything else.
// The files may be those of another system under a root folder: paths are
// then as inside it, and its own package databases speak.
// A link of the kernel to a running image whose file was deleted
// ("/proc/ID/exe") is read through the link, and the package is looked up
// under the path the image had: the package vouches for the running image
// only if its content is still the package's.
// Package data becomes a real UTF-16 version block (language 0, code page
// 1200), so one query path serves every kind of file.
//
// Package note fields used: "name" (ProductName, InternalName), "version"
// (FileVersion, ProductVersion and the fixed record's numbers),
// "maintainer", else "packager", else "vendor" (CompanyName), "description"
// (FileDescription, its first line).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "packages/Packages.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

struct TLinuxVersionApiOptions {
    // The examined system's root folder; empty: this machine's.
    std::string Root;
    // The package databases to ask; none given: those found under the root.
    std::optional<std::vector<TDatabaseLocation>> Databases;
    // Whether the package index and the checksums of files persist between
    // runs of the program, and where (empty: see ChooseCacheFolder).
    bool PersistCaches = true;
    std::string CacheFolder;
    // How long a file must have stayed unchanged before its checksum is kept
    // (see TFileDigests).
    std::chrono::nanoseconds DigestSettleTime = std::chrono::seconds(2);
};

std::unique_ptr<IVersionApi> CreateLinuxVersionApi(const TLinuxVersionApiOptions& Options);

}  // namespace quorvane

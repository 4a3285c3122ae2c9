// The Linux back-end of IVersionApi. Version data comes from:
//   PE files        their own RT_VERSION resource;
//   ELF files       a package metadata note (.note.package, JSON), else the
//                   installed Debian package that owns the file, else none
//                   (1813);
//   other files     the owning Debian package, else none (1812: no image).
// Package data becomes a real UTF-16 version block (language 0, code page
// 1200), so one query path serves every kind of file.
//
// Package note fields used: "name" (ProductName, InternalName), "version"
// (FileVersion, ProductVersion and the fixed record's numbers),
// "maintainer", else "packager", else "vendor" (CompanyName), "description"
// (FileDescription, its first line).
#pragma once

#include <memory>
#include <string>

#include "versioninfo/VersionApi.h"

namespace quorvane {

struct TLinuxVersionApiOptions {
    std::string DpkgRoot = "/var/lib/dpkg";
    // Whether the package index persists between runs of the program, and
    // where (empty: the user's cache folder, see TDpkgIndex::DefaultCacheFile).
    bool PersistIndex = true;
    std::string IndexCacheFile;
};

std::unique_ptr<IVersionApi> CreateLinuxVersionApi(const TLinuxVersionApiOptions& Options);

}  // namespace quorvane

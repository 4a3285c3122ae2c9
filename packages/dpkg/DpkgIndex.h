// Which installed Debian package owns a file, and the checksum it records for
// the file's content: an index of the dpkg database (status, diversions,
// info/*.list and info/*.md5sums), built once and reused while the database
// is unchanged (same stamps of status, info/ and diversions). The index can
// persist in a cache file, so a later run of the program does not read the
// whole database again; a cache file that another user could have written,
// that belongs to another database or state of it, or whose checksums fail,
// is not used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "packages/SystemRoot.h"
#include "packages/dpkg/DpkgIndexCache.h"

namespace quorvane {

struct TPackageFile {
    TPackageInfo Package;
    std::string Md5;  // the recorded checksum; empty when the package records none
};

class TDpkgIndex {
public:
    // Root is the database folder (/var/lib/dpkg on Debian) inside System,
    // which must outlive the index. CacheFile is where the index persists;
    // empty keeps it in memory only.
    TDpkgIndex(std::string Root, std::string CacheFile, const TSystemRoot& System = HostSystem());
    ~TDpkgIndex();
    TDpkgIndex(const TDpkgIndex&) = delete;
    TDpkgIndex& operator=(const TDpkgIndex&) = delete;

    // The package whose file is installed at Path. Path must already have its
    // directory resolved (realpath of the directory, last component kept), as
    // the index resolves the directories of the listed paths. Diversions
    // decide where a listed file is installed: under the diverted name, unless
    // the package is the one that diverts it.
    std::optional<TPackageFile> Lookup(std::string_view Path);

    // The name of the cache file of a database root within a cache folder;
    // Root as this machine sees it.
    static std::string CacheFileName(const std::string& Root);

    // Changes whenever the database changes (status, info/ and diversions).
    std::string Stamp() const { return CurrentStamp(); }

    // Whether the last refresh came from the cache file (for tests).
    bool LoadedFromCache() const { return FLoadedFromCache; }

private:
    std::string CurrentStamp() const;
    void Refresh();
    void Rebuild();
    std::string BuildText() const;
    bool OpenView(std::string_view View);
    bool MapCache();
    void Unmap();
    void WriteCache() const;

    static const TSystemRoot& HostSystem();

    std::string FRoot;
    const TSystemRoot& FSystem;
    std::string FHostRoot;  // FRoot as this machine sees it: the cache's key
    std::string FCacheFile;
    bool FBuilt = false;
    bool FLoadedFromCache = false;
    std::string FStamp;
    // The index in its cache form: built here (FText) or the mapped cache file.
    std::string FText;
    void* FMapped = nullptr;
    std::size_t FMappedSize = 0;
    TIndexCacheReader FReader;
    bool FUsable = false;
};

}  // namespace quorvane

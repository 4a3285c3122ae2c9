// Which installed Debian package owns a file: an index of the dpkg database
// (status for the packages, info/*.list for their files), built once and
// reused while the database is unchanged (same mtime and size of status, same
// mtime of info/). The index can persist in a cache file, checked against the
// same stamps and the database's root, so a later run of the program does not
// read the whole database again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

struct TPackageInfo {
    std::string Name;
    std::string Version;
    std::string Maintainer;
    std::string Description;  // first line (the synopsis)
};

class TDpkgIndex {
public:
    // Root is the database folder (/var/lib/dpkg on Debian). CacheFile is
    // where the index persists; empty keeps it in memory only.
    TDpkgIndex(std::string Root, std::string CacheFile);
    ~TDpkgIndex();
    TDpkgIndex(const TDpkgIndex&) = delete;
    TDpkgIndex& operator=(const TDpkgIndex&) = delete;

    // The package that lists Path. Path must already have its directory
    // resolved (realpath of the directory, last component unchanged), as the
    // index resolves the directories of the listed paths.
    std::optional<TPackageInfo> Lookup(std::string_view Path);

    // The cache file for a database root under the user's cache folder
    // ($XDG_CACHE_HOME, else ~/.cache): quorvane/dpkg-index-<hash of root>.
    static std::string DefaultCacheFile(const std::string& Root);

    // Whether the last refresh came from the cache file (for tests).
    bool LoadedFromCache() const { return FLoadedFromCache; }

private:
    struct TStamp {
        std::int64_t StatusMtime = -1;
        std::int64_t StatusSize = -1;
        std::int64_t InfoMtime = -1;
        bool operator==(const TStamp&) const = default;
    };

    TStamp CurrentStamp() const;
    void Refresh();
    void Rebuild();
    std::string BuildText(const TStamp& Stamp) const;
    bool Parse(const TStamp& Stamp);
    bool MapCache();
    void Unmap();
    void WriteCache() const;

    std::string FRoot;
    std::string FCacheFile;
    bool FBuilt = false;
    bool FLoadedFromCache = false;
    TStamp FStamp;
    // The index in its cache form, built here (FText) or the mapped cache
    // file; FView is the one in use. Lines of paths are searched in place,
    // so loading the cache parses only its header and package lines.
    std::string FText;
    void* FMapped = nullptr;
    std::size_t FMappedSize = 0;
    std::string_view FView;
    std::vector<std::string_view> FPackages;  // name TAB version TAB maintainer TAB description
    std::string_view FPaths;  // "path TAB package number" lines, sorted by path
};

}  // namespace quorvane

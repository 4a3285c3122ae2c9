// The digests of file contents, each file hashed once per algorithm: kept by
// the file's identity (device, inode, size, modification and change time) and
// the algorithm, in memory for the object's life and in a cache file across
// runs.
//
// Every write to a file moves its change time, and no user can set it back,
// so an unchanged identity means an unchanged content. Two writes within one
// tick of the file system's clock share a change time, though, so a checksum
// is kept only for a file that had settled before it was hashed (its change
// time lies at least SettleTime back); a file written just now is hashed
// again on its next use.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "packages/PackageDatabase.h"

namespace quorvane {

struct TFileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TFileIdentity&) const = default;
};

TFileIdentity IdentityOf(const struct stat& Info);

struct TDigestKey {
    TFileIdentity Identity;
    TDigestAlgorithm Algorithm = TDigestAlgorithm::None;
    bool operator==(const TDigestKey&) const = default;
};

struct TDigestKeyHash {
    std::size_t operator()(const TDigestKey& Key) const;
};

struct TDigest {
    std::string Hex;  // lowercase hexadecimal
    bool Used = false;  // asked for in this run
};

using TDigestMap = std::unordered_map<TDigestKey, TDigest, TDigestKeyHash>;

class TFileDigests {
public:
    // CacheFile empty: in memory only.
    TFileDigests(std::string CacheFile, std::chrono::nanoseconds SettleTime);
    // Saves what this run added.
    ~TFileDigests();
    TFileDigests(const TFileDigests&) = delete;
    TFileDigests& operator=(const TFileDigests&) = delete;

    // The digest of the content of Fd, a regular file whose fstat is Info, in
    // lowercase hexadecimal; empty when it cannot be read.
    std::string Of(int Fd, const struct stat& Info, TDigestAlgorithm Algorithm);

    // Writes the cache file when this run added checksums.
    void Save();

    // The cache file's text for a set of checksums, and its reader: false for
    // a damaged or foreign text, which then adds nothing.
    static std::string CacheText(const TDigestMap& Digests);
    static bool ParseCacheText(std::string_view Text, TDigestMap& Digests);

private:
    void Load();

    std::string FCacheFile;
    std::chrono::nanoseconds FSettleTime;
    bool FLoaded = false;
    bool FAdded = false;
    TDigestMap FDigests;
};

// Bytes hashed by this process so far, by every instance.
std::uint64_t BytesHashed();

}  // namespace quorvane

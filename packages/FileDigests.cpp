#include "packages/FileDigests.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <charconv>

#include "packages/CacheFolder.h"
#include "packages/Digest.h"

namespace quorvane {
namespace {

constexpr std::string_view kMagic = "quorvane-file-digests 2\n";
// Beyond this many checksums, those of files not seen in this run are dropped.
constexpr std::size_t kMaxEntries = 100000;
constexpr std::size_t kMaxCacheBytes = 16u << 20;

std::atomic<std::uint64_t> HashedBytes{0};

// Wraps around beyond the year 2262 instead of overflowing: some file systems
// (tmpfs) take any time a user sets. An identity only needs to differ when the
// time does, and the change time, which no user sets, moves with every write.
std::int64_t Nanoseconds(const timespec& Time) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(Time.tv_sec) * 1000000000u +
                                     static_cast<std::uint64_t>(Time.tv_nsec));
}

template <typename T>
bool ParseNumber(std::string_view Text, T& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return !Text.empty() && Error == std::errc() && End == Text.data() + Text.size();
}

bool IsDigestOf(TDigestAlgorithm Algorithm, std::string_view Text) {
    if (Text.size() != DigestHexLength(Algorithm) || Text.empty())
        return false;
    for (char C : Text)
        if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
            return false;
    return true;
}

TDigestAlgorithm AlgorithmNamed(std::string_view Name) {
    for (const TDigestAlgorithm Algorithm : {TDigestAlgorithm::Md5, TDigestAlgorithm::Sha1, TDigestAlgorithm::Sha224,
                                             TDigestAlgorithm::Sha256, TDigestAlgorithm::Sha384, TDigestAlgorithm::Sha512})
        if (Name == DigestAlgorithmName(Algorithm))
            return Algorithm;
    return TDigestAlgorithm::None;
}

}  // namespace

TFileIdentity IdentityOf(const struct stat& Info) {
    return {static_cast<std::uint64_t>(Info.st_dev), static_cast<std::uint64_t>(Info.st_ino),
            static_cast<std::uint64_t>(Info.st_size), Nanoseconds(Info.st_mtim), Nanoseconds(Info.st_ctim)};
}

std::size_t TDigestKeyHash::operator()(const TDigestKey& Key) const {
    const TFileIdentity& Identity = Key.Identity;
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (const std::uint64_t Part : {Identity.Device, Identity.Inode, Identity.Size,
                                     static_cast<std::uint64_t>(Identity.ModifiedNs),
                                     static_cast<std::uint64_t>(Identity.ChangedNs),
                                     static_cast<std::uint64_t>(Key.Algorithm)})
        Hash = (Hash ^ Part) * 0x100000001b3ull;
    return static_cast<std::size_t>(Hash);
}

std::uint64_t BytesHashed() { return HashedBytes.load(); }

TFileDigests::TFileDigests(std::string CacheFile, std::chrono::nanoseconds SettleTime)
    : FCacheFile(std::move(CacheFile)), FSettleTime(SettleTime) {}

TFileDigests::~TFileDigests() { Save(); }

std::string TFileDigests::Of(int Fd, const struct stat& Info, TDigestAlgorithm Algorithm) {
    Load();
    const TDigestKey Key{IdentityOf(Info), Algorithm};
    if (const auto Found = FDigests.find(Key); Found != FDigests.end()) {
        Found->second.Used = true;
        return Found->second.Hex;
    }
    timespec Now{};
    clock_gettime(CLOCK_REALTIME, &Now);
    std::uint64_t Read = 0;
    std::string Sum = DigestHexOfFile(Fd, Algorithm, Read);
    HashedBytes += Read;
    // Kept only when the file was whole and had settled before the hashing began.
    if (!Sum.empty() && Read == Key.Identity.Size &&
        Key.Identity.ChangedNs <= Nanoseconds(Now) - FSettleTime.count()) {
        FDigests[Key] = TDigest{Sum, true};
        FAdded = true;
    }
    return Sum;
}

std::string TFileDigests::CacheText(const TDigestMap& Digests) {
    std::string Text(kMagic);
    for (const auto& [Key, Digest] : Digests) {
        const TFileIdentity& Identity = Key.Identity;
        Text += std::to_string(Identity.Device) + ' ' + std::to_string(Identity.Inode) + ' ' +
                std::to_string(Identity.Size) + ' ' + std::to_string(Identity.ModifiedNs) + ' ' +
                std::to_string(Identity.ChangedNs) + ' ' + DigestAlgorithmName(Key.Algorithm) + ' ' + Digest.Hex +
                '\n';
    }
    Text += "sum " + Sha256Hex(Text) + '\n';
    return Text;
}

bool TFileDigests::ParseCacheText(std::string_view Text, TDigestMap& Digests) {
    // The last line holds the checksum of everything before it.
    if (Text.size() < kMagic.size() + 4 + 64 + 1 || Text.back() != '\n')
        return false;
    const std::size_t SumLine = Text.rfind('\n', Text.size() - 2) + 1;
    const std::string_view Body = Text.substr(0, SumLine);
    if (Text.substr(SumLine) != "sum " + Sha256Hex(Body) + '\n' || Body.substr(0, kMagic.size()) != kMagic)
        return false;
    TDigestMap Parsed;
    std::size_t Pos = kMagic.size();
    while (Pos < Body.size()) {
        const std::size_t End = Body.find('\n', Pos);
        std::string_view Line = Body.substr(Pos, End - Pos);
        Pos = End + 1;
        std::string_view Fields[7];
        for (std::size_t I = 0; I < 7; ++I) {
            const std::size_t Blank = I < 6 ? Line.find(' ') : Line.size();
            if (Blank == std::string_view::npos)
                return false;
            Fields[I] = Line.substr(0, Blank);
            Line.remove_prefix(I < 6 ? Blank + 1 : Blank);
        }
        TDigestKey Key;
        TFileIdentity& Identity = Key.Identity;
        Key.Algorithm = AlgorithmNamed(Fields[5]);
        if (!ParseNumber(Fields[0], Identity.Device) || !ParseNumber(Fields[1], Identity.Inode) ||
            !ParseNumber(Fields[2], Identity.Size) || !ParseNumber(Fields[3], Identity.ModifiedNs) ||
            !ParseNumber(Fields[4], Identity.ChangedNs) || !IsDigestOf(Key.Algorithm, Fields[6]))
            return false;
        Parsed[Key] = TDigest{std::string(Fields[6]), false};
    }
    Digests.merge(Parsed);
    return true;
}

void TFileDigests::Load() {
    if (FLoaded)
        return;
    FLoaded = true;
    if (FCacheFile.empty())
        return;
    const int Fd = open(FCacheFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (Fd < 0)
        return;
    struct stat Info;
    std::string Text;
    if (fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode) && IsPrivateFile(Info) &&
        static_cast<std::uint64_t>(Info.st_size) <= kMaxCacheBytes) {
        Text.resize(static_cast<std::size_t>(Info.st_size));
        std::size_t Done = 0;
        while (Done < Text.size()) {
            const ssize_t Got = read(Fd, Text.data() + Done, Text.size() - Done);
            if (Got <= 0)
                break;
            Done += static_cast<std::size_t>(Got);
        }
        Text.resize(Done);
    }
    close(Fd);
    ParseCacheText(Text, FDigests);
}

void TFileDigests::Save() {
    if (!FAdded || FCacheFile.empty())
        return;
    if (FDigests.size() > kMaxEntries)
        std::erase_if(FDigests, [](const auto& Entry) { return !Entry.second.Used; });
    WritePrivateFile(FCacheFile, CacheText(FDigests));
    FAdded = false;
}

}  // namespace quorvane

// libFuzzer target: the reader of the cache file of file checksums. The input
// is the text before the checksum line, which the target appends, so that the
// lines behind the checksum are reached; what the reader accepts must come
// back unchanged through the writer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "packages/Digest.h"
#include "packages/FileDigests.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    TDigestMap Digests;
    Digests[{TFileIdentity{2049, 131090, 1265648, 1700000000123456789, 1700000000123456789}, TDigestAlgorithm::Md5}] =
        TDigest{"0123456789abcdef0123456789abcdef", true};
    Digests[{TFileIdentity{0, 1, 0, -5, 0}, TDigestAlgorithm::Sha1}] =
        TDigest{"ffffffffffffffffffffffffffffffffffffffff", false};
    std::string Text = TFileDigests::CacheText(Digests);
    Text.erase(Text.rfind('\n', Text.size() - 2) + 1);  // the checksum line
    return {Bytes(Text)};
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    using namespace quorvane;
    const std::string Body(reinterpret_cast<const char*>(Data), Size);
    TDigestMap Digests;
    if (!TFileDigests::ParseCacheText(Body + "sum " + Sha256Hex(Body) + '\n', Digests))
        return 0;
    TDigestMap Again;
    if (!TFileDigests::ParseCacheText(TFileDigests::CacheText(Digests), Again) || Again.size() != Digests.size())
        __builtin_trap();
    for (const auto& [Key, Digest] : Digests) {
        const auto Found = Again.find(Key);
        if (Found == Again.end() || Found->second.Hex != Digest.Hex)
            __builtin_trap();
    }
    return 0;
}

#include "packages/Digest.h"

#include <errno.h>
#include <unistd.h>

#include <vector>

#include <nettle/nettle-meta.h>
#include <nettle/sha2.h>

namespace quorvane {
namespace {

const nettle_hash* HashOf(TDigestAlgorithm Algorithm) {
    switch (Algorithm) {
        case TDigestAlgorithm::Md5: return &nettle_md5;
        case TDigestAlgorithm::Sha1: return &nettle_sha1;
        case TDigestAlgorithm::Sha224: return &nettle_sha224;
        case TDigestAlgorithm::Sha256: return &nettle_sha256;
        case TDigestAlgorithm::Sha384: return &nettle_sha384;
        case TDigestAlgorithm::Sha512: return &nettle_sha512;
        case TDigestAlgorithm::None: break;
    }
    return nullptr;
}

}  // namespace

std::string HexText(const std::uint8_t* Bytes, std::size_t Length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string Text(Length * 2, '0');
    for (std::size_t I = 0; I < Length; ++I) {
        Text[2 * I] = kDigits[Bytes[I] >> 4];
        Text[2 * I + 1] = kDigits[Bytes[I] & 0xF];
    }
    return Text;
}

std::string Sha256Hex(std::string_view Data) {
    sha256_ctx Context;
    sha256_init(&Context);
    sha256_update(&Context, Data.size(), reinterpret_cast<const std::uint8_t*>(Data.data()));
    std::uint8_t Sum[SHA256_DIGEST_SIZE];
    sha256_digest(&Context, sizeof Sum, Sum);
    return HexText(Sum, sizeof Sum);
}

std::size_t DigestHexLength(TDigestAlgorithm Algorithm) {
    const nettle_hash* Hash = HashOf(Algorithm);
    return Hash ? 2 * Hash->digest_size : 0;
}

std::string DigestHexOfFile(int Fd, TDigestAlgorithm Algorithm, std::uint64_t& BytesRead) {
    const nettle_hash* Hash = HashOf(Algorithm);
    if (!Hash)
        return {};
    std::vector<std::uint8_t> Context(Hash->context_size);
    Hash->init(Context.data());
    std::vector<std::uint8_t> Buffer(1 << 18);
    off_t Offset = 0;
    for (;;) {
        const ssize_t Got = pread(Fd, Buffer.data(), Buffer.size(), Offset);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
            return {};
        if (Got == 0)
            break;
        Hash->update(Context.data(), static_cast<std::size_t>(Got), Buffer.data());
        Offset += Got;
        BytesRead += static_cast<std::uint64_t>(Got);
    }
    std::vector<std::uint8_t> Sum(Hash->digest_size);
    Hash->digest(Context.data(), Sum.size(), Sum.data());
    return HexText(Sum.data(), Sum.size());
}

}  // namespace quorvane

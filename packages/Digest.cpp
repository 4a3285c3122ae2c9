#include "packages/Digest.h"

#include <errno.h>
#include <unistd.h>

#include <vector>

#include <nettle/md5.h>
#include <nettle/sha2.h>

namespace quorvane {
namespace {

std::string Hex(const std::uint8_t* Bytes, std::size_t Length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string Text(Length * 2, '0');
    for (std::size_t I = 0; I < Length; ++I) {
        Text[2 * I] = kDigits[Bytes[I] >> 4];
        Text[2 * I + 1] = kDigits[Bytes[I] & 0xF];
    }
    return Text;
}

}  // namespace

std::string Sha256Hex(std::string_view Data) {
    sha256_ctx Context;
    sha256_init(&Context);
    sha256_update(&Context, Data.size(), reinterpret_cast<const std::uint8_t*>(Data.data()));
    std::uint8_t Sum[SHA256_DIGEST_SIZE];
    sha256_digest(&Context, sizeof Sum, Sum);
    return Hex(Sum, sizeof Sum);
}

std::string Md5HexOfFile(int Fd, std::uint64_t& BytesRead) {
    md5_ctx Context;
    md5_init(&Context);
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
        md5_update(&Context, static_cast<std::size_t>(Got), Buffer.data());
        Offset += Got;
        BytesRead += static_cast<std::uint64_t>(Got);
    }
    std::uint8_t Sum[MD5_DIGEST_SIZE];
    md5_digest(&Context, sizeof Sum, Sum);
    return Hex(Sum, sizeof Sum);
}

}  // namespace quorvane

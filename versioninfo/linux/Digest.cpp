#include "versioninfo/linux/Digest.h"

#include <errno.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include <openssl/evp.h>

namespace quorvane {
namespace {

struct TContextFree {
    void operator()(EVP_MD_CTX* Context) const { EVP_MD_CTX_free(Context); }
};
using TContext = std::unique_ptr<EVP_MD_CTX, TContextFree>;

std::string Hex(const unsigned char* Bytes, unsigned Length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string Text(Length * 2, '0');
    for (unsigned I = 0; I < Length; ++I) {
        Text[2 * I] = kDigits[Bytes[I] >> 4];
        Text[2 * I + 1] = kDigits[Bytes[I] & 0xF];
    }
    return Text;
}

}  // namespace

std::string Sha256Hex(std::string_view Data) {
    unsigned char Sum[EVP_MAX_MD_SIZE];
    unsigned Length = 0;
    if (!EVP_Digest(Data.data(), Data.size(), Sum, &Length, EVP_sha256(), nullptr))
        return {};
    return Hex(Sum, Length);
}

std::string Md5HexOfFile(int Fd, std::uint64_t& BytesRead) {
    const TContext Context(EVP_MD_CTX_new());
    if (!Context || !EVP_DigestInit_ex(Context.get(), EVP_md5(), nullptr))
        return {};
    std::vector<unsigned char> Buffer(1 << 18);
    off_t Offset = 0;
    for (;;) {
        const ssize_t Got = pread(Fd, Buffer.data(), Buffer.size(), Offset);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
            return {};
        if (Got == 0)
            break;
        if (!EVP_DigestUpdate(Context.get(), Buffer.data(), static_cast<std::size_t>(Got)))
            return {};
        Offset += Got;
        BytesRead += static_cast<std::uint64_t>(Got);
    }
    unsigned char Sum[EVP_MAX_MD_SIZE];
    unsigned Length = 0;
    if (!EVP_DigestFinal_ex(Context.get(), Sum, &Length))
        return {};
    return Hex(Sum, Length);
}

}  // namespace quorvane

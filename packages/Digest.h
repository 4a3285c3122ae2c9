// Checksums through nettle: SHA-256 for the integrity of our own cache files,
// and the digests that package databases record for file contents (dpkg and
// old apk entries: MD5; apk: SHA-1; rpm and pacman: SHA-256 mostly).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "packages/PackageDatabase.h"

namespace quorvane {

// Hexadecimal digits as a database wrote them, in lower case: digests are
// compared as lowercase text.
inline std::string LowercaseHex(std::string_view Hex) {
    std::string Out(Hex);
    for (char& C : Out)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Out;
}

// 64 lowercase hexadecimal digits.
std::string Sha256Hex(std::string_view Data);

// Bytes as lowercase hexadecimal digits.
std::string HexText(const std::uint8_t* Bytes, std::size_t Length);

// Hexadecimal digits the digest of Algorithm has; 0 for None.
std::size_t DigestHexLength(TDigestAlgorithm Algorithm);

// The digest of the whole content of the open file Fd, read from offset 0,
// as lowercase hexadecimal digits; empty when a read fails or for None.
// BytesRead counts the bytes hashed.
std::string DigestHexOfFile(int Fd, TDigestAlgorithm Algorithm, std::uint64_t& BytesRead);

}  // namespace quorvane

// Checksums through nettle: SHA-256 for the integrity of our own cache files,
// MD5 for file contents (the checksum the dpkg database records for every
// file of a package).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// 64 lowercase hexadecimal digits.
std::string Sha256Hex(std::string_view Data);

// The MD5 of the whole content of the open file Fd, read from offset 0, as 32
// lowercase hexadecimal digits; empty when a read fails. BytesRead counts the
// bytes hashed.
std::string Md5HexOfFile(int Fd, std::uint64_t& BytesRead);

}  // namespace quorvane

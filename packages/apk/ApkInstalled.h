// The parser of apk's database of installed packages (/lib/apk/db/installed
// on Alpine): untrusted text, read with bounds checks; a damaged line is
// counted and skipped, and costs nothing else.
//
// Format: one stanza of "K:value" lines per package, stanzas separated by an
// empty line. Keys used: P name, V version, T description, m maintainer,
// F a folder (relative to the root) whose files follow, R a file of the last
// folder, Z the checksum of the last file: "Q1" and the SHA-1 in base64, or
// in old entries the MD5 in 32 hexadecimal digits. Other keys are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "packages/PackageDatabase.h"

namespace quorvane::apk {

struct TApkPackage {
    std::string Name;
    std::string Version;
    std::string Maintainer;
    std::string Description;
};

struct TApkFile {
    std::string Path;  // absolute: "/" + folder + "/" + name
    std::uint32_t Package = 0;  // position in the package list
    TDigestAlgorithm Algorithm = TDigestAlgorithm::None;
    std::string Digest;  // lowercase hexadecimal; empty when the entry has none
};

struct TApkInstalled {
    std::vector<TApkPackage> Packages;  // those with a name, in the file's order
    std::vector<TApkFile> Files;  // in the file's order
    std::size_t FirstDamagedLine = 0;  // counted from 1; 0 when every line was sound
};

TApkInstalled ParseInstalled(std::string_view Text);

// A "Z" value as algorithm and hexadecimal digest; false when it is neither form.
bool ParseChecksum(std::string_view Text, TDigestAlgorithm& Algorithm, std::string& Hex);

}  // namespace quorvane::apk

#include "packages/apk/ApkInstalled.h"

#include <algorithm>

#include <nettle/base64.h>

#include "packages/Digest.h"

namespace quorvane::apk {
namespace {

// 20 bytes in base64: 27 characters and one "=".
bool DecodeSha1(std::string_view Text, std::uint8_t (&Bytes)[20]) {
    if (Text.size() != 28 || Text[27] != '=')
        return false;
    base64_decode_ctx Decoder;
    base64_decode_init(&Decoder);
    std::uint8_t Decoded[BASE64_DECODE_LENGTH(28)];
    std::size_t Length = 0;
    if (!base64_decode_update(&Decoder, &Length, Decoded, Text.size(), Text.data()) ||
        !base64_decode_final(&Decoder) || Length != sizeof Bytes)
        return false;
    std::copy_n(Decoded, sizeof Bytes, Bytes);
    return true;
}

bool IsHex(std::string_view Text) {
    for (const char C : Text)
        if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F')))
            return false;
    return true;
}

// A folder or file name apk could have written: no absolute folder, no
// empty, "." or ".." component, no NUL; a file name without "/".
bool UsablePart(std::string_view Part, bool File) {
    if (Part.find('\0') != std::string_view::npos || (File && Part.find('/') != std::string_view::npos))
        return false;
    if (!File && Part.empty())
        return true;  // the root folder
    std::size_t Begin = 0;
    while (Begin <= Part.size()) {
        std::size_t End = Part.find('/', Begin);
        if (End == std::string_view::npos)
            End = Part.size();
        const std::string_view Name = Part.substr(Begin, End - Begin);
        if (Name.empty() || Name == "." || Name == "..")
            return false;
        Begin = End + 1;
    }
    return true;
}

}  // namespace

bool ParseChecksum(std::string_view Text, TDigestAlgorithm& Algorithm, std::string& Hex) {
    std::uint8_t Sha1[20];
    if (Text.substr(0, 2) == "Q1" && DecodeSha1(Text.substr(2), Sha1)) {
        Algorithm = TDigestAlgorithm::Sha1;
        Hex = HexText(Sha1, sizeof Sha1);
        return true;
    }
    if (Text.size() == 32 && IsHex(Text)) {
        Algorithm = TDigestAlgorithm::Md5;
        Hex = LowercaseHex(Text);
        return true;
    }
    return false;
}

TApkInstalled ParseInstalled(std::string_view Text) {
    TApkInstalled Installed;
    TApkPackage Package;
    std::vector<TApkFile> Files;  // of the current stanza
    std::string Folder;
    bool HaveFolder = false;
    bool HaveFile = false;  // a file that no "Z" has followed yet
    std::size_t LineNumber = 0;
    auto Damaged = [&] {
        if (Installed.FirstDamagedLine == 0)
            Installed.FirstDamagedLine = LineNumber;
    };
    auto Finish = [&] {
        if (!Package.Name.empty()) {
            const auto Number = static_cast<std::uint32_t>(Installed.Packages.size());
            for (TApkFile& File : Files) {
                File.Package = Number;
                Installed.Files.push_back(std::move(File));
            }
            Installed.Packages.push_back(std::move(Package));
        } else if (!Files.empty()) {
            Damaged();  // files of a package without a name
        }
        Package = TApkPackage{};
        Files.clear();
        HaveFolder = false;
        HaveFile = false;
    };

    std::size_t Pos = 0;
    while (Pos < Text.size()) {
        std::size_t End = Text.find('\n', Pos);
        if (End == std::string_view::npos)
            End = Text.size();
        const std::string_view Line = Text.substr(Pos, End - Pos);
        Pos = End + 1;
        ++LineNumber;
        if (Line.empty()) {
            Finish();
            continue;
        }
        if (Line.size() < 2 || Line[1] != ':') {
            Damaged();
            continue;
        }
        const std::string_view Value = Line.substr(2);
        switch (Line[0]) {
            case 'P': Package.Name = Value; break;
            case 'V': Package.Version = Value; break;
            case 'T': Package.Description = Value; break;
            case 'm': Package.Maintainer = Value; break;
            case 'F':
                HaveFile = false;
                HaveFolder = UsablePart(Value, false);
                if (!HaveFolder) {
                    Damaged();
                    break;
                }
                Folder.assign(Value);
                break;
            case 'R':
                HaveFile = HaveFolder && UsablePart(Value, true);
                if (!HaveFile) {
                    Damaged();
                    break;
                }
                Files.push_back({"/" + Folder + (Folder.empty() ? "" : "/") + std::string(Value), 0,
                                 TDigestAlgorithm::None, {}});
                break;
            case 'Z':
                if (!HaveFile || !ParseChecksum(Value, Files.back().Algorithm, Files.back().Digest)) {
                    Damaged();
                    break;
                }
                HaveFile = false;
                break;
            default: break;
        }
    }
    Finish();
    return Installed;
}

}  // namespace quorvane::apk

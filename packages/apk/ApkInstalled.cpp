#include "packages/apk/ApkInstalled.h"

#include "packages/Digest.h"

namespace quorvane::apk {
namespace {

// The value of one base64 character; -1 for any other.
int Base64Value(char C) {
    if (C >= 'A' && C <= 'Z')
        return C - 'A';
    if (C >= 'a' && C <= 'z')
        return C - 'a' + 26;
    if (C >= '0' && C <= '9')
        return C - '0' + 52;
    if (C == '+')
        return 62;
    if (C == '/')
        return 63;
    return -1;
}

// 20 bytes in base64: 27 characters and one "=".
bool DecodeSha1(std::string_view Text, std::uint8_t (&Bytes)[20]) {
    if (Text.size() != 28 || Text[27] != '=')
        return false;
    std::uint32_t Bits = 0;
    int Count = 0;
    std::size_t Out = 0;
    for (std::size_t I = 0; I < 27; ++I) {
        const int Value = Base64Value(Text[I]);
        if (Value < 0)
            return false;
        Bits = (Bits << 6) | static_cast<std::uint32_t>(Value);
        Count += 6;
        if (Count >= 8) {
            Count -= 8;
            Bytes[Out++] = static_cast<std::uint8_t>(Bits >> Count);
            Bits &= (1u << Count) - 1;
        }
    }
    return Out == 20 && Bits == 0;  // the two bits left over are zero in a canonical encoding
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

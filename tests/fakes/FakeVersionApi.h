// A version API over files described in memory. Its blocks are a small format
// of their own (path, length, value), so every value it answers lies inside
// the block, as with the real API.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "versioninfo/VersionApi.h"

namespace quorvane::testing {

struct TFakeVersionFile {
    // When set, GetFileVersionInfoSize answers 0 with this error.
    std::optional<std::uint32_t> SizeError;
    bool BlockFails = false;  // GetFileVersionInfo answers false
    // Raw values by query path ("\", "\VarFileInfo\Translation", "StringFileInfo\...\Key").
    std::map<std::string, std::string> Values;

    TFakeVersionFile& Translation(std::vector<std::uint32_t> Entries) {
        std::string Bytes(Entries.size() * 4, '\0');
        std::memcpy(Bytes.data(), Entries.data(), Bytes.size());
        Values["\\VarFileInfo\\Translation"] = Bytes;
        return *this;
    }
    TFakeVersionFile& Fixed(std::uint32_t FileVersionMS, std::uint32_t FileVersionLS, std::uint32_t DateMS = 0,
                            std::uint32_t DateLS = 0) {
        std::uint32_t Words[13] = {0xFEEF04BD, 0x10000, FileVersionMS, FileVersionLS, 0, 0, 0x3F, 0, 4, 1, 0, DateMS,
                                   DateLS};
        Values["\\"] = std::string(reinterpret_cast<const char*>(Words), sizeof Words);
        return *this;
    }
    // A string of the table of Translation (e.g. "040704E4").
    TFakeVersionFile& String(const std::string& Table, const std::string& Key, const std::string& Text) {
        Values["StringFileInfo\\" + Table + "\\" + Key] = Text + '\0';
        return *this;
    }
};

// A file with a complete resource: German, code page 1252, the given strings.
inline TFakeVersionFile FakeFile(const std::string& Company, const std::string& Description,
                                 const std::string& Version) {
    TFakeVersionFile File;
    File.Translation({0x04E40407}).Fixed(0x00010002, 0x00030004);
    if (!Company.empty())
        File.String("040704E4", "CompanyName", Company);
    if (!Description.empty())
        File.String("040704E4", "FileDescription", Description);
    if (!Version.empty())
        File.String("040704E4", "FileVersion", Version);
    return File;
}

class TFakeVersionApi : public IVersionApi {
public:
    std::map<std::string, TFakeVersionFile> Files;
    std::set<std::string> Directories;  // exist, but fail the existence test
    std::string ModulePath = "/opt/quorvane/quorvane";
    std::map<std::uint32_t, std::string> LanguageNames = {{0x0407, "Deutsch (Deutschland)"},
                                                          {0x0409, "Englisch (Vereinigte Staaten)"}};
    std::vector<TUnreadDatabase> Unread;  // what UnreadPackageDatabases answers
    int SizeCalls = 0;
    int BlockCalls = 0;
    int ExistenceTests = 0;

    void Add(const std::string& Path, TFakeVersionFile File) { Files[Path] = std::move(File); }

    std::uint32_t GetFileVersionInfoSize(const char* FileName, std::uint32_t& Handle,
                                         std::uint32_t& LastError) override {
        ++SizeCalls;
        Handle = 0;
        const auto Source = Sources.find(FileName);
        FLastSource = Source == Sources.end() ? TVersionSource{} : Source->second;
        const auto Found = Files.find(FileName);
        if (Found == Files.end()) {
            LastError = kErrorFileNotFound;
            return 0;
        }
        if (Found->second.SizeError) {
            LastError = *Found->second.SizeError;
            return 0;
        }
        return static_cast<std::uint32_t>(Serialise(Found->second).size());
    }

    bool GetFileVersionInfo(const char* FileName, std::uint32_t, std::uint32_t Size, void* Data) override {
        ++BlockCalls;
        const auto Found = Files.find(FileName);
        if (Found == Files.end() || Found->second.BlockFails)
            return false;
        const std::string Block = Serialise(Found->second);
        std::memcpy(Data, Block.data(), std::min<std::size_t>(Size, Block.size()));
        return Size >= Block.size();
    }

    bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) override {
        std::string Wanted = SubBlock;
        if (Wanted != "\\" && !Wanted.empty() && Wanted[0] == '\\' && Wanted.rfind("\\VarFileInfo", 0) != 0)
            Wanted.erase(0, 1);
        auto* Cursor = static_cast<char*>(Block);
        std::uint32_t Total;
        std::memcpy(&Total, Cursor, 4);
        char* End = Cursor + Total;
        Cursor += 4;
        while (Cursor < End) {
            const std::string Path = Cursor;
            Cursor += Path.size() + 1;
            std::uint32_t Size;
            std::memcpy(&Size, Cursor, 4);
            Cursor += 4;
            if (SameText(Path, Wanted)) {
                Value = Cursor;
                // Strings count their characters, as the ANSI API does.
                Length = Path.rfind("StringFileInfo", 0) == 0 ? static_cast<std::uint32_t>(std::strlen(Cursor)) : Size;
                return true;
            }
            Cursor += Size;
        }
        return false;
    }

    std::uint32_t VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) override {
        const auto Found = LanguageNames.find(Language);
        if (Found == LanguageNames.end() || BufferSize == 0)
            return 0;
        const std::size_t N = std::min<std::size_t>(Found->second.size(), BufferSize - 1);
        std::memcpy(Buffer, Found->second.data(), N);
        Buffer[N] = '\0';
        return static_cast<std::uint32_t>(N);
    }

    bool FileExists(const std::string& FileName) override {
        ++ExistenceTests;
        return Files.count(FileName) != 0 && Directories.count(FileName) == 0;
    }

    std::string ModuleFileName() override { return ModulePath; }

    // Files that cannot be examined, with the message for each.
    std::map<std::string, std::string> Problems;
    std::string FileProblem(const std::string& FileName) override {
        const auto Found = Problems.find(FileName);
        return Found == Problems.end() ? std::string() : Found->second;
    }

    // What the next size calls report as the source of each file.
    std::map<std::string, TVersionSource> Sources;
    std::vector<TUnreadDatabase> UnreadPackageDatabases() override { return Unread; }

    TVersionSource LastVersionSource() override { return FLastSource; }

private:
    TVersionSource FLastSource;

    static bool SameText(const std::string& A, const std::string& B) {
        return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
                   return std::tolower(static_cast<unsigned char>(X)) == std::tolower(static_cast<unsigned char>(Y));
               });
    }

    static std::string Serialise(const TFakeVersionFile& File) {
        std::string Block(4, '\0');
        for (const auto& [Path, Value] : File.Values) {
            Block += Path;
            Block += '\0';
            const auto Size = static_cast<std::uint32_t>(Value.size());
            Block.append(reinterpret_cast<const char*>(&Size), 4);
            Block += Value;
        }
        const auto Total = static_cast<std::uint32_t>(Block.size());
        std::memcpy(Block.data(), &Total, 4);
        return Block;
    }
};

}  // namespace quorvane::testing

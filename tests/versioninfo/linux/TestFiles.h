// Helpers of the back-end tests: a temporary folder that removes itself, file
// writing, and the version reader run over the Linux back-end.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nettle/md5.h>

#include "versioninfo/StVInfo.h"
#include "versioninfo/linux/LinuxVersionApi.h"
#include "versioninfo/linux/PeVersionResource.h"

namespace quorvane::testing {

class TTempDir {
public:
    TTempDir() {
        std::string Pattern = (std::filesystem::temp_directory_path() / "quorvane-vi-XXXXXX").string();
        if (!mkdtemp(Pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = Pattern;
    }
    ~TTempDir() {
        std::error_code Ignored;
        std::filesystem::remove_all(FPath, Ignored);
    }
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    ASSERT_TRUE(Out.good()) << Path;
}

inline void WriteText(const std::string& Path, const std::string& Text) {
    WriteFile(Path, std::vector<std::uint8_t>(Text.begin(), Text.end()));
}

// ReadAt over bytes in memory.
inline TReadAt MemoryReader(const std::vector<std::uint8_t>& Bytes) {
    return [&Bytes](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        if (Offset > Bytes.size() || Count > Bytes.size() - Offset)
            return false;
        std::copy(Bytes.begin() + static_cast<std::ptrdiff_t>(Offset),
                  Bytes.begin() + static_cast<std::ptrdiff_t>(Offset + Count), static_cast<std::uint8_t*>(Buffer));
        return true;
    };
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(In), {});
}

// The MD5 of Bytes in lowercase hexadecimal, as the dpkg database records it.
inline std::string Md5Hex(const std::vector<std::uint8_t>& Bytes) {
    md5_ctx Context;
    md5_init(&Context);
    md5_update(&Context, Bytes.size(), Bytes.data());
    std::uint8_t Sum[MD5_DIGEST_SIZE];
    md5_digest(&Context, sizeof Sum, Sum);
    std::string Hex;
    for (std::size_t I = 0; I < sizeof Sum; ++I) {
        char Pair[3];
        std::snprintf(Pair, sizeof Pair, "%02x", Sum[I]);
        Hex += Pair;
    }
    return Hex;
}

// An API whose caches live in memory only, over an empty database unless a
// root is given. SettleTime 0 keeps the checksum of a file written just now.
inline std::unique_ptr<IVersionApi> TestApi(const std::string& DpkgRoot = "/nonexistent-dpkg-root",
                                            std::chrono::nanoseconds SettleTime = std::chrono::seconds(2)) {
    TLinuxVersionApiOptions Options;
    Options.Databases = std::vector<TDatabaseLocation>{{TPackageManager::Dpkg, DpkgRoot}};
    Options.PersistCaches = false;
    Options.DigestSettleTime = SettleTime;
    return CreateLinuxVersionApi(Options);
}

// What spoke for Path when the reader read it.
inline TVersionSource SourceOf(IVersionApi& Api, const std::string& Path) {
    TStVersionInfo Reader(nullptr, Api);
    try {
        Reader.SetFileName(Path);
        Reader.CompanyName();
    } catch (const std::exception&) {
    }
    return Reader.Source();
}

// What the reader's sequence (name, then the four values) gives for a file.
struct TReadOutcome {
    bool Ok = false;
    std::int32_t ErrorCode = 0;  // of EStVersionInfoError; -1 for another failure
    std::string CompanyName, FileDescription, FileVersion, LanguageName;
    std::int32_t TranslationCount = 0;
    std::uint32_t TranslationValue = 0;
    std::string ProductName, InternalName, ProductVersion;
    std::uint32_t FileVersionMS = 0, FileVersionLS = 0;
};

inline TReadOutcome ReadWithReader(IVersionApi& Api, const std::string& Path) {
    TReadOutcome Out;
    TStVersionInfo Reader(nullptr, Api);
    try {
        Reader.SetFileName(Path);
        Out.CompanyName = Reader.CompanyName();
        Out.FileDescription = Reader.FileDescription();
        Out.FileVersion = Reader.FileVersion();
        Out.LanguageName = Reader.LanguageName();
        Out.TranslationCount = Reader.TranslationCount();
        Out.TranslationValue = Reader.TranslationValue();
        Out.ProductName = Reader.ProductName();
        Out.InternalName = Reader.InternalName();
        Out.ProductVersion = Reader.ProductVersion();
        Out.FileVersionMS = Reader.FileVersionMS();
        Out.FileVersionLS = Reader.FileVersionLS();
        Out.Ok = true;
    } catch (const EStVersionInfoError& E) {
        Out.ErrorCode = E.ErrorCode();
    } catch (const std::exception&) {
        Out.ErrorCode = -1;
    }
    return Out;
}

}  // namespace quorvane::testing

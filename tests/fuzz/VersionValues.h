// Every value of a version resource, read by the version reader as the
// catalogue reads it, over the Linux build's block preparation and queries.
#pragma once

#include <cstring>

#include "common/Exception.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"
#include "versioninfo/linux/VersionBlock.h"

namespace quorvane::fuzz {

// The version interface over one resource given as bytes.
class TResourceVersionApi final : public IVersionApi {
public:
    explicit TResourceVersionApi(TByteSpan Resource) : FResource(Resource) {}

    std::uint32_t GetFileVersionInfoSize(const char*, std::uint32_t& Handle, std::uint32_t& LastError) override {
        Handle = 0;
        const std::uint32_t Size = PreparedVersionBlockSize(FResource);
        LastError = Size == 0 ? kErrorResourceDataNotFound : 0;
        return Size;
    }
    bool GetFileVersionInfo(const char*, std::uint32_t, std::uint32_t Size, void* Data) override {
        return PrepareVersionBlock(FResource, Data, Size);
    }
    bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) override {
        return QueryVersionBlock(Block, SubBlock, Value, Length);
    }
    std::uint32_t VerLanguageName(std::uint32_t, char* Buffer, std::uint32_t BufferSize) override {
        if (BufferSize < 2)
            return 0;
        std::strcpy(Buffer, "x");
        return 1;
    }
    bool FileExists(const std::string&) override { return true; }
    std::string ModuleFileName() override { return "program"; }
    std::string FileProblem(const std::string&) override { return {}; }

private:
    TByteSpan FResource;
};

// Reads all values; a failed load is an answer like any other.
inline void ReadVersionValues(TByteSpan Resource) {
    TResourceVersionApi Api(Resource);
    TStVersionInfo Info(nullptr, Api);
    try {
        Info.SetFileName("file");
        const std::size_t Texts = Info.Comments().size() + Info.CompanyName().size() +
                                  Info.FileDescription().size() + Info.FileVersion().size() +
                                  Info.InternalName().size() + Info.LanguageName().size() +
                                  Info.LegalCopyright().size() + Info.LegalTrademarks().size() +
                                  Info.OriginalFilename().size() + Info.ProductName().size() +
                                  Info.ProductVersion().size();
        // Kept, so that no read is left out as unused.
        volatile double Numbers = Info.FileDate() + Info.FileVersionFloat() + Info.ProductVersionFloat() +
                                  static_cast<double>(Texts) + Info.TranslationCount();
        (void)Numbers;
    } catch (const EStVersionInfoError&) {
    } catch (const EConvertError&) {
    }
}

}  // namespace quorvane::fuzz

// The version information reader: what an executable states about itself in
// its version resource, read lazily, once per change of file name.
#pragma once

#include <cstdint>
#include <string>

#include "versioninfo/StBase.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

class EStVersionInfoError : public EStException {
public:
    using EStException::EStException;
};

// Reads a version text as a number: the whole text as a decimal number, else
// the part before a second dot that stands at most sixth; 0 otherwise.
double ParseVersionNumber(const std::string& Text);

// The getters of the version values load the resource of FileName first when
// InfoLoaded is false; a failed load leaves the getter by its exception.
class TStCustomVersionInfo : public TStComponent {
public:
    TStCustomVersionInfo(TStComponent* AOwner, IVersionApi& Api);
    ~TStCustomVersionInfo() override;

    void Loaded() override;

    const std::string& FileName() const { return FFileName; }
    // Raises EStVersionInfoError 73 for a non-empty name that fails the
    // existence test, leaving the name and the loaded values as they were. An
    // empty name becomes the path of the running program.
    void SetFileName(const std::string& Value);

    bool InfoLoaded() const { return FInfoLoaded; }

    // Makes the next value read load the file again, also under the same
    // name: the file may have changed since (a reload of the catalogue).
    void InvalidateInfo() { FInfoLoaded = false; }

    // What spoke for the values of the last load of FileName, successful or
    // not; unchanged by a name that fails the existence test.
    const TVersionSource& Source() const { return FSource; }

    const std::string& Comments();
    const std::string& CompanyName();
    const std::string& FileDescription();
    double FileDate();
    std::uint32_t FileFlags();
    std::uint32_t FileFlagsMask();
    std::uint32_t FileVersionMS();
    std::uint32_t FileVersionLS();
    std::uint32_t FileOS();
    std::uint32_t FileType();
    std::uint32_t FileSubtype();
    const std::string& FileVersion();
    double FileVersionFloat();
    const std::string& InternalName();
    std::int32_t TranslationCount();
    const std::string& LanguageName();
    const std::string& LegalCopyright();
    const std::string& LegalTrademarks();
    const std::string& OriginalFilename();
    std::uint32_t ProductVersionMS();
    std::uint32_t ProductVersionLS();
    const std::string& ProductName();
    const std::string& ProductVersion();
    double ProductVersionFloat();
    std::uint32_t TranslationValue();

protected:
    // Reads the version resource of FileName into the members in one pass.
    void LoadVersionInfo();

private:
    void EnsureLoaded() {
        if (!FInfoLoaded)
            LoadVersionInfo();
    }

    IVersionApi& FApi;

    // Members in the order of the component's published state.
    std::string FComments;
    std::string FCompanyName;
    std::string FFileDescription;
    double FFileDate = 0;
    std::uint32_t FFileFlags = 0;
    std::uint32_t FFileFlagsMask = 0;
    std::uint32_t FFileVersionMS = 0;
    std::uint32_t FFileVersionLS = 0;
    std::string FFileName;
    std::uint32_t FFileOS = 0;
    std::uint32_t FFileType = 0;
    std::uint32_t FFileSubtype = 0;
    std::string FFileVersion;
    double FFileVersionFloat = 0;
    std::string FInternalName;
    std::int32_t FTranslationCount = 0;
    std::string FLanguageName;
    std::string FLegalCopyright;
    std::string FLegalTrademarks;
    std::string FOriginalFilename;
    std::uint32_t FProductVersionMS = 0;
    std::uint32_t FProductVersionLS = 0;
    std::string FProductName;
    std::string FProductVersion;
    double FProductVersionFloat = 0;
    std::uint32_t FTranslationValue = 0;
    bool FInfoLoaded = false;
    TVersionSource FSource;
};

// The reader as the window holds it; adds nothing to its base.
class TStVersionInfo : public TStCustomVersionInfo {
public:
    using TStCustomVersionInfo::TStCustomVersionInfo;
};

}  // namespace quorvane

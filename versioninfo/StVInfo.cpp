#include "versioninfo/StVInfo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/FileTime.h"
#include "resources/StringTable.h"
#include "versioninfo/StConst.h"

namespace quorvane {
namespace {

// VS_FIXEDFILEINFO: thirteen little-endian DWORDs.
struct TFixedFileInfo {
    std::uint32_t dwSignature;
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(TFixedFileInfo) == 52);

// Blanks, sign, digits with an optional point and fraction, optional exponent;
// nothing else. At least one digit in the mantissa.
bool ReadsAsDecimalNumber(const std::string& Text, double& Value) {
    std::size_t I = 0;
    const std::size_t N = Text.size();
    while (I < N && Text[I] == ' ')
        ++I;
    const std::size_t Start = I;
    if (I < N && (Text[I] == '+' || Text[I] == '-'))
        ++I;
    std::size_t Digits = 0;
    while (I < N && std::isdigit(static_cast<unsigned char>(Text[I])))
        ++I, ++Digits;
    if (I < N && Text[I] == '.') {
        ++I;
        while (I < N && std::isdigit(static_cast<unsigned char>(Text[I])))
            ++I, ++Digits;
    }
    if (Digits == 0)
        return false;
    if (I < N && (Text[I] == 'e' || Text[I] == 'E')) {
        ++I;
        if (I < N && (Text[I] == '+' || Text[I] == '-'))
            ++I;
        std::size_t ExponentDigits = 0;
        while (I < N && std::isdigit(static_cast<unsigned char>(Text[I])))
            ++I, ++ExponentDigits;
        if (ExponentDigits == 0)
            return false;
    }
    if (I != N)
        return false;
    // strtod follows the C locale's point here: the program never changes LC_NUMERIC
    // for this thread's conversions; the text has been validated above.
    Value = std::strtod(Text.c_str() + Start, nullptr);
    return true;
}

}  // namespace

double ParseVersionNumber(const std::string& Text) {
    double Value = 0;
    if (ReadsAsDecimalNumber(Text, Value))
        return Value;
    int Dots = 0;
    // The last character is never examined.
    for (std::size_t I = 0; I + 1 < Text.size(); ++I) {
        if (Text[I] != '.' || ++Dots < 2)
            continue;
        if (I + 1 > 6)  // the second dot is the seventh character or later
            return 0;
        return ReadsAsDecimalNumber(Text.substr(0, I), Value) ? Value : 0;
    }
    return 0;
}

TStCustomVersionInfo::TStCustomVersionInfo(TStComponent* AOwner, IVersionApi& Api) : TStComponent(AOwner), FApi(Api) {
    FInfoLoaded = false;
    SetFileName("");
}

TStCustomVersionInfo::~TStCustomVersionInfo() = default;

void TStCustomVersionInfo::Loaded() {
    TStComponent::Loaded();
    if (FFileName.empty())
        SetFileName("");
}

void TStCustomVersionInfo::SetFileName(const std::string& Value) {
    if (!Value.empty() && !FApi.FileExists(Value))
        throw EStVersionInfoError(stscFileOpen);
    if (Value != FFileName)
        FInfoLoaded = false;
    FFileName = Value;
    if (FFileName.empty())
        FFileName = FApi.ModuleFileName();
}

void TStCustomVersionInfo::LoadVersionInfo() {
    std::uint32_t Handle = 0;
    std::uint32_t LastError = 0;
    const char* Name = FFileName.c_str();
    const std::uint32_t Size = FApi.GetFileVersionInfoSize(Name, Handle, LastError);
    FSource = FApi.LastVersionSource();
    if (Size == 0)
        throw EStVersionInfoError(LastError == kErrorResourceTypeNotFound ? stscNoVerInfo : stscVerInfoFail);

    // Released on every way out of the load.
    std::vector<unsigned char> Block(Size);
    if (!FApi.GetFileVersionInfo(Name, Handle, Size, Block.data()))
        throw EStVersionInfoError(stscVerInfoFail);
    // VerQueryValueA writes its ANSI copies of the texts behind the root node,
    // up to twice the root's wLength (plus 4) from the block's start. A root
    // that claims more than the resource holds puts them past a block of the
    // reported size, so the block gets zero-filled room up to there (and a
    // zero word beyond, which ends any walk that reads on into the room).
    if (Block.size() >= 2) {
        const std::size_t RootLength = Block[0] | (std::size_t{Block[1]} << 8);
        if (2 * RootLength + 8 > Block.size())
            Block.resize(2 * RootLength + 8);
    }

    void* Value = nullptr;
    std::uint32_t Length = 0;
    if (!FApi.VerQueryValue(Block.data(), "\\VarFileInfo\\Translation", Value, Length))
        throw EStVersionInfoError(stscVerInfoFail);
    FTranslationCount = static_cast<std::int32_t>(Length / 4);
    // A value shorter than one entry is read as the zero entry: never past its end.
    FTranslationValue = 0;
    if (Length >= 4)
        std::memcpy(&FTranslationValue, Value, 4);
    const std::uint32_t Language = FTranslationValue & 0xFFFF;
    const std::uint32_t CodePage = FTranslationValue >> 16;

    char LanguageBuffer[260] = {};
    if (FApi.VerLanguageName(Language, LanguageBuffer, sizeof LanguageBuffer) != 0) {
        LanguageBuffer[sizeof LanguageBuffer - 1] = '\0';
        FLanguageName = LanguageBuffer;
    } else {
        FLanguageName.clear();
    }

    char Prefix[64];
    std::snprintf(Prefix, sizeof Prefix, "StringFileInfo\\%.4X%.4X\\", Language, CodePage);

    if (!FApi.VerQueryValue(Block.data(), "\\", Value, Length))
        throw EStVersionInfoError(stscVerInfoFail);
    TFixedFileInfo Fixed{};
    std::memcpy(&Fixed, Value, Length < sizeof Fixed ? Length : sizeof Fixed);
    FFileVersionMS = Fixed.dwFileVersionMS;
    FFileVersionLS = Fixed.dwFileVersionLS;
    FProductVersionMS = Fixed.dwProductVersionMS;
    FProductVersionLS = Fixed.dwProductVersionLS;
    FFileFlagsMask = Fixed.dwFileFlagsMask;
    FFileFlags = Fixed.dwFileFlags;
    FFileOS = Fixed.dwFileOS;
    FFileType = Fixed.dwFileType;
    FFileSubtype = Fixed.dwFileSubtype;

    // The file date is taken as it is stored, without a shift to local time.
    TSystemTime Date;
    FileTimeToSystemTime((static_cast<TFileTime>(Fixed.dwFileDateMS) << 32) | Fixed.dwFileDateLS, Date);
    if (!TryEncodeDateTime(Date, FFileDate))
        throw EConvertError(LoadStr(TStringId::sInvalidDateArgument));

    const auto ReadString = [&](const char* Key, std::string& Member) {
        const std::string Path = std::string(Prefix) + Key;
        void* Text = nullptr;
        std::uint32_t TextLength = 0;
        if (FApi.VerQueryValue(Block.data(), Path.c_str(), Text, TextLength) && TextLength != 0) {
            // Up to the first zero byte, and never past the end of the block.
            const auto Offset = reinterpret_cast<std::uintptr_t>(Text) - reinterpret_cast<std::uintptr_t>(Block.data());
            if (Offset < Block.size()) {
                const auto* Begin = reinterpret_cast<const char*>(Block.data() + Offset);
                Member.assign(Begin, std::find(Begin, Begin + (Block.size() - Offset), '\0'));
            } else {
                Member.clear();
            }
        } else {
            Member.clear();
        }
    };
    const auto VersionFloat = [](const std::string& Text) {
        try {
            return ParseVersionNumber(Text);
        } catch (...) {
            return 0.0;
        }
    };

    ReadString("Comments", FComments);
    ReadString("CompanyName", FCompanyName);
    ReadString("FileDescription", FFileDescription);
    ReadString("FileVersion", FFileVersion);
    FFileVersionFloat = VersionFloat(FFileVersion);
    ReadString("InternalName", FInternalName);
    ReadString("LegalCopyright", FLegalCopyright);
    ReadString("LegalTrademarks", FLegalTrademarks);
    ReadString("OriginalFilename", FOriginalFilename);
    ReadString("ProductName", FProductName);
    ReadString("ProductVersion", FProductVersion);
    FProductVersionFloat = VersionFloat(FProductVersion);

    FInfoLoaded = true;
}

#define QUORVANE_LAZY_GETTER(Type, Name) \
    Type TStCustomVersionInfo::Name() {  \
        EnsureLoaded();                  \
        return F##Name;                  \
    }

QUORVANE_LAZY_GETTER(const std::string&, Comments)
QUORVANE_LAZY_GETTER(const std::string&, CompanyName)
QUORVANE_LAZY_GETTER(const std::string&, FileDescription)
QUORVANE_LAZY_GETTER(double, FileDate)
QUORVANE_LAZY_GETTER(std::uint32_t, FileFlags)
QUORVANE_LAZY_GETTER(std::uint32_t, FileFlagsMask)
QUORVANE_LAZY_GETTER(std::uint32_t, FileVersionMS)
QUORVANE_LAZY_GETTER(std::uint32_t, FileVersionLS)
QUORVANE_LAZY_GETTER(std::uint32_t, FileOS)
QUORVANE_LAZY_GETTER(std::uint32_t, FileType)
QUORVANE_LAZY_GETTER(std::uint32_t, FileSubtype)
QUORVANE_LAZY_GETTER(const std::string&, FileVersion)
QUORVANE_LAZY_GETTER(double, FileVersionFloat)
QUORVANE_LAZY_GETTER(const std::string&, InternalName)
QUORVANE_LAZY_GETTER(std::int32_t, TranslationCount)
QUORVANE_LAZY_GETTER(const std::string&, LanguageName)
QUORVANE_LAZY_GETTER(const std::string&, LegalCopyright)
QUORVANE_LAZY_GETTER(const std::string&, LegalTrademarks)
QUORVANE_LAZY_GETTER(const std::string&, OriginalFilename)
QUORVANE_LAZY_GETTER(std::uint32_t, ProductVersionMS)
QUORVANE_LAZY_GETTER(std::uint32_t, ProductVersionLS)
QUORVANE_LAZY_GETTER(const std::string&, ProductName)
QUORVANE_LAZY_GETTER(const std::string&, ProductVersion)
QUORVANE_LAZY_GETTER(double, ProductVersionFloat)
QUORVANE_LAZY_GETTER(std::uint32_t, TranslationValue)

#undef QUORVANE_LAZY_GETTER

}  // namespace quorvane

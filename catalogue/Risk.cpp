#include "catalogue/Risk.h"

#include "resources/StringTable.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

struct TRiskRow {
    TStringId Name;
    TColor Text;
    TColor Background;
};

// Indexed by TRiskLevel.
constexpr TRiskRow kRiskRows[] = {
    {TStringId::sRiskUndetermined, clWindowText, TColor::Rgb(255, 255, 255)},
    {TStringId::sRiskPotentiallyDangerous, TColor::Rgb(240, 0, 0), TColor::Rgb(255, 232, 232)},
    {TStringId::sRiskMediumDangerous, TColor::Rgb(240, 208, 0), TColor::Rgb(255, 255, 224)},
    {TStringId::sRiskSlightlyDangerous, TColor::Rgb(0, 128, 0), TColor::Rgb(232, 255, 232)},
    {TStringId::sRiskHarmless, clWindowText, TColor::Rgb(255, 255, 255)},
};

constexpr bool IsKnownLevel(TRiskLevel Level) { return Level <= rlHarmless; }

}  // namespace

const std::string& RiskName(const TNodeData& Data) {
    static const std::string Empty;
    return IsKnownLevel(Data.RiskLevel) ? LoadStr(kRiskRows[Data.RiskLevel].Name) : Empty;
}

TColor RiskColor(const TNodeData& Data, bool TextColor) {
    const TRiskRow& Row = kRiskRows[IsKnownLevel(Data.RiskLevel) ? Data.RiskLevel : rlUndetermined];
    return TextColor ? Row.Text : Row.Background;
}

std::string PriorityName(const TNodeData& Data) {
    switch (Data.PriorityClass) {
        case 0: return {};
        case 32: return LoadStr(TStringId::sPriorityNormal);
        case 64: return LoadStr(TStringId::sPriorityIdle);
        case 128: return LoadStr(TStringId::sPriorityHigh);
        case 256: return LoadStr(TStringId::sPriorityRealTime);
        default: return std::to_string(Data.PriorityClass);
    }
}

void RateWithoutVersionData(TNodeData& Data) {
    Data.CompanyName.clear();
    Data.FileDescription.clear();
    Data.FileVersion.clear();
    Data.LanguageName.clear();
    Data.RiskLevel = rlPotentiallyDangerous;
    Data.Remark = LoadStr(TStringId::sRemarkNoFileInfo);
}

std::int32_t ClassifyByVersionInfo(TNodeData& Data, TStCustomVersionInfo& VersionInfo) {
    return ClassifyByVersionInfo(Data, VersionInfo, Data.ImagePath);
}

std::int32_t ClassifyByVersionInfo(TNodeData& Data, TStCustomVersionInfo& VersionInfo, const std::string& FileName) {
    std::int32_t Failure = 0;
    try {
        VersionInfo.SetFileName(FileName);
        Data.CompanyName = VersionInfo.CompanyName();
        Data.FileDescription = VersionInfo.FileDescription();
        Data.FileVersion = VersionInfo.FileVersion();
        Data.LanguageName = VersionInfo.LanguageName();
    } catch (const EStException& Error) {
        Failure = Error.ErrorCode() != 0 ? Error.ErrorCode() : -1;
    } catch (const std::exception&) {
        Failure = -1;
    }
    RateByVersionValues(Data, Failure);
    return Failure;
}

void RateByVersionValues(TNodeData& Data, std::int32_t Failure) {
    if (Failure != 0) {
        // Every failure of the reader counts alike: no usable version data.
        RateWithoutVersionData(Data);
        return;
    }
    if (!Data.CompanyName.empty()) {
        Data.RiskLevel = rlSlightlyDangerous;  // the remark of the probes stays
    } else if (!Data.FileDescription.empty() || !Data.FileVersion.empty()) {
        Data.RiskLevel = rlMediumDangerous;
        Data.Remark = LoadStr(TStringId::sRemarkNoCompanyInfo);
    } else {
        Data.RiskLevel = rlPotentiallyDangerous;
        Data.Remark = LoadStr(TStringId::sRemarkIncompleteFileInfo);
    }
}

}  // namespace quorvane

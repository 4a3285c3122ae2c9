// The apk back-end of the packages layer: the file of installed packages,
// read whole (a few hundred kilobytes even on a large system) and read again
// when it changes.
#include <unordered_map>

#include "common/SystemText.h"
#include "packages/PackageDatabase.h"
#include "packages/SystemRoot.h"
#include "packages/apk/ApkInstalled.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

class TApkDatabase final : public IPackageDatabase {
public:
    TApkDatabase(const TSystemRoot& Root, const std::string& File) : FRoot(Root), FFile(File), FWatched(Root, File) {}

    TPackageManager Manager() const override { return TPackageManager::Apk; }
    const std::string& Location() const override { return FFile; }

    std::optional<TPackageOwner> Owner(std::string_view Path) override {
        Refresh();
        const auto Found = FByPath.find(std::string(Path));
        if (Found == FByPath.end())
            return std::nullopt;
        const apk::TApkFile& File = FInstalled.Files[Found->second];
        const apk::TApkPackage& Package = FInstalled.Packages[File.Package];
        return TPackageOwner{TPackageManager::Apk, Package.Name,  Package.Version, Package.Maintainer,
                             Package.Description,  File.Algorithm, File.Digest};
    }

    std::string Stamp() override { return FWatched.Stamp(); }

    std::string Problem() const override { return FProblem; }

private:
    void Refresh() {
        std::string Stamp = this->Stamp();
        if (FRead && Stamp == FStamp)
            return;
        FRead = true;
        FStamp = std::move(Stamp);
        FProblem.clear();
        FByPath.clear();
        std::string Text;
        if (!FRoot.ReadFile(FFile, Text)) {
            FProblem = LastSystemErrorText();
            FInstalled = {};
            return;
        }
        FInstalled = apk::ParseInstalled(Text);
        if (FInstalled.FirstDamagedLine != 0)
            FProblem = FormatStr(TStringId::sDatabaseDamagedLine, {std::to_string(FInstalled.FirstDamagedLine)});
        FByPath.reserve(FInstalled.Files.size());
        // A path listed twice keeps the package listed first.
        for (std::size_t I = 0; I < FInstalled.Files.size(); ++I)
            FByPath.emplace(FInstalled.Files[I].Path, I);
    }

    const TSystemRoot& FRoot;
    std::string FFile;
    TWatchedFile FWatched;
    bool FRead = false;
    std::string FStamp;
    std::string FProblem;
    apk::TApkInstalled FInstalled;
    std::unordered_map<std::string, std::size_t> FByPath;
};

}  // namespace

std::unique_ptr<IPackageDatabase> OpenApkDatabase(const TSystemRoot& Root, const std::string& File) {
    return std::make_unique<TApkDatabase>(Root, File);
}

}  // namespace quorvane

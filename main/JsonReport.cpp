#include "main/JsonReport.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/Catalogue.h"
#include "catalogue/PathText.h"
#include "catalogue/Risk.h"
#include "common/SystemText.h"

namespace quorvane {
namespace {

// Keys in the order they are written, for readers of the raw lines.
using TJson = nlohmann::ordered_json;

const char* ImageStateName(TImageState State) {
    switch (State) {
        case TImageState::Present: return "present";
        case TImageState::Deleted: return "deleted";
        case TImageState::Replaced: return "replaced";
        case TImageState::MemoryOnly: return "memory";
        case TImageState::Unknown: break;
    }
    return nullptr;
}

TJson Package(const std::string& Name, const std::string& Version, const std::string& Manager, bool Verified) {
    if (Name.empty())
        return nullptr;
    return TJson{{"name", JsonText(Name)},
                 {"version", JsonText(Version)},
                 {"manager", JsonText(Manager)},
                 {"verified", Verified}};
}

TJson Package(const TNodeData& Data) {
    return Package(Data.PackageName, Data.PackageVersion, Data.PackageManager, Data.PackageVerified);
}

// The verdict on a file's signature; null where none was made.
TJson Signature(const TSignature& Verdict) {
    const char* Status = nullptr;
    switch (Verdict.Status) {
        case TSignatureStatus::Trusted: Status = "trusted"; break;
        case TSignatureStatus::Untrusted: Status = "untrusted"; break;
        case TSignatureStatus::Tampered: Status = "tampered"; break;
        case TSignatureStatus::Unsigned: Status = "unsigned"; break;
        case TSignatureStatus::Error: Status = "error"; break;
        case TSignatureStatus::NotChecked:
        case TSignatureStatus::Pending: return nullptr;
    }
    const auto TextOrNull = [](const std::string& Text) {
        return Text.empty() ? TJson(nullptr) : TJson(JsonText(Text));
    };
    const char* Source = Verdict.Source == TSignatureSource::Embedded  ? "embedded"
                         : Verdict.Source == TSignatureSource::Catalog ? "catalog"
                                                                       : nullptr;
    return TJson{{"status", Status},
                 {"signer", TextOrNull(Verdict.Signer)},
                 {"issuer", TextOrNull(Verdict.Issuer)},
                 {"source", Source ? TJson(Source) : TJson(nullptr)}};
}

// The inventory object of a library. Many processes map the same libraries:
// each distinct one is written once per report (the text depends only on its
// path, state and content, which the content path names) and then copied.
class TModuleTexts {
public:
    const std::string& Text(const TModule& Module) {
        FKey.assign(Module.File.ContentPath).append(1, '\n').append(Module.File.Path);
        FKey += static_cast<char>(Module.File.State);
        const auto [Found, New] = FTexts.try_emplace(FKey);
        if (New)
            Found->second = Object(Module).dump();
        return Found->second;
    }

private:
    static TJson Object(const TModule& Module) {
        const TVersionSource& Source = Module.Verdict.Source;
        const bool Listed = Source.Check != TPackageCheck::NotListed;
        const char* State = ImageStateName(Module.File.State);
        return TJson{{"path", JsonText(Module.File.Path)},
                     {"package", Listed ? Package(Source.PackageName, Source.PackageVersion, Source.PackageManager,
                                                  Source.Check == TPackageCheck::Verified)
                                        : TJson(nullptr)},
                     {"verified", Vouched(Module.Verdict)},
                     {"state", State ? TJson(State) : TJson(nullptr)},
                     {"signature", Signature(Module.Verdict.Signature)},
                     {"company", JsonText(Module.Verdict.CompanyName)}};
    }

    std::string FKey;
    std::unordered_map<std::string, std::string> FTexts;
};

// The libraries a process has loaded: how many nothing vouches for (null
// where they could not be listed), those preloaded, and the explanation.
void AddModules(TJson& Object, const TNodeData& Data) {
    std::size_t Unvouched = 0;
    TJson Preload = TJson::array();
    for (const TModule& Module : Data.Modules) {
        Unvouched += Vouched(Module.Verdict) ? 0 : 1;
        if (Module.File.Preload != TPreload::None)
            Preload.push_back(JsonText(Module.File.Path));
    }
    Object["unvouched_modules"] = Data.ModulesListed ? TJson(Unvouched) : TJson(nullptr);
    Object["preload"] = std::move(Preload);
    Object["explanation"] = JsonText(Data.Explanation);
}

// Ends the text of a process's object (its closing brace still to come) with
// every library it has loaded, the object's last key.
void AppendInventory(std::string& Line, const TNodeData& Data, TModuleTexts& Texts) {
    Line += ",\"modules\":";
    if (!Data.ModulesListed) {
        Line += "null";
        return;
    }
    std::size_t Size = Line.size() + 3;  // the brackets and the brace
    for (const TModule& Module : Data.Modules)
        Size += Texts.Text(Module).size() + 1;
    Line.reserve(Size);
    Line += '[';
    for (std::size_t Index = 0; Index < Data.Modules.size(); ++Index) {
        if (Index > 0)
            Line += ',';
        Line += Texts.Text(Data.Modules[Index]);
    }
    Line += ']';
}

void AddSnapshot(TJson& Object, const TSnapshot& Snapshot) {
    Object["host"] = JsonText(Snapshot.HostName);
    Object["time"] = Snapshot.Time;
}

std::string Line(const TJson& Object) { return Object.dump() + '\n'; }

std::string UtcText(std::chrono::sys_time<std::chrono::milliseconds> Time) {
    using namespace std::chrono;
    const auto Day = floor<days>(Time);
    const year_month_day Date{Day};
    const hh_mm_ss<milliseconds> Clock{Time - Day};
    char Buffer[40];
    std::snprintf(Buffer, sizeof Buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(Date.year()),
                  static_cast<unsigned>(Date.month()), static_cast<unsigned>(Date.day()),
                  static_cast<int>(Clock.hours().count()), static_cast<int>(Clock.minutes().count()),
                  static_cast<int>(Clock.seconds().count()), static_cast<int>(Clock.subseconds().count()));
    return Buffer;
}

void AddTimes(TJson& Object, const TProcessTimes& Times) {
    const std::string Start = Times.StartUtc ? FileTimeUtcText(*Times.StartUtc) : std::string();
    Object["start_time_utc"] = Start.empty() ? TJson(nullptr) : TJson(Start);
    const auto Seconds = [](const std::optional<TFileTime>& Duration) {
        return Duration ? TJson(static_cast<double>(*Duration) / 1e7) : TJson(nullptr);
    };
    Object["cpu_seconds"] = Seconds(Times.Cpu);
    Object["kernel_seconds"] = Seconds(Times.Kernel);
}

}  // namespace

std::string SnapshotTime(std::chrono::system_clock::time_point Time) {
    return UtcText(std::chrono::floor<std::chrono::milliseconds>(Time));
}

std::string FileTimeUtcText(TFileTime Time) {
    if (Time >> 63)
        return {};
    constexpr std::int64_t kUnixEpochMs = 11'644'473'600'000;  // 1970-01-01 as milliseconds since 1601
    const auto Ms = static_cast<std::int64_t>(Time / kFileTimeTicksPerMs) - kUnixEpochMs;
    return UtcText(std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(Ms)));
}

std::string JsonText(std::string_view SystemText) { return SystemToUtf8(OutputText(SystemText)); }

std::string JsonReportText(const TCatalogue& Catalogue, const TSnapshot& Snapshot, bool WithModules) {
    static const TNodeData kEmpty;
    TModuleTexts ModuleTexts;
    // The lines are joined at the end into one allocation: a report of many
    // libraries runs to megabytes, and growing it line by line copies it again and again.
    std::vector<std::string> Lines;
    Lines.reserve(Catalogue.TreeOrder().size());
    std::size_t Size = 0;
    for (const TCatalogueNode* Node : Catalogue.TreeOrder()) {
        const TNodeData& Data = Node->Data() ? *Node->Data() : kEmpty;
        const TCatalogueNode* Parent = Node->Parent();
        TJson Object;
        AddSnapshot(Object, Snapshot);
        // The fifteen fields of the tab-separated report.
        Object["name"] = JsonText(Node->Text);
        Object["path"] = JsonText(DirectoryPart(Data.ImagePath));
        Object["company"] = JsonText(Data.CompanyName);
        Object["description"] = JsonText(Data.FileDescription);
        Object["version"] = JsonText(Data.FileVersion);
        Object["pid"] = Data.ProcessId;
        Object["parent"] = Parent ? TJson(JsonText(Parent->Text)) : TJson(nullptr);
        Object["start_time"] = JsonText(Data.StartTime);
        Object["cpu_time"] = JsonText(Data.CpuTime);
        Object["kernel_time"] = JsonText(Data.KernelTime);
        Object["threads"] = Data.ThreadCount;
        Object["priority"] = JsonText(PriorityName(Data));
        Object["size"] = Data.ImageSize;
        Object["remark"] = JsonText(Data.Remark);
        Object["risk"] = JsonText(RiskName(Data));
        // Beyond them.
        Object["risk_level"] = static_cast<int>(Data.RiskLevel);
        Object["parent_pid"] = Parent && Parent->Data() ? TJson(Parent->Data()->ProcessId) : TJson(nullptr);
        Object["depth"] = Node->Level();
        Object["image_path"] = JsonText(Data.ImagePath);
        const char* State = ImageStateName(Data.ImageState);
        Object["image_state"] = State ? TJson(State) : TJson(nullptr);
        Object["language"] = JsonText(Data.LanguageName);
        Object["priority_class"] = Data.PriorityClass;
        AddTimes(Object, Data.Times);
        Object["package"] = Package(Data);
        Object["signature"] = Signature(Data.Signature);
        AddModules(Object, Data);
        std::string& Text = Lines.emplace_back(Object.dump());
        if (WithModules) {
            Text.pop_back();  // the object's closing brace
            AppendInventory(Text, Data, ModuleTexts);
            Text += '}';
        }
        Text += '\n';
        Size += Text.size();
    }
    std::string Text;
    Text.reserve(Size);
    for (const std::string& Line : Lines)
        Text += Line;
    return Text;
}

std::string JsonFileLine(const std::string& Path, const TNodeData& Data, const TSnapshot& Snapshot) {
    TJson Object;
    AddSnapshot(Object, Snapshot);
    Object["path"] = JsonText(Path);
    Object["company"] = JsonText(Data.CompanyName);
    Object["description"] = JsonText(Data.FileDescription);
    Object["version"] = JsonText(Data.FileVersion);
    Object["language"] = JsonText(Data.LanguageName);
    Object["remark"] = JsonText(Data.Remark);
    Object["risk"] = JsonText(RiskName(Data));
    Object["risk_level"] = static_cast<int>(Data.RiskLevel);
    Object["package"] = Package(Data);
    Object["signature"] = Signature(Data.Signature);
    Object["explanation"] = JsonText(Data.Explanation);
    return Line(Object);
}

}  // namespace quorvane

#include "main/JsonReport.h"

#include <cstdint>
#include <cstdio>
#include <optional>

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

TJson Package(const TNodeData& Data) {
    if (Data.PackageName.empty())
        return nullptr;
    return TJson{{"name", JsonText(Data.PackageName)},
                 {"version", JsonText(Data.PackageVersion)},
                 {"manager", JsonText(Data.PackageManager)},
                 {"verified", Data.PackageVerified}};
}

// The verdict on the image file's signature; null where none was made.
TJson Signature(const TNodeData& Data) {
    const TSignature& Verdict = Data.Signature;
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

std::string JsonReportText(const TCatalogue& Catalogue, const TSnapshot& Snapshot) {
    static const TNodeData kEmpty;
    std::string Text;
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
        Object["signature"] = Signature(Data);
        Object["explanation"] = JsonText(Data.Explanation);
        Text += Line(Object);
    }
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
    Object["signature"] = Signature(Data);
    Object["explanation"] = JsonText(Data.Explanation);
    return Line(Object);
}

}  // namespace quorvane

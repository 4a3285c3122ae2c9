#include "main/JsonReport.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "catalogue/Catalogue.h"
#include "catalogue/PathText.h"
#include "catalogue/Risk.h"
#include "common/SystemText.h"

namespace quorvane {
namespace {

// A report holds some 35 keys for each of thousands of processes, so its
// objects are written as text directly, keys in a fixed order, escaped as the
// JSON library escapes them (the tests read every line back through it and
// expect the same bytes).
void AppendEscaped(std::string& Out, std::string_view Utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char C : Utf8) {
        const auto Byte = static_cast<unsigned char>(C);
        switch (C) {
            case '"': Out += "\\\""; break;
            case '\\': Out += "\\\\"; break;
            case '\b': Out += "\\b"; break;
            case '\f': Out += "\\f"; break;
            case '\n': Out += "\\n"; break;
            case '\r': Out += "\\r"; break;
            case '\t': Out += "\\t"; break;
            default:
                if (Byte < 0x20) {
                    Out += "\\u00";
                    Out += kHex[Byte >> 4];
                    Out += kHex[Byte & 0xF];
                } else {
                    Out += C;
                }
        }
    }
}

// Text in the system's encoding, as a JSON string.
void AppendText(std::string& Out, std::string_view SystemText) {
    Out += '"';
    // Nearly every text is ASCII, which JsonText leaves as it is.
    bool Ascii = true;
    for (const char C : SystemText)
        Ascii = Ascii && static_cast<unsigned char>(C) < 0x80;
    if (Ascii)
        AppendEscaped(Out, SystemText);
    else
        AppendEscaped(Out, JsonText(SystemText));
    Out += '"';
}

// One JSON object written key by key.
class TObjectText {
public:
    explicit TObjectText(std::string& Out) : FOut(Out) { FOut += '{'; }
    ~TObjectText() { FOut += '}'; }
    TObjectText(const TObjectText&) = delete;
    TObjectText& operator=(const TObjectText&) = delete;

    // The key; its value is to be appended to Out().
    std::string& Key(std::string_view Name) {
        if (!FFirst)
            FOut += ',';
        FFirst = false;
        FOut += '"';
        FOut += Name;
        FOut += "\":";
        return FOut;
    }
    void Text(std::string_view Name, std::string_view SystemText) { AppendText(Key(Name), SystemText); }
    void TextOrNull(std::string_view Name, const char* Ascii) {
        if (Ascii)
            Text(Name, Ascii);
        else
            Null(Name);
    }
    void Null(std::string_view Name) { Key(Name) += "null"; }
    void Bool(std::string_view Name, bool Value) { Key(Name) += Value ? "true" : "false"; }
    template <typename T>
    void Number(std::string_view Name, T Value) {
        char Digits[24];
        const auto End = std::to_chars(Digits, Digits + sizeof Digits, Value).ptr;
        Key(Name).append(Digits, End);
    }
    // A fraction as the JSON library writes it (shortest form that reads back the same).
    void Fraction(std::string_view Name, double Value) { Key(Name) += nlohmann::json(Value).dump(); }

private:
    std::string& FOut;
    bool FFirst = true;
};

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

void AddPackage(TObjectText& Object, const std::string& Name, const std::string& Version, const std::string& Manager,
                bool Verified) {
    if (Name.empty()) {
        Object.Null("package");
        return;
    }
    TObjectText Package(Object.Key("package"));
    Package.Text("name", Name);
    Package.Text("version", Version);
    Package.Text("manager", Manager);
    Package.Bool("verified", Verified);
}

void AddPackage(TObjectText& Object, const TNodeData& Data) {
    AddPackage(Object, Data.PackageName, Data.PackageVersion, Data.PackageManager, Data.PackageVerified);
}

// The verdict on a file's signature; null where none was made.
void AddSignature(TObjectText& Object, const TSignature& Verdict) {
    const char* Status = nullptr;
    switch (Verdict.Status) {
        case TSignatureStatus::Trusted: Status = "trusted"; break;
        case TSignatureStatus::Untrusted: Status = "untrusted"; break;
        case TSignatureStatus::Tampered: Status = "tampered"; break;
        case TSignatureStatus::Unsigned: Status = "unsigned"; break;
        case TSignatureStatus::Error: Status = "error"; break;
        case TSignatureStatus::NotChecked:
        case TSignatureStatus::Pending: break;
    }
    if (!Status) {
        Object.Null("signature");
        return;
    }
    TObjectText Signature(Object.Key("signature"));
    Signature.Text("status", Status);
    const auto TextOrNull = [&Signature](std::string_view Name, const std::string& Text) {
        if (Text.empty())
            Signature.Null(Name);
        else
            Signature.Text(Name, Text);
    };
    TextOrNull("signer", Verdict.Signer);
    TextOrNull("issuer", Verdict.Issuer);
    Signature.TextOrNull("source", Verdict.Source == TSignatureSource::Embedded  ? "embedded"
                                   : Verdict.Source == TSignatureSource::Catalog ? "catalog"
                                                                                 : nullptr);
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
            Write(Found->second, Module);
        return Found->second;
    }

private:
    static void Write(std::string& Out, const TModule& Module) {
        const TModuleVerdict& Verdict = *Module.Verdict;
        const TVersionSource& Source = Verdict.Source;
        TObjectText Object(Out);
        Object.Text("path", Module.File.Path);
        if (Source.Check == TPackageCheck::NotListed)
            Object.Null("package");
        else
            AddPackage(Object, Source.PackageName, Source.PackageVersion, Source.PackageManager,
                       Source.Check == TPackageCheck::Verified);
        Object.Bool("verified", Vouched(Verdict));
        Object.TextOrNull("state", ImageStateName(Module.File.State));
        AddSignature(Object, Verdict.Signature);
        Object.Text("company", Verdict.CompanyName);
    }

    std::string FKey;
    std::unordered_map<std::string, std::string> FTexts;
};

// The libraries a process has loaded: how many nothing vouches for (null
// where they could not be listed), those preloaded, and the explanation.
void AddModules(TObjectText& Object, const TNodeData& Data) {
    std::size_t Unvouched = 0;
    for (const TModule& Module : Data.Modules)
        Unvouched += Vouched(*Module.Verdict) ? 0 : 1;
    if (Data.ModulesListed)
        Object.Number("unvouched_modules", Unvouched);
    else
        Object.Null("unvouched_modules");
    std::string& Preload = Object.Key("preload");
    Preload += '[';
    bool First = true;
    for (const TModule& Module : Data.Modules) {
        if (Module.File.Preload == TPreload::None)
            continue;
        if (!First)
            Preload += ',';
        First = false;
        AppendText(Preload, Module.File.Path);
    }
    Preload += ']';
    Object.Text("explanation", Data.Explanation);
}

// Every library the process has loaded, the object's last key.
void AddInventory(TObjectText& Object, const TNodeData& Data, TModuleTexts& Texts) {
    if (!Data.ModulesListed) {
        Object.Null("modules");
        return;
    }
    std::string& Inventory = Object.Key("modules");
    Inventory += '[';
    for (std::size_t Index = 0; Index < Data.Modules.size(); ++Index) {
        if (Index > 0)
            Inventory += ',';
        Inventory += Texts.Text(Data.Modules[Index]);
    }
    Inventory += ']';
}

void AddSnapshot(TObjectText& Object, const TSnapshot& Snapshot) {
    Object.Text("host", Snapshot.HostName);
    Object.Text("time", Snapshot.Time);
}

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

void AddTimes(TObjectText& Object, const TProcessTimes& Times) {
    const std::string Start = Times.StartUtc ? FileTimeUtcText(*Times.StartUtc) : std::string();
    if (Start.empty())
        Object.Null("start_time_utc");
    else
        Object.Text("start_time_utc", Start);
    const auto Seconds = [&Object](std::string_view Name, const std::optional<TFileTime>& Duration) {
        if (Duration)
            Object.Fraction(Name, static_cast<double>(*Duration) / 1e7);
        else
            Object.Null(Name);
    };
    Seconds("cpu_seconds", Times.Cpu);
    Seconds("kernel_seconds", Times.Kernel);
}

void AppendProcessLine(std::string& Out, const TCatalogueNode& Node, const TSnapshot& Snapshot,
                       TModuleTexts* Inventory) {
    static const TNodeData kEmpty;
    const TNodeData& Data = Node.Data() ? *Node.Data() : kEmpty;
    const TCatalogueNode* Parent = Node.Parent();
    {
        TObjectText Object(Out);
        AddSnapshot(Object, Snapshot);
        // The fifteen fields of the tab-separated report.
        Object.Text("name", Node.Text);
        Object.Text("path", DirectoryPart(Data.ImagePath));
        Object.Text("company", Data.CompanyName);
        Object.Text("description", Data.FileDescription);
        Object.Text("version", Data.FileVersion);
        Object.Number("pid", Data.ProcessId);
        if (Parent)
            Object.Text("parent", Parent->Text);
        else
            Object.Null("parent");
        Object.Text("start_time", Data.StartTime);
        Object.Text("cpu_time", Data.CpuTime);
        Object.Text("kernel_time", Data.KernelTime);
        Object.Number("threads", Data.ThreadCount);
        Object.Text("priority", PriorityName(Data));
        Object.Number("size", Data.ImageSize);
        Object.Text("remark", Data.Remark);
        Object.Text("risk", RiskName(Data));
        // Beyond them.
        Object.Number("risk_level", static_cast<int>(Data.RiskLevel));
        if (Parent && Parent->Data())
            Object.Number("parent_pid", Parent->Data()->ProcessId);
        else
            Object.Null("parent_pid");
        Object.Number("depth", Node.Level());
        Object.Text("image_path", Data.ImagePath);
        Object.TextOrNull("image_state", ImageStateName(Data.ImageState));
        Object.Text("language", Data.LanguageName);
        Object.Number("priority_class", Data.PriorityClass);
        AddTimes(Object, Data.Times);
        AddPackage(Object, Data);
        AddSignature(Object, Data.Signature);
        AddModules(Object, Data);
        if (Inventory)
            AddInventory(Object, Data, *Inventory);
    }
    Out += '\n';
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

bool WriteJsonReport(const TCatalogue& Catalogue, const TSnapshot& Snapshot, bool WithModules,
                     const std::function<bool(std::string_view)>& Write) {
    // Handed on in pieces: with every library listed a report runs to megabytes,
    // and memory that is touched once costs a page fault per page.
    constexpr std::size_t kPiece = 64 * 1024;
    std::optional<TModuleTexts> Inventory;
    if (WithModules)
        Inventory.emplace();
    std::string Text;
    Text.reserve(2 * kPiece);
    for (const TCatalogueNode* Node : Catalogue.TreeOrder()) {
        AppendProcessLine(Text, *Node, Snapshot, Inventory ? &*Inventory : nullptr);
        if (Text.size() >= kPiece) {
            if (!Write(Text))
                return false;
            Text.clear();
        }
    }
    return Text.empty() || Write(Text);
}

std::string JsonReportText(const TCatalogue& Catalogue, const TSnapshot& Snapshot, bool WithModules) {
    std::string Text;
    WriteJsonReport(Catalogue, Snapshot, WithModules, [&Text](std::string_view Piece) {
        Text += Piece;
        return true;
    });
    return Text;
}

std::string JsonFileLine(const std::string& Path, const TNodeData& Data, const TSnapshot& Snapshot) {
    std::string Line;
    {
        TObjectText Object(Line);
        AddSnapshot(Object, Snapshot);
        Object.Text("path", Path);
        Object.Text("company", Data.CompanyName);
        Object.Text("description", Data.FileDescription);
        Object.Text("version", Data.FileVersion);
        Object.Text("language", Data.LanguageName);
        Object.Text("remark", Data.Remark);
        Object.Text("risk", RiskName(Data));
        Object.Number("risk_level", static_cast<int>(Data.RiskLevel));
        AddPackage(Object, Data);
        AddSignature(Object, Data.Signature);
        Object.Text("explanation", Data.Explanation);
    }
    return Line + '\n';
}

}  // namespace quorvane

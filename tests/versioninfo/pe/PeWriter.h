// A small writer of PE files for tests: headers (PE32 or PE32+), one section
// and a resource tree with a version resource, an icon group and other
// resources as chosen. Header-only and free of platform headers, so tests and
// benchmarks of both builds can use it without a library of their own. It
// has its own UTF-16 and node writing, independent of the reader it tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::pewriter {

using TBytes = std::vector<std::uint8_t>;

inline void Put16(TBytes& Out, std::size_t At, std::uint16_t V) {
    if (Out.size() < At + 2)
        Out.resize(At + 2);
    Out[At] = static_cast<std::uint8_t>(V);
    Out[At + 1] = static_cast<std::uint8_t>(V >> 8);
}
inline void Put32(TBytes& Out, std::size_t At, std::uint32_t V) {
    Put16(Out, At, static_cast<std::uint16_t>(V));
    Put16(Out, At + 2, static_cast<std::uint16_t>(V >> 16));
}
inline void Put64(TBytes& Out, std::size_t At, std::uint64_t V) {
    Put32(Out, At, static_cast<std::uint32_t>(V));
    Put32(Out, At + 4, static_cast<std::uint32_t>(V >> 32));
}
inline void Add16(TBytes& Out, std::uint16_t V) { Put16(Out, Out.size(), V); }
inline void Add32(TBytes& Out, std::uint32_t V) { Put32(Out, Out.size(), V); }
inline void Pad4(TBytes& Out) {
    while (Out.size() % 4)
        Out.push_back(0);
}

// UTF-8 to UTF-16LE (valid input only: the tests choose their texts).
inline void AddUtf16(TBytes& Out, const std::string& Utf8) {
    for (std::size_t I = 0; I < Utf8.size();) {
        const auto C = static_cast<unsigned char>(Utf8[I]);
        std::uint32_t Cp = C;
        std::size_t N = 1;
        if (C >= 0xF0)
            Cp = C & 0x07, N = 4;
        else if (C >= 0xE0)
            Cp = C & 0x0F, N = 3;
        else if (C >= 0xC0)
            Cp = C & 0x1F, N = 2;
        for (std::size_t K = 1; K < N && I + K < Utf8.size(); ++K)
            Cp = (Cp << 6) | (static_cast<unsigned char>(Utf8[I + K]) & 0x3F);
        I += N;
        if (Cp >= 0x10000) {
            Add16(Out, static_cast<std::uint16_t>(0xD800 + ((Cp - 0x10000) >> 10)));
            Add16(Out, static_cast<std::uint16_t>(0xDC00 + ((Cp - 0x10000) & 0x3FF)));
        } else {
            Add16(Out, static_cast<std::uint16_t>(Cp));
        }
    }
}

// One node of a version block: key, value, children; wLength is computed.
struct TNode {
    std::string Key;
    TBytes Value;            // raw bytes of the value
    std::uint16_t ValueLength = 0;  // as stored: units for text, bytes for binary
    std::uint16_t Type = 0;  // 1 text
    std::vector<TNode> Children;

    static TNode Text(std::string Key, const std::string& Utf8, bool Terminated = true) {
        TNode Node{std::move(Key), {}, 0, 1, {}};
        AddUtf16(Node.Value, Utf8);
        if (Terminated)
            Add16(Node.Value, 0);
        Node.ValueLength = static_cast<std::uint16_t>(Node.Value.size() / 2);
        return Node;
    }
    static TNode Binary(std::string Key, TBytes Value) {
        TNode Node{std::move(Key), std::move(Value), 0, 0, {}};
        Node.ValueLength = static_cast<std::uint16_t>(Node.Value.size());
        return Node;
    }
    static TNode Group(std::string Key, std::vector<TNode> Children) {
        return TNode{std::move(Key), {}, 0, 1, std::move(Children)};
    }

    void WriteTo(TBytes& Out) const {
        Pad4(Out);
        const std::size_t Start = Out.size();
        Add16(Out, 0);
        Add16(Out, ValueLength);
        Add16(Out, Type);
        AddUtf16(Out, Key);
        Add16(Out, 0);
        Pad4(Out);
        Out.insert(Out.end(), Value.begin(), Value.end());
        for (const TNode& Child : Children)
            Child.WriteTo(Out);
        Put16(Out, Start, static_cast<std::uint16_t>(Out.size() - Start));
    }
};

struct TFixedInfo {
    std::uint32_t FileVersionMS = 0x00010002;
    std::uint32_t FileVersionLS = 0x00030004;
    std::uint32_t ProductVersionMS = 0x00010002;
    std::uint32_t ProductVersionLS = 0x00030004;
    std::uint32_t FileDateMS = 0;
    std::uint32_t FileDateLS = 0;

    TBytes Bytes() const {
        TBytes Out;
        for (std::uint32_t V : {0xFEEF04BDu, 0x00010000u, FileVersionMS, FileVersionLS, ProductVersionMS,
                                ProductVersionLS, 0x3Fu, 0u, 0x40004u, 1u, 0u, FileDateMS, FileDateLS})
            Add32(Out, V);
        return Out;
    }
};

struct TStringTable {
    std::string Key;  // e.g. "040704E4"
    std::vector<std::pair<std::string, std::string>> Strings;
};

// The content of a VS_VERSIONINFO block. Translation is raw bytes so a test can
// make it shorter than one entry.
struct TVersionRecipe {
    std::optional<TFixedInfo> Fixed = TFixedInfo{};
    std::vector<TStringTable> Tables;
    std::optional<TBytes> Translation;

    TVersionRecipe& AddTranslation(std::uint16_t Language, std::uint16_t CodePage) {
        if (!Translation)
            Translation = TBytes{};
        Add16(*Translation, Language);
        Add16(*Translation, CodePage);
        return *this;
    }

    TBytes Build() const {
        TNode Root{"VS_VERSION_INFO", Fixed ? Fixed->Bytes() : TBytes{}, 0, 0, {}};
        Root.ValueLength = static_cast<std::uint16_t>(Root.Value.size());
        if (!Tables.empty()) {
            std::vector<TNode> TableNodes;
            for (const TStringTable& Table : Tables) {
                std::vector<TNode> Strings;
                for (const auto& [Key, Text] : Table.Strings)
                    Strings.push_back(Text.empty() ? TNode::Text(Key, "", false) : TNode::Text(Key, Text));
                TableNodes.push_back(TNode::Group(Table.Key, std::move(Strings)));
            }
            Root.Children.push_back(TNode::Group("StringFileInfo", std::move(TableNodes)));
        }
        if (Translation)
            Root.Children.push_back(TNode::Group("VarFileInfo", {TNode::Binary("Translation", *Translation)}));
        TBytes Out;
        Root.WriteTo(Out);
        return Out;
    }
};

// A German (0407, code page 1252) version block with company, description and version.
inline TVersionRecipe SampleVersion() {
    TVersionRecipe Recipe;
    Recipe.AddTranslation(0x0407, 0x04E4);
    Recipe.Tables.push_back({"040704E4",
                           {{"CompanyName", "Müller Software GmbH"},
                            {"FileDescription", "Prüfprogramm"},
                            {"FileVersion", "1.2.3.4"},
                            {"ProductName", "Prüfer"},
                            {"ProductVersion", "1.2"}}});
    return Recipe;
}

constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kRtVersion = 16;
constexpr std::uint16_t kRtManifest = 24;

struct TResource {
    std::uint16_t Type;
    std::uint16_t Name;
    std::uint16_t Language;
    TBytes Data;
    std::string NameText = {};  // not empty: a named resource (Name unused), listed before the ids
};

struct TPeRecipe {
    bool Pe32Plus = false;
    bool ResourceSection = true;  // false: no resource directory at all
    std::vector<TResource> Resources;

    TPeRecipe& Version(const TBytes& Block, std::uint16_t Language = 0x0407) {
        Resources.push_back({kRtVersion, 1, Language, Block});
        return *this;
    }
    TPeRecipe& Manifest() {
        const std::string Xml = "<assembly/>";
        Resources.push_back({kRtManifest, 1, 0x0409, TBytes(Xml.begin(), Xml.end())});
        return *this;
    }
    // Icon images (opaque bytes here) as RT_ICON 1..n with one group naming them.
    TPeRecipe& Icons(const std::vector<TBytes>& Images) {
        TBytes Group;
        Add16(Group, 0);
        Add16(Group, 1);
        Add16(Group, static_cast<std::uint16_t>(Images.size()));
        for (std::size_t I = 0; I < Images.size(); ++I) {
            Group.push_back(static_cast<std::uint8_t>(16 * (I + 1)));  // width
            Group.push_back(static_cast<std::uint8_t>(16 * (I + 1)));  // height
            Group.push_back(0);
            Group.push_back(0);
            Add16(Group, 1);   // planes
            Add16(Group, 32);  // bit count
            Add32(Group, static_cast<std::uint32_t>(Images[I].size()));
            Add16(Group, static_cast<std::uint16_t>(I + 1));
            Resources.push_back({kRtIcon, static_cast<std::uint16_t>(I + 1), 0x0409, Images[I]});
        }
        Resources.push_back({kRtGroupIcon, 1, 0x0409, Group});
        return *this;
    }
};

// Where the writer put things, for tests that damage a file on purpose.
struct TPeLayout {
    std::size_t NtHeader = 0;        // "PE\0\0"
    std::size_t OptionalHeader = 0;
    std::size_t DirectoryCount = 0;  // NumberOfRvaAndSizes
    std::size_t ResourceDirectory = 0;  // DataDirectory[2]
    std::size_t SectionTable = 0;
    std::size_t ResourceRoot = 0;    // file offset of the root directory table
    std::size_t VersionTypeEntry = 0;   // root entry of RT_VERSION
    std::size_t VersionLanguageEntry = 0;  // its language-level entry
    std::size_t VersionDataEntry = 0;
    std::size_t VersionData = 0;
    std::size_t VersionSize = 0;
};

struct TPeFileImage {
    TBytes Bytes;
    TPeLayout Layout;
};

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionFileOffset = 0x400;

inline TPeFileImage BuildPe(const TPeRecipe& Recipe) {
    TPeFileImage Image;
    TPeLayout& L = Image.Layout;
    TBytes& F = Image.Bytes;
    F.assign(kSectionFileOffset, 0);
    F[0] = 'M';
    F[1] = 'Z';
    Put32(F, 0x3C, 0x80);
    L.NtHeader = 0x80;
    F[0x80] = 'P';
    F[0x81] = 'E';
    const std::uint16_t OptionalSize = Recipe.Pe32Plus ? 240 : 224;
    Put16(F, 0x84, Recipe.Pe32Plus ? 0x8664 : 0x014C);  // machine
    Put16(F, 0x86, 1);                                 // sections
    Put16(F, 0x94, OptionalSize);
    Put16(F, 0x96, Recipe.Pe32Plus ? 0x0022 : 0x0102);  // executable image
    const std::size_t O = 0x98;
    L.OptionalHeader = O;
    Put16(F, O, Recipe.Pe32Plus ? 0x20B : 0x10B);
    Put32(F, O + 16, kSectionRva);  // entry point (never run)
    Put32(F, O + 20, kSectionRva);
    if (Recipe.Pe32Plus)
        Put64(F, O + 24, 0x140000000ull);
    else
        Put32(F, O + 28, 0x400000);
    Put32(F, O + 32, 0x1000);  // section alignment
    Put32(F, O + 36, 0x200);   // file alignment
    Put16(F, O + 40, 6);       // OS version
    Put16(F, O + 48, 6);       // subsystem version
    Put32(F, O + 60, kSectionFileOffset);  // size of headers
    Put16(F, O + 68, 2);                   // GUI subsystem
    const std::size_t Count = O + (Recipe.Pe32Plus ? 108 : 92);
    L.DirectoryCount = Count;
    Put32(F, Count, 16);
    L.ResourceDirectory = Count + 4 + 2 * 8;
    L.SectionTable = O + OptionalSize;

    // Resource tree: type → name → language, sorted by id as linkers write it.
    TBytes R;
    // Name key: (0, text) for a named resource, (1, id) as text-free id; named first.
    using TNameKey = std::pair<int, std::string>;
    auto KeyOf = [](const TResource& Res) {
        return Res.NameText.empty() ? TNameKey{1, std::string(5 - std::to_string(Res.Name).size(), '0') + std::to_string(Res.Name)}
                                    : TNameKey{0, Res.NameText};
    };
    std::map<std::uint16_t, std::map<TNameKey, std::vector<const TResource*>>> Tree;
    for (const TResource& Res : Recipe.Resources)
        Tree[Res.Type][KeyOf(Res)].push_back(&Res);
    auto DirSize = [](std::size_t Entries) { return 16 + 8 * Entries; };
    std::size_t Pos = DirSize(Tree.size());
    std::map<std::uint16_t, std::size_t> NameDir;
    std::map<std::pair<std::uint16_t, TNameKey>, std::size_t> LangDir;
    for (auto& [Type, Names] : Tree) {
        NameDir[Type] = Pos;
        Pos += DirSize(Names.size());
    }
    for (auto& [Type, Names] : Tree)
        for (auto& [Name, Langs] : Names) {
            LangDir[{Type, Name}] = Pos;
            Pos += DirSize(Langs.size());
        }
    std::map<const TResource*, std::size_t> DataEntry;
    for (const TResource& Res : Recipe.Resources) {
        DataEntry[&Res] = Pos;
        Pos += 16;
    }
    // Names as counted UTF-16 strings.
    std::map<std::string, std::size_t> NameString;
    for (const TResource& Res : Recipe.Resources)
        if (!Res.NameText.empty() && !NameString.count(Res.NameText)) {
            NameString[Res.NameText] = Pos;
            Pos += 2 + 2 * Res.NameText.size();
        }
    std::map<const TResource*, std::size_t> DataAt;
    // Version data last, so that cutting the file's end cuts into it.
    std::vector<const TResource*> Order;
    for (const TResource& Res : Recipe.Resources)
        if (Res.Type != kRtVersion)
            Order.push_back(&Res);
    for (const TResource& Res : Recipe.Resources)
        if (Res.Type == kRtVersion)
            Order.push_back(&Res);
    for (const TResource* Res : Order) {
        Pos = (Pos + 3) & ~std::size_t{3};
        DataAt[Res] = Pos;
        Pos += Res->Data.size();
    }
    R.assign(Pos, 0);
    auto WriteDir = [&](std::size_t At, std::size_t Entries, std::size_t Named = 0) {
        Put16(R, At + 12, static_cast<std::uint16_t>(Named));
        Put16(R, At + 14, static_cast<std::uint16_t>(Entries - Named));
    };
    for (const auto& [Text, At] : NameString) {
        Put16(R, At, static_cast<std::uint16_t>(Text.size()));
        for (std::size_t I = 0; I < Text.size(); ++I)
            Put16(R, At + 2 + 2 * I, static_cast<std::uint8_t>(Text[I]));
    }
    WriteDir(0, Tree.size());
    std::size_t TypeIndex = 0;
    for (auto& [Type, Names] : Tree) {
        const std::size_t Entry = 16 + 8 * TypeIndex++;
        Put32(R, Entry, Type);
        Put32(R, Entry + 4, 0x80000000u | static_cast<std::uint32_t>(NameDir[Type]));
        if (Type == kRtVersion)
            L.VersionTypeEntry = kSectionFileOffset + Entry;
        std::size_t Named = 0;
        for (auto& [Name, Langs] : Names)
            Named += Name.first == 0 ? 1 : 0;
        WriteDir(NameDir[Type], Names.size(), Named);
        std::size_t NameIndex = 0;
        for (auto& [Name, Langs] : Names) {
            const std::size_t NameEntry = NameDir[Type] + 16 + 8 * NameIndex++;
            Put32(R, NameEntry, Name.first == 0 ? 0x80000000u | static_cast<std::uint32_t>(NameString[Name.second])
                                                : Langs[0]->Name);
            Put32(R, NameEntry + 4, 0x80000000u | static_cast<std::uint32_t>(LangDir[{Type, Name}]));
            WriteDir(LangDir[{Type, Name}], Langs.size());
            for (std::size_t I = 0; I < Langs.size(); ++I) {
                const std::size_t LangEntry = LangDir[{Type, Name}] + 16 + 8 * I;
                Put32(R, LangEntry, Langs[I]->Language);
                Put32(R, LangEntry + 4, static_cast<std::uint32_t>(DataEntry[Langs[I]]));
                if (Type == kRtVersion && I == 0 && NameIndex == 1)
                    L.VersionLanguageEntry = kSectionFileOffset + LangEntry;
            }
        }
    }
    for (const TResource& Res : Recipe.Resources) {
        Put32(R, DataEntry[&Res], kSectionRva + static_cast<std::uint32_t>(DataAt[&Res]));
        Put32(R, DataEntry[&Res] + 4, static_cast<std::uint32_t>(Res.Data.size()));
        std::copy(Res.Data.begin(), Res.Data.end(), R.begin() + static_cast<std::ptrdiff_t>(DataAt[&Res]));
        if (Res.Type == kRtVersion && L.VersionData == 0) {
            L.VersionDataEntry = kSectionFileOffset + DataEntry[&Res];
            L.VersionData = kSectionFileOffset + DataAt[&Res];
            L.VersionSize = Res.Data.size();
        }
    }
    if (!Recipe.ResourceSection)
        R.assign(64, 0xCC);  // a section of plain data, no resource directory
    L.ResourceRoot = kSectionFileOffset;

    const std::uint32_t RawSize = static_cast<std::uint32_t>((R.size() + 0x1FF) & ~std::size_t{0x1FF});
    const std::size_t S = L.SectionTable;
    const char* Name = Recipe.ResourceSection ? ".rsrc" : ".data";
    for (int I = 0; Name[I]; ++I)
        F[S + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(Name[I]);
    Put32(F, S + 8, static_cast<std::uint32_t>(R.size()));  // virtual size
    Put32(F, S + 12, kSectionRva);
    Put32(F, S + 16, RawSize);
    Put32(F, S + 20, kSectionFileOffset);
    Put32(F, S + 36, 0x40000040);  // initialised data, readable
    Put32(F, O + 56, kSectionRva + ((static_cast<std::uint32_t>(R.size()) + 0xFFF) & ~0xFFFu));  // size of image
    if (Recipe.ResourceSection) {
        Put32(F, L.ResourceDirectory, kSectionRva);
        Put32(F, L.ResourceDirectory + 4, static_cast<std::uint32_t>(R.size()));
    }
    R.resize(RawSize, 0);
    F.insert(F.end(), R.begin(), R.end());
    return Image;
}

}  // namespace quorvane::pewriter

#include "versioninfo/linux/PeVersionResource.h"

#include <optional>
#include <unordered_map>

#include "versioninfo/VersionApi.h"
#include "versioninfo/linux/ByteSpan.h"

namespace quorvane {

namespace {

constexpr std::uint32_t kRtIcon = 3;
constexpr std::uint32_t kRtGroupIcon = 14;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionInfoId = 1;

constexpr std::uint64_t kMaxVersionBytes = 0x10000;  // wLength is 16 bits
constexpr std::uint64_t kMaxIconBytes = 4u << 20;    // one image
constexpr std::uint64_t kMaxIconFileBytes = 16u << 20;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;

struct TSection {
    std::uint32_t VirtualAddress = 0;
    std::uint32_t RawSize = 0;
    std::uint32_t RawOffset = 0;
};

struct TResourceEntry {
    std::uint32_t Name = 0;    // id, or string offset with the top bit set
    std::uint32_t Target = 0;  // data entry, or subdirectory with the top bit set
};

// A PE file's headers as far as resources need them. All reads go through
// Read, which refuses anything outside the file.
class TPeFile {
public:
    TPeFile(const TReadAt& ReadAt, std::uint64_t FileSize) : FReadAt(ReadAt), FFileSize(FileSize) {}

    // False for anything that is not a PE image with a resource directory.
    bool Open();

    // Entries of the resource directory table at Offset (relative to the
    // resource directory's start), named entries first, as the file has them.
    bool ReadDirectory(std::uint32_t Offset, std::vector<TResourceEntry>& Entries);

    // The data of a data entry at Offset, at most MaxBytes of it.
    bool ReadData(std::uint32_t Offset, std::uint64_t MaxBytes, std::vector<std::uint8_t>& Data);

    // Target of the entry for Id (a type or name), or of the first entry when
    // Id is empty; nullopt when there is none.
    static std::optional<std::uint32_t> Find(const std::vector<TResourceEntry>& Entries,
                                             std::optional<std::uint32_t> Id);

private:
    bool Read(std::uint64_t Offset, std::uint64_t Count, std::vector<std::uint8_t>& Buffer);
    // File offset of the RVA range [Rva, Rva + Count) inside one section's raw data.
    bool RvaToOffset(std::uint64_t Rva, std::uint64_t Count, std::uint64_t& Offset) const;

    const TReadAt& FReadAt;
    std::uint64_t FFileSize;
    std::vector<TSection> FSections;
    std::uint32_t FResourceRva = 0;
};

bool TPeFile::Read(std::uint64_t Offset, std::uint64_t Count, std::vector<std::uint8_t>& Buffer) {
    if (Offset > FFileSize || Count > FFileSize - Offset)
        return false;
    Buffer.resize(static_cast<std::size_t>(Count));
    return Count == 0 || FReadAt(Offset, Buffer.data(), static_cast<std::size_t>(Count));
}

bool TPeFile::RvaToOffset(std::uint64_t Rva, std::uint64_t Count, std::uint64_t& Offset) const {
    for (const TSection& Section : FSections) {
        if (Rva >= Section.VirtualAddress && Rva - Section.VirtualAddress <= Section.RawSize &&
            Count <= Section.RawSize - (Rva - Section.VirtualAddress)) {
            Offset = std::uint64_t{Section.RawOffset} + (Rva - Section.VirtualAddress);
            return true;
        }
    }
    return false;
}

bool TPeFile::Open() {
    std::vector<std::uint8_t> Buffer;
    if (!Read(0, 64, Buffer))
        return false;
    TByteSpan Dos(Buffer.data(), Buffer.size());
    std::uint16_t Magic = 0;
    std::uint32_t NtOffset = 0;
    if (!Dos.ReadU16(0, Magic) || Magic != 0x5A4D || !Dos.ReadU32(0x3C, NtOffset))
        return false;

    // "PE\0\0" and the COFF file header.
    if (!Read(NtOffset, 24, Buffer))
        return false;
    TByteSpan Nt(Buffer.data(), Buffer.size());
    std::uint32_t Signature = 0;
    std::uint16_t SectionCount = 0;
    std::uint16_t OptionalSize = 0;
    if (!Nt.ReadU32(0, Signature) || Signature != 0x00004550 || !Nt.ReadU16(6, SectionCount) ||
        !Nt.ReadU16(20, OptionalSize))
        return false;

    // The optional header up to the resource directory entry (index 2).
    const std::uint64_t OptionalOffset = std::uint64_t{NtOffset} + 24;
    if (!Read(OptionalOffset, OptionalSize, Buffer))
        return false;
    TByteSpan Optional(Buffer.data(), Buffer.size());
    std::uint16_t OptionalMagic = 0;
    if (!Optional.ReadU16(0, OptionalMagic))
        return false;
    std::uint64_t CountOffset = 0;
    if (OptionalMagic == 0x10B)
        CountOffset = 92;  // PE32
    else if (OptionalMagic == 0x20B)
        CountOffset = 108;  // PE32+
    else
        return false;
    std::uint32_t DirectoryCount = 0;
    std::uint32_t ResourceSize = 0;
    if (!Optional.ReadU32(CountOffset, DirectoryCount) || DirectoryCount < 3 ||
        !Optional.ReadU32(CountOffset + 4 + 2 * 8, FResourceRva) ||
        !Optional.ReadU32(CountOffset + 4 + 2 * 8 + 4, ResourceSize) || FResourceRva == 0 || ResourceSize == 0)
        return false;

    if (!Read(OptionalOffset + OptionalSize, std::uint64_t{SectionCount} * 40, Buffer))
        return false;
    TByteSpan Table(Buffer.data(), Buffer.size());
    FSections.clear();
    for (std::uint64_t I = 0; I < SectionCount; ++I) {
        TSection Section;
        Table.ReadU32(I * 40 + 12, Section.VirtualAddress);
        Table.ReadU32(I * 40 + 16, Section.RawSize);
        Table.ReadU32(I * 40 + 20, Section.RawOffset);
        FSections.push_back(Section);
    }
    std::uint64_t Ignored = 0;
    return RvaToOffset(FResourceRva, 16, Ignored);
}

bool TPeFile::ReadDirectory(std::uint32_t Offset, std::vector<TResourceEntry>& Entries) {
    std::uint64_t FileOffset = 0;
    std::vector<std::uint8_t> Buffer;
    if (!RvaToOffset(std::uint64_t{FResourceRva} + Offset, 16, FileOffset) || !Read(FileOffset, 16, Buffer))
        return false;
    TByteSpan Header(Buffer.data(), Buffer.size());
    std::uint16_t Named = 0;
    std::uint16_t Ids = 0;
    Header.ReadU16(12, Named);
    Header.ReadU16(14, Ids);
    // The entries must lie in the same section as the table: a count larger
    // than the section holds fails here, before anything is allocated.
    const std::uint64_t Bytes = (std::uint64_t{Named} + Ids) * 8;
    if (!RvaToOffset(std::uint64_t{FResourceRva} + Offset, 16 + Bytes, FileOffset) ||
        !Read(FileOffset + 16, Bytes, Buffer))
        return false;
    TByteSpan Table(Buffer.data(), Buffer.size());
    Entries.resize(static_cast<std::size_t>(Named) + Ids);
    for (std::size_t I = 0; I < Entries.size(); ++I) {
        Table.ReadU32(I * 8, Entries[I].Name);
        Table.ReadU32(I * 8 + 4, Entries[I].Target);
    }
    return true;
}

std::optional<std::uint32_t> TPeFile::Find(const std::vector<TResourceEntry>& Entries,
                                           std::optional<std::uint32_t> Id) {
    for (const TResourceEntry& Entry : Entries) {
        if (!Id || ((Entry.Name & kSubdirectoryFlag) == 0 && Entry.Name == *Id))
            return Entry.Target;
    }
    return std::nullopt;
}

bool TPeFile::ReadData(std::uint32_t Offset, std::uint64_t MaxBytes, std::vector<std::uint8_t>& Data) {
    std::uint64_t FileOffset = 0;
    std::vector<std::uint8_t> Buffer;
    if (!RvaToOffset(std::uint64_t{FResourceRva} + Offset, 16, FileOffset) || !Read(FileOffset, 16, Buffer))
        return false;
    TByteSpan Entry(Buffer.data(), Buffer.size());
    std::uint32_t DataRva = 0;
    std::uint32_t Size = 0;
    Entry.ReadU32(0, DataRva);
    Entry.ReadU32(4, Size);
    if (Size == 0)
        return false;
    const std::uint64_t Count = Size < MaxBytes ? Size : MaxBytes;
    return RvaToOffset(DataRva, Count, FileOffset) && Read(FileOffset, Count, Data);
}

// The tree has exactly three levels (type, name, language): the walk goes down
// one level per step and never follows an entry back up, so a directory that
// points at itself or an ancestor ends as "not a data entry" instead of a loop.
enum class TLookup { Found, TypeMissing, NameMissing, LanguageMissing, Damaged };

std::optional<std::uint32_t> PickLanguage(const std::vector<TResourceEntry>& Entries,
                                         const TLanguagePreference& Languages) {
    for (std::uint16_t Language : Languages) {
        if (auto Target = TPeFile::Find(Entries, Language))
            return Target;
        if ((Language & 0x3FF) == 0)
            continue;  // the neutral language has no primary language to share
        for (const TResourceEntry& Entry : Entries)
            if ((Entry.Name & kSubdirectoryFlag) == 0 && (Entry.Name & 0x3FF) == (Language & 0x3FFu))
                return Entry.Target;
    }
    return TPeFile::Find(Entries, std::nullopt);
}

// The subdirectory that Target names, read into Entries.
bool ReadSubdirectory(TPeFile& File, std::uint32_t Target, std::vector<TResourceEntry>& Entries) {
    return (Target & kSubdirectoryFlag) != 0 && File.ReadDirectory(Target & ~kSubdirectoryFlag, Entries);
}

// The data of the resource below a name entry's Target: its language directory,
// the language that Languages picks, and that language's data entry.
TLookup ReadLanguageData(TPeFile& File, std::uint32_t Target, const TLanguagePreference& Languages,
                         std::uint64_t MaxBytes, std::vector<std::uint8_t>& Data) {
    std::vector<TResourceEntry> Entries;
    if (!ReadSubdirectory(File, Target, Entries))
        return TLookup::Damaged;
    const std::optional<std::uint32_t> Language = PickLanguage(Entries, Languages);
    if (!Language)
        return TLookup::LanguageMissing;
    if ((*Language & kSubdirectoryFlag) != 0 || !File.ReadData(*Language, MaxBytes, Data))
        return TLookup::Damaged;
    return TLookup::Found;
}

// The name directory of resource type Type.
TLookup ReadNames(TPeFile& File, std::uint32_t Type, std::vector<TResourceEntry>& Names) {
    std::vector<TResourceEntry> Types;
    if (!File.ReadDirectory(0, Types))
        return TLookup::Damaged;
    const std::optional<std::uint32_t> Target = TPeFile::Find(Types, Type);
    if (!Target)
        return TLookup::TypeMissing;
    return ReadSubdirectory(File, *Target, Names) ? TLookup::Found : TLookup::Damaged;
}

// The resource Type/Name, or of type Type the first name when Name is empty.
TLookup FindResource(TPeFile& File, std::uint32_t Type, std::optional<std::uint32_t> Name,
                     const TLanguagePreference& Languages, std::uint64_t MaxBytes, std::vector<std::uint8_t>& Data) {
    std::vector<TResourceEntry> Names;
    const TLookup Lookup = ReadNames(File, Type, Names);
    if (Lookup != TLookup::Found)
        return Lookup;
    const std::optional<std::uint32_t> Target = TPeFile::Find(Names, Name);
    if (!Target)
        return TLookup::NameMissing;
    return ReadLanguageData(File, *Target, Languages, MaxBytes, Data);
}

void AppendU16(std::vector<std::uint8_t>& Out, std::uint16_t Value) {
    Out.push_back(static_cast<std::uint8_t>(Value & 0xFF));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    AppendU16(Out, static_cast<std::uint16_t>(Value & 0xFFFF));
    AppendU16(Out, static_cast<std::uint16_t>(Value >> 16));
}

}  // namespace

TLanguagePreference WindowsLanguagePreference(std::uint16_t UserLanguage) {
    TLanguagePreference Languages{0x0000};
    if (UserLanguage != 0)
        Languages.push_back(UserLanguage);
    Languages.push_back(0x0409);
    return Languages;
}

TPeVersionResource ReadPeVersionResource(const TReadAt& ReadAt, std::uint64_t FileSize,
                                         const TLanguagePreference& Languages) {
    TPeVersionResource Result;
    TPeFile File(ReadAt, FileSize);
    if (!File.Open()) {
        Result.Error = kErrorResourceDataNotFound;
        return Result;
    }
    // Only the resource with id 1 (VS_VERSION_INFO) is the file's version data,
    // as Windows looks it up; other ids and names are not.
    switch (FindResource(File, kRtVersion, kVersionInfoId, Languages, kMaxVersionBytes, Result.Data)) {
    case TLookup::Found:
        break;
    case TLookup::TypeMissing:
        Result.Error = kErrorResourceTypeNotFound;
        break;
    case TLookup::NameMissing:
        Result.Error = kErrorResourceNameNotFound;
        break;
    case TLookup::LanguageMissing:
        Result.Error = kErrorResourceLangNotFound;
        break;
    case TLookup::Damaged:
        Result.Error = kErrorResourceDataNotFound;
        break;
    }
    if (Result.Error != 0)
        Result.Data.clear();
    return Result;
}

std::vector<std::uint8_t> ReadPeIconFile(const TReadAt& ReadAt, std::uint64_t FileSize,
                                         const TLanguagePreference& Languages) {
    TPeFile File(ReadAt, FileSize);
    std::vector<std::uint8_t> Group;
    if (!File.Open() ||
        FindResource(File, kRtGroupIcon, std::nullopt, Languages, 6 + 0xFFFF * 14, Group) != TLookup::Found)
        return {};
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries that name
    // their image by RT_ICON id where an .ico file has a 16-byte entry with
    // the image's offset.
    const TByteSpan Header(Group.data(), Group.size());
    std::uint16_t Type = 0;
    std::uint16_t Count = 0;
    if (!Header.ReadU16(2, Type) || Type != 1 || !Header.ReadU16(4, Count))
        return {};

    // A group names up to 65535 images: the RT_ICON names are read once and
    // looked up by id, and each language directory is read and chosen from
    // once, so the work grows with the file, never with entries times entries.
    std::vector<TResourceEntry> Names;
    if (ReadNames(File, kRtIcon, Names) != TLookup::Found)
        return {};
    std::unordered_map<std::uint32_t, std::uint32_t> TargetOfId;
    for (const TResourceEntry& Entry : Names)
        if ((Entry.Name & kSubdirectoryFlag) == 0)
            TargetOfId.emplace(Entry.Name, Entry.Target);  // the first of equal ids, as Find takes it
    std::unordered_map<std::uint32_t, std::optional<std::uint32_t>> DataEntryOfTarget;

    struct TImage {
        const std::uint8_t* Entry;
        std::vector<std::uint8_t> Data;
    };
    std::vector<TImage> Images;
    std::uint64_t Total = 0;
    for (std::uint64_t I = 0; I < Count && Header.Contains(6 + I * 14, 14); ++I) {
        std::uint16_t Id = 0;
        Header.ReadU16(6 + I * 14 + 12, Id);
        const auto Name = TargetOfId.find(Id);
        if (Name == TargetOfId.end())
            continue;
        auto Picked = DataEntryOfTarget.find(Name->second);
        if (Picked == DataEntryOfTarget.end()) {
            std::optional<std::uint32_t> DataEntry;
            std::vector<TResourceEntry> Entries;
            if (ReadSubdirectory(File, Name->second, Entries))
                DataEntry = PickLanguage(Entries, Languages);
            Picked = DataEntryOfTarget.emplace(Name->second, DataEntry).first;
        }
        TImage Image{Group.data() + 6 + I * 14, {}};
        if (!Picked->second || (*Picked->second & kSubdirectoryFlag) != 0 ||
            !File.ReadData(*Picked->second, kMaxIconBytes, Image.Data))
            continue;
        Total += Image.Data.size();
        if (Total > kMaxIconFileBytes)
            break;
        Images.push_back(std::move(Image));
    }
    if (Images.empty())
        return {};

    std::vector<std::uint8_t> Ico;
    AppendU16(Ico, 0);
    AppendU16(Ico, 1);
    AppendU16(Ico, static_cast<std::uint16_t>(Images.size()));
    std::uint32_t Offset = static_cast<std::uint32_t>(6 + Images.size() * 16);
    for (const TImage& Image : Images) {
        Ico.insert(Ico.end(), Image.Entry, Image.Entry + 8);  // size, colours, planes, bit count
        AppendU32(Ico, static_cast<std::uint32_t>(Image.Data.size()));
        AppendU32(Ico, Offset);
        Offset += static_cast<std::uint32_t>(Image.Data.size());
    }
    for (const TImage& Image : Images)
        Ico.insert(Ico.end(), Image.Data.begin(), Image.Data.end());
    return Ico;
}

}  // namespace quorvane

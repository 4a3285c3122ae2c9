#include "versioninfo/linux/ElfPackageNote.h"

#include <vector>

namespace quorvane {

namespace {

constexpr std::uint32_t kPtNote = 4;
constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPackageNoteType = 0xcafe1a7e;
constexpr std::uint64_t kMaxNoteRegion = 1u << 20;
constexpr std::uint64_t kMaxRegions = 64;
constexpr std::uint64_t kMaxHeaders = 4096;

// Fixed-width reads in the file's byte order, bounded by the buffer.
class TElfBytes {
public:
    TElfBytes(const std::vector<std::uint8_t>& Bytes, bool BigEndian) : FBytes(Bytes), FBigEndian(BigEndian) {}

    bool Read(std::uint64_t Offset, unsigned Width, std::uint64_t& Value) const {
        if (Offset > FBytes.size() || Width > FBytes.size() - Offset)
            return false;
        Value = 0;
        for (unsigned I = 0; I < Width; ++I) {
            const unsigned Index = FBigEndian ? I : Width - 1 - I;
            Value = (Value << 8) | FBytes[Offset + Index];
        }
        return true;
    }

private:
    const std::vector<std::uint8_t>& FBytes;
    bool FBigEndian;
};

struct TRegion {
    std::uint64_t Offset;
    std::uint64_t Size;
    std::uint64_t Align;
};

bool ReadBytes(const TReadAt& ReadAt, std::uint64_t FileSize, std::uint64_t Offset, std::uint64_t Count,
               std::vector<std::uint8_t>& Out) {
    if (Offset > FileSize || Count > FileSize - Offset)
        return false;
    Out.resize(static_cast<std::size_t>(Count));
    return Count == 0 || ReadAt(Offset, Out.data(), static_cast<std::size_t>(Count));
}

std::uint64_t AlignUp(std::uint64_t Value, std::uint64_t Align) { return (Value + Align - 1) / Align * Align; }

// Walks the notes of one region; each note's name and descriptor must lie
// inside the region.
bool FindNoteInRegion(const std::vector<std::uint8_t>& Bytes, bool BigEndian, std::uint64_t Align,
                      std::string& Json) {
    const TElfBytes Region(Bytes, BigEndian);
    std::uint64_t Pos = 0;
    while (Pos + 12 <= Bytes.size()) {
        std::uint64_t NameSize = 0, DescSize = 0, Type = 0;
        Region.Read(Pos, 4, NameSize);
        Region.Read(Pos + 4, 4, DescSize);
        Region.Read(Pos + 8, 4, Type);
        // Name and descriptor each start at the region's alignment, counted
        // from the note's start (the layout binutils writes and reads).
        const std::uint64_t NameStart = Pos + 12;
        const std::uint64_t DescStart = Pos + AlignUp(12 + NameSize, Align);
        const std::uint64_t Next = AlignUp(DescStart + DescSize, Align);
        if (DescStart > Bytes.size() || Next > AlignUp(Bytes.size(), Align) || DescSize > Bytes.size() - DescStart)
            return false;
        if (Type == kPackageNoteType && NameSize == 4 && Bytes[NameStart] == 'F' && Bytes[NameStart + 1] == 'D' &&
            Bytes[NameStart + 2] == 'O' && Bytes[NameStart + 3] == 0) {
            Json.assign(reinterpret_cast<const char*>(Bytes.data() + DescStart), static_cast<std::size_t>(DescSize));
            while (!Json.empty() && Json.back() == '\0')
                Json.pop_back();
            return true;
        }
        Pos = Next;
    }
    return false;
}

}  // namespace

TElfNoteResult ReadElfPackageNote(const TReadAt& ReadAt, std::uint64_t FileSize, std::string& Json) {
    std::vector<std::uint8_t> Header;
    if (!ReadBytes(ReadAt, FileSize, 0, FileSize < 64 ? FileSize : 64, Header) || Header.size() < 4 ||
        Header[0] != 0x7F || Header[1] != 'E' || Header[2] != 'L' || Header[3] != 'F')
        return TElfNoteResult::NotElf;
    if (Header.size() < 52)
        return TElfNoteResult::NoNote;
    const bool Is64 = Header[4] == 2;
    if ((Header[4] != 1 && Header[4] != 2) || (Header[5] != 1 && Header[5] != 2))
        return TElfNoteResult::NoNote;
    const bool BigEndian = Header[5] == 2;
    const TElfBytes Elf(Header, BigEndian);
    const unsigned Word = Is64 ? 8 : 4;

    std::uint64_t PhOff = 0, ShOff = 0, PhEntSize = 0, PhNum = 0, ShEntSize = 0, ShNum = 0;
    if (!Elf.Read(Is64 ? 32 : 28, Word, PhOff) || !Elf.Read(Is64 ? 40 : 32, Word, ShOff) ||
        !Elf.Read(Is64 ? 54 : 42, 2, PhEntSize) || !Elf.Read(Is64 ? 56 : 44, 2, PhNum) ||
        !Elf.Read(Is64 ? 58 : 46, 2, ShEntSize) || !Elf.Read(Is64 ? 60 : 48, 2, ShNum))
        return TElfNoteResult::NoNote;

    std::vector<TRegion> Regions;
    std::vector<std::uint8_t> Table;
    // Program headers: type, then offset and file size at class-specific places.
    if (PhNum > 0 && PhNum <= kMaxHeaders && PhEntSize >= (Is64 ? 56u : 32u) &&
        ReadBytes(ReadAt, FileSize, PhOff, PhNum * PhEntSize, Table)) {
        const TElfBytes Phdrs(Table, BigEndian);
        for (std::uint64_t I = 0; I < PhNum && Regions.size() < kMaxRegions; ++I) {
            std::uint64_t Type = 0, Offset = 0, Size = 0, Align = 0;
            const std::uint64_t Base = I * PhEntSize;
            Phdrs.Read(Base, 4, Type);
            Phdrs.Read(Base + (Is64 ? 8 : 4), Word, Offset);
            Phdrs.Read(Base + (Is64 ? 32 : 16), Word, Size);
            Phdrs.Read(Base + (Is64 ? 48 : 28), Word, Align);
            if (Type == kPtNote)
                Regions.push_back({Offset, Size, Align});
        }
    }
    if (Regions.empty() && ShNum > 0 && ShNum <= kMaxHeaders && ShEntSize >= (Is64 ? 64u : 40u) &&
        ReadBytes(ReadAt, FileSize, ShOff, ShNum * ShEntSize, Table)) {
        const TElfBytes Shdrs(Table, BigEndian);
        for (std::uint64_t I = 0; I < ShNum && Regions.size() < kMaxRegions; ++I) {
            std::uint64_t Type = 0, Offset = 0, Size = 0, Align = 0;
            const std::uint64_t Base = I * ShEntSize;
            Shdrs.Read(Base + 4, 4, Type);
            Shdrs.Read(Base + (Is64 ? 24 : 16), Word, Offset);
            Shdrs.Read(Base + (Is64 ? 32 : 20), Word, Size);
            Shdrs.Read(Base + (Is64 ? 48 : 32), Word, Align);
            if (Type == kShtNote)
                Regions.push_back({Offset, Size, Align});
        }
    }

    std::vector<std::uint8_t> Notes;
    for (const TRegion& Region : Regions) {
        // Notes are padded to 4 bytes, or to 8 in a region aligned to 8.
        const std::uint64_t Align = Region.Align == 8 ? 8 : 4;
        if (Region.Size > kMaxNoteRegion || !ReadBytes(ReadAt, FileSize, Region.Offset, Region.Size, Notes))
            continue;
        if (FindNoteInRegion(Notes, BigEndian, Align, Json))
            return TElfNoteResult::Found;
    }
    return TElfNoteResult::NoNote;
}

}  // namespace quorvane

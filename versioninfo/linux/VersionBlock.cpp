#include "versioninfo/linux/VersionBlock.h"

#include <cstring>

namespace quorvane {

namespace {

constexpr std::uint64_t kNodeHeaderSize = 6;
constexpr std::uint64_t kMaxPathComponents = 16;
constexpr std::uint16_t kTextNode = 1;

std::uint64_t Align4(std::uint64_t Value) { return (Value + 3) & ~std::uint64_t{3}; }

void AppendUtf8(std::string& Out, std::uint32_t CodePoint) {
    if (CodePoint < 0x80) {
        Out += static_cast<char>(CodePoint);
    } else if (CodePoint < 0x800) {
        Out += static_cast<char>(0xC0 | (CodePoint >> 6));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    } else if (CodePoint < 0x10000) {
        Out += static_cast<char>(0xE0 | (CodePoint >> 12));
        Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (CodePoint >> 18));
        Out += static_cast<char>(0x80 | ((CodePoint >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    }
}

void AppendU16(std::vector<std::uint8_t>& Out, std::uint16_t Value) {
    Out.push_back(static_cast<std::uint8_t>(Value & 0xFF));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}

void PutU16(std::vector<std::uint8_t>& Out, std::size_t Offset, std::uint16_t Value) {
    Out[Offset] = static_cast<std::uint8_t>(Value & 0xFF);
    Out[Offset + 1] = static_cast<std::uint8_t>(Value >> 8);
}

void AppendU32(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    AppendU16(Out, static_cast<std::uint16_t>(Value & 0xFFFF));
    AppendU16(Out, static_cast<std::uint16_t>(Value >> 16));
}

void PadTo4(std::vector<std::uint8_t>& Out) {
    while (Out.size() % 4 != 0)
        Out.push_back(0);
}

// The bytes a query walks: the root node's wLength bytes of the block. Reads
// past them give zeros instead of failing, as the walk of the version API
// reads on into the zero-filled room behind the block; so a node may claim
// more than its parent holds, and a key or value may run to the end.
class TBlockView {
public:
    TBlockView(const std::uint8_t* Bytes, std::uint64_t Size) : FBytes(Bytes), FSize(Size) {}
    std::uint64_t Size() const { return FSize; }
    std::uint16_t U16(std::uint64_t Offset) const {
        if (Offset >= FSize || FSize - Offset < 2)
            return 0;
        return static_cast<std::uint16_t>(FBytes[Offset] | (FBytes[Offset + 1] << 8));
    }

private:
    const std::uint8_t* FBytes;
    std::uint64_t FSize;
};

// One node, located by offsets relative to the block's start. Nothing is cut
// to the parent: the walk trusts wLength and wValueLength as the version API
// does, and TBlockView keeps every read inside the block.
struct TNode {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;  // Start + wLength
    std::uint16_t ValueLength = 0;
    std::uint16_t Type = 0;
    std::uint64_t ValueStart = 0;
    std::uint64_t ChildrenStart = 0;
};

TNode ReadNode(const TBlockView& Block, std::uint64_t Start) {
    TNode Node;
    Node.Start = Start;
    Node.End = Start + Block.U16(Start);
    Node.ValueLength = Block.U16(Start + 2);
    Node.Type = Block.U16(Start + 4);
    // The key ends at its zero unit; past the block every unit reads as zero.
    std::uint64_t Pos = Start + kNodeHeaderSize;
    while (Pos < Block.Size() && Block.U16(Pos) != 0)
        Pos += 2;
    Node.ValueStart = Align4(Pos + 2);
    const std::uint64_t ValueBytes =
        Node.Type != 0 ? std::uint64_t{Node.ValueLength} * 2 : std::uint64_t{Node.ValueLength};
    Node.ChildrenStart = Node.ValueStart + Align4(ValueBytes);
    return Node;
}

char16_t AsciiLower(char16_t C) { return (C >= u'A' && C <= u'Z') ? static_cast<char16_t>(C - u'A' + u'a') : C; }

// Whether the key of the node at Start is Name (UTF-16), ignoring ASCII letter
// case; reads no further than one unit past Name's length.
bool KeyEquals(const TBlockView& Block, std::uint64_t Start, const std::u16string& Name) {
    const std::uint64_t Key = Start + kNodeHeaderSize;
    for (std::size_t I = 0; I < Name.size(); ++I)
        if (AsciiLower(static_cast<char16_t>(Block.U16(Key + 2 * I))) != AsciiLower(Name[I]))
            return false;
    return Block.U16(Key + 2 * Name.size()) == 0;
}

// The child of Parent named Name. Children are walked in order, each the
// previous one's wLength further on; a child whose key does not match is
// stepped over whatever it holds, and only a wLength of 0 ends the walk early.
// Each step advances at least 4 bytes, so a walk makes at most 16 Ki steps.
bool FindChild(const TBlockView& Block, const TNode& Parent, const std::u16string& Name, TNode& Child) {
    std::uint64_t Pos = Parent.ChildrenStart;
    while (Pos < Parent.End) {
        if (KeyEquals(Block, Pos, Name)) {
            Child = ReadNode(Block, Pos);
            return true;
        }
        const std::uint16_t Length = Block.U16(Pos);
        if (Length == 0)
            return false;
        Pos += Align4(Length);
    }
    return false;
}

std::u16string Utf16Of(std::string_view Utf8) {
    std::vector<std::uint8_t> Bytes;
    AppendUtf16Le(Bytes, Utf8);
    std::u16string Units(Bytes.size() / 2, u'\0');
    for (std::size_t I = 0; I < Units.size(); ++I)
        Units[I] = static_cast<char16_t>(Bytes[2 * I] | (Bytes[2 * I + 1] << 8));
    return Units;
}

std::uint32_t RawLength(const void* Block) {
    const auto* Bytes = static_cast<const std::uint8_t*>(Block);
    return static_cast<std::uint32_t>(Bytes[0] | (Bytes[1] << 8));
}

}  // namespace

std::string Utf16LeToUtf8(TByteSpan Units) {
    std::string Out;
    const std::uint64_t Count = Units.Size() / 2;
    for (std::uint64_t I = 0; I < Count; ++I) {
        std::uint16_t Unit = 0;
        Units.ReadU16(I * 2, Unit);
        if (Unit == 0)
            break;
        if (Unit >= 0xD800 && Unit <= 0xDBFF && I + 1 < Count) {
            std::uint16_t Low = 0;
            Units.ReadU16((I + 1) * 2, Low);
            if (Low >= 0xDC00 && Low <= 0xDFFF) {
                AppendUtf8(Out, 0x10000 + ((std::uint32_t{Unit} - 0xD800) << 10) + (Low - 0xDC00));
                ++I;
                continue;
            }
        }
        AppendUtf8(Out, (Unit >= 0xD800 && Unit <= 0xDFFF) ? 0xFFFD : Unit);
    }
    return Out;
}

void AppendUtf16Le(std::vector<std::uint8_t>& Out, std::string_view Utf8) {
    std::size_t I = 0;
    while (I < Utf8.size()) {
        const auto Lead = static_cast<unsigned char>(Utf8[I]);
        std::uint32_t CodePoint = 0xFFFD;
        std::size_t Extra = 0;
        std::uint32_t Min = 0;
        if (Lead < 0x80) {
            CodePoint = Lead;
        } else if ((Lead & 0xE0) == 0xC0) {
            CodePoint = Lead & 0x1F, Extra = 1, Min = 0x80;
        } else if ((Lead & 0xF0) == 0xE0) {
            CodePoint = Lead & 0x0F, Extra = 2, Min = 0x800;
        } else if ((Lead & 0xF8) == 0xF0) {
            CodePoint = Lead & 0x07, Extra = 3, Min = 0x10000;
        } else {
            Extra = 0, CodePoint = 0xFFFD;
        }
        std::size_t Used = 1;
        bool Valid = Lead < 0x80 || Extra > 0;
        for (std::size_t K = 1; Valid && K <= Extra; ++K) {
            if (I + K >= Utf8.size() || (static_cast<unsigned char>(Utf8[I + K]) & 0xC0) != 0x80) {
                Valid = false;
                break;
            }
            CodePoint = (CodePoint << 6) | (static_cast<unsigned char>(Utf8[I + K]) & 0x3F);
            Used = K + 1;
        }
        if (!Valid || CodePoint < Min || CodePoint > 0x10FFFF || (CodePoint >= 0xD800 && CodePoint <= 0xDFFF))
            CodePoint = 0xFFFD;
        I += Used;
        if (CodePoint >= 0x10000) {
            AppendU16(Out, static_cast<std::uint16_t>(0xD800 + ((CodePoint - 0x10000) >> 10)));
            AppendU16(Out, static_cast<std::uint16_t>(0xDC00 + ((CodePoint - 0x10000) & 0x3FF)));
        } else {
            AppendU16(Out, static_cast<std::uint16_t>(CodePoint));
        }
    }
}

// Layout of a prepared block: the root node's wLength bytes (the resource, and
// zeros where wLength claims more than the resource holds), padding to 4, then
// 2 * wLength + 4 bytes of room. A text value at offset O of the block with N
// units read gets its UTF-8 copy at Room + 2 * O: at most 3 * N + 1 bytes, and
// the N units end inside the root, so the copy ends inside the room. A text
// that ends at its own node's end (the usual case) keeps its copy clear of the
// next text value's copy, which starts at least 2 * N + 6 bytes further on.
std::uint32_t PreparedVersionBlockSize(TByteSpan Resource) {
    std::uint16_t Length = 0;
    if (!Resource.ReadU16(0, Length) || Length < kNodeHeaderSize)
        return 0;
    return static_cast<std::uint32_t>(Align4(Length) + 2 * std::uint64_t{Length} + 4);
}

bool PrepareVersionBlock(TByteSpan Resource, void* Block, std::uint32_t Size) {
    const std::uint32_t Needed = PreparedVersionBlockSize(Resource);
    if (Needed == 0 || Size < Needed || Block == nullptr)
        return false;
    const std::uint64_t Length = RawLength(Resource.Data());
    const std::uint64_t Copied = Resource.Size() < Length ? Resource.Size() : Length;
    std::memcpy(Block, Resource.Data(), static_cast<std::size_t>(Copied));
    std::memset(static_cast<std::uint8_t*>(Block) + Copied, 0, Size - Copied);
    return true;
}

bool QueryVersionBlock(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) {
    if (Block == nullptr || SubBlock == nullptr)
        return false;
    auto* Bytes = static_cast<std::uint8_t*>(Block);
    const std::uint32_t Raw = RawLength(Block);
    if (Raw < kNodeHeaderSize)
        return false;
    const TBlockView View(Bytes, Raw);
    TNode Node = ReadNode(View, 0);

    std::string_view Path(SubBlock);
    std::uint64_t Components = 0;
    while (!Path.empty()) {
        const std::size_t Begin = Path.find_first_not_of('\\');
        if (Begin == std::string_view::npos)
            break;
        Path.remove_prefix(Begin);
        const std::size_t Stop = Path.find('\\');
        const std::string_view Name = Path.substr(0, Stop);
        Path.remove_prefix(Stop == std::string_view::npos ? Path.size() : Stop);
        if (++Components > kMaxPathComponents)
            return false;
        TNode Child;
        if (!FindChild(View, Node, Utf16Of(Name), Child))
            return false;
        Node = Child;
    }

    // A value is read up to the end of the root at most, never from the room.
    const std::uint64_t ValueStart = Node.ValueStart < Raw ? Node.ValueStart : Raw;
    const std::uint64_t Available = Raw - ValueStart;
    if (Node.Type == 0) {
        Value = Bytes + ValueStart;
        Length = static_cast<std::uint32_t>(Node.ValueLength < Available ? Node.ValueLength : Available);
        return true;
    }
    // wValueLength counts units and may run past the node: the text is read
    // from there up to its first zero unit, as Windows reads it. Windows copies
    // the whole value into the room behind the root, and answers an empty
    // text when it does not fit there (more units than bytes to the root's end).
    std::string Text;
    if (Node.ValueLength <= Available) {
        const std::uint64_t Units = std::uint64_t{Node.ValueLength} < Available / 2 ? Node.ValueLength : Available / 2;
        Text = Utf16LeToUtf8(TByteSpan(Bytes + ValueStart, Units * 2));
    }
    std::uint8_t* Copy = Bytes + Align4(Raw) + 2 * ValueStart;
    std::memcpy(Copy, Text.data(), Text.size());
    Copy[Text.size()] = 0;
    Value = Copy;
    Length = static_cast<std::uint32_t>(Text.size());
    return true;
}

namespace {

// Writes a node header and key; the caller appends value and children, then
// EndNode fills in wLength.
std::size_t BeginNode(std::vector<std::uint8_t>& Out, std::string_view Key, std::uint16_t ValueLength,
                      std::uint16_t Type) {
    PadTo4(Out);
    const std::size_t Start = Out.size();
    AppendU16(Out, 0);
    AppendU16(Out, ValueLength);
    AppendU16(Out, Type);
    AppendUtf16Le(Out, Key);
    AppendU16(Out, 0);
    PadTo4(Out);
    return Start;
}

void EndNode(std::vector<std::uint8_t>& Out, std::size_t Start) {
    PutU16(Out, Start, static_cast<std::uint16_t>(Out.size() - Start));
}

constexpr std::size_t kMaxTextUnits = 1024;

}  // namespace

std::vector<std::uint8_t> BuildVersionBlock(const TVersionBlockContent& Content) {
    std::vector<std::uint8_t> Out;
    const std::size_t Root = BeginNode(Out, "VS_VERSION_INFO", 52, 0);
    AppendU32(Out, 0xFEEF04BD);  // signature
    AppendU32(Out, 0x00010000);  // structure version
    AppendU32(Out, Content.FileVersionMS);
    AppendU32(Out, Content.FileVersionLS);
    AppendU32(Out, Content.ProductVersionMS);
    AppendU32(Out, Content.ProductVersionLS);
    AppendU32(Out, 0x3F);  // dwFileFlagsMask
    AppendU32(Out, 0);     // dwFileFlags
    AppendU32(Out, 0);     // dwFileOS: VOS_UNKNOWN, no Windows file
    AppendU32(Out, Content.FileType);
    AppendU32(Out, 0);  // dwFileSubtype
    AppendU32(Out, 0);  // dwFileDateMS
    AppendU32(Out, 0);  // dwFileDateLS

    const std::size_t StringInfo = BeginNode(Out, "StringFileInfo", 0, kTextNode);
    static const char Hex[] = "0123456789ABCDEF";
    std::string TableKey;
    for (int Shift = 12; Shift >= 0; Shift -= 4)
        TableKey += Hex[(Content.Language >> Shift) & 0xF];
    for (int Shift = 12; Shift >= 0; Shift -= 4)
        TableKey += Hex[(Content.CodePage >> Shift) & 0xF];
    const std::size_t Table = BeginNode(Out, TableKey, 0, kTextNode);
    for (const auto& [Key, Text] : Content.Strings) {
        std::vector<std::uint8_t> Units;
        AppendUtf16Le(Units, Text);
        if (Units.size() > kMaxTextUnits * 2) {
            Units.resize(kMaxTextUnits * 2);
            std::uint16_t Last = static_cast<std::uint16_t>(Units[Units.size() - 2] | (Units.back() << 8));
            if (Last >= 0xD800 && Last <= 0xDBFF)  // never cut a surrogate pair
                Units.resize(Units.size() - 2);
        }
        if (Out.size() + Units.size() + Key.size() * 4 + 64 > 0xF000)
            break;  // a node spans at most 64 KiB; the fixed strings come first
        const std::size_t String =
            BeginNode(Out, Key, static_cast<std::uint16_t>(Units.size() / 2 + 1), kTextNode);
        Out.insert(Out.end(), Units.begin(), Units.end());
        AppendU16(Out, 0);
        EndNode(Out, String);
    }
    EndNode(Out, Table);
    EndNode(Out, StringInfo);

    const std::size_t VarInfo = BeginNode(Out, "VarFileInfo", 0, kTextNode);
    const std::size_t Translation = BeginNode(Out, "Translation", 4, 0);
    AppendU16(Out, Content.Language);
    AppendU16(Out, Content.CodePage);
    EndNode(Out, Translation);
    EndNode(Out, VarInfo);
    EndNode(Out, Root);
    return Out;
}

void VersionNumbersFromText(std::string_view Text, std::uint32_t& MS, std::uint32_t& LS) {
    const std::size_t Epoch = Text.find(':');
    if (Epoch != std::string_view::npos)
        Text.remove_prefix(Epoch + 1);
    std::uint32_t Parts[4] = {0, 0, 0, 0};
    std::size_t Pos = 0;
    for (int Part = 0; Part < 4; ++Part) {
        if (Pos >= Text.size() || Text[Pos] < '0' || Text[Pos] > '9')
            break;
        std::uint32_t Number = 0;
        while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9') {
            Number = Number * 10 + static_cast<std::uint32_t>(Text[Pos] - '0');
            if (Number > 0xFFFF)
                Number = 0xFFFF;
            ++Pos;
        }
        Parts[Part] = Number;
        if (Pos >= Text.size() || Text[Pos] != '.')
            break;
        ++Pos;
    }
    MS = (Parts[0] << 16) | Parts[1];
    LS = (Parts[2] << 16) | Parts[3];
}

}  // namespace quorvane

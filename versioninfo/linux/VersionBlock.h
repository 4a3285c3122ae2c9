// The version block in its UTF-16 form (VS_VERSIONINFO as a PE resource holds
// it): building one, preparing one for the caller, and querying a value by path
// as VerQueryValueA does. No platform headers: the Windows build compiles this
// too, to compare it with the real version API.
//
// Node layout, every node aligned to 4 bytes from the block's start:
//   u16 wLength       bytes of the node including its children
//   u16 wValueLength  value size: UTF-16 units for text (wType 1), else bytes
//   u16 wType         1 text, 0 binary
//   UTF-16 key, zero-terminated; padding to 4; the value; padding to 4; children
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "versioninfo/linux/ByteSpan.h"

namespace quorvane {

// UTF-16LE up to the first zero unit (or the span's end) as UTF-8; a lone
// surrogate becomes U+FFFD. Never more than 3 bytes per unit.
std::string Utf16LeToUtf8(TByteSpan Units);

// Appends Utf8 as UTF-16LE without terminator; invalid bytes become U+FFFD.
void AppendUtf16Le(std::vector<std::uint8_t>& Out, std::string_view Utf8);

// Bytes that the caller must allocate for Resource prepared by
// PrepareVersionBlock: the block itself plus room for the UTF-8 copies of its
// texts (as Windows reserves room for its ANSI copies). 0 when Resource does
// not start with a root wLength of at least a node header. A root wLength
// beyond the resource is taken as Windows takes it: the rest reads as zeros.
std::uint32_t PreparedVersionBlockSize(TByteSpan Resource);

// Copies Resource into Block (Size bytes, at least PreparedVersionBlockSize)
// and clears the room behind it. False when Size is too small.
bool PrepareVersionBlock(TByteSpan Resource, void* Block, std::uint32_t Size);

// VerQueryValue over a block that PrepareVersionBlock filled: "\" is the fixed
// record, "\VarFileInfo\Translation" the translation table,
// "StringFileInfo\040704E4\CompanyName" a string. The leading backslash is
// optional, key names match regardless of ASCII letter case. Nodes are walked
// as the version API walks them: a damaged node that is not looked for is
// stepped over by its wLength. Binary values point into the block with Length
// in bytes (never past the root); text values point to their zero-terminated
// UTF-8 copy inside the block with Length in bytes of that copy, without the
// terminator (0 for an empty value).
bool QueryVersionBlock(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length);

// The content of a version block that this system builds itself (package
// metadata): one translation, one string table, the fixed record's versions.
struct TVersionBlockContent {
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
    std::uint32_t FileType = 1;  // VFT_APP
    std::uint16_t Language = 0;
    std::uint16_t CodePage = 1200;
    std::vector<std::pair<std::string, std::string>> Strings;  // key, value (UTF-8)
};

// A real VS_VERSIONINFO block in UTF-16, so that one query path serves all.
// Texts are cut so that the block stays within the 64 KiB a node can span.
std::vector<std::uint8_t> BuildVersionBlock(const TVersionBlockContent& Content);

// Version numbers of a text such as "5.2.15-2+b1" or "1:2.36": the first four
// dot-separated numbers after an epoch, each at most 65535, as the fixed
// record's MS/LS pair. Missing parts are 0.
void VersionNumbersFromText(std::string_view Text, std::uint32_t& MS, std::uint32_t& LS);

}  // namespace quorvane

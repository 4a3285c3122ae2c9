// Resources of a PE file (PE32 and PE32+) read from the file itself: the
// version resource and the first icon group. Only the headers, the section
// table, the directory tables on the way and the data itself are read, each
// through ReadAt; every offset, size and count of the file is checked first.
// No platform headers: the Windows build compiles this too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane {

// Reads exactly Count bytes at Offset into Buffer; false when that is not
// possible (past the end, read error).
using TReadAt = std::function<bool(std::uint64_t Offset, void* Buffer, std::size_t Count)>;

struct TPeVersionResource {
    // 0 on success; else a Windows error number: kErrorResourceDataNotFound
    // (1812) for a file that is no PE image, has no resource directory or whose
    // headers or resource tree are damaged; kErrorResourceTypeNotFound (1813)
    // for resources without a version resource; kErrorResourceNameNotFound
    // (1814) for version resources without id 1; kErrorResourceLangNotFound
    // (1815) for an id 1 without any language.
    std::uint32_t Error = 0;
    std::vector<std::uint8_t> Data;  // the VS_VERSIONINFO block, at most 64 KiB
};

// Which language of a resource to take when it has several, as the Windows
// loader chooses: for each of Languages in turn, that language, else one of
// its primary language (low 10 bits); when none is present, the first entry.
// Empty: always the first entry.
using TLanguagePreference = std::vector<std::uint16_t>;

// The order Windows tries for a resource asked for without language: neutral,
// the user's language (0 when unknown), then US English.
TLanguagePreference WindowsLanguagePreference(std::uint16_t UserLanguage);

// The version resource: RT_VERSION with id 1, in the language that Languages
// picks.
TPeVersionResource ReadPeVersionResource(const TReadAt& ReadAt, std::uint64_t FileSize,
                                         const TLanguagePreference& Languages = {});

// The first icon group (RT_GROUP_ICON, first name) with its RT_ICON images,
// as the bytes of an .ico file. Empty when the file has none or its icon
// resources are damaged; images that are missing are left out.
std::vector<std::uint8_t> ReadPeIconFile(const TReadAt& ReadAt, std::uint64_t FileSize,
                                         const TLanguagePreference& Languages = {});

}  // namespace quorvane

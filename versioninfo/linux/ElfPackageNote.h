// The package metadata note of an ELF file: a note of owner "FDO" and type
// 0xcafe1a7e whose descriptor is a JSON object, usually in section
// .note.package, found through the PT_NOTE segments (kept by strip) and, for
// files without them, the SHT_NOTE sections. Reads only headers and notes.
#pragma once

#include <cstdint>
#include <string>

#include "versioninfo/linux/PeVersionResource.h"

namespace quorvane {

enum class TElfNoteResult {
    NotElf,   // no ELF identification at the start
    NoNote,   // ELF, but no package note (or headers too damaged to find one)
    Found,
};

// On Found, Json holds the descriptor without its terminating zero bytes.
TElfNoteResult ReadElfPackageNote(const TReadAt& ReadAt, std::uint64_t FileSize, std::string& Json);

}  // namespace quorvane

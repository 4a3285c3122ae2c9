// What every fuzz target shares: its seeds and a bounded reader over the input.
//
// A target (one *Fuzz.cpp file with LLVMFuzzerTestOneInput) may define
// FuzzSeeds() to start from inputs made by the tests' own generators. Every
// target, run with QUORVANE_FUZZ_WRITE_SEEDS=FOLDER, writes its seeds there as
// files and ends without fuzzing (scripts/fuzz.sh does this first).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "versioninfo/linux/PeVersionResource.h"

namespace quorvane::fuzz {

using TInput = std::vector<std::uint8_t>;

// The target's seeds; none unless the target defines this.
std::vector<TInput> FuzzSeeds();

inline TInput Bytes(std::string_view Text) { return TInput(Text.begin(), Text.end()); }

// Reads of the input as a file, refused past its end.
inline TReadAt InputReader(const std::uint8_t* Data, std::size_t Size) {
    return [Data, Size](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        if (Offset > Size || Count > Size - Offset)
            return false;
        if (Count != 0)
            std::memcpy(Buffer, Data + Offset, Count);
        return true;
    };
}

}  // namespace quorvane::fuzz

// An ELF file with or without a package note.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSeeds.h"
#include "versioninfo/linux/ElfPackageNote.h"
#include "versioninfo/linux/ElfWriter.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    using namespace quorvane::testing;
    const TInput Json = Bytes(R"({"name":"quorvane","version":"1.2.0.0","maintainer":"Zoë"})");
    std::vector<TInput> Seeds;
    for (const bool Is64 : {false, true})
        for (const bool BigEndian : {false, true})
            for (const bool InSegment : {false, true}) {
                const TElfRecipe Recipe{Is64, BigEndian, InSegment, Is64 ? 8u : 4u};
                TBytes Notes;
                AddNote(Notes, Recipe, "GNU", 3, TBytes(20, 0xAB));
                AddNote(Notes, Recipe, "FDO", 0xcafe1a7e, Json, true);
                Seeds.push_back(BuildElf(Recipe, Notes));
            }
    return Seeds;
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::string Json;
    quorvane::ReadElfPackageNote(quorvane::fuzz::InputReader(Data, Size), Size, Json);
    return 0;
}

// A PE file: its version resource (with every value read from it) and its
// icon group as an .ico file.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSeeds.h"
#include "fuzz/VersionValues.h"
#include "versioninfo/linux/PeVersionResource.h"
#include "versioninfo/pe/CraftedFiles.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    using namespace pewriter;
    std::vector<TInput> Seeds;
    for (const bool Pe32Plus : {false, true}) {
        for (const TCraftedFile& File : CraftedVersionFiles(Pe32Plus))
            Seeds.push_back(File.Bytes);
        TPeRecipe Recipe;
        Recipe.Pe32Plus = Pe32Plus;
        Recipe.Version(SampleVersion().Build()).Icons({TInput(40, 1), TInput(60, 2)}).Manifest();
        Seeds.push_back(BuildPe(Recipe).Bytes);
        TPeRecipe Languages = Recipe;
        Languages.Version(SampleVersion().Build(), 0x0409).Version(SampleVersion().Build(), 0x0000);
        Seeds.push_back(BuildPe(Languages).Bytes);
    }
    return Seeds;
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    using namespace quorvane;
    const TReadAt ReadAt = fuzz::InputReader(Data, Size);
    const TPeVersionResource Version = ReadPeVersionResource(ReadAt, Size, WindowsLanguagePreference(0x0407));
    if (Version.Error == 0)
        fuzz::ReadVersionValues(TByteSpan(Version.Data.data(), Version.Data.size()));
    ReadPeIconFile(ReadAt, Size, WindowsLanguagePreference(0x0407));
    return 0;
}

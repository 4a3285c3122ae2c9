// A version block as a PE resource holds it, read by the version reader
// through every query it makes.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSeeds.h"
#include "fuzz/VersionValues.h"
#include "versioninfo/linux/PeVersionResource.h"
#include "versioninfo/linux/VersionBlock.h"
#include "versioninfo/pe/CraftedFiles.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    std::vector<TInput> Seeds;
    for (const pewriter::TCraftedFile& File : pewriter::CraftedVersionFiles(false)) {
        const TPeVersionResource Version = ReadPeVersionResource(InputReader(File.Bytes.data(), File.Bytes.size()),
                                                                 File.Bytes.size());
        if (Version.Error == 0)
            Seeds.push_back(Version.Data);
    }
    pewriter::TVersionRecipe Two = pewriter::SampleVersion();
    Two.AddTranslation(0x0409, 0x04B0);
    Two.Tables.push_back({"040904B0", {{"CompanyName", "Second"}, {"Comments", ""}}});
    Seeds.push_back(Two.Build());
    TVersionBlockContent Package;
    Package.Strings = {{"CompanyName", "Zoë <zoe@example.org>"}, {"FileVersion", "1:2.36-4"}};
    Seeds.push_back(BuildVersionBlock(Package));
    return Seeds;
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    quorvane::fuzz::ReadVersionValues(quorvane::TByteSpan(Data, Size));
    return 0;
}

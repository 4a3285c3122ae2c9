// Linked into every fuzz target: the seed run and the default of no seeds.
#include "fuzz/FuzzSeeds.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvane::fuzz {

__attribute__((weak)) std::vector<TInput> FuzzSeeds() { return {}; }

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* Folder = std::getenv("QUORVANE_FUZZ_WRITE_SEEDS");
    if (Folder == nullptr || *Folder == '\0')
        return 0;
    int Number = 0;
    for (const quorvane::fuzz::TInput& Seed : quorvane::fuzz::FuzzSeeds()) {
        const std::string Name = std::string(Folder) + "/seed-" + std::to_string(++Number);
        std::FILE* File = std::fopen(Name.c_str(), "wb");
        if (File == nullptr || std::fwrite(Seed.data(), 1, Seed.size(), File) != Seed.size() || std::fclose(File) != 0) {
            std::perror(Name.c_str());
            std::exit(1);
        }
    }
    std::printf("%d seeds written to %s\n", Number, Folder);
    std::exit(0);
}

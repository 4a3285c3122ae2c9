// libFuzzer target: the parser of a package's md5sums file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "versioninfo/linux/DpkgDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    quorvane::dpkg::ParseMd5Sums(Text, [](std::string_view Path, std::string_view Md5) {
        // What the index relies on: an absolute path, a checksum in lowercase.
        if (Path.empty() || Path.front() != '/' || Md5.size() != 32)
            __builtin_trap();
        for (const char C : Md5)
            if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
                __builtin_trap();
    });
    return 0;
}

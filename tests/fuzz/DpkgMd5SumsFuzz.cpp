// libFuzzer target: the parser of a package's md5sums file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "packages/dpkg/DpkgDatabase.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    return {Bytes("0123456789abcdef0123456789abcdef  usr/bin/werkzeug\n"
                  "0123456789ABCDEF0123456789ABCDEF *usr/share/werkzeug/run.sh\r\n"
                  "0123456789abcdef0123456789abcdef usr/lib/x/libding.so\nshort  usr/bin/x\n"
                  "0123456789abcdef0123456789abcdef  ")};
}

}  // namespace quorvane::fuzz

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

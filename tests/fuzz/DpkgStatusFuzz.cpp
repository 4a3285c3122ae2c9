// libFuzzer target: the parser of the dpkg status file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "versioninfo/linux/DpkgDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    for (const quorvane::dpkg::TStatusPackage& Package : quorvane::dpkg::ParseStatus(Text)) {
        // What the index relies on: an installed package has a name; a
        // configuration file an absolute path and a checksum in lowercase.
        if (Package.Name.empty() || !Package.Installed)
            __builtin_trap();
        for (const quorvane::dpkg::TFileChecksum& Conffile : Package.Conffiles) {
            if (Conffile.Path.empty() || Conffile.Path.front() != '/' || Conffile.Md5.size() != 32)
                __builtin_trap();
            for (const char C : Conffile.Md5)
                if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
                    __builtin_trap();
        }
    }
    return 0;
}

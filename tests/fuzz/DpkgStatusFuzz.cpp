// libFuzzer target: the parser of the dpkg status file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "packages/dpkg/DpkgDatabase.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    return {Bytes("Package: gone\nStatus: deinstall ok config-files\nVersion: 1\n\n"
                  "Package: tool\r\nStatus: install ok installed\r\nMaintainer: Anna <a@example.org>\r\n"
                  "Architecture: amd64\nMulti-Arch: same\nVersion: 1:2.4-1\n"
                  "Description: Ein Werkzeug\n Lang.\n .\n Mehr.\n"
                  "Conffiles:\n /etc/tool.conf 0123456789ABCDEF0123456789abcdef\n"
                  " /etc/old.conf 0123456789abcdef0123456789abcdef obsolete\n /etc/new.conf newconffile\n\n"
                  "Package: waiting\nStatus: install ok triggers-pending\nVersion: 3\n"),
            Bytes("Package: a\nStatus: install ok installed\nConffiles:\n /e 0123456789abcdef0123456789abcdef")};
}

}  // namespace quorvane::fuzz

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

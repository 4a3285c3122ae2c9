// libFuzzer target: the parser of apk's database of installed packages.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "packages/Digest.h"
#include "packages/apk/ApkInstalled.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    return {Bytes("C:Q1SLbyfsnuiKbu0ayutHhEXyEeY9U=\nP:musl\nV:1.2.4-r2\nA:x86_64\nT:the musl c library\n"
                  "m:Natanael Copa <ncopa@alpinelinux.org>\nF:lib\nR:ld-musl-x86_64.so.1\na:0:0:755\n"
                  "Z:Q1EfatjsUqKYSrqv18O1FlA3hcIHI=\nR:libc.musl-x86_64.so.1\nZ:0123456789abcdef0123456789abcdef\n\n"
                  "P:busybox\nV:1.36.1-r5\nF:bin\nR:busybox\nR:sh\nF:\nR:top\n"),
            Bytes("P:a\r\nF:../x\nR:y/z\nZ:Q1x\n\nR:orphan\nZ:\n")};
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    using namespace quorvane;
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    const apk::TApkInstalled Installed = apk::ParseInstalled(Text);
    // What the back-end relies on: every file names a package that exists,
    // has an absolute path without "." or ".." components, and a digest of
    // its algorithm's length in lowercase hexadecimal, or none.
    for (const apk::TApkFile& File : Installed.Files) {
        if (File.Package >= Installed.Packages.size() || File.Path.empty() || File.Path.front() != '/' ||
            File.Path.find("/../") != std::string::npos || File.Path.find("/./") != std::string::npos ||
            File.Digest.size() != DigestHexLength(File.Algorithm))
            __builtin_trap();
        for (const char C : File.Digest)
            if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
                __builtin_trap();
    }
    for (const apk::TApkPackage& Package : Installed.Packages)
        if (Package.Name.empty())
            __builtin_trap();
    return 0;
}

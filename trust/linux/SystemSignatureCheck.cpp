// Linux executables carry no Authenticode signature, and the packages'
// checksums already vouch for content: every file is "not checked". A file's
// identity is still told, for the verdicts on loaded libraries.
#include <sys/stat.h>

#include "trust/Signature.h"

namespace quorvane {
namespace {

class TUncheckedSignatures final : public ISignatureCheck {
public:
    bool Checks() const override { return false; }

    bool Identify(const std::string& Path, TFileKey& Identity) override {
        struct stat Info;
        if (::stat(Path.c_str(), &Info) != 0)
            return false;
        Identity.Volume = static_cast<std::uint64_t>(Info.st_dev);
        Identity.Index = static_cast<std::uint64_t>(Info.st_ino);
        Identity.Size = static_cast<std::uint64_t>(Info.st_size);
        // The change time: every write moves it, and unlike the modification
        // time no user can set it back.
        Identity.LastWrite = static_cast<std::uint64_t>(Info.st_ctim.tv_sec) * 1'000'000'000u +
                             static_cast<std::uint64_t>(Info.st_ctim.tv_nsec);
        return true;
    }

    TSignature Verify(const std::string&, TFileKey&, bool& Identified) override {
        Identified = false;
        return {};
    }
};

}  // namespace

std::unique_ptr<ISignatureCheck> CreateSystemSignatureCheck() { return std::make_unique<TUncheckedSignatures>(); }

}  // namespace quorvane

#include "trust/SignatureVerdicts.h"

#include <functional>

namespace quorvane {

std::size_t TFileKeyHash::operator()(const TFileKey& Identity) const {
    std::size_t Hash = 0;
    for (const std::uint64_t Part : {Identity.Volume, Identity.Index, Identity.Size, Identity.LastWrite})
        Hash = Hash * 1'000'003u ^ std::hash<std::uint64_t>()(Part);
    return Hash;
}

TSignature TSignatureVerdicts::Verdict(const std::string& Path) {
    if (!FCheck.Checks())
        return {};
    TFileKey Identity;
    if (FCheck.Identify(Path, Identity)) {
        const std::lock_guard Lock(FMutex);
        const auto Known = FKnown.find(Identity);
        if (Known != FKnown.end())
            return Known->second;
    }
    // Verified without the lock: it reads the whole file. The verdict is kept
    // under the identity of the file that was read, which may be newer.
    bool Identified = false;
    const TSignature Signature = FCheck.Verify(Path, Identity, Identified);
    if (Identified && Signature.Status != TSignatureStatus::Error) {
        const std::lock_guard Lock(FMutex);
        FKnown.insert_or_assign(Identity, Signature);
    }
    return Signature;
}

std::size_t TSignatureVerdicts::Size() const {
    const std::lock_guard Lock(FMutex);
    return FKnown.size();
}

}  // namespace quorvane

// The verdicts of a signature check, kept by file identity across reloads, so
// that a file is verified again only once its identity has changed.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

#include "trust/Signature.h"

namespace quorvane {

// Safe to use from several threads at once.
class TSignatureVerdicts {
public:
    explicit TSignatureVerdicts(ISignatureCheck& Check) : FCheck(Check) {}

    bool Checks() const { return FCheck.Checks(); }

    // The verdict on the file at Path: the kept one while the file's identity
    // is unchanged, else a new verification. Failed checks are not kept.
    TSignature Verdict(const std::string& Path);

    // How many verdicts are kept.
    std::size_t Size() const;

private:
    ISignatureCheck& FCheck;
    mutable std::mutex FMutex;
    std::unordered_map<TFileKey, TSignature, TFileKeyHash> FKnown;
};

}  // namespace quorvane

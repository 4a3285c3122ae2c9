// The verdicts on the libraries loaded into processes: each file examined like
// an image file (its version data, its package, its signature), and the
// verdict kept by the file's identity, so that a library shared by many
// processes, and seen again in the next reload, is examined once.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

#include "trust/ModuleVerdict.h"
#include "trust/Signature.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

// Safe to use from several threads; one file is examined at a time, and
// Versions is used by nobody else meanwhile.
class TModuleVerdicts {
public:
    // Signatures identifies the files (without it no verdict is kept) and
    // verifies them where it checks signatures.
    TModuleVerdicts(IVersionApi& Versions, ISignatureCheck* Signatures);

    // The verdict on the file at Path: the kept one while the file's identity
    // is unchanged, else a new examination.
    TModuleVerdict Verdict(const std::string& Path);

    // How many verdicts are kept.
    std::size_t Size() const;

private:
    TModuleVerdict Examine(const std::string& Path);

    ISignatureCheck* FSignatures;
    TStVersionInfo FReader;
    mutable std::mutex FMutex;
    std::unordered_map<TFileKey, TModuleVerdict, TFileKeyHash> FKnown;
};

}  // namespace quorvane

// What vouches for a library loaded into a process: the package that installed
// it (Linux), or a signature that chains to a trusted root (Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "trust/Signature.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

enum class TModuleExamination : std::uint8_t {
    Pending,  // asked for, not yet answered (the windows examine off their own thread)
    Examined,
    Unreadable,  // there is no content to read (it lives in memory only), or it cannot be opened
};

struct TModuleVerdict {
    TModuleExamination Examination = TModuleExamination::Pending;
    std::string CompanyName;  // from the file's version data
    TVersionSource Source;  // the package that lists the file, and whether it vouches for the content
    TSignature Signature;  // NotChecked where the build checks no signatures
};

// A library's verdict as the records hold it: one per distinct file, shared by
// every process that loaded it.
using TSharedModuleVerdict = std::shared_ptr<const TModuleVerdict>;

// The verdict of a library not examined yet (Pending) or with nothing to read (Unreadable).
TSharedModuleVerdict UnexaminedModule(TModuleExamination Examination);

inline bool Vouched(const TModuleVerdict& Verdict) {
    return Verdict.Examination == TModuleExamination::Examined &&
           (Verdict.Source.Check == TPackageCheck::Verified || Verdict.Signature.Status == TSignatureStatus::Trusted);
}

}  // namespace quorvane

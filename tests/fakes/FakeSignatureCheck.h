// A signature check over verdicts described in memory: each file has an
// identity (changed by the test to stand for a new content) and a verdict.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "trust/Signature.h"

namespace quorvane::testing {

struct TFakeSignedFile {
    TSignature Signature;
    TFileKey Identity;
    bool Identifiable = true;  // Identify and Verify can read its identity
};

class FakeSignatureCheck : public ISignatureCheck {
public:
    bool Enabled = true;  // Checks()
    std::map<std::string, TFakeSignedFile> Files;  // a file not listed cannot be opened
    std::atomic<int> Verifications{0};

    void Add(const std::string& Path, TSignatureStatus Status, const std::string& Signer = {},
             const std::string& Issuer = {}, TSignatureSource Source = TSignatureSource::Embedded) {
        TFakeSignedFile File;
        File.Signature.Status = Status;
        File.Signature.Signer = Signer;
        File.Signature.Issuer = Issuer;
        File.Signature.Source = Status == TSignatureStatus::Unsigned ? TSignatureSource::None : Source;
        File.Identity.Index = Files.size() + 1;
        const std::lock_guard Lock(FMutex);
        Files[Path] = File;
    }

    bool Checks() const override { return Enabled; }

    bool Identify(const std::string& Path, TFileKey& Identity) override {
        const std::lock_guard Lock(FMutex);
        const auto Found = Files.find(Path);
        if (Found == Files.end() || !Found->second.Identifiable)
            return false;
        Identity = Found->second.Identity;
        return true;
    }

    TSignature Verify(const std::string& Path, TFileKey& Identity, bool& Identified) override {
        ++Verifications;
        const std::lock_guard Lock(FMutex);
        const auto Found = Files.find(Path);
        Identified = Found != Files.end() && Found->second.Identifiable;
        if (Found == Files.end()) {
            TSignature Missing;
            Missing.Status = TSignatureStatus::Error;
            Missing.Message = "Das System kann die angegebene Datei nicht finden.";
            return Missing;
        }
        Identity = Found->second.Identity;
        return Found->second.Signature;
    }

private:
    std::mutex FMutex;
};

}  // namespace quorvane::testing

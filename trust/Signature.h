// Who vouches for a file's content by signing it: the verdict of a signature
// check, and the check itself. One back-end per OS (trust/win32: Authenticode;
// trust/linux: not checked); the tests supply fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvane {

enum class TSignatureStatus : std::uint8_t {
    NotChecked,  // this build checks no signatures, or the file was not examined
    Pending,  // asked for, not yet answered (the windows check off their own thread)
    Trusted,  // a signature covers the content and chains to a trusted root
    Untrusted,  // the content matches, but the certificates are not trusted: see TTrustProblem
    Tampered,  // the signature's digest no longer matches the content
    Unsigned,  // neither an embedded signature nor a catalog that lists the file
    Error,  // the check itself failed; Message says why
};

// Why the certificates of an Untrusted signature are not trusted.
enum class TTrustProblem : std::uint8_t {
    None,
    Chain,  // the chain does not end at a trusted root
    Expired,  // a certificate expired, and no timestamp covers the signing time
    Revoked,  // a certificate is revoked, as far as the local cache knows
};

enum class TSignatureSource : std::uint8_t {
    None,
    Embedded,  // the file's own certificate table
    Catalog,  // a security catalog of the system that lists the file's hash
};

struct TSignature {
    TSignatureStatus Status = TSignatureStatus::NotChecked;
    TSignatureSource Source = TSignatureSource::None;
    TTrustProblem Problem = TTrustProblem::None;
    std::string Signer;  // common name of the signing certificate's subject; empty when unknown
    std::string Issuer;  // common name of that certificate's issuer
    std::string Message;  // Error: the system's message, trimmed
};

// What tells one content of a file from another without reading it: a file
// keeps its identity while it is not written to, renamed over or replaced.
struct TFileKey {
    std::uint64_t Volume = 0;  // serial number of the volume
    std::uint64_t Index = 0;  // the file's index on it
    std::uint64_t Size = 0;
    std::uint64_t LastWrite = 0;  // last write time, in the system's units
    friend bool operator==(const TFileKey&, const TFileKey&) = default;
};

struct TFileKeyHash {
    std::size_t operator()(const TFileKey& Identity) const;
};

class ISignatureCheck {
public:
    virtual ~ISignatureCheck() = default;

    // False when this build checks no signatures: every verdict would be NotChecked.
    virtual bool Checks() const = 0;

    // The identity of the file at Path; false when it cannot be opened.
    virtual bool Identify(const std::string& Path, TFileKey& Identity) = 0;

    // Verifies the file at Path. Identity receives the identity of the file
    // that was verified, and Identified says whether it could be read.
    // Never shows anything and never goes online.
    virtual TSignature Verify(const std::string& Path, TFileKey& Identity, bool& Identified) = 0;
};

// The back-end of this build.
std::unique_ptr<ISignatureCheck> CreateSystemSignatureCheck();

}  // namespace quorvane

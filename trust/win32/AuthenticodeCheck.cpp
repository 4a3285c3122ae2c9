// The signature check of the Windows build: Authenticode, embedded in the
// file or in a security catalog of the system, verified offline and without
// any dialog. Every call goes through TrustCalls().
#include "trust/win32/TrustCalls.h"

#include <cstdio>
#include <string>

#include "common/win32/Win32Text.h"
#include "resources/StringTable.h"
#include "trust/Signature.h"

namespace quorvane::win32 {

TTrustCalls& TrustCalls() {
    static TTrustCalls Calls = [] {
        TTrustCalls Table;
        if (const HMODULE Wintrust = ::GetModuleHandleA("wintrust.dll")) {
            Table.CryptCATAdminAcquireContext2 = reinterpret_cast<decltype(Table.CryptCATAdminAcquireContext2)>(
                reinterpret_cast<void (*)()>(::GetProcAddress(Wintrust, "CryptCATAdminAcquireContext2")));
            Table.CryptCATAdminCalcHashFromFileHandle2 =
                reinterpret_cast<decltype(Table.CryptCATAdminCalcHashFromFileHandle2)>(reinterpret_cast<void (*)()>(
                    ::GetProcAddress(Wintrust, "CryptCATAdminCalcHashFromFileHandle2")));
        }
        return Table;
    }();
    return Calls;
}

}  // namespace quorvane::win32

namespace quorvane {
namespace {

using win32::TrustCalls;
using win32::TTrustCalls;

// What a result of WinVerifyTrust, or an error of the chain policy, says.
enum class TAnswer { Verified, NoSignature, Tampered, Untrusted, Failed };

TAnswer Classify(LONG Result, TTrustProblem& Problem) {
    Problem = TTrustProblem::None;
    switch (static_cast<HRESULT>(Result)) {
        case ERROR_SUCCESS: return TAnswer::Verified;
        case TRUST_E_NOSIGNATURE:
        case TRUST_E_SUBJECT_FORM_UNKNOWN:
        case TRUST_E_PROVIDER_UNKNOWN: return TAnswer::NoSignature;
        case TRUST_E_BAD_DIGEST:
        case CRYPT_E_HASH_VALUE: return TAnswer::Tampered;
        case CERT_E_EXPIRED:
        case CERT_E_VALIDITYPERIODNESTING: Problem = TTrustProblem::Expired; return TAnswer::Untrusted;
        case CERT_E_REVOKED:
        case CRYPT_E_REVOKED: Problem = TTrustProblem::Revoked; return TAnswer::Untrusted;
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_UNTRUSTEDTESTROOT:
        case CERT_E_UNTRUSTEDCA:
        case CERT_E_CHAINING:
        case CERT_E_WRONG_USAGE:
        case CERT_E_PURPOSE:
        case TRUST_E_EXPLICIT_DISTRUST:
        case TRUST_E_SUBJECT_NOT_TRUSTED: Problem = TTrustProblem::Chain; return TAnswer::Untrusted;
        default: return TAnswer::Failed;
    }
}

TSignature Failed(DWORD Error) {
    TSignature Signature;
    Signature.Status = TSignatureStatus::Error;
    Signature.Message = Win32MessageText(Error);
    if (Signature.Message.empty()) {
        char Number[16];
        std::snprintf(Number, sizeof Number, "0x%08lX", static_cast<unsigned long>(Error));
        Signature.Message = FormatStr(TStringId::sSignatureErrorNumber, {Number});
    }
    return Signature;
}

TSignature WithStatus(TSignatureStatus Status) {
    TSignature Signature;
    Signature.Status = Status;
    return Signature;
}

std::wstring Widened(const std::string& Text) {
    const int Length = ::MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Wide(static_cast<std::size_t>(Length > 0 ? Length : 0), L'\0');
    if (Length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
    return Wide;
}

// A common name of the certificate's subject or, with CERT_NAME_ISSUER_FLAG, of its issuer.
std::string CommonName(PCCERT_CONTEXT Certificate, DWORD Flags) {
    TTrustCalls& Calls = TrustCalls();
    auto* Oid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD Size = Calls.CertGetNameStringA(Certificate, CERT_NAME_ATTR_TYPE, Flags, Oid, nullptr, 0);
    if (Size <= 1)
        return std::string();
    std::string Name(Size, '\0');
    const DWORD Written = Calls.CertGetNameStringA(Certificate, CERT_NAME_ATTR_TYPE, Flags, Oid, Name.data(), Size);
    Name.resize(Written > 0 ? Written - 1 : 0);
    return Name;
}

// The signer that the state data of a verification holds, or null.
CRYPT_PROVIDER_SGNR* SignerOf(HANDLE StateData) {
    TTrustCalls& Calls = TrustCalls();
    if (!StateData)
        return nullptr;
    CRYPT_PROVIDER_DATA* Provider = Calls.WTHelperProvDataFromStateData(StateData);
    return Provider ? Calls.WTHelperGetProvSignerFromChain(Provider, 0, FALSE, 0) : nullptr;
}

// Wine 8 passes SHA-256 chains that end at an untrusted root: the signer's
// chain is checked once more against the Authenticode policy. On Windows
// this agrees with WinVerifyTrust.
bool ChainPassesPolicy(const CRYPT_PROVIDER_SGNR* Signer, TTrustProblem& Problem) {
    Problem = TTrustProblem::Chain;
    if (!Signer || !Signer->pChainContext)
        return false;
    CERT_CHAIN_POLICY_PARA Policy{};
    Policy.cbSize = sizeof Policy;
    CERT_CHAIN_POLICY_STATUS Status{};
    Status.cbSize = sizeof Status;
    if (!TrustCalls().CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, Signer->pChainContext,
                                                       &Policy, &Status))
        return false;
    if (Status.dwError == 0)
        return true;
    if (Classify(static_cast<LONG>(Status.dwError), Problem) != TAnswer::Untrusted)
        Problem = TTrustProblem::Chain;
    return false;
}

// Runs the verification that Data describes, reads the signer from its state
// data, and releases that.
TSignature VerifyTrust(WINTRUST_DATA& Data, TSignatureSource Source) {
    TTrustCalls& Calls = TrustCalls();
    Data.cbStruct = sizeof Data;
    Data.dwUIChoice = WTD_UI_NONE;
    Data.fdwRevocationChecks = WTD_REVOKE_NONE;
    Data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    Data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID Action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const auto NoWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
    const LONG Result = Calls.WinVerifyTrust(NoWindow, &Action, &Data);

    TSignature Signature;
    Signature.Source = Source;
    const CRYPT_PROVIDER_SGNR* Signer = SignerOf(Data.hWVTStateData);
    if (Signer && Signer->csCertChain > 0 && Signer->pasCertChain && Signer->pasCertChain[0].pCert) {
        Signature.Signer = CommonName(Signer->pasCertChain[0].pCert, 0);
        Signature.Issuer = CommonName(Signer->pasCertChain[0].pCert, CERT_NAME_ISSUER_FLAG);
    }
    switch (Classify(Result, Signature.Problem)) {
        case TAnswer::Verified:
            Signature.Status = ChainPassesPolicy(Signer, Signature.Problem) ? TSignatureStatus::Trusted
                                                                           : TSignatureStatus::Untrusted;
            if (Signature.Status == TSignatureStatus::Trusted)
                Signature.Problem = TTrustProblem::None;
            break;
        case TAnswer::NoSignature: Signature = WithStatus(TSignatureStatus::Unsigned); break;
        case TAnswer::Tampered: Signature.Status = TSignatureStatus::Tampered; break;
        case TAnswer::Untrusted: Signature.Status = TSignatureStatus::Untrusted; break;
        case TAnswer::Failed: Signature = Failed(static_cast<DWORD>(Result)); break;
    }
    Data.dwStateAction = WTD_STATEACTION_CLOSE;
    Calls.WinVerifyTrust(NoWindow, &Action, &Data);
    return Signature;
}

TSignature VerifyEmbedded(const std::wstring& Path, HANDLE File) {
    WINTRUST_FILE_INFO Subject{};
    Subject.cbStruct = sizeof Subject;
    Subject.pcwszFilePath = Path.c_str();
    Subject.hFile = File;
    WINTRUST_DATA Data{};
    Data.dwUnionChoice = WTD_CHOICE_FILE;
    Data.pFile = &Subject;
    return VerifyTrust(Data, TSignatureSource::Embedded);
}

std::wstring UpperHex(const BYTE* Bytes, DWORD Size) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring Text;
    for (DWORD I = 0; I < Size; ++I) {
        Text += kDigits[Bytes[I] >> 4];
        Text += kDigits[Bytes[I] & 0xF];
    }
    return Text;
}

enum class THashKind { Sha256, Sha1 };

// The catalogs of one hash algorithm. Unsigned when none lists the file;
// with SHA-256, also Unsigned when the system cannot hash that way.
TSignature VerifyInCatalogs(const std::wstring& Path, HANDLE File, THashKind Kind) {
    TTrustCalls& Calls = TrustCalls();
    HCATADMIN Admin = nullptr;
    BYTE Hash[64];
    DWORD HashSize = sizeof Hash;
    if (Kind == THashKind::Sha256) {
        if (!Calls.CryptCATAdminAcquireContext2 || !Calls.CryptCATAdminCalcHashFromFileHandle2 ||
            !Calls.CryptCATAdminAcquireContext2(&Admin, nullptr, L"SHA256", nullptr, 0))
            return WithStatus(TSignatureStatus::Unsigned);
        if (!Calls.CryptCATAdminCalcHashFromFileHandle2(Admin, File, &HashSize, Hash, 0)) {
            Calls.CryptCATAdminReleaseContext(Admin, 0);
            return WithStatus(TSignatureStatus::Unsigned);
        }
    } else {
        if (!Calls.CryptCATAdminAcquireContext(&Admin, nullptr, 0))
            return Failed(Calls.GetLastError());
        if (!Calls.CryptCATAdminCalcHashFromFileHandle(File, &HashSize, Hash, 0)) {
            const TSignature Signature = Failed(Calls.GetLastError());
            Calls.CryptCATAdminReleaseContext(Admin, 0);
            return Signature;
        }
    }

    TSignature Signature = WithStatus(TSignatureStatus::Unsigned);
    if (HCATINFO Catalog = Calls.CryptCATAdminEnumCatalogFromHash(Admin, Hash, HashSize, 0, nullptr)) {
        CATALOG_INFO Info{};
        Info.cbStruct = sizeof Info;
        if (Calls.CryptCATCatalogInfoFromContext(Catalog, &Info, 0)) {
            const std::wstring Tag = UpperHex(Hash, HashSize);
            WINTRUST_CATALOG_INFO Member{};
            Member.cbStruct = sizeof Member;
            Member.pcwszCatalogFilePath = Info.wszCatalogFile;
            Member.pcwszMemberTag = Tag.c_str();
            Member.pcwszMemberFilePath = Path.c_str();
            Member.hMemberFile = File;
            Member.pbCalculatedFileHash = Hash;
            Member.cbCalculatedFileHash = HashSize;
            Member.hCatAdmin = Admin;
            WINTRUST_DATA Data{};
            Data.dwUnionChoice = WTD_CHOICE_CATALOG;
            Data.pCatalog = &Member;
            Signature = VerifyTrust(Data, TSignatureSource::Catalog);
        } else {
            Signature = Failed(Calls.GetLastError());
        }
        Calls.CryptCATAdminReleaseCatalogContext(Admin, Catalog, 0);
    }
    Calls.CryptCATAdminReleaseContext(Admin, 0);
    return Signature;
}

bool IdentityOf(HANDLE File, TFileKey& Identity) {
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!TrustCalls().GetFileInformationByHandle(File, &Info))
        return false;
    const auto Wide = [](DWORD High, DWORD Low) { return static_cast<std::uint64_t>(High) << 32 | Low; };
    Identity.Volume = Info.dwVolumeSerialNumber;
    Identity.Index = Wide(Info.nFileIndexHigh, Info.nFileIndexLow);
    Identity.Size = Wide(Info.nFileSizeHigh, Info.nFileSizeLow);
    Identity.LastWrite = Wide(Info.ftLastWriteTime.dwHighDateTime, Info.ftLastWriteTime.dwLowDateTime);
    return true;
}

HANDLE OpenForReading(const std::wstring& Path) {
    return TrustCalls().CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class TAuthenticodeCheck final : public ISignatureCheck {
public:
    bool Checks() const override { return true; }

    bool Identify(const std::string& Path, TFileKey& Identity) override {
        const HANDLE File = OpenForReading(Widened(Path));
        if (File == INVALID_HANDLE_VALUE)
            return false;
        const bool Identified = IdentityOf(File, Identity);
        TrustCalls().CloseHandle(File);
        return Identified;
    }

    TSignature Verify(const std::string& Path, TFileKey& Identity, bool& Identified) override {
        TTrustCalls& Calls = TrustCalls();
        Identified = false;
        const std::wstring Wide = Widened(Path);
        const HANDLE File = OpenForReading(Wide);
        if (File == INVALID_HANDLE_VALUE)
            return Failed(Calls.GetLastError());
        Identified = IdentityOf(File, Identity);
        TSignature Signature = VerifyEmbedded(Wide, File);
        // Most of the system's own files are signed in a catalog; catalogs of
        // older systems list SHA-1 hashes only.
        if (Signature.Status == TSignatureStatus::Unsigned)
            Signature = VerifyInCatalogs(Wide, File, THashKind::Sha256);
        if (Signature.Status == TSignatureStatus::Unsigned)
            Signature = VerifyInCatalogs(Wide, File, THashKind::Sha1);
        Calls.CloseHandle(File);
        return Signature;
    }
};

}  // namespace

std::unique_ptr<ISignatureCheck> CreateSystemSignatureCheck() { return std::make_unique<TAuthenticodeCheck>(); }

}  // namespace quorvane

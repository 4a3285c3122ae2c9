// The Authenticode check under Wine: files signed at test time, the catalog
// path through stand-ins (Wine has no catalogs), and failing calls.
#include "trust/win32/TrustCalls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/win32/Win32Text.h"
#include "tests/trust/win32/SignedFiles.h"
#include "trust/Signature.h"

namespace quorvane::win32 {
namespace {

using quorvane::testing::SignedFile;
using quorvane::testing::TestRootTrusted;

std::wstring Wide(const std::string& Text) { return std::wstring(Text.begin(), Text.end()); }

// What the stand-ins saw and answer; plain functions cannot capture.
struct TCatalogScene {
    TTrustCalls Real;  // the table before the test changed it
    std::string SignedBy;  // the file whose embedded signature stands in for the catalog's
    std::vector<BYTE> Sha256{0xAB, 0xCD, 0xEF, 0x01};
    std::vector<BYTE> Sha1{0x12, 0x34, 0x5A};
    std::vector<BYTE> Listed;  // the hash a catalog lists; none when empty
    std::wstring Algorithm;  // as given to CryptCATAdminAcquireContext2
    std::wstring MemberTag;
    HCATADMIN AdminGiven = nullptr;  // the catalog verification's hCatAdmin
    int Acquired = 0, Released = 0, CatalogsFound = 0, CatalogsReleased = 0, Verified = 0, Closed = 0;
    bool Sha1AcquireFails = false;
};
TCatalogScene* Scene = nullptr;

const auto kAdmin = reinterpret_cast<HCATADMIN>(static_cast<INT_PTR>(0xCA7));
const auto kCatalog = reinterpret_cast<HCATINFO>(static_cast<INT_PTR>(0xCA70));

BOOL WINAPI Acquire2(HCATADMIN* Admin, const GUID*, const WCHAR* Algorithm, const CERT_STRONG_SIGN_PARA*, DWORD) {
    Scene->Algorithm = Algorithm ? Algorithm : L"";
    ++Scene->Acquired;
    *Admin = kAdmin;
    return TRUE;
}
BOOL WINAPI Acquire(HCATADMIN* Admin, const GUID*, DWORD) {
    if (Scene->Sha1AcquireFails) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ++Scene->Acquired;
    *Admin = kAdmin;
    return TRUE;
}
BOOL CopyHash(const std::vector<BYTE>& Hash, DWORD* Size, BYTE* Buffer) {
    if (*Size < Hash.size())
        return FALSE;
    std::copy(Hash.begin(), Hash.end(), Buffer);
    *Size = static_cast<DWORD>(Hash.size());
    return TRUE;
}
BOOL WINAPI CalcHash2(HCATADMIN, HANDLE, DWORD* Size, BYTE* Buffer, DWORD) {
    return CopyHash(Scene->Sha256, Size, Buffer);
}
BOOL WINAPI CalcHash(HANDLE, DWORD* Size, BYTE* Buffer, DWORD) { return CopyHash(Scene->Sha1, Size, Buffer); }
HCATINFO WINAPI EnumCatalog(HCATADMIN, BYTE* Hash, DWORD Size, DWORD, HCATINFO*) {
    if (std::vector<BYTE>(Hash, Hash + Size) != Scene->Listed)
        return nullptr;
    ++Scene->CatalogsFound;
    return kCatalog;
}
BOOL WINAPI CatalogInfo(HCATINFO, CATALOG_INFO* Info, DWORD) {
    wcscpy(Info->wszCatalogFile, L"C:\\windows\\system32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\q.cat");
    return TRUE;
}
BOOL WINAPI ReleaseCatalog(HCATADMIN, HCATINFO, DWORD) {
    ++Scene->CatalogsReleased;
    return TRUE;
}
BOOL WINAPI ReleaseAdmin(HCATADMIN, DWORD) {
    ++Scene->Released;
    return TRUE;
}
// A catalog verification is answered by the real verification of the
// embedded signature of Scene->SignedBy: its state data holds a real signer.
LONG WINAPI VerifyTrust(HWND Window, GUID* Action, LPVOID Argument) {
    auto* Data = static_cast<WINTRUST_DATA*>(Argument);
    if (Data->dwUnionChoice != WTD_CHOICE_CATALOG)
        return Scene->Real.WinVerifyTrust(Window, Action, Argument);
    if (Data->dwStateAction == WTD_STATEACTION_VERIFY) {
        ++Scene->Verified;
        Scene->MemberTag = Data->pCatalog->pcwszMemberTag;
        Scene->AdminGiven = Data->pCatalog->hCatAdmin;
    } else {
        ++Scene->Closed;
    }
    const std::wstring Path = Wide(Scene->SignedBy);
    WINTRUST_FILE_INFO File{};
    File.cbStruct = sizeof File;
    File.pcwszFilePath = Path.c_str();
    WINTRUST_DATA Embedded = *Data;
    Embedded.dwUnionChoice = WTD_CHOICE_FILE;
    Embedded.pFile = &File;
    const LONG Result = Scene->Real.WinVerifyTrust(Window, Action, &Embedded);
    Data->hWVTStateData = Embedded.hWVTStateData;
    return Result;
}

class AuthenticodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TestRootTrusted());
        FSaved = TrustCalls();
    }
    void TearDown() override {
        TrustCalls() = FSaved;
        Scene = nullptr;
    }

    TSignature Verify(const std::string& Path) {
        TFileKey Identity;
        bool Identified = false;
        return Check->Verify(Path, Identity, Identified);
    }

    // The catalog functions and WinVerifyTrust replaced by the stand-ins above.
    void UseCatalogs(TCatalogScene& With) {
        Scene = &With;
        With.Real = FSaved;
        TTrustCalls& Calls = TrustCalls() = FSaved;
        Calls.CryptCATAdminAcquireContext2 = Acquire2;
        Calls.CryptCATAdminCalcHashFromFileHandle2 = CalcHash2;
        Calls.CryptCATAdminAcquireContext = Acquire;
        Calls.CryptCATAdminCalcHashFromFileHandle = CalcHash;
        Calls.CryptCATAdminEnumCatalogFromHash = EnumCatalog;
        Calls.CryptCATCatalogInfoFromContext = CatalogInfo;
        Calls.CryptCATAdminReleaseCatalogContext = ReleaseCatalog;
        Calls.CryptCATAdminReleaseContext = ReleaseAdmin;
        Calls.WinVerifyTrust = VerifyTrust;
    }

    std::unique_ptr<ISignatureCheck> Check = CreateSystemSignatureCheck();

private:
    TTrustCalls FSaved;
};

TEST_F(AuthenticodeTest, TellsEachKindOfFileApart) {
    using S = TSignatureStatus;
    const struct {
        const char* File;
        TSignatureStatus Status;
        const char* Signer;
        const char* Issuer;
        TSignatureSource Source;
        TTrustProblem Problem;
    } Cases[] = {
        {"trusted.exe", S::Trusted, "Quorvane Testsignatur", "Quorvane Test Root", TSignatureSource::Embedded,
         TTrustProblem::None},
        // Wine's WinVerifyTrust passes this one; the second look at the chain does not.
        {"untrusted-sha256.exe", S::Untrusted, "Quorvane Fremdsignatur", "Quorvane Fremde Stelle",
         TSignatureSource::Embedded, TTrustProblem::Chain},
        {"untrusted-sha1.exe", S::Untrusted, "Quorvane Altsignatur", "Quorvane Alte Stelle",
         TSignatureSource::Embedded, TTrustProblem::Chain},
        {"tampered.exe", S::Tampered, "", "", TSignatureSource::Embedded, TTrustProblem::None},
        {"unsigned.exe", S::Unsigned, "", "", TSignatureSource::None, TTrustProblem::None},
        // A table beyond the file's end is no signature at all, for Windows too.
        {"table-outside.exe", S::Unsigned, "", "", TSignatureSource::None, TTrustProblem::None},
        {"table-truncated.exe", S::Error, "", "", TSignatureSource::None, TTrustProblem::None},
        {"table-garbage.exe", S::Error, "", "", TSignatureSource::None, TTrustProblem::None},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.File);
        const std::string Path = SignedFile(Case.File);
        TFileKey Identity, Again;
        bool Identified = false;
        const TSignature Signature = Check->Verify(Path, Identity, Identified);
        EXPECT_EQ(Signature.Status, Case.Status);
        EXPECT_EQ(Signature.Signer, Case.Signer);
        EXPECT_EQ(Signature.Issuer, Case.Issuer);
        EXPECT_EQ(Signature.Source, Case.Source);
        EXPECT_EQ(Signature.Problem, Case.Problem);
        EXPECT_EQ(Signature.Message.empty(), Case.Status != S::Error) << Signature.Message;
        ASSERT_TRUE(Identified);
        ASSERT_TRUE(Check->Identify(Path, Again));
        EXPECT_EQ(Again, Identity);
        WIN32_FILE_ATTRIBUTE_DATA Attributes{};
        ASSERT_TRUE(::GetFileAttributesExA(Path.c_str(), GetFileExInfoStandard, &Attributes));
        EXPECT_EQ(Identity.Size, Attributes.nFileSizeLow);
    }
    TFileKey Trusted, Tampered;
    ASSERT_TRUE(Check->Identify(SignedFile("trusted.exe"), Trusted));
    ASSERT_TRUE(Check->Identify(SignedFile("tampered.exe"), Tampered));
    EXPECT_NE(Trusted.Index, Tampered.Index);
}

TEST_F(AuthenticodeTest, AFileThatCannotBeOpenedIsAnErrorWithTheSystemsMessage) {
    const std::string Missing = SignedFile("no-such-file.exe");
    TFileKey Identity;
    bool Identified = true;
    const TSignature Signature = Check->Verify(Missing, Identity, Identified);
    EXPECT_EQ(Signature.Status, TSignatureStatus::Error);
    EXPECT_EQ(Signature.Message, Win32MessageText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(Identified);
    EXPECT_FALSE(Check->Identify(Missing, Identity));
}

// Stand-ins for the second look at the chain.
CRYPT_PROVIDER_SGNR* WINAPI NoSigner(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD) { return nullptr; }
BOOL WINAPI PolicyCallFails(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS) {
    return FALSE;
}
BOOL WINAPI PolicyExpired(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS Status) {
    Status->dwError = static_cast<DWORD>(CERT_E_EXPIRED);
    return TRUE;
}
BOOL WINAPI PolicyRevoked(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS Status) {
    Status->dwError = static_cast<DWORD>(CRYPT_E_REVOKED);
    return TRUE;
}

TEST_F(AuthenticodeTest, APassedVerificationIsTrustedOnlyWhenTheSignersChainPassesThePolicy) {
    const std::string Trusted = SignedFile("trusted.exe");
    const auto Saved = TrustCalls();
    TrustCalls().CertVerifyCertificateChainPolicy = PolicyExpired;
    TSignature Signature = Verify(Trusted);
    EXPECT_EQ(Signature.Status, TSignatureStatus::Untrusted);
    EXPECT_EQ(Signature.Problem, TTrustProblem::Expired);
    EXPECT_EQ(Signature.Signer, "Quorvane Testsignatur");
    TrustCalls().CertVerifyCertificateChainPolicy = PolicyRevoked;
    EXPECT_EQ(Verify(Trusted).Problem, TTrustProblem::Revoked);
    TrustCalls().CertVerifyCertificateChainPolicy = PolicyCallFails;
    Signature = Verify(Trusted);
    EXPECT_EQ(Signature.Status, TSignatureStatus::Untrusted);
    EXPECT_EQ(Signature.Problem, TTrustProblem::Chain);
    TrustCalls() = Saved;
    TrustCalls().WTHelperGetProvSignerFromChain = NoSigner;
    Signature = Verify(Trusted);
    EXPECT_EQ(Signature.Status, TSignatureStatus::Untrusted) << "no signer, no chain to check";
    EXPECT_EQ(Signature.Signer, "");
}

TEST_F(AuthenticodeTest, ACatalogListsTheFilesSha256HashAsTheUpperCaseMemberTag) {
    TCatalogScene With;
    UseCatalogs(With);
    With.SignedBy = SignedFile("trusted.exe");
    With.Listed = With.Sha256;
    const TSignature Signature = Verify(SignedFile("unsigned.exe"));
    EXPECT_EQ(Signature.Status, TSignatureStatus::Trusted);
    EXPECT_EQ(Signature.Source, TSignatureSource::Catalog);
    EXPECT_EQ(Signature.Signer, "Quorvane Testsignatur");
    EXPECT_EQ(With.Algorithm, L"SHA256");
    EXPECT_EQ(With.MemberTag, L"ABCDEF01");
    EXPECT_EQ(With.AdminGiven, kAdmin);
    EXPECT_EQ(With.Verified, 1);
    // Every context that was opened is released.
    EXPECT_EQ(With.Closed, 1);
    EXPECT_EQ(With.CatalogsFound, 1);
    EXPECT_EQ(With.CatalogsReleased, 1);
    EXPECT_EQ(With.Acquired, 1);
    EXPECT_EQ(With.Released, 1);
}

TEST_F(AuthenticodeTest, WithoutTheSha256FunctionsOrItsCatalogTheSha1OnesAreAsked) {
    for (const bool Sha256Missing : {true, false}) {
        SCOPED_TRACE(Sha256Missing ? "SHA-256 functions missing" : "no catalog lists the SHA-256 hash");
        TCatalogScene With;
        UseCatalogs(With);
        if (Sha256Missing) {
            TrustCalls().CryptCATAdminAcquireContext2 = nullptr;
            TrustCalls().CryptCATAdminCalcHashFromFileHandle2 = nullptr;
        }
        With.SignedBy = SignedFile("untrusted-sha256.exe");
        With.Listed = With.Sha1;
        const TSignature Signature = Verify(SignedFile("unsigned.exe"));
        EXPECT_EQ(Signature.Status, TSignatureStatus::Untrusted) << "the chain is looked at for catalogs too";
        EXPECT_EQ(Signature.Source, TSignatureSource::Catalog);
        EXPECT_EQ(With.MemberTag, L"12345A");
        EXPECT_EQ(With.Acquired, Sha256Missing ? 1 : 2);
        EXPECT_EQ(With.Released, With.Acquired);
        EXPECT_EQ(With.CatalogsReleased, 1);
        EXPECT_EQ(With.Closed, 1);
    }
}

TEST_F(AuthenticodeTest, AFileThatNoCatalogListsIsUnsignedAndAFailedCatalogLookUpAnError) {
    TCatalogScene With;
    UseCatalogs(With);
    EXPECT_EQ(Verify(SignedFile("unsigned.exe")).Status, TSignatureStatus::Unsigned);
    EXPECT_EQ(With.Acquired, 2);
    EXPECT_EQ(With.Released, 2);
    EXPECT_EQ(With.Verified, 0);
    // A file with an embedded signature is not looked up in the catalogs.
    EXPECT_EQ(Verify(SignedFile("tampered.exe")).Status, TSignatureStatus::Tampered);
    EXPECT_EQ(With.Acquired, 2);

    With.Sha1AcquireFails = true;
    TrustCalls().CryptCATAdminAcquireContext2 = nullptr;
    const TSignature Signature = Verify(SignedFile("unsigned.exe"));
    EXPECT_EQ(Signature.Status, TSignatureStatus::Error);
    EXPECT_EQ(Signature.Message, Win32MessageText(ERROR_ACCESS_DENIED));
}

}  // namespace
}  // namespace quorvane::win32

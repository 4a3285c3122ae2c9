// The Windows calls of the signature check, through one table of function
// pointers. By default every entry is the real API; a test replaces single
// entries (to make one call fail, or to stand in for the catalogs that Wine
// lacks) and restores the table afterwards.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <mscat.h>

namespace quorvane::win32 {

struct TTrustCalls {
    // The file.
    decltype(&::CreateFileW) CreateFileW = &::CreateFileW;
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle = &::GetFileInformationByHandle;
    decltype(&::CloseHandle) CloseHandle = &::CloseHandle;
    decltype(&::GetLastError) GetLastError = &::GetLastError;
    // Verification, and the signer's certificates.
    decltype(&::WinVerifyTrust) WinVerifyTrust = &::WinVerifyTrust;
    decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = &::WTHelperProvDataFromStateData;
    decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain = &::WTHelperGetProvSignerFromChain;
    decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy =
        &::CertVerifyCertificateChainPolicy;
    decltype(&::CertGetNameStringA) CertGetNameStringA = &::CertGetNameStringA;
    // The catalogs. The SHA-256 pair is missing from mingw's import library
    // (and from older systems): null when GetProcAddress does not find it.
    decltype(&::CryptCATAdminAcquireContext2) CryptCATAdminAcquireContext2 = nullptr;
    decltype(&::CryptCATAdminCalcHashFromFileHandle2) CryptCATAdminCalcHashFromFileHandle2 = nullptr;
    decltype(&::CryptCATAdminAcquireContext) CryptCATAdminAcquireContext = &::CryptCATAdminAcquireContext;
    decltype(&::CryptCATAdminCalcHashFromFileHandle) CryptCATAdminCalcHashFromFileHandle =
        &::CryptCATAdminCalcHashFromFileHandle;
    decltype(&::CryptCATAdminEnumCatalogFromHash) CryptCATAdminEnumCatalogFromHash =
        &::CryptCATAdminEnumCatalogFromHash;
    decltype(&::CryptCATCatalogInfoFromContext) CryptCATCatalogInfoFromContext = &::CryptCATCatalogInfoFromContext;
    decltype(&::CryptCATAdminReleaseCatalogContext) CryptCATAdminReleaseCatalogContext =
        &::CryptCATAdminReleaseCatalogContext;
    decltype(&::CryptCATAdminReleaseContext) CryptCATAdminReleaseContext = &::CryptCATAdminReleaseContext;
};

// The table every check calls through, the SHA-256 catalog pair looked up on
// first use; lives as long as the program.
TTrustCalls& TrustCalls();

}  // namespace quorvane::win32

// The files that make-signed-files.sh signs at test time, and whether their
// authority is trusted (TestRoot.exe puts it into the Wine prefix's Root
// store before these tests and takes it out after them).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>

namespace quorvane::testing {

// The full path of a file of the signed folder, from this test program's folder.
inline std::string SignedFile(const std::string& Name) {
    char Buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    std::string Folder = Buffer;
    Folder.erase(Folder.find_last_of('\\') + 1);
    std::string Relative = QUORVANE_SIGNED_FILES_RELATIVE;
    std::replace(Relative.begin(), Relative.end(), '/', '\\');
    return Folder + Relative + "\\" + Name;
}

// The current user's Root store as the registry holds it.
inline HCERTSTORE OpenRootStore() {
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
}

// True when the Root store holds the certificate of the tests' authority.
inline bool TestRootTrusted() {
    const HCERTSTORE Store = OpenRootStore();
    if (!Store)
        return false;
    const PCCERT_CONTEXT Found = ::CertFindCertificateInStore(Store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_A,
                                                              "Quorvane Test Root", nullptr);
    if (Found)
        ::CertFreeCertificateContext(Found);
    ::CertCloseStore(Store, 0);
    return Found != nullptr;
}

}  // namespace quorvane::testing

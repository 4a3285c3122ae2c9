// Puts the authority of the signature tests into the Root store of the Wine
// prefix, or takes it out again: "TestRoot import|remove FILE.der". Wine reads
// the Root store once per process, so this runs before the tests start.
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/trust/win32/SignedFiles.h"

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    std::ifstream File(argv[2], std::ios::binary);
    const std::vector<BYTE> Der{std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
    const HCERTSTORE Store = quorvane::testing::OpenRootStore();
    if (!Store || Der.empty())
        return 1;
    bool Done = false;
    if (std::string(argv[1]) == "import") {
        Done = ::CertAddEncodedCertificateToStore(Store, X509_ASN_ENCODING, Der.data(), static_cast<DWORD>(Der.size()),
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    } else if (const PCCERT_CONTEXT Certificate =
                   ::CertCreateCertificateContext(X509_ASN_ENCODING, Der.data(), static_cast<DWORD>(Der.size()))) {
        const PCCERT_CONTEXT Found =
            ::CertFindCertificateInStore(Store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, Certificate, nullptr);
        Done = !Found || ::CertDeleteCertificateFromStore(Found);  // frees Found
        ::CertFreeCertificateContext(Certificate);
    }
    ::CertCloseStore(Store, 0);
    return Done ? 0 : 1;
}

#include "packages/PackageDatabase.h"

namespace quorvane {

const char* PackageManagerName(TPackageManager Manager) {
    switch (Manager) {
        case TPackageManager::Dpkg: return "dpkg";
        case TPackageManager::Rpm: return "rpm";
        case TPackageManager::Pacman: return "pacman";
        case TPackageManager::Apk: return "apk";
    }
    return "";
}

const char* DigestAlgorithmName(TDigestAlgorithm Algorithm) {
    switch (Algorithm) {
        case TDigestAlgorithm::Md5: return "md5";
        case TDigestAlgorithm::Sha1: return "sha1";
        case TDigestAlgorithm::Sha224: return "sha224";
        case TDigestAlgorithm::Sha256: return "sha256";
        case TDigestAlgorithm::Sha384: return "sha384";
        case TDigestAlgorithm::Sha512: return "sha512";
        case TDigestAlgorithm::None: break;
    }
    return "";
}

}  // namespace quorvane

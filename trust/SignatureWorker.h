// The signatures of a reload's image files, verified off the user-interface thread.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "trust/SignatureVerdicts.h"
#include "trust/VerdictWorker.h"

namespace quorvane {

using TFileVerdicts = std::vector<std::pair<std::string, TSignature>>;

class TSignatureWorker : public TVerdictWorker<TSignature> {
public:
    TSignatureWorker(TSignatureVerdicts& Verdicts, std::function<void()> Ready)
        : TVerdictWorker([&Verdicts](const std::string& Path) { return Verdicts.Verdict(Path); }, std::move(Ready)) {}
};

}  // namespace quorvane

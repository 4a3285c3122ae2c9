// The verdicts that may arrive after a reload has shown the tree: the image
// files' signatures and the libraries loaded into the processes. A window
// has them computed off its own thread, kept by file identity across
// reloads, and hands them to the catalogue's records on its thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "catalogue/Catalogue.h"
#include "trust/ModuleVerdicts.h"
#include "trust/SignatureWorker.h"
#include "trust/VerdictWorker.h"

namespace quorvane {

class TLateVerdicts {
public:
    // Signatures and ModuleVersions serve the workers' threads, and nobody
    // else meanwhile. Ready is called on a worker's thread whenever verdicts
    // are waiting; it only posts to the owner's thread, which then calls
    // Deliver.
    TLateVerdicts(TCatalogue& Catalogue, ISignatureCheck& Signatures, IVersionApi& ModuleVersions,
                  std::function<void()> Ready);

    // After a reload: the records' signatures become pending, and the files
    // that the records wait for are handed to the workers in place of those
    // of the reload before.
    void Start();

    // Gives the records the verdicts that arrived; answers the tree-order
    // positions of the records that changed, each once, ascending.
    std::vector<std::size_t> Deliver();

    // True while verdicts of the last start are being computed.
    bool Busy() const;

    // Ends the workers (the file in progress is finished); the next Start
    // begins anew. The kept verdicts stay.
    void Stop();

private:
    TCatalogue& FCatalogue;
    TSignatureVerdicts FSignatureVerdicts;
    TModuleVerdicts FModuleVerdicts;
    std::function<void()> FReady;
    std::unique_ptr<TSignatureWorker> FSignatureWorker;  // made with the first files
    std::unique_ptr<TVerdictWorker<TModuleVerdict>> FModuleWorker;
};

}  // namespace quorvane

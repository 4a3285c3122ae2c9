// The verdicts that may arrive after a reload has shown the tree: the image
// files' signatures and the libraries loaded into the processes. A window
// has them computed off its own thread, kept by file identity across
// reloads, and hands them to the catalogue's records on its thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
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

    // Has the libraries of each reload's processes listed off the owner's
    // thread, by module readers of Source, with their verdicts; false when
    // Source has none (the reloads must then list them). Before the first Start.
    bool ListModulesFrom(IProcessSource& Source);

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
    // One reload's listing: its reader (stat and preload caches of the
    // reload) and the verdicts it has made, by content path.
    struct TListingRound {
        std::unique_ptr<IProcessSource> Reader;
        std::unordered_map<std::string, TSharedModuleVerdict> Verdicts;
    };
    struct TListing {
        std::shared_ptr<TListingRound> Round;
        TProcessStart Process;
    };
    struct TListed {
        TProcessModules Modules;
        std::vector<TSharedModuleVerdict> Verdicts;  // null where there is nothing to read
        bool SameProcess = false;  // the id still names the process of the record
    };
    TListed List(const TListing& Listing);

    TCatalogue& FCatalogue;
    TSignatureVerdicts FSignatureVerdicts;
    TModuleVerdicts FModuleVerdicts;
    std::function<void()> FReady;
    std::unique_ptr<TSignatureWorker> FSignatureWorker;  // made with the first files
    std::unique_ptr<TVerdictWorker<TModuleVerdict>> FModuleWorker;
    IProcessSource* FModuleSource = nullptr;
    std::unique_ptr<TVerdictWorker<TListed, TListing>> FListingWorker;
};

}  // namespace quorvane

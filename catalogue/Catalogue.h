// The process catalogue: its own tree model, rebuilt from a fresh snapshot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/NodeData.h"
#include "catalogue/ProcessSource.h"
#include "catalogue/Provenance.h"

namespace quorvane {

class TStCustomVersionInfo;

class TCatalogueNode {
public:
    std::string Text;  // executable name as the snapshot reports it
    int ImageIndex = 0;
    int SelectedIndex = 0;  // always ImageIndex once the node is complete
    bool Expanded = false;

    const TCatalogueNode* Parent() const { return FParent; }
    const std::vector<TCatalogueNode*>& Children() const { return FChildren; }
    int Level() const { return FLevel; }
    // Null while the node is being filled.
    const TNodeData* Data() const { return FData.get(); }

private:
    friend class TCatalogue;
    TCatalogueNode* FParent = nullptr;
    std::vector<TCatalogueNode*> FChildren;
    std::size_t FSiblingIndex = 0;  // position among its parent's children
    int FLevel = 0;
    std::unique_ptr<TNodeData> FData;
};

// A process told apart from a later one with the same id.
struct TProcessStart {
    std::uint32_t ProcessId = 0;
    TFileTime StartUtc = 0;
    std::string ImagePath;  // the program the record names
};

// Panel texts that a reload produces.
struct TReloadStatus {
    std::string ProcessCount;  // panel 0: "<n> Prozesse geladen "
    std::string PrivilegeStatus;  // panel 2: empty after success
};

class TCatalogue {
public:
    // Icons may be null: every probed node then keeps image index 0.
    TCatalogue(IProcessSource& Source, TStCustomVersionInfo& VersionInfo, IIconSink* Icons = nullptr);
    ~TCatalogue();
    TCatalogue(const TCatalogue&) = delete;
    TCatalogue& operator=(const TCatalogue&) = delete;

    // Whether the reloads list the libraries each process has loaded (the
    // records' Modules, their verdicts pending).
    void ListModules(bool Wanted) { FListModules = Wanted; }

    TReloadStatus ReloadCatalogue();
    void ClearCatalogue();
    void AddProcessNode(const std::string& Name, std::uint32_t ProcessId, std::uint32_t ParentProcessId,
                        std::int32_t ThreadCount);

    // Nodes in tree order: depth first, parent before children, children in
    // insertion order.
    std::size_t Count() const { return FNodes.size(); }
    const TCatalogueNode& Node(std::size_t Index) const;
    const std::vector<const TCatalogueNode*>& TreeOrder() const;
    const std::vector<TCatalogueNode*>& TopLevel() const { return FTopLevel; }

    void FullExpand();

    // The image files of the records, each once, in the tree order of the
    // first record that names it.
    std::vector<std::string> ImageFiles() const;

    // Makes the signature of every record with an image file pending (its
    // sentence says so) and answers those files, as ImageFiles does.
    std::vector<std::string> AwaitSignatures();

    // Gives every record of the image file the verdict on its signature
    // (the explanation's last sentence); answers their tree-order positions.
    std::vector<std::size_t> SetSignature(const std::string& ImagePath, const TSignature& Signature);

    // The files whose verdicts the records' libraries wait for: the content
    // paths, each once, in the tree order of the first record that names it.
    std::vector<std::string> ModuleFiles() const;

    // The processes whose records have an image and a start time, each
    // record's libraries now awaited (listed after the reload, off the
    // window's thread).
    std::vector<TProcessStart> AwaitModules();

    // Gives the record of the process that started at Process.StartUtc its
    // libraries and their verdicts (by index); answers its tree-order
    // position, none when no record has that process (its id was reused).
    std::optional<std::size_t> SetListedModules(const TProcessStart& Process, TProcessModules Modules,
                                                std::vector<TSharedModuleVerdict> Verdicts);

    // Gives every pending library its verdict, asking VerdictOf once per
    // content path: for a reader that waits for them all (the report).
    void SetModuleVerdicts(const std::function<TModuleVerdict(const std::string&)>& VerdictOf);

    // Gives every library read from ContentPath its verdict; answers the
    // tree-order positions of the records that changed.
    std::vector<std::size_t> SetModuleVerdict(const std::string& ContentPath, const TModuleVerdict& Verdict);

private:
    // The last node in tree order whose record carries ProcessId, or null.
    TCatalogueNode* FindLastInTreeOrder(std::uint32_t ProcessId) const;
    // True when A comes before B in tree order.
    static bool PrecedesInTreeOrder(const TCatalogueNode* A, const TCatalogueNode* B);

    IProcessSource& FSource;
    TStCustomVersionInfo& FVersionInfo;
    IIconSink* FIcons;

    std::vector<std::unique_ptr<TCatalogueNode>> FNodes;  // insertion order
    std::vector<TCatalogueNode*> FTopLevel;
    // Completed nodes by their record's ProcessId, so the parent search does not
    // walk the whole tree; ties are broken by tree order.
    std::unordered_map<std::uint32_t, std::vector<TCatalogueNode*>> FByProcessId;
    // What the version reader found per image path since the catalogue was
    // last cleared: many processes share an image.
    TVersionReadings FVersionReadings;
    mutable std::vector<const TCatalogueNode*> FTreeOrder;
    mutable bool FTreeOrderValid = true;
    // Tree-order positions by image path, made by the first SetSignature after a change.
    std::unordered_map<std::string, std::vector<std::size_t>> FByImagePath;
    bool FListModules = false;
    // The libraries by content path: tree-order position and index in the
    // record's list; made by the first SetModuleVerdict after a change.
    std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> FByModuleFile;
    // Tree-order positions by process id, made by the first SetListedModules after a change.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> FPositionsById;
};

}  // namespace quorvane

// Where a record's rating comes from: the risk rule applied to the running
// image (which may no longer be the file at its path), the package facts of
// the record, and a short German explanation of the rating.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "catalogue/NodeData.h"
#include "catalogue/ProcessSource.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

class TStCustomVersionInfo;

// Rates a process whose image file was determined. The reader reads the
// running image: under Origin.ContentPath when the path no longer names it.
// An image that was deleted or replaced since its start, or that lives in
// memory only, keeps version values only from a package that vouches for its
// content; from any other source it gets none (rated as a file without
// version data), since nothing vouches that they belong to this image.
//
// Known, when given, keeps what was read per image path, so that the
// processes of one image are rated from one reading (within one reload, while
// the files stay as they are).
struct TVersionReading {
    std::int32_t Failure = 0;  // as ClassifyByVersionInfo answers it
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string LanguageName;
    TVersionSource Source;
};
using TVersionReadings = std::unordered_map<std::string, TVersionReading>;
void RateRunningImage(TNodeData& Data, TStCustomVersionInfo& Reader, const TImageOrigin& Origin,
                      TVersionReadings* Known = nullptr);

// Rates the file Data.ImagePath by the risk rule, with its package facts and
// explanation.
void RateFile(TNodeData& Data, TStCustomVersionInfo& Reader);

// The explanation of a rating from the outcome of the version read
// (ReadFailure as ClassifyByVersionInfo answers it), the source that spoke
// for the file, and the state of a running image.
std::string ExplainRating(const TNodeData& Data, std::int32_t ReadFailure, const TVersionSource& Source,
                          TImageState State);

// The explanations of records that are not rated from a file: the kernel's
// pseudo-processes, and processes whose image file was not determined
// (Remark: the system's message, if any).
std::string ExplainKernelProcess();
std::string ExplainUndeterminedImage(const std::string& Remark);

// A file that cannot be examined at all: Message is the system's.
std::string ExplainUnexaminedFile(const std::string& Message);

// The sentence on a file's signature; empty when it was not checked.
std::string ExplainSignature(const TSignature& Signature);

// The explanation ends with the sentences of the verdicts that may arrive
// after the rating: the image file's signature, then the loaded libraries.
// Each of these replaces its sentence with the one of its new verdict; the
// rating does not change.

// Gives Data the verdict on its image file's signature.
void SetSignature(TNodeData& Data, const TSignature& Signature);

// Marks Data's libraries as to be listed after the reload.
void AwaitModules(TNodeData& Data);

// Gives Data the libraries the process has loaded with their Verdicts (by
// index); one without a verdict is pending where its content can be read and
// unreadable where it cannot.
void SetModules(TNodeData& Data, TProcessModules Modules, std::vector<TSharedModuleVerdict> Verdicts = {});

// Gives each of Data's pending libraries the verdict that VerdictOf answers
// for its content path.
void SetModuleVerdicts(TNodeData& Data,
                       const std::function<const TSharedModuleVerdict&(const std::string&)>& VerdictOf);

// Gives the library Data.Modules[Index] its verdict.
void SetModuleVerdict(TNodeData& Data, std::size_t Index, const TSharedModuleVerdict& Verdict);

// The sentence on the loaded libraries: empty when they were not asked for,
// or when every one of them is vouched for; else the libraries that nothing
// vouches for (at most three named in a sentence, and the count of the
// rest), those that were preloaded in sentences of their own. While verdicts
// are pending it says so; when the list could not be read, why.
std::string ExplainModules(const TNodeData& Data);

}  // namespace quorvane

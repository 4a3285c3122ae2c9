// The reports as JSON Lines, for pipelines that collect the reports of many
// machines: one object per process in tree order, or one per rated file. Keys
// are stable English names (docs/report-json.md); texts are UTF-8; numbers
// are numbers.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "catalogue/NodeData.h"

namespace quorvane {

class TCatalogue;

// What every object of one report carries: where and when it was taken.
struct TSnapshot {
    std::string HostName;  // in the system's 8-bit encoding
    std::string Time;  // ISO 8601 in UTC, e.g. "2026-12-08T09:30:00.250Z"
};

// ISO 8601 in UTC with milliseconds.
std::string SnapshotTime(std::chrono::system_clock::time_point Time);

// A FILETIME count as ISO 8601 in UTC with milliseconds (cut, not rounded);
// empty for a count with the top bit set, which names no time.
std::string FileTimeUtcText(TFileTime Time);

// Text in the system's encoding as OutputText writes it, in UTF-8: a byte that
// is no part of valid UTF-8 (file names are bytes on Linux) becomes the four
// characters "\xNN".
std::string JsonText(std::string_view SystemText);

// One line per node of the catalogue; WithModules adds every library each
// process has loaded, with its verdict. Write gets the text in pieces of whole
// lines; false as soon as Write answers false.
bool WriteJsonReport(const TCatalogue& Catalogue, const TSnapshot& Snapshot, bool WithModules,
                     const std::function<bool(std::string_view)>& Write);

// The same, as one text.
std::string JsonReportText(const TCatalogue& Catalogue, const TSnapshot& Snapshot, bool WithModules = false);

// The line of one file rated by "--files".
std::string JsonFileLine(const std::string& Path, const TNodeData& Data, const TSnapshot& Snapshot);

}  // namespace quorvane

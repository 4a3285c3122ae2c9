// quorvane-report: the report of the live system, written without a window.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "main/ReportCommand.h"
#include "probes/Probes.h"
#include "trust/Signature.h"
#include "versioninfo/VersionApi.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> Arguments(argv + 1, argv + argc);
    const auto Processes = quorvane::CreateSystemProcessSource();
    const auto Versions = quorvane::CreateSystemVersionApi();
    const auto Signatures = quorvane::CreateSystemSignatureCheck();
    return quorvane::RunReportCommand(Arguments, *Processes, *Versions, std::cout, std::cerr, Signatures.get());
}

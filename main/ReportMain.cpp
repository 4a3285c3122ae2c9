// quorvane-report: the report of the live system, written without a window.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "common/WholeFile.h"
#include "main/ReportCommand.h"
#include "probes/Probes.h"
#include "trust/Signature.h"
#include "versioninfo/VersionApi.h"

namespace {

class TStandardOutput final : public quorvane::IStandardOutput {
public:
    bool Write(std::string_view Text, std::string& Reason) override {
        return quorvane::WriteStandardOutput(Text, Reason);
    }
};

}  // namespace

int main(int argc, char** argv) {
    quorvane::HoldClosedStandardDescriptors();
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> Arguments(argv + 1, argv + argc);
    const auto Processes = quorvane::CreateSystemProcessSource();
    const auto Versions = quorvane::CreateSystemVersionApi();
    TStandardOutput Out;
    const auto Signatures = quorvane::CreateSystemSignatureCheck();
    const quorvane::TRootedVersionApi Rooted = [](const std::string& Root, std::string& Problem) {
        return quorvane::CreateSystemVersionApi(Root, Problem);
    };
    return quorvane::RunReportCommand(Arguments, *Processes, *Versions, Out, std::cerr, Signatures.get(), Rooted);
}

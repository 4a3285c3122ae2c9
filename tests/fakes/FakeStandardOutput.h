// A standard output that keeps what it is given, or fails as a full disk or a
// closed descriptor would.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "main/ReportCommand.h"

namespace quorvane::testing {

class TFakeStandardOutput final : public IStandardOutput {
public:
    std::string Text;
    std::optional<std::string> Failure;  // when set, every write fails with this reason

    bool Write(std::string_view Written, std::string& Reason) override {
        if (Failure) {
            Reason = *Failure;
            return false;
        }
        Text += Written;
        return true;
    }
};

}  // namespace quorvane::testing

// A sink for tests: keeps every diagnostic reported, in order.
#pragma once

#include <algorithm>
#include <vector>

#include "diag/Catalogue.h"
#include "diag/Diagnostic.h"

namespace testutil {

class RecordingSink : public diag::Sink {
public:
    void Report(const diag::Diagnostic& d) override { diagnostics.push_back(d); }

    // The codes reported, in order.
    std::vector<diag::Code> Codes() const {
        std::vector<diag::Code> codes;
        for (const diag::Diagnostic& d : diagnostics) codes.push_back(d.code);
        return codes;
    }
    // Those that weigh more than information.
    std::vector<diag::Diagnostic> Problems() const {
        std::vector<diag::Diagnostic> found;
        std::copy_if(diagnostics.begin(), diagnostics.end(), std::back_inserter(found),
                     [](const diag::Diagnostic& d) {
                         return diag::SeverityOf(d.code) != diag::Severity::kInformation;
                     });
        return found;
    }

    std::vector<diag::Diagnostic> diagnostics;
};

}  // namespace testutil

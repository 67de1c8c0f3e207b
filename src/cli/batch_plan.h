#pragma once

#include <string>
#include <vector>

#include "imageio/save_options.h"

namespace qv::cli {

struct BatchPlan {
    std::vector<std::string> outputs;  // one per input, in input order
    std::string error;                 // set when two inputs would write one file
    bool ok() const { return error.empty(); }
};

// Where a batch writes each input: the folder, the input's file name without
// its extension, and the extension of the type.
BatchPlan planBatchOutputs(const std::vector<std::string>& inputs, const std::string& folder, SaveFileType type);

}  // namespace qv::cli

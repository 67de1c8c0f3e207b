#pragma once

#include <string>
#include <vector>

#include "imageio/save_options.h"

namespace qv::cli {

struct BatchPlan {
    std::vector<std::string> outputs;  // one per input, in input order
    std::string error;                 // set when two inputs would write one file, or an output is an input
    bool ok() const { return error.empty(); }
};

// Where a batch writes each input: the folder, the input's file name without
// its extension, and the extension of the type.
BatchPlan planBatchOutputs(const std::vector<std::string>& inputs, const std::string& folder, SaveFileType type);

// A line saying that writing `output` would replace one of the inputs (the
// same file under any name), so that an original photo is never overwritten
// by its result; empty when it would not.
std::string replacedInputError(const std::string& output, const std::vector<std::string>& inputs);

// A line saying which of a run's outputs would replace one of its inputs
// (the photos, the settings file, the companion settings files) or another
// of its outputs; empty when each output is a place of its own.
std::string outputClashError(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

}  // namespace qv::cli

#include "cli/batch_plan.h"

#include <filesystem>

#include "cli/command_line.h"

namespace qv::cli {

BatchPlan planBatchOutputs(const std::vector<std::string>& inputs, const std::string& folder, SaveFileType type)
{
    namespace fs = std::filesystem;
    BatchPlan plan;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const fs::path name = fs::path(inputs[i]).stem();
        const std::string output = (fs::path(folder) / name).string() + extensionFor(type);
        for (std::size_t j = 0; j < i; ++j) {
            if (plan.outputs[j] == output) {
                plan.error = "pliki „" + inputs[j] + "” i „" + inputs[i] + "” dałyby ten sam plik wynikowy „" +
                             output + "”";
                return plan;
            }
        }
        plan.error = replacedInputError(output, inputs);
        if (!plan.ok())
            return plan;
        plan.outputs.push_back(output);
    }
    return plan;
}

std::string replacedInputError(const std::string& output, const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        std::error_code error;  // a file that does not exist is no input's
        if (std::filesystem::equivalent(output, input, error))
            return "plik wynikowy „" + output + "” zastąpiłby plik wejściowy „" + input + "”";
    }
    return {};
}

}  // namespace qv::cli

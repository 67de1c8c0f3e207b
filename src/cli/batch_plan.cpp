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

namespace {

// The same file under any name (a hard link too), or, where the file does not
// exist yet, the same name once links and ".." are resolved.
bool samePlace(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    std::error_code errorA, errorB;
    const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, errorA), errorA);
    const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, errorB), errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

}  // namespace

std::string replacedInputError(const std::string& output, const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs)
        if (samePlace(output, input))
            return "plik wynikowy „" + output + "” zastąpiłby plik wejściowy „" + input + "”";
    return {};
}

std::string outputClashError(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs)
{
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (std::string error = replacedInputError(outputs[i], inputs); !error.empty())
            return error;
        for (std::size_t j = 0; j < i; ++j) {
            if (outputs[i] == outputs[j])
                return "plik „" + outputs[i] + "” byłby zapisany dwa razy (obraz i ustawienia)";
            if (samePlace(outputs[i], outputs[j]))
                return "pliki wynikowe „" + outputs[j] + "” i „" + outputs[i] + "” to ten sam plik";
        }
    }
    return {};
}

}  // namespace qv::cli

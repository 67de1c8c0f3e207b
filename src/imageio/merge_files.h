#pragma once

#include <string>
#include <vector>

namespace qv {

struct PipelineState;
struct ImageIoContext;

// Decodes the files (differently exposed shots of one still scene) one by
// one and merges them into the state's source pair. File i of N fills the
// progress range i*100/(N+1) .. (i*100+100)/(N+1); the merge fills the last
// share. False on failure or abort, with nothing held and the error text
// set where there is something to say: the decoder's text, "Nieznany format
// obrazu" for a file no decoder takes, "Obrazy nie mają tych samych rozmiarów
// i głębi koloru" when a file differs in size or bit depth from the one before.
bool mergeExposures(ImageIoContext& ctx, PipelineState& state, const std::vector<std::string>& files);

}  // namespace qv

#pragma once

#include <string>
#include <vector>

namespace qv {

// The name under which the files of one image are shown and its settings
// file is looked for. One file: its file name. Several exposures: the files
// are ordered by path ignoring letter case, and the common beginning of their
// names (without extensions) is followed by what differs, joined by "_"
// ("IMG_0012", "IMG_0013", "IMG_0014" give "IMG_0012_3_4"). Empty for no file.
std::string imageDisplayName(const std::vector<std::string>& files);

// The path the image stands for: one file's own path; for several, the
// folder of the first (in the order above) followed by the combined name.
std::string imagePathOf(const std::vector<std::string>& files);

}  // namespace qv

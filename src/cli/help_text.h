#pragma once

#include <string>
#include <string_view>

namespace qv::cli {

// The usage text of --help, laid out from the option table (option_table.h).
std::string helpText();

// A dotted version "major.minor[.patch[.build]]" as the program shows it:
// "major.minor.patch" when patch is not 0, else "major.minor"; a build
// number that is not 0 adds " (build N)".
std::string versionText(std::string_view dotted);

// The line --version prints: "Quorvelin " and this build's version text.
std::string versionLine();

}  // namespace qv::cli

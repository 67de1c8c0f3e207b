#pragma once

#include <string>

namespace qv::test {

// The path of a file in the shared test material.
std::string testDataPath(const std::string& name);

}  // namespace qv::test

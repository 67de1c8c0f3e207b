#include "support/test_data.h"

namespace qv::test {

std::string testDataPath(const std::string& name)
{
    return std::string(QV_TESTDATA_DIR) + "/" + name;
}

}  // namespace qv::test

#include "platform/system/process/secure_start.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rk::sys {
namespace {

TEST(SecureStart, LoaderVariablesAreFoundByExactName) {
    struct Case {
        std::vector<const char*> environment;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {{"HOME=/root", "PATH=/usr/bin"}, {}},
        {{"LD_PRELOAD=/tmp/x.so"}, {"LD_PRELOAD"}},
        {{"LD_LIBRARY_PATH=", "LD_AUDIT=a.so"}, {"LD_LIBRARY_PATH", "LD_AUDIT"}},  // set even when empty
        {{"GCONV_PATH=/tmp"}, {"GCONV_PATH"}},
        {{"LD_PRELOADX=1", "XLD_PRELOAD=1", "LD_PRELOAD"}, {}},  // other names, and no '='
        {{"LD_BIND_NOW=1", "RK_ROOT=/tmp/r"}, {}},
    };
    for (const auto& c : cases) {
        auto environment = c.environment;
        environment.push_back(nullptr);
        EXPECT_EQ(LoaderVariablesIn(environment.data()), c.found);
    }
    EXPECT_TRUE(LoaderVariablesIn(nullptr).empty());
}

}  // namespace
}  // namespace rk::sys

// The simulated unit's command line.
#include "temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {

// A fault value that is not a number in range is a usage error of the simulator, not an abort.
TEST(EcusimArgs, BadFaultValuesAreUsageErrors) {
    TempDir dir;
    for (const char* fault : {"fail-block=zz", "fail-erase=99999999999999999999",
                              "short-read=3000000000", "disconnect-after=-5", "bad-flash=12x"}) {
        const std::string cmd = "timeout 20 '" VELMARIS_ECUSIM_PATH "' '" + dir.File("link") +
                                "' --fault " + fault + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << fault;
        EXPECT_EQ(WEXITSTATUS(status), 2) << fault;
    }
}

} // namespace

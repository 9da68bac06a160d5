// The simulated unit's monitor, driven in-process through the host's protocol calls.
#include "ecu_model.h"
#include "model_link.h"
#include "programmer/protocol.h"

#include <gtest/gtest.h>
#include <vector>

using namespace prog;

namespace {

TEST(SimulatedUnit, RefusesWhatTheRealUnitWouldNotTake) {
    // The simulated unit must be as strict as the real one, so that a host that sends a wrong
    // parameter block or a block to the wrong address fails against it.
    EcuModel unit(EcuModel::Mode::Monitor);
    ModelLink link(unit);
    link.speed = 9600;
    ParamBlock p = protection_params();
    p[7] = 1;
    EXPECT_FALSE(call_routine(link, p));
    ASSERT_TRUE(protection_step(link));
    ParamBlock e = erase_params(0);
    e[3] = 1;
    EXPECT_FALSE(call_routine(link, e));
    ASSERT_TRUE(erase_all(link));
    p = program_params(0);
    p[8] = 1;
    EXPECT_FALSE(call_routine(link, p));

    // A block sent to another bank does not land in the RAM buffer the routine copies from.
    const std::vector<uint8_t> block(BlockSize, 0x5A);
    ASSERT_TRUE(write_block(link, 0x01FC80, block.data(), BlockSize));
    EXPECT_TRUE(call_routine(link, program_params(0)));
    EXPECT_EQ(unit.memory()[0], 0);
}

} // namespace

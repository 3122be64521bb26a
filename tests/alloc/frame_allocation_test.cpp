#include <string>

#include <gtest/gtest.h>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"
#include "module/module_flight.h"
#include "support/allocation_counter.h"

namespace kodrix {
namespace {

using testing::allocation_count;

class FrameAllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module.open(KODRIX_MODULE_PATH, error)) << error;
        module.fix_random_seed(7);
        module.attach(host.table());
        testing::set_steady_flight(host, time_s);
        module.service_all(14);
        module.service_all(3);
    }
    void TearDown() override { module.service_all(15); }

    // Runs `frames` frames at 18 per second; returns the allocations they made.
    long fly(int frames) {
        const long before = allocation_count.load();
        for (int i = 0; i < frames; ++i) {
            time_s += 1.0 / 18.0;
            host.set_token(testing::kTokenTime, time_s);
            module.service_all(7);
            host.clear_key_events();
        }
        return allocation_count.load() - before;
    }

    emu::EmulatedHost host;
    emu::ModuleLibrary module;
    double time_s = 50.0;
};

TEST_F(FrameAllocationTest, FramesAllocateNothingInEveryMode) {
    // One panel state per row: each must fly a few seconds without allocating.
    const struct {
        const char* what;
        const char* var;
        double value;
    } states[] = {
        {"Doppler reckoning, autopilot coupled", "NAS1 Mode Switch", 1.0},
        {"wind reckoning", "NAS1 Mode Switch", 2.0},
        {"Doppler fixed output", "NAS1 Mode Switch", 0.0},
        {"KS-8 free primary", "KS8 Mode Selector", 1.0},
        {"KS-8 magnetic matching", "KS8 Mode Selector", 0.0},
        {"DISS-013 unpowered", "DISS Power Source Line", 0.0},
        {"KS-8 unpowered", "KS8 Power Source Line", 0.0},
    };
    fly(18);  // the first run of each model is behind us
    for (const auto& s : states) {
        host.set_var(s.var, s.value);
        EXPECT_EQ(fly(90), 0) << s.what;
    }
    EXPECT_GT(host.var("NAS1 S coordinate", "meters"), 0.0);  // the computer did run
}

TEST_F(FrameAllocationTest, TheCounterSeesTheModulesOwnAllocations) {
    // Re-creating the three objects allocates at least once per gauge: proof
    // that a zero above is the module's zero, not a counter that sees nothing.
    const long before = allocation_count.load();
    module.service_all(15);
    module.service_all(3);
    EXPECT_GE(allocation_count.load() - before, 3);
}

}  // namespace
}  // namespace kodrix

// The module's own routines linked in: the DLL entry routine and the module
// init/deinit routine do nothing and always succeed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "module/gauges.h"
#include "module/linkage.h"
#include "support/host_fixture.h"

namespace kodrix::testing {
namespace {

TEST(DllEntry, ReturnsSuccessForEveryReason) {
    // 0 process detach, 1 process attach, 2 thread attach, 3 thread detach,
    // and reasons a later system might add.
    for (unsigned long reason : {0ul, 1ul, 2ul, 3ul, 4ul, 0xFFFFFFFFul}) {
        SCOPED_TRACE(reason);
        EXPECT_EQ(DllMain(nullptr, reason, nullptr), 1);
        EXPECT_EQ(DllMain(reinterpret_cast<void*>(0x10000000), reason,
                          reinterpret_cast<void*>(1)), 1);
    }
}

class ModuleInitTest : public HostTest {};

TEST_F(ModuleInitTest, InitAndDeinitMakeNoHostCallInAnyOrder) {
    host.record_calls(true);
    Linkage.module_deinit();
    for (int i = 0; i < 4; ++i) Linkage.module_init();
    Linkage.module_deinit();
    Linkage.module_deinit();
    EXPECT_THAT(host.calls(), ::testing::IsEmpty());
    EXPECT_EQ(host.live_var_count(), 0u);
    EXPECT_EQ(ks8_slot.object, nullptr);
    EXPECT_EQ(diss013_slot.object, nullptr);
    EXPECT_EQ(anu_slot.object, nullptr);
}

}  // namespace
}  // namespace kodrix::testing

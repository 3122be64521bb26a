// A fresh emulated host wired into the module as the simulator would: the
// table pointer stored in ImportTable, the unit catalog as at module load and
// the random source seeded through the test seam.
#pragma once

#include <gtest/gtest.h>

#include "common/random_source.h"
#include "emulator/emulated_host.h"
#include "host/host_abi.h"
#include "host/named_var.h"

namespace kodrix::testing {

constexpr std::uint32_t kTestSeed = 12345;

class HostTest : public ::testing::Test {
protected:
    HostTest() {
        ImportTable.panels = host.table();
        unit_catalog = UnitCatalog{};
        random_fix_seed(kTestSeed);
        random_seed(kTestSeed);
    }
    ~HostTest() override {
        random_unfix_seed();
        ImportTable.panels = nullptr;
    }

    emu::EmulatedHost host;
};

}  // namespace kodrix::testing

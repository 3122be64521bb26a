#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/named_var.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

using Calls = std::vector<std::string>;

const Calls kCatalogCalls = {
    "get_units_enum(number)",           "get_units_enum(degree)",
    "get_units_enum(radian)",           "get_units_enum(feet per second)",
    "get_units_enum(kilometer per hour)", "get_units_enum(kilometer)",
    "get_units_enum(meters per second)", "get_units_enum(meters)",
};

class NamedVarTest : public testing::HostTest {};

TEST_F(NamedVarTest, FirstConstructionResolvesThenFillsTheCatalogOnce) {
    host.record_calls(true);
    {
        NamedVar a("KS8 Mode Selector", false);
        Calls expected = {"check_named_variable(KS8 Mode Selector)",
                          "register_named_variable(KS8 Mode Selector)"};
        expected.insert(expected.end(), kCatalogCalls.begin(), kCatalogCalls.end());
        EXPECT_EQ(host.calls(), expected);
        EXPECT_TRUE(unit_catalog.filled);
        EXPECT_EQ(unit_catalog.units_number, host.units("number"));
        EXPECT_EQ(unit_catalog.units_meters, host.units("meters"));

        host.clear_calls();
        NamedVar b("NAS1 Mode Switch", false);
        EXPECT_EQ(host.calls(), (Calls{"check_named_variable(NAS1 Mode Switch)",
                                       "register_named_variable(NAS1 Mode Switch)"}));
        host.clear_calls();
    }
    // Unowned handles leave without a host call.
    EXPECT_TRUE(host.calls().empty());
}

TEST_F(NamedVarTest, TwoHandlesOnOneNameShareTheIdAndCreateOnce) {
    NamedVar first("KS8 Primary Course Signal", false);
    host.record_calls(true);
    NamedVar second("KS8 Primary Course Signal", false);
    EXPECT_EQ(second.id(), first.id());
    EXPECT_EQ(host.calls(), (Calls{"check_named_variable(KS8 Primary Course Signal)"}));
}

TEST_F(NamedVarTest, OwnedHandleUnregistersByTheNameTheHostGives) {
    host.set_var("KS8 Secondary Course Signal", 12.0, "degree");  // exists before the handle
    const NamedVarId before = host.find_var("KS8 Secondary Course Signal");
    {
        NamedVar owned("KS8 Secondary Course Signal", true);
        EXPECT_EQ(owned.id(), before);
        host.record_calls(true);
    }
    EXPECT_EQ(host.calls(),
              (Calls{"get_name_of_named_variable(" + std::to_string(before) + ")",
                     "unregister_var_by_name(KS8 Secondary Course Signal)"}));
    EXPECT_FALSE(host.var_exists("KS8 Secondary Course Signal"));

    // Created again: a new variable with a new id.
    NamedVar again("KS8 Secondary Course Signal", true);
    EXPECT_NE(again.id(), before);
    EXPECT_EQ(again.read_degrees(), 0.0);
}

TEST_F(NamedVarTest, AccessorsUseTheirUnits) {
    NamedVar signal("DISS Signal Good", false);
    NamedVar speed("DISS Wspeed", false);
    NamedVar course("ANU Course Signal", false);

    for (unsigned v : {0u, 1u, 128u, 255u}) {
        signal.write_byte_as_number(static_cast<std::uint8_t>(v));
        EXPECT_EQ(host.var("DISS Signal Good", "number"), static_cast<double>(v));
    }
    host.set_var("DISS Wspeed", 689.0, "kilometer per hour");
    EXPECT_DOUBLE_EQ(speed.read_meters_per_second(), 191.38888888888889);

    course.write_degrees(180.0);
    EXPECT_DOUBLE_EQ(host.var("ANU Course Signal", "radian"), 3.141592653589793);
    EXPECT_EQ(course.read_degrees(), 180.0);
}

TEST_F(NamedVarTest, RegistrationFailureKeepsMinusOne) {
    // A host that cannot register: reads and writes pass -1; nothing is unregistered.
    host.table()->register_named_variable = [](const char*) -> NamedVarId {
        return kNoVariable;
    };
    host.record_calls(true);
    {
        NamedVar lost("NAS1 LBU Controller", true);
        EXPECT_EQ(lost.id(), kNoVariable);
        lost.write_degrees(5.0);
        EXPECT_EQ(lost.read_degrees(), 0.0);
        host.clear_calls();
    }
    EXPECT_TRUE(host.calls().empty());
}

}  // namespace
}  // namespace kodrix

#include <gtest/gtest.h>

#include "emulator/emulated_host.h"

namespace kodrix::emu {
namespace {

TEST(EmulatedHost, ConvertsWithinAKindAndPassesAcrossKinds) {
    EmulatedHost h;
    PANELS& t = *h.table();
    const NamedVarId id = t.register_named_variable("V");
    const struct {
        const char* write_unit;
        double value;
        const char* read_unit;
        double expected;
    } cases[] = {
        {"kilometer per hour", 689.0, "meters per second", 191.38888888888889},
        {"feet per second", 1184.3832020997374, "meters per second", 361.0},
        {"meters per second", 50.0, "feet per second", 164.04199475065616},
        {"degree", 90.0, "radian", 1.5707963267948966},
        {"radian", 3.141592653589793, "degree", 180.0},
        {"kilometer", 1.5, "meters", 1500.0},
        {"meters", 300.0, "kilometer", 0.3},
        {"degree", 42.0, "number", 42.0},          // across kinds: unconverted
        {"furlongs", 3.0, "meters", 3.0},          // unknown unit converts nothing
    };
    for (const auto& c : cases) {
        t.set_named_variable_typed_value(id, c.value, t.get_units_enum(c.write_unit));
        EXPECT_NEAR(t.get_named_variable_typed_value(id, t.get_units_enum(c.read_unit)),
                    c.expected, 1e-12 * (1.0 + c.expected))
            << c.write_unit << " -> " << c.read_unit;
    }
}

TEST(EmulatedHost, StaleAndMissingIdsAnswerSafely) {
    EmulatedHost h;
    PANELS& t = *h.table();
    const UnitsEnum number = t.get_units_enum("number");
    const NamedVarId a = t.register_named_variable("A");
    t.set_named_variable_typed_value(a, 7.0, number);
    t.unregister_var_by_name("A");
    for (NamedVarId id : {a, NamedVarId{-1}, NamedVarId{99}}) {
        EXPECT_EQ(t.get_named_variable_typed_value(id, number), 0.0);
        t.set_named_variable_typed_value(id, 3.0, number);  // changes nothing
        EXPECT_EQ(t.get_name_of_named_variable(id), nullptr);
    }
    const NamedVarId again = t.register_named_variable("A");
    EXPECT_NE(again, a);  // ids are never reused
    EXPECT_EQ(t.get_named_variable_typed_value(again, number), 0.0);
    EXPECT_EQ(t.check_named_variable("nobody"), -1);
    t.unregister_var_by_name(nullptr);
}

TEST(EmulatedHost, TokensAirspeedAndKeyEvents) {
    EmulatedHost h;
    PANELS& t = *h.table();
    h.set_token(604, 12.5);
    MODULE_VAR time{604, 0, 0, 0.0, 0.0};
    MODULE_VAR unknown{9999, 0, 0, 5.0, 0.0};
    t.initialize_var(&time);
    t.lookup_var(&time);
    t.lookup_var(&unknown);
    EXPECT_TRUE(h.token_bound(604));
    const double time_value = time.var_value;  // packed field: copy before binding
    EXPECT_EQ(time_value, 12.5);
    const double unknown_value = unknown.var_value;
    EXPECT_EQ(unknown_value, 0.0);

    h.set_airspeed_mps(100.0);
    EXPECT_DOUBLE_EQ(t.aircraft_varget(24, t.get_units_enum("kilometer per hour"), 0), 360.0);
    EXPECT_EQ(t.aircraft_varget(25, t.get_units_enum("meters per second"), 0), 0.0);

    t.trigger_key_event(66042, 354);
    t.trigger_key_event(1, 2);
    ASSERT_EQ(h.key_events().size(), 2u);
    EXPECT_EQ(h.key_events()[0].value, 354u);
    EXPECT_EQ(h.heading_bug_deg(), 354u);
}

TEST(EmulatedHost, OperationsWithNoActiveHostAnswerZero) {
    PANELS table;
    {
        EmulatedHost h;
        table = *h.table();
    }
    EXPECT_EQ(table.check_named_variable("X"), -1);
    EXPECT_EQ(table.get_named_variable_typed_value(0, 0), 0.0);
    MODULE_VAR v{604, 0, 0, 1.0, 0.0};
    table.lookup_var(&v);  // no crash
}

TEST(EmulatedHost, ElementCallsAreJournalled) {
    EmulatedHost h;
    int element = 0;
    h.table()->element_list_generate(&element, 3);
    h.table()->element_list_install(&element, reinterpret_cast<void*>(0x1234));
    ASSERT_EQ(h.element_calls().size(), 2u);
    EXPECT_EQ(h.element_calls()[0].op, "element_list_generate");
    EXPECT_EQ(h.element_calls()[0].argument, 3u);
    EXPECT_EQ(h.element_calls()[1].element, &element);
    EXPECT_EQ(h.element_calls()[1].argument, 0x1234u);
}

}  // namespace
}  // namespace kodrix::emu

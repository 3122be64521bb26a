// The project's emulated host: a PANELS table filled with its own operations,
// for tests and the flight runner. It keeps named variables with unit kinds
// and conversion, token variables, aircraft variable 24 (true airspeed), a
// key-event journal, an element-operation journal and, when asked, a journal
// of every call in order.
//
// The table's operations carry no context, so they act on the one active host:
// the most recently constructed EmulatedHost that is still alive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host_abi.h"

namespace kodrix::emu {

enum class UnitKind { number, angle, length, speed, time, unknown };

struct KeyEvent {
    std::uint32_t event;
    std::uint32_t value;
};

struct ElementCall {
    std::string op;       // "query", "install", "initialize", "update", "generate", "plot", "kill"
    void* element;
    std::uint64_t argument;  // resource handle or phase; 0 where the op has none
};

constexpr std::uint32_t kAutopilotHeadingEvent = 66042;
constexpr std::uint32_t kAirspeedVariable = 24;

class EmulatedHost {
public:
    EmulatedHost();
    ~EmulatedHost();
    EmulatedHost(const EmulatedHost&) = delete;
    EmulatedHost& operator=(const EmulatedHost&) = delete;

    PANELS* table() { return &table_; }

    // Makes this host the one the table's operations act on.
    void activate();

    // Token variables. Unknown tokens read 0.
    void set_token(std::uint32_t token, double value);
    double token(std::uint32_t token) const;
    bool token_bound(std::uint32_t token) const;

    // Aircraft variable 24: true airspeed, stored in meters per second.
    void set_airspeed_mps(double v) { airspeed_mps_ = v; }

    // Units.
    UnitsEnum units(std::string_view unit_name);
    static UnitKind kind_of_unit(std::string_view unit_name);

    // Named variables by name; a write registers the name when it is new.
    NamedVarId find_var(std::string_view name) const;  // -1 when absent
    NamedVarId ensure_var(std::string_view name);
    void set_var(std::string_view name, double value, std::string_view unit = "number");
    double var(std::string_view name, std::string_view unit = "number") const;
    bool var_exists(std::string_view name) const { return find_var(name) != kNoVariable; }
    std::size_t live_var_count() const;

    // Named variables by id, for callers that resolve once (the runner).
    void set_var(NamedVarId id, double value, UnitsEnum units);
    double var(NamedVarId id, UnitsEnum units) const;

    // Journals. Clearing keeps capacity, so a caller that clears every frame
    // makes the host allocate nothing per frame.
    const std::vector<KeyEvent>& key_events() const { return key_events_; }
    void clear_key_events() { key_events_.clear(); }
    std::uint32_t heading_bug_deg() const { return heading_bug_deg_; }
    bool heading_bug_set() const { return heading_bug_set_; }
    void set_heading_bug_deg(std::uint32_t deg) { heading_bug_deg_ = deg; heading_bug_set_ = true; }
    const std::vector<ElementCall>& element_calls() const { return element_calls_; }
    void clear_element_calls() { element_calls_.clear(); }

    void record_calls(bool on) { recording_ = on; }
    const std::vector<std::string>& calls() const { return calls_; }
    void clear_calls() { calls_.clear(); }

    // Operations behind the table, callable directly.
    NamedVarId check_named_variable(const char* name);
    NamedVarId register_named_variable(const char* name);
    void unregister_var_by_name(const char* name);
    const char* get_name_of_named_variable(NamedVarId id);
    UnitsEnum get_units_enum(const char* unit_name);
    double get_named_variable_typed_value(NamedVarId id, UnitsEnum units);
    void set_named_variable_typed_value(NamedVarId id, double value, UnitsEnum units);
    void initialize_var(MODULE_VAR* var);
    void lookup_var(MODULE_VAR* var);
    double aircraft_varget(std::uint32_t variable, UnitsEnum units, std::int32_t index);
    std::uint32_t trigger_key_event(std::uint32_t event, std::uint32_t value);
    void element_op(const char* op, void* element, std::uint64_t argument);

private:
    struct Unit {
        std::string name;
        UnitKind kind;
        double numerator;    // base value = value * numerator / denominator
        double denominator;
    };
    struct Variable {
        std::string name;
        double value;      // as last written
        UnitsEnum units;   // units of the last write
        bool alive;
    };

    const Variable* live(NamedVarId id) const;
    double convert(double value, UnitsEnum from, UnitsEnum to) const;
    void journal(std::string entry);

    PANELS table_{};
    std::vector<Unit> units_;
    std::vector<Variable> vars_;
    std::unordered_map<std::string, NamedVarId> by_name_;  // live variables only
    std::unordered_map<std::uint32_t, double> tokens_;
    std::unordered_map<std::uint32_t, bool> bound_;
    UnitsEnum units_mps_ = 0;
    double airspeed_mps_ = 0.0;
    std::vector<KeyEvent> key_events_;
    std::vector<ElementCall> element_calls_;
    std::uint32_t heading_bug_deg_ = 0;
    bool heading_bug_set_ = false;
    bool recording_ = false;
    std::vector<std::string> calls_;
};

// The host the table's operations act on, or null.
EmulatedHost* active_host();

}  // namespace kodrix::emu

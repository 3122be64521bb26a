#include "emulator/emulated_host.h"

#include <cstdio>
#include <utility>

namespace kodrix::emu {

namespace {

EmulatedHost* g_active = nullptr;

struct UnitSpec {
    const char* name;
    UnitKind kind;
    double numerator;
    double denominator;
};

// Base quantities: number, radian, meter, meter per second, second.
constexpr double kPi = 3.141592653589793;
const UnitSpec kKnownUnits[] = {
    {"number", UnitKind::number, 1.0, 1.0},
    {"bool", UnitKind::number, 1.0, 1.0},
    {"enum", UnitKind::number, 1.0, 1.0},
    {"degree", UnitKind::angle, kPi, 180.0},
    {"degrees", UnitKind::angle, kPi, 180.0},
    {"radian", UnitKind::angle, 1.0, 1.0},
    {"radians", UnitKind::angle, 1.0, 1.0},
    {"meters", UnitKind::length, 1.0, 1.0},
    {"meter", UnitKind::length, 1.0, 1.0},
    {"kilometer", UnitKind::length, 1000.0, 1.0},
    {"kilometers", UnitKind::length, 1000.0, 1.0},
    {"feet", UnitKind::length, 0.3048, 1.0},
    {"nautical mile", UnitKind::length, 1852.0, 1.0},
    {"meters per second", UnitKind::speed, 1.0, 1.0},
    {"feet per second", UnitKind::speed, 0.3048, 1.0},
    {"kilometer per hour", UnitKind::speed, 1000.0, 3600.0},
    {"knots", UnitKind::speed, 1852.0, 3600.0},
    {"seconds", UnitKind::time, 1.0, 1.0},
    {"hours", UnitKind::time, 3600.0, 1.0},
};

std::string number_text(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

EmulatedHost* active_host() { return g_active; }

// The table's operations: free functions with the host's calling convention
// that forward to the active host. With no active host they answer 0.
namespace {

template <class F, class R>
R with_host(F f, R fallback) {
    return g_active != nullptr ? f(*g_active) : fallback;
}

void KODRIX_CALL op_query(void* e) {
    if (g_active) g_active->element_op("element_list_query", e, 0);
}
void KODRIX_CALL op_install(void* e, void* resource) {
    if (g_active)
        g_active->element_op("element_list_install", e,
                             static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(resource)));
}
void KODRIX_CALL op_initialize(void* e) {
    if (g_active) g_active->element_op("element_list_initialize", e, 0);
}
void KODRIX_CALL op_update(void* e) {
    if (g_active) g_active->element_op("element_list_update", e, 0);
}
void KODRIX_CALL op_generate(void* e, std::uint32_t phase) {
    if (g_active) g_active->element_op("element_list_generate", e, phase);
}
void KODRIX_CALL op_plot(void* e) {
    if (g_active) g_active->element_op("element_list_plot", e, 0);
}
void KODRIX_CALL op_kill(void* e) {
    if (g_active) g_active->element_op("element_list_kill", e, 0);
}
std::uint32_t KODRIX_CALL op_key_event(std::uint32_t event, std::uint32_t value) {
    return with_host([&](EmulatedHost& h) { return h.trigger_key_event(event, value); },
                     std::uint32_t{0});
}
void KODRIX_CALL op_initialize_var(MODULE_VAR* v) {
    if (g_active) g_active->initialize_var(v);
}
void KODRIX_CALL op_lookup_var(MODULE_VAR* v) {
    if (g_active) g_active->lookup_var(v);
}
void KODRIX_CALL op_unregister(const char* name) {
    if (g_active) g_active->unregister_var_by_name(name);
}
NamedVarId KODRIX_CALL op_check(const char* name) {
    return with_host([&](EmulatedHost& h) { return h.check_named_variable(name); }, kNoVariable);
}
NamedVarId KODRIX_CALL op_register(const char* name) {
    return with_host([&](EmulatedHost& h) { return h.register_named_variable(name); }, kNoVariable);
}
double KODRIX_CALL op_get(NamedVarId id, UnitsEnum units) {
    return with_host([&](EmulatedHost& h) { return h.get_named_variable_typed_value(id, units); },
                     0.0);
}
void KODRIX_CALL op_set(NamedVarId id, double value, UnitsEnum units) {
    if (g_active) g_active->set_named_variable_typed_value(id, value, units);
}
const char* KODRIX_CALL op_name(NamedVarId id) {
    return with_host([&](EmulatedHost& h) { return h.get_name_of_named_variable(id); },
                     static_cast<const char*>(nullptr));
}
UnitsEnum KODRIX_CALL op_units(const char* unit_name) {
    return with_host([&](EmulatedHost& h) { return h.get_units_enum(unit_name); }, UnitsEnum{-1});
}
double KODRIX_CALL op_aircraft_varget(std::uint32_t variable, UnitsEnum units, std::int32_t index) {
    return with_host([&](EmulatedHost& h) { return h.aircraft_varget(variable, units, index); },
                     0.0);
}

}  // namespace

EmulatedHost::EmulatedHost() {
    for (const UnitSpec& u : kKnownUnits)
        units_.push_back(Unit{u.name, u.kind, u.numerator, u.denominator});
    table_.element_list_query = op_query;
    table_.element_list_install = op_install;
    table_.element_list_initialize = op_initialize;
    table_.element_list_update = op_update;
    table_.element_list_generate = op_generate;
    table_.element_list_plot = op_plot;
    table_.element_list_kill = op_kill;
    table_.trigger_key_event = op_key_event;
    table_.initialize_var = op_initialize_var;
    table_.lookup_var = op_lookup_var;
    table_.unregister_var_by_name = op_unregister;
    table_.check_named_variable = op_check;
    table_.register_named_variable = op_register;
    table_.get_named_variable_typed_value = op_get;
    table_.set_named_variable_typed_value = op_set;
    table_.get_name_of_named_variable = op_name;
    table_.get_units_enum = op_units;
    table_.aircraft_varget = op_aircraft_varget;
    units_mps_ = units("meters per second");
    key_events_.reserve(1024);
    element_calls_.reserve(64);
    activate();
}

EmulatedHost::~EmulatedHost() {
    if (g_active == this) g_active = nullptr;
}

void EmulatedHost::activate() { g_active = this; }

void EmulatedHost::journal(std::string entry) {
    if (recording_) calls_.push_back(std::move(entry));
}

// ---- tokens and aircraft variables ----

void EmulatedHost::set_token(std::uint32_t token, double value) { tokens_[token] = value; }

double EmulatedHost::token(std::uint32_t token) const {
    auto it = tokens_.find(token);
    return it == tokens_.end() ? 0.0 : it->second;
}

bool EmulatedHost::token_bound(std::uint32_t token) const { return bound_.count(token) != 0; }

void EmulatedHost::initialize_var(MODULE_VAR* var) {
    if (var == nullptr) return;
    if (recording_) journal("initialize_var(" + std::to_string(var->id) + ")");
    bound_[var->id] = true;
}

void EmulatedHost::lookup_var(MODULE_VAR* var) {
    if (var == nullptr) return;
    if (recording_) journal("lookup_var(" + std::to_string(var->id) + ")");
    var->var_value = token(var->id);
}

double EmulatedHost::aircraft_varget(std::uint32_t variable, UnitsEnum units, std::int32_t index) {
    if (recording_) {
        const bool known = units >= 0 && static_cast<std::size_t>(units) < units_.size();
        journal("aircraft_varget(" + std::to_string(variable) + ", " +
                (known ? units_[static_cast<std::size_t>(units)].name : std::to_string(units)) +
                ", " + std::to_string(index) + ")");
    }
    if (variable != kAirspeedVariable) return 0.0;
    return convert(airspeed_mps_, units_mps_, units);
}

// ---- units ----

UnitKind EmulatedHost::kind_of_unit(std::string_view unit_name) {
    for (const UnitSpec& u : kKnownUnits)
        if (unit_name == u.name) return u.kind;
    return UnitKind::unknown;
}

UnitsEnum EmulatedHost::units(std::string_view unit_name) {
    for (std::size_t i = 0; i < units_.size(); ++i)
        if (units_[i].name == unit_name) return static_cast<UnitsEnum>(i);
    units_.push_back(Unit{std::string(unit_name), UnitKind::unknown, 1.0, 1.0});
    return static_cast<UnitsEnum>(units_.size() - 1);
}

UnitsEnum EmulatedHost::get_units_enum(const char* unit_name) {
    const std::string_view name = unit_name != nullptr ? unit_name : "";
    if (recording_) journal("get_units_enum(" + std::string(name) + ")");
    return units(name);
}

double EmulatedHost::convert(double value, UnitsEnum from, UnitsEnum to) const {
    if (from == to) return value;
    const auto n = static_cast<UnitsEnum>(units_.size());
    if (from < 0 || from >= n || to < 0 || to >= n) return value;
    const Unit& a = units_[static_cast<std::size_t>(from)];
    const Unit& b = units_[static_cast<std::size_t>(to)];
    if (a.kind != b.kind || a.kind == UnitKind::unknown) return value;
    const double base = value * a.numerator / a.denominator;
    return base * b.denominator / b.numerator;
}

// ---- named variables ----

const EmulatedHost::Variable* EmulatedHost::live(NamedVarId id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= vars_.size()) return nullptr;
    const Variable& v = vars_[static_cast<std::size_t>(id)];
    return v.alive ? &v : nullptr;
}

NamedVarId EmulatedHost::find_var(std::string_view name) const {
    auto it = by_name_.find(std::string(name));
    return it == by_name_.end() ? kNoVariable : it->second;
}

std::size_t EmulatedHost::live_var_count() const { return by_name_.size(); }

NamedVarId EmulatedHost::check_named_variable(const char* name) {
    const std::string_view n = name != nullptr ? name : "";
    if (recording_) journal("check_named_variable(" + std::string(n) + ")");
    return find_var(n);
}

NamedVarId EmulatedHost::register_named_variable(const char* name) {
    const std::string_view n = name != nullptr ? name : "";
    if (recording_) journal("register_named_variable(" + std::string(n) + ")");
    const NamedVarId existing = find_var(n);
    if (existing != kNoVariable) return existing;
    const auto id = static_cast<NamedVarId>(vars_.size());
    vars_.push_back(Variable{std::string(n), 0.0, 0, true});
    by_name_.emplace(std::string(n), id);
    return id;
}

NamedVarId EmulatedHost::ensure_var(std::string_view name) {
    const NamedVarId id = find_var(name);
    if (id != kNoVariable) return id;
    const std::string n(name);
    const bool was = recording_;
    recording_ = false;  // the test's own setup is not a module call
    const NamedVarId made = register_named_variable(n.c_str());
    recording_ = was;
    return made;
}

void EmulatedHost::unregister_var_by_name(const char* name) {
    const std::string n = name != nullptr ? name : "";
    if (recording_) journal("unregister_var_by_name(" + n + ")");
    auto it = by_name_.find(n);
    if (it == by_name_.end()) return;
    vars_[static_cast<std::size_t>(it->second)].alive = false;
    by_name_.erase(it);
}

const char* EmulatedHost::get_name_of_named_variable(NamedVarId id) {
    if (recording_) journal("get_name_of_named_variable(" + std::to_string(id) + ")");
    const Variable* v = live(id);
    return v != nullptr ? v->name.c_str() : nullptr;
}

double EmulatedHost::get_named_variable_typed_value(NamedVarId id, UnitsEnum units) {
    const Variable* v = live(id);
    if (recording_) {
        const bool known = units >= 0 && static_cast<std::size_t>(units) < units_.size();
        journal("get_named_variable_typed_value(" +
                (v != nullptr ? v->name : "#" + std::to_string(id)) + ", " +
                (known ? units_[static_cast<std::size_t>(units)].name : std::to_string(units)) +
                ")");
    }
    return v != nullptr ? convert(v->value, v->units, units) : 0.0;
}

void EmulatedHost::set_named_variable_typed_value(NamedVarId id, double value, UnitsEnum units) {
    const Variable* v = live(id);
    if (recording_) {
        const bool known = units >= 0 && static_cast<std::size_t>(units) < units_.size();
        journal("set_named_variable_typed_value(" +
                (v != nullptr ? v->name : "#" + std::to_string(id)) + ", " + number_text(value) +
                ", " +
                (known ? units_[static_cast<std::size_t>(units)].name : std::to_string(units)) +
                ")");
    }
    if (v == nullptr) return;
    Variable& w = vars_[static_cast<std::size_t>(id)];
    w.value = value;
    w.units = units;
}

void EmulatedHost::set_var(NamedVarId id, double value, UnitsEnum units) {
    const Variable* v = live(id);
    if (v == nullptr) return;
    Variable& w = vars_[static_cast<std::size_t>(id)];
    w.value = value;
    w.units = units;
}

double EmulatedHost::var(NamedVarId id, UnitsEnum units) const {
    const Variable* v = live(id);
    return v != nullptr ? convert(v->value, v->units, units) : 0.0;
}

void EmulatedHost::set_var(std::string_view name, double value, std::string_view unit) {
    const NamedVarId id = ensure_var(name);
    set_var(id, value, units(unit));
}

double EmulatedHost::var(std::string_view name, std::string_view unit) const {
    const NamedVarId id = find_var(name);
    if (id == kNoVariable) return 0.0;
    // A unit this host has never seen converts nothing.
    for (std::size_t i = 0; i < units_.size(); ++i)
        if (units_[i].name == unit) return var(id, static_cast<UnitsEnum>(i));
    return vars_[static_cast<std::size_t>(id)].value;
}

// ---- events and elements ----

std::uint32_t EmulatedHost::trigger_key_event(std::uint32_t event, std::uint32_t value) {
    if (recording_)
        journal("trigger_key_event(" + std::to_string(event) + ", " + std::to_string(value) + ")");
    key_events_.push_back(KeyEvent{event, value});
    if (event == kAutopilotHeadingEvent) set_heading_bug_deg(value);
    return 0;
}

void EmulatedHost::element_op(const char* op, void* element, std::uint64_t argument) {
    if (recording_) journal(std::string(op) + "(" + std::to_string(argument) + ")");
    element_calls_.push_back(ElementCall{op, element, argument});
}

}  // namespace kodrix::emu

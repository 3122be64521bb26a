#include "flight/scenario.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "emulator/emulated_host.h"

namespace kodrix::fly {

namespace {

constexpr std::string_view kBuiltinScenario = R"toml(# The built-in scenario: the aircraft starts 4 km to the right of its route
# line in a crosswind from the left that pushes it further away. The KS-8 is
# slaved to the magnetic heading, the Doppler meter measures, the counters run
# and the NAS-1 is coupled to the autopilot once the crew has aligned the gyros.
name = "default"
description = "Intercept a route line 4 km off in a crosswind and hold it"
duration_s = 1200
frame_rate_hz = 18
seed = 20240611

[aircraft]
along_km = 0            # start, in the route frame
cross_km = 4            # 4 km right of the line
heading_deg = 75        # true
airspeed_mps = 200      # true airspeed
pitch_deg = 2

[environment]
wind_from_deg = 345     # true direction the wind blows from
wind_speed_mps = 25
variation_deg = 7       # east: magnetic = true - 7

[route]
origin_lat_deg = 52.0
origin_lon_deg = 21.0
course_deg = 75         # true

[autopilot]
bank_deg = 15
roll_rate_deg_s = 5

[crew]
align_gyros = true

[panel]
"KS8 Power Source Line" = 1
"KS8 Mode Selector" = 0         # primary slaved to the magnetic heading
"KS8 Course Selector" = 0
"KS8 Hemisphere Switch" = 0
"KS8 GyroUnit Switch" = 0
"KS8 Latitude Selector" = 52
"KS8 Coord Button" = 0
"DISS Power Source Line" = 1
"NAS1 Mode Switch" = 1          # Doppler reckoning
"NAS1 Counters Switch" = 1
"NAS1 SAU mode" = 1             # coupled to the autopilot

[output]
trace_interval_s = 1
plots = true
)toml";

const std::vector<ModuleVariable> kModuleVariables = {
    {"KS8 Power Source Line", "number"},
    {"KS8 Mode Selector", "number"},
    {"KS8 Course Selector", "number"},
    {"KS8 Hemisphere Switch", "number"},
    {"KS8 GyroUnit Switch", "number"},
    {"KS8 Latitude Selector", "degree"},
    {"KS8 Coord Button", "number"},
    {"KS8 Primary Course Signal", "degree"},
    {"KS8 Secondary Course Signal", "degree"},
    {"DISS Power Source Line", "number"},
    {"DISS Signal Good", "number"},
    {"DISS Wspeed", "meters per second"},
    {"DISS Drift Angle", "degree"},
    {"NAS1 Mode Switch", "number"},
    {"NAS1 Counters Switch", "number"},
    {"NAS1 Map Angle", "degree"},
    {"NAS1 WC NavWind Angle", "degree"},
    {"NAS1 WC NavWind Speed", "meters per second"},
    {"NAS1 S coordinate", "meters"},
    {"NAS1 V coordinate", "meters"},
    {"NAS1 SAU mode", "number"},
    {"NAS1 ANU Vprev reset", "number"},
    {"NAS1 LBU Controller", "kilometer"},
    {"ANU Course Signal", "degree"},
};

// ---- messages ----

std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            const auto ca = static_cast<unsigned char>(a[i - 1]);
            const auto cb = static_cast<unsigned char>(b[j - 1]);
            const std::size_t cost = std::tolower(ca) == std::tolower(cb) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + cost});
            diag = up;
        }
    }
    return row[b.size()];
}

// The closest candidate, if it is close enough to be a likely typo.
std::string suggestion(std::string_view given, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t best_d = std::string::npos;
    for (const std::string& c : candidates) {
        const std::size_t d = edit_distance(given, c);
        if (d < best_d) {
            best_d = d;
            best = c;
        }
    }
    const std::size_t limit = std::max<std::size_t>(2, given.size() / 3);
    return best_d <= limit ? best : std::string();
}

std::string number_text(double v) {
    char buf[40];
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
    } else {
        std::snprintf(buf, sizeof buf, "%g", v);
    }
    return buf;
}

std::string quoted_key(std::string_view key) {
    for (char ch : key) {
        const bool bare = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                          (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
        if (!bare) return "\"" + std::string(key) + "\"";
    }
    return std::string(key);
}

const char* type_name(const toml::node& n) {
    switch (n.type()) {
        case toml::node_type::table: return "a table";
        case toml::node_type::array: return "an array";
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "an integer";
        case toml::node_type::floating_point: return "a number";
        case toml::node_type::boolean: return "a boolean";
        default: return "a date or time";
    }
}

// ---- reading tables ----

struct Range {
    double lo = -HUGE_VAL;
    double hi = HUGE_VAL;
    bool lo_open = false;  // lo itself excluded
    bool hi_open = false;
    const char* unit = "";
};

constexpr Range kAny{};
Range between(double lo, double hi, const char* unit) { return Range{lo, hi, false, false, unit}; }
Range positive(double hi, const char* unit) { return Range{0.0, hi, true, false, unit}; }
Range non_negative(double hi, const char* unit) { return Range{0.0, hi, false, false, unit}; }

std::string range_text(const Range& r) {
    const std::string unit = *r.unit ? std::string(" ") + r.unit : std::string();
    if (r.lo_open && r.lo == 0.0 && r.hi == HUGE_VAL) return "greater than 0" + unit;
    if (r.lo_open && r.lo == 0.0) return "greater than 0 and at most " + number_text(r.hi) + unit;
    if (r.hi == HUGE_VAL) return "at least " + number_text(r.lo) + unit;
    return "between " + number_text(r.lo) + " and " + number_text(r.hi) + unit;
}

bool in_range(double v, const Range& r) {
    if (r.lo_open ? !(v > r.lo) : !(v >= r.lo)) return false;
    if (r.hi_open ? !(v < r.hi) : !(v <= r.hi)) return false;
    return true;
}

class Reader {
public:
    Reader(std::string file, std::vector<ScenarioIssue>& issues)
        : file_(std::move(file)), issues_(issues) {}

    void issue(const toml::source_region& where, std::string field, std::string message) {
        ScenarioIssue i;
        i.file = file_;
        i.line = static_cast<int>(where.begin.line);
        i.column = static_cast<int>(where.begin.column);
        i.field = std::move(field);
        i.message = std::move(message);
        issues_.push_back(std::move(i));
    }

    const std::string& file() const { return file_; }

private:
    std::string file_;
    std::vector<ScenarioIssue>& issues_;
};

// One table of the scenario: lends its keys to the code that reads them and
// reports every key nobody asked for.
class Fields {
public:
    Fields(Reader& r, const toml::table& t, std::string prefix)
        : r_(r), t_(t), prefix_(std::move(prefix)) {}

    std::string path(std::string_view key) const {
        return prefix_.empty() ? quoted_key(key) : prefix_ + "." + quoted_key(key);
    }

    const toml::node* get(std::string_view key) {
        known_.emplace_back(key);
        return t_.get(key);
    }

    void missing(std::string_view key) {
        r_.issue(t_.source(), path(key), "missing: this key is required");
    }

    bool number(std::string_view key, double& out, bool required, const Range& range) {
        const toml::node* n = get(key);
        if (n == nullptr) {
            if (required) missing(key);
            return false;
        }
        return number_value(*n, path(key), out, range);
    }

    bool number_value(const toml::node& n, const std::string& field, double& out,
                      const Range& range) {
        double v;
        if (auto i = n.as_integer()) {
            v = static_cast<double>(i->get());
        } else if (auto f = n.as_floating_point()) {
            v = f->get();
        } else {
            r_.issue(n.source(), field, std::string("must be a number, not ") + type_name(n));
            return false;
        }
        if (!std::isfinite(v)) {
            r_.issue(n.source(), field, "must be a finite number, not " + number_text(v));
            return false;
        }
        if (!in_range(v, range)) {
            r_.issue(n.source(), field,
                     "must be " + range_text(range) + ", not " + number_text(v));
            return false;
        }
        out = v;
        return true;
    }

    bool boolean(std::string_view key, bool& out) {
        const toml::node* n = get(key);
        if (n == nullptr) return false;
        if (auto b = n->as_boolean()) {
            out = b->get();
            return true;
        }
        r_.issue(n->source(), path(key),
                 std::string("must be true or false, not ") + type_name(*n));
        return false;
    }

    bool string(std::string_view key, std::string& out) {
        const toml::node* n = get(key);
        if (n == nullptr) return false;
        if (auto s = n->as_string()) {
            out = s->get();
            return true;
        }
        r_.issue(n->source(), path(key), std::string("must be a string, not ") + type_name(*n));
        return false;
    }

    const toml::table* table(std::string_view key) {
        const toml::node* n = get(key);
        if (n == nullptr) return nullptr;
        if (auto t = n->as_table()) return t;
        r_.issue(n->source(), path(key), std::string("must be a table, not ") + type_name(*n));
        return nullptr;
    }

    // Reports the keys that no reader asked for.
    void finish() {
        for (auto&& [key, node] : t_) {
            const std::string_view k = key.str();
            if (std::find(known_.begin(), known_.end(), k) != known_.end()) continue;
            std::string msg = "unknown key";
            const std::string near = suggestion(k, known_);
            if (!near.empty()) msg += " (did you mean " + quoted_key(near) + "?)";
            r_.issue(key.source(), path(k), msg);
        }
    }

    Reader& reader() { return r_; }
    const toml::table& table_node() const { return t_; }

private:
    Reader& r_;
    const toml::table& t_;
    std::string prefix_;
    std::vector<std::string> known_;
};

// ---- named variables ----

std::vector<std::string> module_variable_names() {
    std::vector<std::string> names;
    for (const ModuleVariable& v : kModuleVariables) names.emplace_back(v.name);
    return names;
}

// Reads `"Name" = value` pairs: a number, a boolean (1 or 0) or a table
// { value = ..., unit = "..." }.
void read_settings(Fields& parent, const toml::table& t, const std::string& prefix,
                   std::vector<VarSetting>& out) {
    Reader& r = parent.reader();
    // In the order they stand in the file (the table itself keeps them by name).
    std::vector<std::pair<const toml::key*, const toml::node*>> entries;
    for (auto&& [key, node] : t) entries.emplace_back(&key, &node);
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const toml::source_position pa = a.first->source().begin, pb = b.first->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
    });
    for (const auto& [key_ptr, node_ptr] : entries) {
        const toml::key& key = *key_ptr;
        const toml::node& node = *node_ptr;
        const std::string name(key.str());
        const std::string field = prefix + "." + quoted_key(name);
        const ModuleVariable* mv = find_module_variable(name);
        if (mv == nullptr) {
            std::string msg = "not a named variable of the module";
            const std::string near = suggestion(name, module_variable_names());
            if (!near.empty()) msg += " (did you mean \"" + near + "\"?)";
            r.issue(key.source(), field, msg);
            continue;
        }
        VarSetting s;
        s.name = name;
        s.unit = mv->unit;
        if (auto b = node.as_boolean()) {
            s.value = b->get() ? 1.0 : 0.0;
        } else if (auto sub = node.as_table()) {
            Fields f(r, *sub, field);
            const bool has_value = f.number("value", s.value, true, kAny);
            std::string unit;
            if (f.string("unit", unit)) {
                if (emu::EmulatedHost::kind_of_unit(unit) == emu::UnitKind::unknown) {
                    r.issue(sub->get("unit")->source(), f.path("unit"),
                            "unknown unit \"" + unit +
                                "\" (use e.g. \"number\", \"degree\", \"radian\", \"meters\", "
                                "\"kilometer\", \"meters per second\")");
                    continue;
                }
                s.unit = unit;
            }
            f.finish();
            if (!has_value) continue;
        } else if (!parent.number_value(node, field, s.value, kAny)) {
            continue;
        }
        out.push_back(std::move(s));
    }
}

// ---- the scenario's tables ----

void read_aircraft(Fields& top, Scenario& s, bool& have_route_relative, RoutePoint& start_rel) {
    const toml::table* t = top.table("aircraft");
    if (t == nullptr) {
        if (top.get("aircraft") == nullptr) top.missing("aircraft");
        return;
    }
    Fields f(top.reader(), *t, "aircraft");
    double lat = 0, lon = 0, along_km = 0, cross_km = 0;
    const bool has_lat = f.number("lat_deg", lat, false, between(-90, 90, "degrees"));
    const bool has_lon = f.number("lon_deg", lon, false, between(-180, 180, "degrees"));
    const bool has_along = f.number("along_km", along_km, false, between(-20000, 20000, "km"));
    const bool has_cross = f.number("cross_km", cross_km, false, between(-1000, 1000, "km"));
    const bool abs_given = f.get("lat_deg") || f.get("lon_deg");
    const bool rel_given = f.get("along_km") || f.get("cross_km");
    if (abs_given && rel_given) {
        f.reader().issue(t->source(), "aircraft",
                         "give the start either as lat_deg and lon_deg or as along_km and "
                         "cross_km (from the route line), not both");
    } else if (!abs_given && !rel_given) {
        f.reader().issue(t->source(), "aircraft",
                         "missing start position: give lat_deg and lon_deg, or along_km and "
                         "cross_km (from the route line)");
    } else if (abs_given) {
        if (!f.get("lat_deg")) f.missing("lat_deg");
        if (!f.get("lon_deg")) f.missing("lon_deg");
        if (has_lat && has_lon) s.aircraft.position = LatLon{lat, wrap180(lon)};
    } else {
        if (!f.get("along_km")) f.missing("along_km");
        if (!f.get("cross_km")) f.missing("cross_km");
        if (has_along && has_cross) {
            have_route_relative = true;
            start_rel = RoutePoint{along_km * 1000.0, cross_km * 1000.0};
        }
    }
    double heading = 0;
    if (f.number("heading_deg", heading, true, between(0, 360, "degrees")))
        s.aircraft.true_heading_deg = wrap360(heading);
    f.number("airspeed_mps", s.aircraft.tas_mps, true, positive(600, "m/s"));
    f.number("pitch_deg", s.aircraft.pitch_deg, false, between(-30, 30, "degrees"));
    f.finish();
}

void read_environment(Fields& top, Scenario& s) {
    const toml::table* t = top.table("environment");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "environment");
    f.number("wind_from_deg", s.wind.from_deg, false, between(0, 360, "degrees"));
    f.number("wind_speed_mps", s.wind.speed_mps, false, non_negative(150, "m/s"));
    f.number("variation_deg", s.variation_deg, false, between(-180, 180, "degrees"));
    f.finish();
}

void read_route(Fields& top, Scenario& s) {
    const toml::table* t = top.table("route");
    if (t == nullptr) {
        if (top.get("route") == nullptr) top.missing("route");
        return;
    }
    Fields f(top.reader(), *t, "route");
    f.number("origin_lat_deg", s.route.origin.lat_deg, true, between(-90, 90, "degrees"));
    double lon = 0;
    if (f.number("origin_lon_deg", lon, true, between(-180, 180, "degrees")))
        s.route.origin.lon_deg = wrap180(lon);
    double course = 0;
    if (f.number("course_deg", course, true, between(0, 360, "degrees")))
        s.route.course_deg = wrap360(course);
    std::string shape;
    if (f.string("shape", shape)) {
        if (shape == "rhumb") {
            s.route.shape = RouteShape::rhumb;
        } else if (shape == "great-circle") {
            s.route.shape = RouteShape::great_circle;
        } else {
            f.reader().issue(t->get("shape")->source(), "route.shape",
                             "must be \"rhumb\" or \"great-circle\", not \"" + shape + "\"");
        }
    }
    double map_angle = 0;
    if (f.number("map_angle_deg", map_angle, false, between(0, 360, "degrees")))
        s.map_angle_deg = wrap360(map_angle);
    f.finish();
    if (s.route.shape == RouteShape::rhumb && std::fabs(s.route.origin.lat_deg) > 85.0 &&
        f.get("origin_lat_deg") != nullptr) {
        f.reader().issue(t->get("origin_lat_deg")->source(), "route.origin_lat_deg",
                         "a rhumb line needs an origin within 85 degrees of the equator; "
                         "use shape = \"great-circle\" nearer the poles");
    }
}

void read_autopilot(Fields& top, Scenario& s) {
    const toml::table* t = top.table("autopilot");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "autopilot");
    f.number("bank_deg", s.autopilot.bank_limit_deg, false, positive(60, "degrees"));
    f.number("roll_rate_deg_s", s.autopilot.roll_rate_deg_s, false,
             positive(30, "degrees per second"));
    f.finish();
}

void read_crew(Fields& top, Scenario& s) {
    const toml::table* t = top.table("crew");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "crew");
    f.boolean("align_gyros", s.crew.align_gyros);
    f.number("align_tolerance_deg", s.crew.align_tolerance_deg, false, positive(10, "degrees"));
    f.number("align_timeout_s", s.crew.align_timeout_s, false, positive(3600, "seconds"));
    f.boolean("place_counters", s.crew.place_counters);
    f.finish();
}

void read_nav_wind(Fields& top, Scenario& s) {
    const toml::table* t = top.table("nav_wind");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "nav_wind");
    Wind w;
    const bool a = f.number("from_deg", w.from_deg, true, between(0, 360, "degrees"));
    const bool b = f.number("speed_mps", w.speed_mps, true, non_negative(150, "m/s"));
    f.finish();
    if (a && b) s.nav_wind = w;
}

void read_output(Fields& top, Scenario& s) {
    const toml::table* t = top.table("output");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "output");
    f.number("trace_interval_s", s.output.trace_interval_s, false, non_negative(3600, "seconds"));
    f.boolean("plots", s.output.plots);
    f.finish();
}

void read_capture(Fields& top, Scenario& s) {
    const toml::table* t = top.table("capture");
    if (t == nullptr) return;
    Fields f(top.reader(), *t, "capture");
    f.number("band_m", s.capture.band_m, false, positive(25000, "m"));
    f.number("track_tolerance_deg", s.capture.track_tolerance_deg, false,
             positive(90, "degrees"));
    f.finish();
}

void read_panel(Fields& top, Scenario& s) {
    const toml::table* t = top.table("panel");
    if (t == nullptr) return;
    read_settings(top, *t, "panel", s.panel);
}

void read_event(Reader& r, const toml::table& t, std::size_t index, Scenario& s) {
    const std::string prefix = "event[" + std::to_string(index + 1) + "]";
    Fields f(r, t, prefix);
    TimelineEvent e;
    e.line = static_cast<int>(t.source().begin.line);
    const bool has_time = f.number("at_s", e.at_s, true, non_negative(HUGE_VAL, "seconds"));

    int kinds = 0;
    if (const toml::table* set = f.table("set")) {
        ++kinds;
        e.kind = EventKind::set;
        read_settings(f, *set, f.path("set"), e.sets);
    }
    const bool has_bank = f.get("bank_deg") != nullptr;
    const bool has_duration = f.get("duration_s") != nullptr;
    const bool has_pitch = f.get("pitch_deg") != nullptr;
    if (has_bank || has_duration || has_pitch) {
        ++kinds;
        e.kind = EventKind::manoeuvre;
        f.number("bank_deg", e.bank_deg, true, between(-80, 80, "degrees"));
        f.number("duration_s", e.duration_s, true, positive(36000, "seconds"));
        double pitch = 0;
        if (f.number("pitch_deg", pitch, false, between(-60, 60, "degrees"))) e.pitch_deg = pitch;
    }
    bool reload = false;
    if (f.boolean("reload", reload)) {
        if (reload) {
            ++kinds;
            e.kind = EventKind::reload;
        } else {
            r.issue(t.get("reload")->source(), f.path("reload"),
                    "only reload = true is meaningful; remove the key otherwise");
        }
    }
    if (const toml::table* w = f.table("wind")) {
        ++kinds;
        e.kind = EventKind::wind;
        Fields wf(r, *w, f.path("wind"));
        wf.number("from_deg", e.wind.from_deg, true, between(0, 360, "degrees"));
        wf.number("speed_mps", e.wind.speed_mps, true, non_negative(150, "m/s"));
        wf.finish();
    }
    std::string crew;
    if (f.string("crew", crew)) {
        if (crew == "align") {
            ++kinds;
            e.kind = EventKind::crew_align;
        } else {
            r.issue(t.get("crew")->source(), f.path("crew"),
                    "the crew knows only \"align\", not \"" + crew + "\"");
        }
    }
    f.finish();
    if (kinds != 1) {
        r.issue(t.source(), prefix,
                kinds == 0 ? "says nothing to do: give one of set, bank_deg with duration_s, "
                             "reload = true, wind, crew = \"align\""
                           : "does more than one thing: give only one of set, bank_deg with "
                             "duration_s, reload, wind, crew (use several events at the same "
                             "time instead)");
        return;
    }
    if (has_time && s.duration_s > 0.0 && e.at_s >= s.duration_s) {
        r.issue(t.get("at_s")->source(), f.path("at_s"),
                number_text(e.at_s) + " s is not before the end of the flight (duration_s = " +
                    number_text(s.duration_s) + ")");
        return;
    }
    s.events.push_back(std::move(e));
}

void read_events(Fields& top, Scenario& s) {
    const toml::node* n = top.get("event");
    if (n == nullptr) return;
    const toml::array* arr = n->as_array();
    if (arr == nullptr) {
        top.reader().issue(n->source(), "event",
                           "must be an array of tables: write each event as [[event]]");
        return;
    }
    for (std::size_t i = 0; i < arr->size(); ++i) {
        const toml::node& item = *arr->get(i);
        if (const toml::table* t = item.as_table()) {
            read_event(top.reader(), *t, i, s);
        } else {
            top.reader().issue(item.source(), "event[" + std::to_string(i + 1) + "]",
                               std::string("must be a table, not ") + type_name(item));
        }
    }
    std::stable_sort(s.events.begin(), s.events.end(),
                     [](const TimelineEvent& a, const TimelineEvent& b) { return a.at_s < b.at_s; });
}

}  // namespace

std::string format_issue(const ScenarioIssue& i) {
    std::string s = i.file;
    if (i.line > 0) s += ":" + std::to_string(i.line) + ":" + std::to_string(i.column);
    s += ": error: ";
    if (!i.field.empty()) s += i.field + ": ";
    return s + i.message;
}

const std::vector<ModuleVariable>& module_variables() { return kModuleVariables; }

const ModuleVariable* find_module_variable(std::string_view name) {
    for (const ModuleVariable& v : kModuleVariables)
        if (name == v.name) return &v;
    return nullptr;
}

bool parse_scenario(std::string_view text, const std::string& source, Scenario& out,
                    std::vector<ScenarioIssue>& issues) {
    const std::size_t issues_before = issues.size();
    toml::parse_result parsed = toml::parse(text, source);
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        ScenarioIssue i;
        i.file = source;
        i.line = static_cast<int>(e.source().begin.line);
        i.column = static_cast<int>(e.source().begin.column);
        i.message = "not valid TOML: " + std::string(e.description());
        issues.push_back(std::move(i));
        return false;
    }
    const toml::table& root = parsed.table();
    Reader reader(source, issues);
    Fields top(reader, root, "");

    Scenario s;
    s.source = source;
    top.string("name", s.name);
    top.string("description", s.description);
    top.number("duration_s", s.duration_s, true, positive(100.0 * 3600.0, "seconds"));
    top.number("frame_rate_hz", s.frame_rate_hz, false, between(1, 1000, "frames per second"));
    double seed = 1;
    if (const toml::node* n = top.get("seed")) {
        if (!n->is_integer()) {
            reader.issue(n->source(), "seed", std::string("must be an integer, not ") + type_name(*n));
        } else if (top.number_value(*n, "seed", seed, between(0, 4294967295.0, ""))) {
            s.seed = static_cast<std::uint32_t>(seed);
        }
    }

    bool route_relative = false;
    RoutePoint start_rel;
    read_aircraft(top, s, route_relative, start_rel);
    read_environment(top, s);
    read_route(top, s);
    read_autopilot(top, s);
    read_crew(top, s);
    read_nav_wind(top, s);
    read_panel(top, s);
    read_output(top, s);
    read_capture(top, s);
    read_events(top, s);
    top.finish();

    if (issues.size() != issues_before) return false;

    if (route_relative) s.aircraft.position = RouteFrame(s.route).place(start_rel);
    if (s.name.empty()) s.name = std::filesystem::path(source).stem().string();
    out = std::move(s);
    return true;
}

bool load_scenario_file(const std::string& path, Scenario& out,
                        std::vector<ScenarioIssue>& issues) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        issues.push_back(ScenarioIssue{path, 0, 0, "", "is a folder, not a scenario file"});
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        issues.push_back(ScenarioIssue{path, 0, 0, "",
                                       "cannot be read (" +
                                           std::string(std::filesystem::exists(path, ec)
                                                           ? "permission denied"
                                                           : "no such file") +
                                           ")"});
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_scenario(text.str(), path, out, issues);
}

std::string_view builtin_scenario_text() { return kBuiltinScenario; }

Scenario builtin_scenario() {
    Scenario s;
    std::vector<ScenarioIssue> issues;
    parse_scenario(kBuiltinScenario, "<built-in>", s, issues);
    return s;
}

}  // namespace kodrix::fly

// Scenario files: the built-in and shipped scenarios read cleanly, values land
// where they belong, and a table of bad files gets errors naming the file,
// the line, the column and the field.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "flight/scenario.h"

namespace kodrix::fly {
namespace {

// A small good scenario, one key per line:
//  1 name = "t"            5 lon_deg = 10          9 origin_lat_deg = 50
//  2 duration_s = 600      6 heading_deg = 90     10 origin_lon_deg = 10
//  3 [aircraft]            7 airspeed_mps = 200   11 course_deg = 90
//  4 lat_deg = 50          8 [route]
const std::vector<std::string> kBase = {
    "name = \"t\"",     "duration_s = 600",   "[aircraft]",         "lat_deg = 50",
    "lon_deg = 10",     "heading_deg = 90",   "airspeed_mps = 200", "[route]",
    "origin_lat_deg = 50", "origin_lon_deg = 10", "course_deg = 90",
};

std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

// The base with line `n` (1-based) replaced by `text` (which may hold several lines).
std::string replaced(int n, const std::string& text) {
    std::vector<std::string> lines = kBase;
    lines[static_cast<std::size_t>(n - 1)] = text;
    return join(lines);
}

std::string appended(const std::string& text) { return join(kBase) + text + "\n"; }

std::vector<std::string> errors_of(const std::string& text) {
    Scenario s;
    std::vector<ScenarioIssue> issues;
    EXPECT_FALSE(parse_scenario(text, "bad.toml", s, issues));
    std::vector<std::string> out;
    for (const ScenarioIssue& i : issues) out.push_back(format_issue(i));
    return out;
}

std::string listing(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& e : v) s += "\n  " + e;
    return s;
}

TEST(ScenarioFiles, TheBaseIsGood) {
    Scenario s;
    std::vector<ScenarioIssue> issues;
    ASSERT_TRUE(parse_scenario(join(kBase), "good.toml", s, issues)) << issues.size();
    EXPECT_EQ(s.name, "t");
    EXPECT_DOUBLE_EQ(s.duration_s, 600);
    EXPECT_DOUBLE_EQ(s.frame_rate_hz, 18);  // the host's default frame rate
    EXPECT_DOUBLE_EQ(s.autopilot.bank_limit_deg, 15);
    EXPECT_DOUBLE_EQ(s.aircraft.position.lat_deg, 50);
    EXPECT_DOUBLE_EQ(s.aircraft.tas_mps, 200);
    EXPECT_EQ(s.route.shape, RouteShape::rhumb);
    EXPECT_TRUE(s.crew.align_gyros);
}

TEST(ScenarioFiles, BadFilesNameFileLineAndField) {
    struct Case {
        const char* what;
        std::string text;
        std::string expected;  // one of the errors, whole or its beginning
    };
    const std::vector<Case> cases = {
        {"negative airspeed", replaced(7, "airspeed_mps = -50"),
         "bad.toml:7:16: error: aircraft.airspeed_mps: must be greater than 0 and at most 600 m/s, not -50"},
        {"frame rate 0", replaced(2, "duration_s = 600\nframe_rate_hz = 0"),
         "bad.toml:3:17: error: frame_rate_hz: must be between 1 and 1000 frames per second, not 0"},
        {"latitude beyond the pole", replaced(4, "lat_deg = 91"),
         "bad.toml:4:11: error: aircraft.lat_deg: must be between -90 and 90 degrees, not 91"},
        {"NaN heading", replaced(6, "heading_deg = nan"),
         "bad.toml:6:15: error: aircraft.heading_deg: must be a finite number, not nan"},
        {"infinite duration", replaced(2, "duration_s = inf"),
         "bad.toml:2:14: error: duration_s: must be a finite number, not inf"},
        {"typo in a key", replaced(7, "air_speed_mps = 200"),
         "bad.toml:7:1: error: aircraft.air_speed_mps: unknown key (did you mean airspeed_mps?)"},
        {"typo leaves a required key missing", replaced(7, "air_speed_mps = 200"),
         "bad.toml:3:1: error: aircraft.airspeed_mps: missing: this key is required"},
        {"text for a number", replaced(2, "duration_s = \"long\""),
         "bad.toml:2:14: error: duration_s: must be a number, not a string"},
        {"typo in a table name", replaced(3, "[aircarft]"),
         "bad.toml:3:2: error: aircarft: unknown key (did you mean aircraft?)"},
        {"not a variable of the module", appended("[panel]\n\"NAS1 SAU Mode\" = 1"),
         "bad.toml:13:1: error: panel.\"NAS1 SAU Mode\": not a named variable of the module (did you "
         "mean \"NAS1 SAU mode\"?)"},
        {"unknown unit", appended("[panel]\n\"NAS1 Map Angle\" = { value = 1, unit = \"furlong\" }"),
         "bad.toml:13:40: error: panel.\"NAS1 Map Angle\".unit: unknown unit \"furlong\""},
        {"TOML syntax", replaced(2, "duration_s = = 5"), "bad.toml:2:14: error: not valid TOML: "},
        {"event doing two things",
         appended("[[event]]\nat_s = 10\nreload = true\nwind = { from_deg = 10, speed_mps = 5 }"),
         "bad.toml:12:1: error: event[1]: does more than one thing"},
        {"event doing nothing", appended("[[event]]\nat_s = 10"),
         "bad.toml:12:1: error: event[1]: says nothing to do"},
        {"event after the end", appended("[[event]]\nat_s = 700\nreload = true"),
         "bad.toml:13:8: error: event[1].at_s: 700 s is not before the end of the flight (duration_s = 600)"},
        {"event at a negative time", appended("[[event]]\nat_s = -1\nreload = true"),
         "bad.toml:13:8: error: event[1].at_s: must be at least 0 seconds, not -1"},
        {"manoeuvre without a duration", appended("[[event]]\nat_s = 10\nbank_deg = 45"),
         "bad.toml:12:1: error: event[1].duration_s: missing: this key is required"},
        {"reload = false", appended("[[event]]\nat_s = 10\nreload = false"),
         "bad.toml:14:10: error: event[1].reload: only reload = true is meaningful"},
        {"unknown crew action", appended("[[event]]\nat_s = 10\ncrew = \"sleep\""),
         "bad.toml:14:8: error: event[1].crew: the crew knows only \"align\", not \"sleep\""},
        {"event setting an unknown variable",
         appended("[[event]]\nat_s = 10\nset = { \"KS8 Mode Selektor\" = 1 }"),
         "bad.toml:14:9: error: event[1].set.\"KS8 Mode Selektor\": not a named variable of the module "
         "(did you mean \"KS8 Mode Selector\"?)"},
        {"event as a plain key", replaced(2, "duration_s = 600\nevent = 5"),
         "bad.toml:3:9: error: event: must be an array of tables"},
        {"unknown route shape", appended("shape = \"spiral\""),
         "bad.toml:12:9: error: route.shape: must be \"rhumb\" or \"great-circle\", not \"spiral\""},
        {"start given twice", replaced(5, "lon_deg = 10\ncross_km = 2"),
         "bad.toml:3:1: error: aircraft: give the start either as lat_deg and lon_deg or as along_km "
         "and cross_km (from the route line), not both"},
        {"half a start", replaced(5, "pitch_deg = 0"),
         "bad.toml:3:1: error: aircraft.lon_deg: missing: this key is required"},
        {"negative seed", replaced(1, "name = \"t\"\nseed = -1"),
         "bad.toml:2:8: error: seed: must be between 0 and 4294967295, not -1"},
        {"fractional seed", replaced(1, "name = \"t\"\nseed = 1.5"),
         "bad.toml:2:8: error: seed: must be an integer, not a number"},
        {"no route", join(std::vector<std::string>(kBase.begin(), kBase.begin() + 7)),
         "bad.toml:1:1: error: route: missing: this key is required"},
        {"negative wind", appended("[environment]\nwind_speed_mps = -3"),
         "bad.toml:13:18: error: environment.wind_speed_mps: must be between 0 and 150 m/s, not -3"},
        {"true/false as a number", appended("[output]\nplots = 1"),
         "bad.toml:13:9: error: output.plots: must be true or false, not an integer"},
        {"rhumb line at the pole", replaced(9, "origin_lat_deg = 89"),
         "bad.toml:9:18: error: route.origin_lat_deg: a rhumb line needs an origin within 85 degrees"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> errors = errors_of(c.text);
        const bool found = std::any_of(errors.begin(), errors.end(), [&](const std::string& e) {
            return e.compare(0, c.expected.size(), c.expected) == 0;
        });
        EXPECT_TRUE(found) << c.what << ": expected\n  " << c.expected << "\ngot" << listing(errors);
    }
}

TEST(ScenarioFiles, MissingFileAndFolder) {
    Scenario s;
    std::vector<ScenarioIssue> issues;
    EXPECT_FALSE(load_scenario_file("/nonexistent/nope.toml", s, issues));
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(format_issue(issues[0]), "/nonexistent/nope.toml: error: cannot be read (no such file)");
    issues.clear();
    EXPECT_FALSE(load_scenario_file(KODRIX_SCENARIO_DIR, s, issues));
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_NE(format_issue(issues[0]).find("is a folder, not a scenario file"), std::string::npos);
}

TEST(ScenarioFiles, BuiltInScenario) {
    const Scenario s = builtin_scenario();
    EXPECT_EQ(s.name, "default");
    EXPECT_EQ(s.source, "<built-in>");
    EXPECT_DOUBLE_EQ(s.frame_rate_hz, 18);
    // Started 4 km right of the line, in a crosswind from the left.
    const RoutePoint q = RouteFrame(s.route).locate(s.aircraft.position);
    EXPECT_NEAR(q.along_m, 0.0, 0.01);
    EXPECT_NEAR(q.cross_m, 4000.0, 0.01);
    EXPECT_NEAR(wrap180(s.wind.from_deg - (s.route.course_deg - 90)), 0.0, 1e-9);
    const auto panel = [&](const char* name) {
        for (const VarSetting& v : s.panel)
            if (v.name == name) return v.value;
        return -1.0;
    };
    EXPECT_EQ(panel("KS8 Mode Selector"), 0);    // slaved to the magnetic heading
    EXPECT_EQ(panel("NAS1 Mode Switch"), 1);     // Doppler reckoning
    EXPECT_EQ(panel("NAS1 Counters Switch"), 1);
    EXPECT_EQ(panel("NAS1 SAU mode"), 1);
}

TEST(ScenarioFiles, ShippedScenariosReadCleanly) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(KODRIX_SCENARIO_DIR)) {
        if (e.path().extension() != ".toml") continue;
        Scenario s;
        std::vector<ScenarioIssue> issues;
        EXPECT_TRUE(load_scenario_file(e.path().string(), s, issues))
            << e.path() << (issues.empty() ? "" : ": " + format_issue(issues[0]));
        names.push_back(s.name);
        EXPECT_EQ(s.name, e.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {"antimeridian",        "crosswind-intercept",
                                               "free-gyro-high-latitude", "panel-reload",
                                               "steep-turn-doppler-loss", "wind-mode"};
    EXPECT_EQ(names, expected);
}

TEST(ScenarioFiles, PanelValuesUnitsAndTimeline) {
    const std::string text = appended(
        "[panel]\n"
        "\"NAS1 Map Angle\" = 30\n"
        "\"NAS1 LBU Controller\" = { value = 1500, unit = \"meters\" }\n"
        "\"NAS1 SAU mode\" = true\n"
        "[[event]]\nat_s = 300\nreload = true\n"
        "[[event]]\nat_s = 100\nbank_deg = -45\nduration_s = 60\n"
        "[[event]]\nat_s = 300\nset = { \"NAS1 SAU mode\" = 0 }\n"
        "[[event]]\nat_s = 200\nwind = { from_deg = 90, speed_mps = 12 }\n");
    Scenario s;
    std::vector<ScenarioIssue> issues;
    ASSERT_TRUE(parse_scenario(text, "p.toml", s, issues))
        << (issues.empty() ? "" : format_issue(issues[0]));
    ASSERT_EQ(s.panel.size(), 3u);
    EXPECT_EQ(s.panel[0].unit, "degree");  // the unit the module reads it in
    EXPECT_EQ(s.panel[1].unit, "meters");  // as given
    EXPECT_DOUBLE_EQ(s.panel[1].value, 1500);
    EXPECT_DOUBLE_EQ(s.panel[2].value, 1);  // true is 1
    // By time; at equal times in file order.
    ASSERT_EQ(s.events.size(), 4u);
    EXPECT_EQ(s.events[0].kind, EventKind::manoeuvre);
    EXPECT_DOUBLE_EQ(s.events[0].bank_deg, -45);
    EXPECT_EQ(s.events[1].kind, EventKind::wind);
    EXPECT_DOUBLE_EQ(s.events[1].wind.speed_mps, 12);
    EXPECT_EQ(s.events[2].kind, EventKind::reload);
    EXPECT_EQ(s.events[3].kind, EventKind::set);
    EXPECT_EQ(s.name, "t");
}

TEST(ScenarioFiles, NameDefaultsToTheFileStem) {
    std::vector<std::string> lines(kBase.begin() + 1, kBase.end());
    Scenario s;
    std::vector<ScenarioIssue> issues;
    ASSERT_TRUE(parse_scenario(join(lines), "dir/my-flight.toml", s, issues));
    EXPECT_EQ(s.name, "my-flight");
}

}  // namespace
}  // namespace kodrix::fly

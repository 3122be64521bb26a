// The run's outputs: trace and summary contents, plots, and the folder they
// go to, written whole or not at all and never over someone else's files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "flight/outputs.h"
#include "flight/svg_plot.h"

namespace kodrix::fly {
namespace {

namespace fs = std::filesystem;

FlightResult small_result() {
    FlightResult r;
    r.summary.scenario = "tiny";
    r.summary.source = "tiny.toml";
    r.summary.captured = true;
    r.summary.time_to_capture_s = 12.5;
    r.summary.max_abs_xtk_after_capture_m = 40;
    r.summary.rms_xtk_after_capture_m = 20;
    r.summary.max_dr_error_m = 7;
    r.summary.dr_time_s = 3;
    r.summary.final_dr_error_m = NAN;
    r.summary.diss_valid_fraction = 0.5;
    r.summary.frames = 4;
    for (int i = 0; i < 4; ++i) {
        TraceRow row{};
        row.t_s = i;
        row.along_m = 100.0 * i;
        row.cross_m = 50.0 - 10 * i;
        row.dr_error_m = i == 0 ? NAN : 2.0 * i;
        row.heading_bug_deg = NAN;
        row.diss_signal_good = i == 2 ? 0 : 1;
        r.trace.push_back(row);
    }
    r.marks.push_back(FlightMark{2.0, "captured"});
    return r;
}

Scenario small_scenario() {
    Scenario s;
    s.name = "tiny";
    s.duration_s = 4;
    return s;
}

std::string read(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class OutputFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kodrix-fly-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    // Entries of root_ other than `keep`.
    int leftovers(const std::string& keep) {
        int n = 0;
        for (const auto& e : fs::directory_iterator(root_))
            if (e.path().filename() != keep) ++n;
        return n;
    }
    fs::path root_;
};

TEST(Plots, NiceTicks) {
    EXPECT_EQ(nice_ticks(0, 10, 5), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    EXPECT_EQ(nice_ticks(-3.2, 7.9, 5), (std::vector<double>{-2, 0, 2, 4, 6}));
    const std::vector<double> small = nice_ticks(0.0013, 0.0091, 4);
    ASSERT_EQ(small.size(), 4u);
    EXPECT_NEAR(small.front(), 0.002, 1e-12);
    EXPECT_NEAR(small.back(), 0.008, 1e-12);
    EXPECT_TRUE(nice_ticks(5, 5, 4).empty());
}

TEST(Plots, LinesBreakWhereValuesAreMissing) {
    PlotPanel p;
    p.title = "t & <t>";
    PlotSeries s;
    s.x = {0, 1, 2, 3, 4};
    s.y = {0, 1, NAN, 3, 4};
    p.series.push_back(s);
    const std::string svg = render_svg("title", {p});
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
    EXPECT_NE(svg.find("t &amp; &lt;t&gt;"), std::string::npos);
    const std::size_t path = svg.find("<path d=\"");
    ASSERT_NE(path, std::string::npos);
    const std::string d = svg.substr(path, svg.find('"', path + 9) - path);
    EXPECT_EQ(std::count(d.begin(), d.end(), 'M'), 2);  // two pieces
    EXPECT_EQ(std::count(d.begin(), d.end(), 'L'), 2);
}

TEST(Outputs, TraceHasAHeaderAndOneLinePerRowWithBlanksForMissingValues) {
    const std::string csv = trace_csv(small_result());
    std::istringstream in(csv);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header.rfind("t_s,lat_deg,lon_deg,along_m,cross_m,nas_s_m,nas_v_m,lbu_m,dr_error_m,", 0), 0u);
    const auto columns = std::count(header.begin(), header.end(), ',') + 1;
    int rows = 0;
    while (std::getline(in, line)) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ',') + 1, columns);
        ++rows;
    }
    EXPECT_EQ(rows, 4);
    // Row 0: no dead-reckoning error yet, no heading bug: blank fields.
    std::istringstream again(csv);
    std::getline(again, line);
    std::getline(again, line);
    EXPECT_EQ(line.rfind("0.000,0.0000000,0.0000000,0.00,50.00,0.00,0.00,0.00,,", 0), 0u);
}

TEST(Outputs, SummaryJsonHasTheKeysAndNullForMissing) {
    const nlohmann::json j = nlohmann::json::parse(summary_json(small_scenario(), small_result()));
    for (const char* key : {"captured", "time_to_capture_s", "final_xtk_m", "max_abs_xtk_after_capture_m",
                            "max_dr_error_m", "diss_valid_fraction", "frames", "wall_s"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_EQ(j["captured"], true);
    EXPECT_DOUBLE_EQ(j["time_to_capture_s"].get<double>(), 12.5);
    EXPECT_TRUE(j["final_dr_error_m"].is_null());
    EXPECT_EQ(j["frames"], 4);
}

TEST_F(OutputFolder, WritesEveryFileAndReplacesAnEarlierRun) {
    const fs::path out = root_ / "run";
    std::string error;
    ASSERT_TRUE(write_outputs(small_scenario(), small_result(), out.string(), error)) << error;
    for (const char* f : {"trace.csv", "summary.json", "track.svg", "errors.svg"})
        EXPECT_TRUE(fs::is_regular_file(out / f)) << f;
    EXPECT_NE(read(out / "track.svg").find("ground track"), std::string::npos);

    // A second run replaces the first; no temporary folders stay behind.
    FlightResult second = small_result();
    second.summary.frames = 99;
    Scenario no_plots = small_scenario();
    no_plots.output.plots = false;
    ASSERT_TRUE(write_outputs(no_plots, second, out.string() + "/", error)) << error;
    EXPECT_NE(read(out / "summary.json").find("\"frames\": 99"), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "track.svg"));
    EXPECT_EQ(leftovers("run"), 0);
}

TEST_F(OutputFolder, LeavesForeignFoldersAlone) {
    const fs::path out = root_ / "mine";
    fs::create_directories(out);
    std::ofstream(out / "notes.txt") << "keep me";
    std::string error;
    EXPECT_FALSE(write_outputs(small_scenario(), small_result(), out.string(), error));
    EXPECT_NE(error.find("holds notes.txt, which kodrix-fly did not write"), std::string::npos) << error;
    EXPECT_EQ(read(out / "notes.txt"), "keep me");
    EXPECT_FALSE(fs::exists(out / "summary.json"));
    EXPECT_EQ(leftovers("mine"), 0);

    std::ofstream(root_ / "plain") << "x";
    EXPECT_FALSE(write_outputs(small_scenario(), small_result(), (root_ / "plain").string(), error));
    EXPECT_NE(error.find("exists and is not a folder"), std::string::npos) << error;
    EXPECT_FALSE(write_outputs(small_scenario(), small_result(), ".", error));
}

TEST_F(OutputFolder, UnwritablePlaceLeavesNothing) {
    // A parent that is a file cannot hold the results.
    std::ofstream(root_ / "file") << "x";
    std::string error;
    EXPECT_FALSE(write_outputs(small_scenario(), small_result(), (root_ / "file" / "run").string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(leftovers("file"), 0);
}

}  // namespace
}  // namespace kodrix::fly

// The kodrix-fly command: exit status, messages, and what it leaves on disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class FlyCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               (std::string("kodrix-fly-cmd-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs kodrix-fly with `args`; returns its exit status.
    int run(const std::string& args) {
        const std::string cmd = std::string("\"") + KODRIX_FLY + "\" " + args + " --no-progress > \"" +
                                (dir_ / "stdout").string() + "\" 2> \"" + (dir_ / "stderr").string() + "\"";
        const int status = std::system(cmd.c_str());
        out_ = read(dir_ / "stdout");
        err_ = read(dir_ / "stderr");
#if defined(_WIN32)
        return status;
#else
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    std::string out_, err_;
};

TEST_F(FlyCommand, FliesTheBuiltInScenarioAndPrintsASummary) {
    ASSERT_EQ(run("--out " + path("run") + " --duration 300"), 0) << err_;
    EXPECT_NE(out_.find("kodrix-fly: default (<built-in>)"), std::string::npos) << out_;
    EXPECT_NE(out_.find("captured"), std::string::npos) << out_;
    for (const char* f : {"trace.csv", "summary.json", "track.svg", "errors.svg"})
        EXPECT_TRUE(fs::exists(dir_ / "run" / f)) << f;
    const nlohmann::json j = nlohmann::json::parse(read(dir_ / "run" / "summary.json"));
    EXPECT_EQ(j["scenario"], "default");
    EXPECT_EQ(j["frames"], 300 * 18);
    EXPECT_TRUE(err_.empty()) << err_;
}

TEST_F(FlyCommand, TheSameSeedFliesTheSameFlight) {
    ASSERT_EQ(run("--out " + path("a") + " --duration 300 --seed 77 -q"), 0) << err_;
    ASSERT_EQ(run("--out " + path("b") + " --duration 300 --seed 77 -q"), 0) << err_;
    nlohmann::json a = nlohmann::json::parse(read(dir_ / "a" / "summary.json"));
    nlohmann::json b = nlohmann::json::parse(read(dir_ / "b" / "summary.json"));
    for (nlohmann::json* j : {&a, &b}) {
        j->erase("wall_s");
        j->erase("frames_per_wall_second");
    }
    EXPECT_EQ(a, b);
    EXPECT_EQ(a["seed"], 77);
    EXPECT_EQ(read(dir_ / "a" / "trace.csv"), read(dir_ / "b" / "trace.csv"));
}

TEST_F(FlyCommand, ABadScenarioWritesNothing) {
    std::ofstream(path("bad.toml")) << "name = \"x\"\nduration_s = 0\n[aircraft]\nlat_deg = 95\n";
    EXPECT_EQ(run(path("bad.toml") + " --out " + path("run")), 2);
    const std::string file = path("bad.toml");
    EXPECT_NE(err_.find(file + ":2:14: error: duration_s: must be greater than 0"), std::string::npos) << err_;
    EXPECT_NE(err_.find(file + ":4:11: error: aircraft.lat_deg: must be between -90 and 90 degrees"),
              std::string::npos)
        << err_;
    EXPECT_NE(err_.find("nothing was flown"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "run"));
    EXPECT_TRUE(out_.empty());
}

TEST_F(FlyCommand, UsageErrorsAndMissingFiles) {
    EXPECT_EQ(run("--no-such-option"), 2);
    EXPECT_EQ(run("--seed -3"), 2);
    EXPECT_EQ(run(path("missing.toml") + " --out " + path("run")), 2);
    EXPECT_NE(err_.find("missing.toml: error: cannot be read (no such file)"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "run"));
}

TEST_F(FlyCommand, AMissingModuleWritesNothing) {
    EXPECT_EQ(run("--module " + path("nope.so") + " --out " + path("run")), 1);
    EXPECT_NE(err_.find("nope.so"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "run"));
}

TEST_F(FlyCommand, CheckAndPrintDefault) {
    ASSERT_EQ(run("--print-default"), 0);
    std::ofstream(path("copy.toml")) << out_;
    EXPECT_EQ(run("--check " + path("copy.toml")), 0) << err_;
    EXPECT_NE(out_.find("is good"), std::string::npos) << out_;
}

}  // namespace

// Kodrix.so driven as the simulator drives the DLL: loaded from its file by
// the emulated host's loader, the host table stored in ImportTable, the
// gauges reached through Linkage.
#include <dlfcn.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"
#include "module/linkage_records.h"
#include "module/module_flight.h"

namespace kodrix::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr double kStartS = 100.0;
constexpr std::uint32_t kSeed = 777;

enum Gauge : std::size_t { kKs8 = 0, kDiss = 1, kAnu = 2 };

class ModuleFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test starts from the module as loaded: nothing may survive
        // from an earlier test in this process.
        if (void* loaded = dlopen(KODRIX_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(loaded);
            FAIL() << "the module is still loaded; an earlier test did not close it";
        }
        std::string error;
        ASSERT_TRUE(module.open(KODRIX_MODULE_PATH, error)) << error;
        module.attach(host.table());
    }

    // The panel disconnects its windows before the module is unloaded;
    // unloading itself destroys nothing.
    void TearDown() override { module.service_all(kDisconnect); }

    // Seed fixed, steady flight at kStartS, all gauges armed and created.
    void start_flight() {
        ASSERT_TRUE(module.fix_random_seed(kSeed));
        set_steady_flight(host, kStartS);
        module.service_all(kConnect);
        module.service_all(kPostInstall);
    }

    const LinkageRecord& linkage() const {
        return *static_cast<const LinkageRecord*>(module.linkage_record());
    }

    emu::EmulatedHost host;
    emu::ModuleLibrary module;
};

// The module's generator by its rule: state = state * 214013 + 2531011
// (mod 2^32), draw = bits 16 to 30 of the new state.
std::vector<int> draws_after_seed(std::uint32_t seed, int n) {
    std::vector<int> out;
    std::uint32_t state = seed;
    for (int i = 0; i < n; ++i) {
        state = state * 214013u + 2531011u;
        out.push_back(static_cast<int>((state >> 16) & 0x7FFF));
    }
    return out;
}

TEST_F(ModuleFileTest, ListsTheThreeGaugesInLinkageOrder) {
    ASSERT_EQ(module.gauge_count(), 3u);
    EXPECT_EQ(module.gauge_name(kKs8), "KS-8");
    EXPECT_EQ(module.gauge_name(kDiss), "DISS-013");
    EXPECT_EQ(module.gauge_name(kAnu), "ANU");
    EXPECT_EQ(module.gauge_name(3), "");
    EXPECT_EQ(module.gauge_index("ANU"), 2);
    EXPECT_EQ(module.gauge_index("KS-8"), 0);
    EXPECT_EQ(module.gauge_index("KS-9"), -1);
}

TEST_F(ModuleFileTest, RecordsHoldTheirFixedValues) {
    const auto& import = *static_cast<const ImportTableRecord*>(module.import_table_record());
    EXPECT_EQ(import.panels_id, 0x0Fu);
    EXPECT_EQ(import.panels, host.table());  // stored by attach
    EXPECT_EQ(import.end_id, 0u);
    EXPECT_EQ(import.end_pointer, nullptr);

    const LinkageRecord& l = linkage();
    EXPECT_EQ(l.module_id, 0x13u);
    EXPECT_NE(l.module_init, nullptr);
    EXPECT_EQ(l.module_deinit, l.module_init);
    EXPECT_EQ(l.module_flags, 0u);
    EXPECT_EQ(l.module_priority, 0u);
    EXPECT_EQ(l.module_version, 0x0900u);
    EXPECT_EQ(l.gauges[3], nullptr);

    const GAUGEHDR& first = *l.gauges[0];
    for (std::size_t g = 0; g < 3; ++g) {
        SCOPED_TRACE(module.gauge_name(g));
        const GAUGEHDR& h = *l.gauges[g];
        EXPECT_EQ(h.header_version, 800u);
        EXPECT_EQ(h.size_mm, 1u);
        EXPECT_EQ(h.reserved_40, 0u);
        for (std::uint32_t w : h.reserved_48) EXPECT_EQ(w, 0u);
        for (std::uint32_t w : h.reserved_88) EXPECT_EQ(w, 0u);
        // The seven routines are the same in every header.
        EXPECT_NE(h.query, nullptr);
        EXPECT_EQ(h.query, first.query);
        EXPECT_EQ(h.install, first.install);
        EXPECT_EQ(h.initialize, first.initialize);
        EXPECT_EQ(h.update, first.update);
        EXPECT_EQ(h.generate, first.generate);
        EXPECT_EQ(h.draw, first.draw);
        EXPECT_EQ(h.kill, first.kill);
        EXPECT_NE(h.service_callback, nullptr);

        ASSERT_NE(h.element_list, nullptr);
        EXPECT_EQ(h.element_list->elements[1], nullptr);
        const StaticImageElement& e = *h.element_list->elements[0];
        EXPECT_EQ(e.element_type, 0u);
        EXPECT_EQ(e.image_resource_id, 101u);
        EXPECT_EQ(e.position_x, 0);
        EXPECT_EQ(e.position_y, 0);
        EXPECT_EQ(e.gauge, &h);
        EXPECT_EQ(e.image_flags, 1u);
        ASSERT_NE(e.failures, nullptr);
        EXPECT_EQ(e.failures->entries[0].key, 0u);
        EXPECT_EQ(e.failures->entries[0].action, 0u);
    }
    // Each gauge has its own callback, element and failure list.
    EXPECT_NE(l.gauges[0]->service_callback, l.gauges[1]->service_callback);
    EXPECT_NE(l.gauges[1]->service_callback, l.gauges[2]->service_callback);
    EXPECT_NE(l.gauges[0]->element_list->elements[0], l.gauges[1]->element_list->elements[0]);
    EXPECT_NE(l.gauges[0]->element_list->elements[0]->failures,
              l.gauges[2]->element_list->elements[0]->failures);
}

TEST_F(ModuleFileTest, ModuleInitAndDeinitDoNothing) {
    host.record_calls(true);
    for (int i = 0; i < 3; ++i) {
        linkage().module_deinit();
        linkage().module_init();
        linkage().module_init();
    }
    EXPECT_THAT(host.calls(), IsEmpty());
    EXPECT_EQ(host.live_var_count(), 0u);
}

TEST_F(ModuleFileTest, ServicesBeforeArmingCreateNothing) {
    set_steady_flight(host, kStartS);
    host.record_calls(true);
    const std::size_t panel_vars = host.live_var_count();
    const std::int32_t services[] = {kPostInstall, kPostUpdate, kPostUpdate, 0, 1, 16, -1};
    for (std::int32_t service : services)
        module.service_all(service);
    EXPECT_THAT(host.calls(), IsEmpty());
    EXPECT_EQ(host.live_var_count(), panel_vars);
}

TEST_F(ModuleFileTest, SteadyFlightPublishesEveryGaugesOutputs) {
    start_flight();
    const std::vector<Frame> frames = fly(module, host, kStartS, 40);
    EXPECT_THAT(check_ks8(frames), IsEmpty());
    EXPECT_THAT(check_diss(frames, kStartS), IsEmpty());
    EXPECT_THAT(check_anu(frames, kStartS), IsEmpty());
}

TEST_F(ModuleFileTest, FixedSeedGivesTheDopplerNoiseOfThatSeed) {
    start_flight();
    // Linkage order at creation: the KS-8 gyro units seed (fixed seed) and
    // draw, then "DISS-013" and "ANU" each reseed with the fixed seed. So the
    // meter's first measurement takes the first two draws after the seed.
    const std::vector<Frame> frames = fly(module, host, kStartS, 4);  // runs at +0.4 s
    const std::vector<int> r = draws_after_seed(kSeed, 2);
    const double s = ground_speed_fps();
    const double expected_fps = s * (1.0 + 0.004 * (1.0 - 2.0 * r[0] / 32767.0));
    const double expected_drift = drift_rad() + kThirdDegreeRad * (1.0 - 2.0 * r[1] / 32767.0);
    EXPECT_NEAR(frames.back().diss_wspeed_fps, expected_fps, 1e-9);
    EXPECT_NEAR(frames.back().diss_drift_rad, expected_drift, 1e-12);
    EXPECT_EQ(frames.back().diss_signal_good, 1.0);
}

TEST_F(ModuleFileTest, FixedSeedReproducesAFlightAfterRecreation) {
    ASSERT_TRUE(module.fix_random_seed(kSeed));
    // "DISS-013" is created first so that the source stands at the fixed seed
    // whenever the KS-8 gyro units draw, whether or not they seed.
    auto run = [&] {
        set_steady_flight(host, kStartS);
        host.set_var("NAS1 LBU Controller", 0.0, "kilometer");
        host.set_var("NAS1 ANU Vprev reset", 1.0);
        module.service_all(kDisconnect);
        for (Gauge g : {kDiss, kKs8, kAnu}) module.service(g, kPostInstall);
        return fly(module, host, kStartS, 30);
    };
    const std::vector<Frame> first = run();
    const std::vector<Frame> second = run();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 3; i < first.size(); ++i) {  // from the first measurement on
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(first[i].ks8_primary_deg, second[i].ks8_primary_deg);
        EXPECT_EQ(first[i].ks8_secondary_deg, second[i].ks8_secondary_deg);
        EXPECT_EQ(first[i].diss_wspeed_fps, second[i].diss_wspeed_fps);
        EXPECT_EQ(first[i].diss_drift_rad, second[i].diss_drift_rad);
        EXPECT_EQ(first[i].s_m, second[i].s_m);
        EXPECT_EQ(first[i].v_m, second[i].v_m);
        EXPECT_EQ(first[i].anu_course_deg, second[i].anu_course_deg);
        EXPECT_EQ(first[i].key_events.size(), second[i].key_events.size());
    }
}

TEST_F(ModuleFileTest, DisconnectDestroysAndTheNextPostInstallStartsAfresh) {
    start_flight();
    fly(module, host, kStartS, 8);
    ASSERT_TRUE(host.var_exists("KS8 Primary Course Signal"));
    const double s_before = host.var("NAS1 S coordinate", "meters");
    const double v_before = host.var("NAS1 V coordinate", "meters");
    ASSERT_NE(std::hypot(s_before, v_before), 0.0);

    module.service_all(kDisconnect);
    // The KS-8 object owned its two outputs and removed them with itself.
    EXPECT_FALSE(host.var_exists("KS8 Primary Course Signal"));
    EXPECT_FALSE(host.var_exists("KS8 Secondary Course Signal"));
    const double wspeed = host.var("DISS Wspeed", "feet per second");
    const std::vector<Frame> idle = fly(module, host, kStartS + 0.8, 10);
    for (const Frame& f : idle) {
        EXPECT_THAT(f.key_events, IsEmpty());
        EXPECT_EQ(f.s_m, s_before);
        EXPECT_EQ(f.v_m, v_before);
        EXPECT_EQ(f.diss_wspeed_fps, wspeed);
        EXPECT_FALSE(f.ks8_outputs_exist);
    }

    // Disconnect armed creation: the next 3 builds new objects.
    const double now = kStartS + 1.8;
    module.service_all(kPostInstall);
    EXPECT_EQ(host.var("NAS1 S coordinate", "meters"), 0.0);
    EXPECT_EQ(host.var("NAS1 V coordinate", "meters"), 0.0);
    const std::vector<Frame> again = fly(module, host, now, 8);
    EXPECT_THAT(check_ks8(again), IsEmpty());
    EXPECT_THAT(check_diss(again, now), IsEmpty());
    EXPECT_THAT(check_anu(again, now), IsEmpty());
}

TEST_F(ModuleFileTest, GenericRoutinesOfEveryGaugePassTheKs8Element) {
    EXPECT_THAT(check_generic_routines(module, host), IsEmpty());
}

// A host table of our own whose install operation records its arguments.
struct InstallSeen {
    void* element = nullptr;
    void* resource = nullptr;
    int calls = 0;
};
InstallSeen install_seen;
void KODRIX_CALL record_install(void* element, void* resource) {
    install_seen = InstallSeen{element, resource, install_seen.calls + 1};
}

TEST_F(ModuleFileTest, GenericRoutinesReadLinkageAndImportTableOnEveryCall) {
    auto& l = *static_cast<LinkageRecord*>(const_cast<void*>(module.linkage_record()));
    void* const ks8 = l.gauges[0]->element_list->elements[0];
    void* const diss = l.gauges[1]->element_list->elements[0];

    // A host that stores another table is served through that table.
    PANELS other{};
    other.element_list_install = record_install;
    install_seen = InstallSeen{};
    module.attach(&other);
    module.routine(kAnu, emu::GaugeRoutine::install, 0x1234);
    EXPECT_EQ(install_seen.calls, 1);
    EXPECT_EQ(install_seen.element, ks8);
    EXPECT_EQ(install_seen.resource, reinterpret_cast<void*>(0x1234));
    module.attach(host.table());

    // The first gauge in Linkage is looked up on each call, not remembered.
    GAUGEHDR* const first = l.gauges[0];
    l.gauges[0] = l.gauges[1];
    host.clear_element_calls();
    module.routine(kKs8, emu::GaugeRoutine::update);
    l.gauges[0] = first;
    module.routine(kKs8, emu::GaugeRoutine::update);
    ASSERT_EQ(host.element_calls().size(), 2u);
    EXPECT_EQ(host.element_calls()[0].element, diss);
    EXPECT_EQ(host.element_calls()[1].element, ks8);
}

TEST(ModuleFile, ExportsOnlyTheRecordsAndTheSeedSeam) {
    const std::string command = std::string(KODRIX_NM) + " -D --defined-only " + KODRIX_MODULE_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr) << command;
    std::map<std::string, char> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char type = 0;
        char name[256] = {};
        if (std::sscanf(line, "%*s %c %255s", &type, name) == 2) symbols[name] = type;
    }
    ASSERT_EQ(pclose(pipe), 0) << command;
    const std::map<std::string, char> expected = {
        {"ImportTable", 'D'}, {"Linkage", 'D'}, {"kodrix_fix_random_seed", 'T'}};
    EXPECT_EQ(symbols, expected);
}

TEST(ModuleFile, OpenNamesTheFileAndWhatIsWrong) {
    struct Case {
        const char* path;
        const char* reason;
    };
    const Case cases[] = {
        {"/nonexistent/Kodrix.so", "cannot open module file"},
        {KODRIX_FAKE_NO_RECORDS, "exports no ImportTable record"},
        {KODRIX_FAKE_NO_LINKAGE, "exports no Linkage record"},
        {KODRIX_FAKE_BAD_LINKAGE, "module id 0x13"},
        {"", "no module file given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        emu::ModuleLibrary module;
        std::string error;
        EXPECT_FALSE(module.open(c.path, error));
        EXPECT_FALSE(module.is_open());
        EXPECT_THAT(error, HasSubstr(c.path));
        EXPECT_THAT(error, HasSubstr(c.reason));
        EXPECT_EQ(module.gauge_count(), 0u);
        module.service_all(kConnect);  // nothing to call: no crash
    }
}

TEST(ModuleFile, NothingIsCalledBeforeAHostTableIsAttached) {
    emu::EmulatedHost host;
    emu::ModuleLibrary module;
    std::string error;
    ASSERT_TRUE(module.open(KODRIX_MODULE_PATH, error)) << error;
    host.record_calls(true);
    // The module would reach its host through a null table; the loader holds back.
    module.service_all(kConnect);
    module.service_all(kPostInstall);
    module.routine(kKs8, emu::GaugeRoutine::install, 1);
    EXPECT_THAT(host.calls(), IsEmpty());
    EXPECT_THAT(host.element_calls(), IsEmpty());

    module.attach(host.table());
    module.routine(kKs8, emu::GaugeRoutine::query);
    EXPECT_EQ(host.element_calls().size(), 1u);
    module.attach(nullptr);
    module.routine(kKs8, emu::GaugeRoutine::query);
    EXPECT_EQ(host.element_calls().size(), 1u);
}

TEST(ModuleFile, MovedLibraryKeepsTheModuleOpen) {
    emu::EmulatedHost host;
    emu::ModuleLibrary first;
    std::string error;
    ASSERT_TRUE(first.open(KODRIX_MODULE_PATH, error)) << error;
    emu::ModuleLibrary second(std::move(first));
    EXPECT_FALSE(first.is_open());
    EXPECT_EQ(first.gauge_count(), 0u);
    ASSERT_TRUE(second.is_open());
    second.attach(host.table());
    EXPECT_EQ(second.gauge_name(kAnu), "ANU");

    emu::ModuleLibrary third;
    third = std::move(second);
    EXPECT_FALSE(second.is_open());
    EXPECT_EQ(third.gauge_count(), 3u);
    third.close();
    EXPECT_FALSE(third.is_open());
}

}  // namespace
}  // namespace kodrix::testing

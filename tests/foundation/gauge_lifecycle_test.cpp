#include <vector>

#include <gtest/gtest.h>

#include "common/random_source.h"
#include "module/gauge_slot.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

// Probe models that count what the slot does to them.
struct Probe {
    static inline int alive = 0;
    static inline int constructed = 0;
    static inline std::vector<double> updates;  // elapsed, or -1 for update()
    Probe() { ++alive; ++constructed; }
    ~Probe() { --alive; }
    void update() { updates.push_back(-1.0); }
    void update(double elapsed) { updates.push_back(elapsed); }
    static void reset() { alive = 0; constructed = 0; updates.clear(); }
};

struct EveryFrameGauge {
    using Model = Probe;
    static constexpr bool kThrottled = false;
};
struct MeterGauge {  // the Doppler meter's timing
    using Model = Probe;
    static constexpr bool kThrottled = true;
    static constexpr double kUpdatePeriod = 0.333333;
    static constexpr bool kPassesElapsed = false;
};
struct ComputerGauge {  // the navigation computer's timing
    using Model = Probe;
    static constexpr bool kThrottled = true;
    static constexpr double kUpdatePeriod = 0.333;
    static constexpr bool kPassesElapsed = true;
};

class GaugeLifecycleTest : public testing::HostTest {
protected:
    GaugeLifecycleTest() { Probe::reset(); }
    ~GaugeLifecycleTest() override {
        destroy_gauge_object<EveryFrameGauge>(slot);
    }

    template <class G>
    void run(std::initializer_list<int> services) {
        for (int s : services) gauge_service<G>(slot, s);
    }

    GaugeSlot<Probe> slot = make_gauge_slot<Probe>();
};

TEST_F(GaugeLifecycleTest, NothingIsCreatedBeforeArming) {
    host.record_calls(true);
    run<ComputerGauge>({3, 7, 7});
    EXPECT_EQ(slot.object, nullptr);
    EXPECT_EQ(Probe::constructed, 0);
    EXPECT_TRUE(host.calls().empty());
}

TEST_F(GaugeLifecycleTest, StateTable) {
    // Unarmed --15--> Armed --3--> Running --14--> Running-armed --15--> Armed.
    run<EveryFrameGauge>({15});
    EXPECT_TRUE(slot.creation_armed);
    EXPECT_EQ(slot.object, nullptr);
    run<EveryFrameGauge>({14, 3});
    EXPECT_NE(slot.object, nullptr);
    EXPECT_FALSE(slot.creation_armed);
    run<EveryFrameGauge>({3});  // Running: a 3 does nothing
    EXPECT_EQ(Probe::constructed, 1);
    run<EveryFrameGauge>({14});
    EXPECT_TRUE(slot.creation_armed);
    run<EveryFrameGauge>({7, 7});  // Running-armed keeps updating
    EXPECT_EQ(Probe::updates.size(), 2u);
    run<EveryFrameGauge>({15});
    EXPECT_EQ(slot.object, nullptr);
    EXPECT_TRUE(slot.creation_armed);
    EXPECT_EQ(Probe::alive, 0);
}

TEST_F(GaugeLifecycleTest, ACreationInRunningArmedReplacesTheObject) {
    run<EveryFrameGauge>({14, 3, 14, 3});
    EXPECT_EQ(Probe::constructed, 2);
    EXPECT_EQ(Probe::alive, 1);
    EXPECT_FALSE(slot.creation_armed);
}

TEST_F(GaugeLifecycleTest, OtherServicesChangeNothing) {
    run<ComputerGauge>({14, 3});
    host.set_token(kTimeToken, 100.0);
    host.record_calls(true);
    const Probe* before = slot.object;
    run<ComputerGauge>({0, 1, 2, 4, 5, 6, 8, 9, 10, 11, 12, 13, 16, -1, -15, 1000});
    EXPECT_EQ(slot.object, before);
    EXPECT_FALSE(slot.creation_armed);
    EXPECT_TRUE(Probe::updates.empty());
    EXPECT_TRUE(host.calls().empty());
}

TEST_F(GaugeLifecycleTest, EveryFrameGaugeUpdatesOnEachSevenWithoutTime) {
    run<EveryFrameGauge>({14, 3});
    host.record_calls(true);
    run<EveryFrameGauge>({7, 7, 7});
    EXPECT_EQ(Probe::updates, (std::vector<double>{-1.0, -1.0, -1.0}));
    EXPECT_TRUE(host.calls().empty());  // no time token is touched
}

TEST_F(GaugeLifecycleTest, CreationStartsThePeriodAtTheHostsPresentTime) {
    host.set_token(kTimeToken, 3600.0);
    host.record_calls(true);
    run<ComputerGauge>({14, 3});
    EXPECT_EQ(host.calls(), (std::vector<std::string>{"initialize_var(604)", "lookup_var(604)"}));
    EXPECT_EQ(slot.last_run_time, 3600.0);

    host.set_token(kTimeToken, 3600.2);
    run<ComputerGauge>({7});
    EXPECT_TRUE(Probe::updates.empty());
    host.set_token(kTimeToken, 3600.5);
    run<ComputerGauge>({7});
    ASSERT_EQ(Probe::updates.size(), 1u);
    EXPECT_NEAR(Probe::updates[0], 0.5, 1e-9);  // not 3600.5
    EXPECT_EQ(slot.last_run_time, 3600.5);
}

TEST_F(GaugeLifecycleTest, FirstRunAtTenSecondsFromAFreshClock) {
    run<ComputerGauge>({14, 3});
    host.set_token(kTimeToken, 10.0);
    run<ComputerGauge>({7});
    EXPECT_EQ(Probe::updates, (std::vector<double>{10.0}));
    EXPECT_EQ(slot.last_run_time, 10.0);
}

TEST_F(GaugeLifecycleTest, ThrottleBoundariesOfTheTwoPeriods) {
    const struct {
        double elapsed;
        bool meter_runs;
        bool computer_runs;
    } cases[] = {
        {0.333, false, false},
        {0.3333, false, true},
        {0.33334, true, true},
        {0.0, false, false},
        {-1.0, false, false},
    };
    for (const auto& c : cases) {
        for (bool meter : {true, false}) {
            Probe::reset();
            slot = make_gauge_slot<Probe>();
            host.set_token(kTimeToken, 0.0);
            if (meter) {
                run<MeterGauge>({14, 3});
            } else {
                run<ComputerGauge>({14, 3});
            }
            host.set_token(kTimeToken, c.elapsed);
            if (meter) {
                run<MeterGauge>({7});
            } else {
                run<ComputerGauge>({7});
            }
            const bool ran = !Probe::updates.empty();
            EXPECT_EQ(ran, meter ? c.meter_runs : c.computer_runs)
                << (meter ? "meter" : "computer") << " elapsed " << c.elapsed;
            delete slot.object;
            slot.object = nullptr;
        }
    }
}

TEST_F(GaugeLifecycleTest, CadenceFollowsTheHostsServiceRate) {
    host.set_token(kTimeToken, 0.0);
    run<ComputerGauge>({14, 3});
    double t = 0.0;
    for (int i = 1; i <= 12; ++i) {
        t = 0.1 * i;
        host.set_token(kTimeToken, t);
        run<ComputerGauge>({7});
    }
    // Runs at 0.4, 0.8 and 1.2 s: every fourth service, about 0.4 s each.
    ASSERT_EQ(Probe::updates.size(), 3u);
    for (double e : Probe::updates) EXPECT_NEAR(e, 0.4, 1e-9);
    EXPECT_DOUBLE_EQ(slot.last_run_time, t);
}

TEST_F(GaugeLifecycleTest, TimeSetBackWaitsUntilItPassesTheLastRunByAPeriod) {
    host.set_token(kTimeToken, 50.0);
    run<MeterGauge>({14, 3});
    host.set_token(kTimeToken, 10.0);
    run<MeterGauge>({7});
    host.set_token(kTimeToken, 50.3);
    run<MeterGauge>({7});
    EXPECT_TRUE(Probe::updates.empty());
    host.set_token(kTimeToken, 50.4);
    run<MeterGauge>({7});
    EXPECT_EQ(Probe::updates.size(), 1u);
}

TEST_F(GaugeLifecycleTest, NonFiniteClockNeverCountsAsTimePassing) {
    host.set_token(kTimeToken, std::numeric_limits<double>::quiet_NaN());
    run<ComputerGauge>({14, 3});
    EXPECT_EQ(slot.last_run_time, 0.0);
    run<ComputerGauge>({7});
    host.set_token(kTimeToken, std::numeric_limits<double>::infinity());
    run<ComputerGauge>({7});
    EXPECT_TRUE(Probe::updates.empty());
    host.set_token(kTimeToken, 1.0);
    run<ComputerGauge>({7});
    EXPECT_EQ(Probe::updates, (std::vector<double>{1.0}));
}

TEST_F(GaugeLifecycleTest, RecreationDestroysFirstAndReseeds) {
    host.set_token(kTimeToken, 5.0);
    run<MeterGauge>({14, 3});
    random_draw();
    random_draw();
    host.set_token(kTimeToken, 20.0);
    run<MeterGauge>({15, 3});
    EXPECT_EQ(Probe::constructed, 2);
    EXPECT_EQ(Probe::alive, 1);
    EXPECT_EQ(slot.last_run_time, 20.0);
    // Reseeded from the (fixed) calendar seed: the sequence starts again.
    random_seed(testing::kTestSeed);
    const int first = random_draw();
    run<MeterGauge>({15, 3});
    EXPECT_EQ(random_draw(), first);
}

TEST_F(GaugeLifecycleTest, FifteenWithoutObjectOnlyArms) {
    host.record_calls(true);
    run<MeterGauge>({15});
    EXPECT_TRUE(host.calls().empty());
    EXPECT_TRUE(slot.creation_armed);
    run<MeterGauge>({3});
    EXPECT_NE(slot.object, nullptr);
}

}  // namespace
}  // namespace kodrix

#include "flight/runner.h"

#include <array>
#include <chrono>
#include <cmath>
#include <limits>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"

namespace kodrix::fly {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Host tokens the module reads.
enum Token : std::uint32_t {
    kTokenLatitude = 71,
    kTokenLongitude = 72,
    kTokenPitch = 77,
    kTokenBank = 79,
    kTokenVariation = 82,
    kTokenHeading = 86,
    kTokenGroundAlong = 551,
    kTokenGroundAcross = 552,
    kTokenTime = 604,
};

constexpr std::uint32_t kCourseEvent = 66042;
constexpr double kSlewRateDegS = 3.0;     // KS-8 course selector slew
constexpr double kEarthRateDegH = 15.0;   // apparent drift of a free gyro at the pole
constexpr double kDissSettleS = 0.5;      // the meter publishes after its first period
constexpr double kMinSegmentS = 60.0;     // shortest free-gyro stretch worth a drift figure
constexpr std::uint64_t kProgressEvery = 8192;
constexpr std::uint64_t kMaxTraceRows = 1000000;

// The module's named variables, by name.
enum Var : std::size_t {
    kKs8Power,
    kKs8Mode,
    kKs8CourseSelector,
    kKs8Hemisphere,
    kKs8GyroSwitch,
    kKs8Latitude,
    kKs8Coord,
    kKs8Primary,
    kKs8Secondary,
    kDissPower,
    kDissGood,
    kDissSpeed,
    kDissDrift,
    kNasMode,
    kNasCounters,
    kNasMapAngle,
    kNasWindAngle,
    kNasWindSpeed,
    kNasS,
    kNasV,
    kNasSau,
    kNasReset,
    kNasLbu,
    kAnuCourse,
    kVarCount
};

constexpr std::array<const char*, kVarCount> kVarNames = {
    "KS8 Power Source Line",     "KS8 Mode Selector",     "KS8 Course Selector",
    "KS8 Hemisphere Switch",     "KS8 GyroUnit Switch",   "KS8 Latitude Selector",
    "KS8 Coord Button",          "KS8 Primary Course Signal", "KS8 Secondary Course Signal",
    "DISS Power Source Line",    "DISS Signal Good",      "DISS Wspeed",
    "DISS Drift Angle",          "NAS1 Mode Switch",      "NAS1 Counters Switch",
    "NAS1 Map Angle",            "NAS1 WC NavWind Angle", "NAS1 WC NavWind Speed",
    "NAS1 S coordinate",         "NAS1 V coordinate",     "NAS1 SAU mode",
    "NAS1 ANU Vprev reset",      "NAS1 LBU Controller",   "ANU Course Signal",
};

// Truncation toward zero of a switch value, NaN as 0, as the module reads it.
int switch_value(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

struct PlannedSet {
    Var var;
    double value;
    UnitsEnum units;
};

struct PlannedEvent {
    const TimelineEvent* event;
    std::vector<PlannedSet> sets;
};

// Least-squares slope of y over t, accumulated without storing the points.
struct SlopeFit {
    double n = 0, st = 0, sy = 0, stt = 0, sty = 0;
    void add(double t, double y) {
        n += 1;
        st += t;
        sy += y;
        stt += t * t;
        sty += t * y;
    }
    double slope() const {
        const double d = n * stt - st * st;
        return d > 0.0 ? (n * sty - st * sy) / d : kNaN;
    }
};

class FlightRun {
public:
    FlightRun(const Scenario& s, const RunOptions& o, FlightResult& r)
        : sc_(s),
          opt_(o),
          res_(r),
          sum_(r.summary),
          route_(s.route),
          ac_(s.aircraft),
          wind_(s.wind),
          ap_(s.autopilot, s.aircraft.true_heading_deg, s.aircraft.pitch_deg) {}

    bool run(std::string& error);

private:
    bool load(std::string& error);
    void plan();
    void refresh_ids();
    void write(Var v, double value, UnitsEnum units) { host_.set_var(ids_[v], value, units); }
    double read(Var v, UnitsEnum units) const { return host_.var(ids_[v], units); }
    void write_planned(const PlannedSet& p);
    void set_tokens(double t);
    void create_gauges(double t);
    void after_creation(double t);
    void apply(const PlannedEvent& e, double t);
    void start_alignment(double t);
    void crew_step(double t);
    void end_alignment(double t, bool aligned);
    void request_placement(double t, bool couple);
    void place_counters();
    double course_frame_variation() const;
    void set_map_angle_and_wind();
    void mark(double t, const char* what) { res_.marks.push_back(FlightMark{t, what}); }
    void read_signals();
    void measure(double t, bool record);
    void gyro_segment_step(double t);
    void close_gyro_segment();

    const Scenario& sc_;
    const RunOptions& opt_;
    FlightResult& res_;
    FlightSummary& sum_;
    RouteFrame route_;
    AircraftState ac_;
    Wind wind_;
    Autopilot ap_;

    emu::EmulatedHost host_;
    emu::ModuleLibrary lib_;
    std::array<NamedVarId, kVarCount> ids_{};
    UnitsEnum u_number_ = 0, u_degree_ = 0, u_meters_ = 0, u_km_ = 0, u_mps_ = 0;
    std::vector<PlannedSet> panel_;
    std::vector<PlannedEvent> plan_;

    // The switches the crew handles while it aligns the gyros, and what the
    // scenario wants on them meanwhile.
    bool aligning_ = false;
    double align_started_s_ = 0.0;
    double intended_sau_ = 0.0, intended_coord_ = 0.0, intended_slew_ = 0.0;
    bool counters_set_ = false;
    bool placement_pending_ = false;
    bool couple_after_placement_ = false;
    double placement_requested_s_ = 0.0;
    bool map_angle_by_scenario_ = false;
    bool nav_wind_by_scenario_ = false;

    // Signals of this frame.
    double primary_ = 0, secondary_ = 0, diss_speed_ = 0, diss_drift_ = 0, diss_good_ = 0;
    double nas_s_ = 0, nas_v_ = 0, lbu_m_ = 0, anu_course_ = 0, sau_ = 0;
    RoutePoint here_;
    GroundVelocity gv_;
    // The computer's counters tick when it updates; the crew sets them right
    // after a tick, and the dead-reckoning error compares them with the true
    // place at that tick.
    double prev_s_ = 0.0, prev_v_ = 0.0;
    bool tick_ = false;
    double last_tick_s_ = -1e9;
    RoutePoint truth_at_tick_;

    // Metrics.
    double diss_counted_from_s_ = 0.0;
    std::uint64_t diss_frames_ = 0, diss_good_frames_ = 0;
    double xtk_sq_sum_ = 0.0;
    std::uint64_t xtk_count_ = 0;
    double prev_lon_ = 0.0;
    double transport_deg_ = 0.0;  // sum of sin(latitude) * change of longitude
    double gyro_offset_ = kNaN;
    bool seg_active_ = false;
    GyroSegment seg_;
    SlopeFit seg_fit_;
    double seg_earth_rate_sum_ = 0.0, seg_lat_sum_ = 0.0;
    std::uint64_t seg_frames_ = 0;
    int seg_gyro_switch_ = 0;
    double seg_prev_raw_ = 0.0, seg_unwrapped_ = 0.0;
};

bool FlightRun::load(std::string& error) {
    if (!lib_.open(opt_.module_path, error)) return false;
    for (const char* gauge : {"KS-8", "DISS-013", "ANU"}) {
        if (lib_.gauge_index(gauge) < 0) {
            error = opt_.module_path + ": the module has no gauge \"" + gauge + "\"";
            return false;
        }
    }
    lib_.attach(host_.table());
    sum_.seed_fixed = lib_.fix_random_seed(sc_.seed);
    return true;
}

void FlightRun::refresh_ids() {
    // A reload unregisters the variables the KS-8 owns and registers them
    // anew under new ids; the others keep theirs.
    for (std::size_t i = 0; i < kVarCount; ++i) ids_[i] = host_.ensure_var(kVarNames[i]);
}

void FlightRun::plan() {
    u_number_ = host_.units("number");
    u_degree_ = host_.units("degree");
    u_meters_ = host_.units("meters");
    u_km_ = host_.units("kilometer");
    u_mps_ = host_.units("meters per second");
    refresh_ids();

    auto make = [&](const VarSetting& v) {
        PlannedSet p{kVarCount, v.value, host_.units(v.unit)};
        for (std::size_t i = 0; i < kVarCount; ++i)
            if (v.name == kVarNames[i]) p.var = static_cast<Var>(i);
        if (p.var == kNasMapAngle) map_angle_by_scenario_ = true;
        if (p.var == kNasWindAngle || p.var == kNasWindSpeed) nav_wind_by_scenario_ = true;
        return p;
    };
    for (const VarSetting& v : sc_.panel) panel_.push_back(make(v));
    for (const TimelineEvent& e : sc_.events) {
        PlannedEvent pe{&e, {}};
        for (const VarSetting& v : e.sets) pe.sets.push_back(make(v));
        plan_.push_back(std::move(pe));
    }
    if (sc_.map_angle_deg) map_angle_by_scenario_ = true;
    res_.marks.reserve(64 + 4 * sc_.events.size());
    sum_.alignments.reserve(8 + sc_.events.size());
    sum_.free_gyro.reserve(8 + sc_.events.size());
}

// Writes a scenario setting. While the crew aligns the gyros it holds the
// SAU off and works the coord button and course selector itself; settings of
// those take effect when it is done.
void FlightRun::write_planned(const PlannedSet& p) {
    if (p.var >= kVarCount) return;
    if (p.var == kNasSau || p.var == kKs8Coord || p.var == kKs8CourseSelector) {
        // Remember the value in "number"; the three are plain switches.
        const double v = p.value;
        if (p.var == kNasSau) intended_sau_ = v;
        if (p.var == kKs8Coord) intended_coord_ = v;
        if (p.var == kKs8CourseSelector) intended_slew_ = v;
        if (aligning_) return;
    }
    host_.set_var(ids_[p.var], p.value, p.units);
}

void FlightRun::set_tokens(double t) {
    const HostTokens k = host_tokens(ac_, wind_, sc_.variation_deg, t);
    host_.set_token(kTokenTime, k.time_s);
    host_.set_token(kTokenLatitude, k.latitude);
    host_.set_token(kTokenLongitude, k.longitude);
    host_.set_token(kTokenVariation, k.variation_deg);
    host_.set_token(kTokenHeading, k.true_heading_deg);
    host_.set_token(kTokenPitch, k.pitch_deg);
    host_.set_token(kTokenBank, k.bank_deg);
    host_.set_token(kTokenGroundAlong, k.ground_along_fps);
    host_.set_token(kTokenGroundAcross, k.ground_across_fps);
    host_.set_airspeed_mps(ac_.tas_mps);
}

// The course signal is magnetic while the primary gyro is slaved to the
// magnetic heading, and also while it runs free, since the crew aligns a free
// gyro with the compass; in true-heading matching it is true.
double FlightRun::course_frame_variation() const {
    const int mode = switch_value(read(kKs8Mode, u_number_));
    return (mode == 0 || mode == 1) ? sc_.variation_deg : 0.0;
}

void FlightRun::set_map_angle_and_wind() {
    const double var = course_frame_variation();
    if (!map_angle_by_scenario_) {
        const double course = route_.course_at_deg(route_.locate(ac_.position).along_m);
        write(kNasMapAngle, wrap360(course - var), u_degree_);
    }
    if (sc_.nav_wind && !nav_wind_by_scenario_) {
        // The computer wants the direction the wind blows toward, in the
        // frame of the course signal.
        write(kNasWindAngle, wrap360(sc_.nav_wind->from_deg + 180.0 - var), u_degree_);
        write(kNasWindSpeed, sc_.nav_wind->speed_mps, u_mps_);
    }
}

void FlightRun::place_counters() {
    const RoutePoint q = route_.locate(ac_.position);
    write(kNasS, q.along_m, u_meters_);
    write(kNasV, q.cross_m, u_meters_);
    // The lateral deviation is the cross-track distance; the reset request
    // makes the computer take the present V as its reference, so the
    // deviation goes on from here whatever the computer's history.
    write(kNasLbu, q.cross_m / 1000.0, u_km_);
    write(kNasReset, 1.0, u_number_);
    set_map_angle_and_wind();
    counters_set_ = true;
}

void FlightRun::create_gauges(double t) {
    lib_.service_all(14);
    lib_.service_all(3);
    refresh_ids();
    diss_counted_from_s_ = t + kDissSettleS;
    after_creation(t);
}

void FlightRun::after_creation(double t) {
    counters_set_ = false;
    placement_pending_ = false;
    if (sc_.crew.align_gyros) {
        start_alignment(t);
    } else if (sc_.crew.place_counters) {
        request_placement(t, false);
    } else {
        // The crew leaves the counters as the computer has them.
        counters_set_ = true;
    }
}

// The crew sets the counters right after the computer's next update (when
// they tick), so that its next update counts only the time since then; if
// they do not tick within a second (counters off, no speed), it sets them
// anyway.
void FlightRun::request_placement(double t, bool couple) {
    placement_pending_ = true;
    couple_after_placement_ = couple;
    placement_requested_s_ = t;
}

void FlightRun::start_alignment(double t) {
    aligning_ = true;
    align_started_s_ = t;
    counters_set_ = false;
    placement_pending_ = false;  // the counters are set once aligned
    write(kNasSau, 0.0, u_number_);
    GyroAlignment a;
    a.start_s = t;
    a.done_s = kNaN;
    sum_.alignments.push_back(a);
}

void FlightRun::end_alignment(double t, bool aligned) {
    aligning_ = false;
    write(kKs8Coord, intended_coord_, u_number_);
    write(kKs8CourseSelector, intended_slew_, u_number_);
    if (!aligned) {
        // The gyros would not align (no power?): the crew leaves the SAU off.
        mark(t, "gyro alignment given up");
        return;
    }
    sum_.alignments.back().done = true;
    sum_.alignments.back().done_s = t;
    mark(t, "gyros aligned");
    if (sc_.crew.place_counters) {
        request_placement(t, true);
    } else {
        counters_set_ = true;
        write(kNasSau, intended_sau_, u_number_);
    }
}

// The crew compares the primary course with the compass: the magnetic
// heading, or the true heading when the primary matches the true heading.
void FlightRun::crew_step(double t) {
    if (placement_pending_ && (tick_ || t - placement_requested_s_ >= 1.0)) {
        place_counters();
        placement_pending_ = false;
        if (couple_after_placement_) write(kNasSau, intended_sau_, u_number_);
        return;
    }
    if (!aligning_) return;
    if (t - align_started_s_ > sc_.crew.align_timeout_s) {
        end_alignment(t, false);
        return;
    }
    const int mode = switch_value(read(kKs8Mode, u_number_));
    const double reference =
        (mode == 0 || mode == 1) ? ac_.true_heading_deg - sc_.variation_deg : ac_.true_heading_deg;
    const double diff = wrap180(reference - primary_);
    if (!std::isfinite(diff)) return;
    if (mode == 1) {
        // A free primary is slewed: 1 lowers the signal, 2 raises it, at a
        // fixed rate; stop within half a frame's slew.
        const double tolerance = std::min(sc_.crew.align_tolerance_deg,
                                          std::max(0.05, 0.51 * kSlewRateDegS / sc_.frame_rate_hz));
        if (std::fabs(diff) <= tolerance) {
            end_alignment(t, true);
            crew_step(t);
        } else {
            write(kKs8CourseSelector, diff > 0.0 ? 2.0 : 1.0, u_number_);
        }
        return;
    }
    if (std::fabs(diff) <= sc_.crew.align_tolerance_deg) {
        end_alignment(t, true);
        crew_step(t);
    } else {
        write(kKs8Coord, 1.0, u_number_);
    }
}

void FlightRun::apply(const PlannedEvent& pe, double t) {
    const TimelineEvent& e = *pe.event;
    switch (e.kind) {
        case EventKind::set:
            for (const PlannedSet& p : pe.sets) write_planned(p);
            break;
        case EventKind::manoeuvre:
            ap_.start_manoeuvre(e.bank_deg, e.pitch_deg.value_or(sc_.aircraft.pitch_deg),
                                t + e.duration_s);
            mark(t, "manoeuvre");
            break;
        case EventKind::reload:
            lib_.service_all(15);
            mark(t, "panel reload");
            ++sum_.reloads;
            create_gauges(t);
            break;
        case EventKind::wind:
            wind_ = e.wind;
            mark(t, "wind change");
            break;
        case EventKind::crew_align:
            if (!aligning_) start_alignment(t);
            break;
    }
}

void FlightRun::read_signals() {
    primary_ = read(kKs8Primary, u_degree_);
    secondary_ = read(kKs8Secondary, u_degree_);
    diss_speed_ = read(kDissSpeed, u_mps_);
    diss_drift_ = read(kDissDrift, u_degree_);
    diss_good_ = read(kDissGood, u_number_);
    anu_course_ = read(kAnuCourse, u_degree_);
    nas_s_ = read(kNasS, u_meters_);
    nas_v_ = read(kNasV, u_meters_);
}

void FlightRun::close_gyro_segment() {
    if (!seg_active_) return;
    seg_active_ = false;
    if (seg_.end_s - seg_.start_s < kMinSegmentS || seg_frames_ == 0) return;
    seg_.measured_deg_per_h = seg_fit_.slope() * 3600.0;
    seg_.earth_rate_deg_per_h = seg_earth_rate_sum_ / static_cast<double>(seg_frames_);
    seg_.mean_latitude_deg = seg_lat_sum_ / static_cast<double>(seg_frames_);
    sum_.free_gyro.push_back(seg_);
}

// The primary gyro runs free when the KS-8 is powered, the mode selector is
// 1 and no one slews it. Its signal minus (true heading - sum of sin(lat) *
// change of longitude) then stays constant for a perfect gyro corrected for
// the earth's rotation; the slope of that difference is the gyro's drift.
void FlightRun::gyro_segment_step(double t) {
    const bool powered = switch_value(read(kKs8Power, u_number_)) != 0;
    const bool free = powered && !aligning_ && switch_value(read(kKs8Mode, u_number_)) == 1 &&
                      switch_value(read(kKs8CourseSelector, u_number_)) == 0;
    if (!free) {
        close_gyro_segment();
        return;
    }
    const bool south = switch_value(read(kKs8Hemisphere, u_number_)) != 0;
    const double setting = read(kKs8Latitude, u_degree_) * (south ? -1.0 : 1.0);
    const int gyro_switch = switch_value(read(kKs8GyroSwitch, u_number_));
    if (seg_active_ && (setting != seg_.latitude_setting_deg || gyro_switch != seg_gyro_switch_))
        close_gyro_segment();
    const double raw = wrap180(gyro_offset_);
    if (!seg_active_) {
        seg_active_ = true;
        seg_ = GyroSegment{};
        seg_.start_s = t;
        seg_.latitude_setting_deg = setting;
        seg_gyro_switch_ = gyro_switch;
        seg_fit_ = SlopeFit{};
        seg_earth_rate_sum_ = 0.0;
        seg_lat_sum_ = 0.0;
        seg_frames_ = 0;
        seg_prev_raw_ = raw;
        seg_unwrapped_ = raw;
    } else {
        seg_unwrapped_ += wrap180(raw - seg_prev_raw_);
        seg_prev_raw_ = raw;
    }
    seg_.end_s = t;
    seg_fit_.add(t - seg_.start_s, seg_unwrapped_);
    const double lat = ac_.position.lat_deg;
    seg_earth_rate_sum_ +=
        -kEarthRateDegH * (std::sin(lat * kRadPerDeg) - std::sin(setting * kRadPerDeg));
    seg_lat_sum_ += lat;
    ++seg_frames_;
}

void FlightRun::measure(double t, bool record) {
    gv_ = ground_velocity(ac_.true_heading_deg, ac_.tas_mps, wind_);

    // Convergence of meridians along the path, as the gyro's own term has it.
    const double dlon = wrap180(ac_.position.lon_deg - prev_lon_);
    if (std::fabs(ac_.position.lon_deg - prev_lon_) > 180.0) ++sum_.antimeridian_crossings;
    transport_deg_ += std::sin(ac_.position.lat_deg * kRadPerDeg) * dlon;
    prev_lon_ = ac_.position.lon_deg;
    gyro_offset_ = wrap180(primary_ - (ac_.true_heading_deg - transport_deg_));
    gyro_segment_step(t);

    // Between two updates the counters stand still while the aircraft moves;
    // they are compared with the true place at their last update.
    const RoutePoint& truth = (t - last_tick_s_ <= 0.5) ? truth_at_tick_ : here_;
    const double dr = counters_set_ ? std::hypot(nas_s_ - truth.along_m, nas_v_ - truth.cross_m)
                                    : kNaN;
    if (counters_set_) {
        sum_.max_dr_error_m = std::max(sum_.max_dr_error_m, dr);
        sum_.final_dr_error_m = dr;
        sum_.dr_time_s += 1.0 / sc_.frame_rate_hz;
    }

    if (t >= diss_counted_from_s_) {
        ++diss_frames_;
        if (diss_good_ >= 0.5) {
            ++diss_good_frames_;
        } else {
            sum_.diss_lost_s += 1.0 / sc_.frame_rate_hz;
        }
    }

    if (!sum_.captured && !aligning_ && switch_value(sau_) != 0 &&
        std::fabs(here_.cross_m) <= sc_.capture.band_m &&
        std::fabs(wrap180(gv_.track_deg - route_.course_at_deg(here_.along_m))) <=
            sc_.capture.track_tolerance_deg) {
        sum_.captured = true;
        sum_.time_to_capture_s = t;
        sum_.max_abs_xtk_after_capture_m = 0.0;
        mark(t, "captured");
    }
    if (sum_.captured) {
        sum_.max_abs_xtk_after_capture_m =
            std::max(sum_.max_abs_xtk_after_capture_m, std::fabs(here_.cross_m));
        xtk_sq_sum_ += here_.cross_m * here_.cross_m;
        ++xtk_count_;
    }
    sum_.final_xtk_m = here_.cross_m;

    if (!record) return;
    TraceRow r;
    r.t_s = t;
    r.lat_deg = ac_.position.lat_deg;
    r.lon_deg = ac_.position.lon_deg;
    r.along_m = here_.along_m;
    r.cross_m = here_.cross_m;
    r.nas_s_m = nas_s_;
    r.nas_v_m = nas_v_;
    r.lbu_m = lbu_m_;
    r.dr_error_m = dr;
    r.true_heading_deg = ac_.true_heading_deg;
    r.magnetic_heading_deg = wrap360(ac_.true_heading_deg - sc_.variation_deg);
    r.track_deg = gv_.track_deg;
    r.ground_speed_mps = gv_.speed_mps;
    r.bank_deg = ac_.bank_deg;
    r.pitch_deg = ac_.pitch_deg;
    r.ks8_primary_deg = primary_;
    r.ks8_secondary_deg = secondary_;
    r.gyro_offset_deg = gyro_offset_;
    r.secondary_offset_deg = wrap180(secondary_ - (ac_.true_heading_deg - transport_deg_));
    r.diss_speed_mps = diss_speed_;
    r.diss_drift_deg = diss_drift_;
    r.diss_signal_good = diss_good_;
    r.anu_course_deg = anu_course_;
    r.heading_bug_deg = ap_.bug_set() ? static_cast<double>(ap_.bug_deg()) : kNaN;
    r.sau_mode = sau_;
    res_.trace.push_back(r);
}

bool FlightRun::run(std::string& error) {
    sum_.scenario = sc_.name;
    sum_.source = sc_.source;
    sum_.seed = sc_.seed;
    sum_.duration_s = sc_.duration_s;
    sum_.frame_rate_hz = sc_.frame_rate_hz;
    sum_.time_to_capture_s = kNaN;
    sum_.max_abs_xtk_after_capture_m = kNaN;
    sum_.rms_xtk_after_capture_m = kNaN;
    sum_.final_dr_error_m = kNaN;

    if (!load(error)) return false;
    plan();

    const auto frames = static_cast<std::uint64_t>(std::llround(sc_.duration_s * sc_.frame_rate_hz));
    const double dt = 1.0 / sc_.frame_rate_hz;
    std::uint64_t every = 1;
    if (sc_.output.trace_interval_s > 0.0)
        every = std::max<std::uint64_t>(
            1, static_cast<std::uint64_t>(std::llround(sc_.output.trace_interval_s * sc_.frame_rate_hz)));
    // A trace beyond a million lines helps no one and may not fit in memory.
    if (frames / every > kMaxTraceRows) every = frames / kMaxTraceRows + 1;
    sum_.trace_interval_s = static_cast<double>(every) / sc_.frame_rate_hz;
    if (opt_.keep_trace) res_.trace.reserve(static_cast<std::size_t>(frames / every + 2));

    // Start: the panel as the scenario sets it, the tokens, then the gauges
    // are created as the panel creates them (14, then 3, to each gauge).
    for (const PlannedSet& p : panel_) write_planned(p);
    if (sc_.map_angle_deg) write(kNasMapAngle, *sc_.map_angle_deg, u_degree_);
    set_map_angle_and_wind();
    set_tokens(0.0);
    prev_lon_ = ac_.position.lon_deg;
    create_gauges(0.0);

    const auto wall_start = std::chrono::steady_clock::now();
    std::size_t next_event = 0;
    for (std::uint64_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k) / sc_.frame_rate_hz;
        set_tokens(t);
        while (next_event < plan_.size() && plan_[next_event].event->at_s <= t + 1e-9)
            apply(plan_[next_event++], t);

        lib_.service_all(7);

        read_signals();
        here_ = route_.locate(ac_.position);
        tick_ = nas_s_ != prev_s_ || nas_v_ != prev_v_;
        if (tick_) {
            last_tick_s_ = t;
            truth_at_tick_ = here_;
        }
        bool commanded = false;
        for (const emu::KeyEvent& ke : host_.key_events()) {
            if (ke.event == kCourseEvent) {
                commanded = true;
                ++sum_.course_commands;
            }
        }
        host_.clear_key_events();
        if (commanded && host_.heading_bug_set())
            ap_.set_bug(host_.heading_bug_deg(), sc_.variation_deg);

        crew_step(t);
        // The crew may have just set the counters or the SAU.
        nas_s_ = read(kNasS, u_meters_);
        nas_v_ = read(kNasV, u_meters_);
        lbu_m_ = read(kNasLbu, u_meters_);
        sau_ = read(kNasSau, u_number_);
        prev_s_ = nas_s_;
        prev_v_ = nas_v_;
        measure(t, opt_.keep_trace && (k % every == 0 || k + 1 == frames));

        ap_.step(ac_, t, dt);
        advance(ac_, wind_, dt);

        if (opt_.progress && k % kProgressEvery == 0)
            opt_.progress(static_cast<double>(k) / static_cast<double>(frames));
    }
    sum_.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    sum_.frames = frames;
    close_gyro_segment();
    if (opt_.progress) opt_.progress(1.0);

    // The panel closes: every gauge disconnects and its object goes.
    lib_.service_all(15);

    sum_.diss_valid_fraction =
        diss_frames_ > 0 ? static_cast<double>(diss_good_frames_) / static_cast<double>(diss_frames_)
                         : 0.0;
    if (xtk_count_ > 0) sum_.rms_xtk_after_capture_m = std::sqrt(xtk_sq_sum_ / static_cast<double>(xtk_count_));
    sum_.final_position = ac_.position;
    return true;
}

}  // namespace

bool fly(const Scenario& scenario, const RunOptions& options, FlightResult& result,
         std::string& error) {
    result = FlightResult{};
    FlightRun run(scenario, options, result);
    return run.run(error);
}

}  // namespace kodrix::fly

#include "flight/outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "flight/svg_plot.h"

#if defined(_WIN32)
#include <process.h>
#define KODRIX_GETPID _getpid
#else
#include <unistd.h>
#define KODRIX_GETPID getpid
#endif

namespace kodrix::fly {

namespace fs = std::filesystem;

namespace {

const char* const kOutputFiles[] = {"trace.csv", "summary.json", "track.svg", "errors.svg"};

void put(std::string& s, double v, int decimals) {
    if (!std::isfinite(v)) return;  // a missing value is an empty field
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    s += buf;
}

nlohmann::ordered_json number_or_null(double v) {
    if (!std::isfinite(v)) return nullptr;
    return v;
}

std::string text(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// The trace row nearest to time t (rows are in time order).
const TraceRow* row_at(const std::vector<TraceRow>& rows, double t) {
    if (rows.empty()) return nullptr;
    auto it = std::lower_bound(rows.begin(), rows.end(), t,
                               [](const TraceRow& r, double v) { return r.t_s < v; });
    if (it == rows.end()) return &rows.back();
    if (it != rows.begin() && (t - (it - 1)->t_s) < (it->t_s - t)) --it;
    return &*it;
}

struct TimeAxis {
    double scale;       // seconds per unit
    const char* label;
};

TimeAxis time_axis(double duration_s) {
    if (duration_s > 3.0 * 3600.0) return {3600.0, "time (h)"};
    if (duration_s > 600.0) return {60.0, "time (min)"};
    return {1.0, "time (s)"};
}

// Stretches of time with no Doppler signal.
std::vector<PlotInterval> diss_lost(const std::vector<TraceRow>& rows, double scale) {
    std::vector<PlotInterval> out;
    bool open = false;
    for (const TraceRow& r : rows) {
        const bool lost = r.diss_signal_good < 0.5 && r.t_s > 1.0;
        if (lost && !open) {
            out.push_back(PlotInterval{r.t_s / scale, r.t_s / scale});
            open = true;
        }
        if (lost) out.back().x1 = r.t_s / scale;
        if (!lost) open = false;
    }
    return out;
}

bool write_file(const fs::path& path, const std::string& content, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

bool is_output_file_name(const std::string& name) {
    for (const char* f : kOutputFiles)
        if (name == f) return true;
    return false;
}

std::string trace_csv(const FlightResult& result) {
    std::string s =
        "t_s,lat_deg,lon_deg,along_m,cross_m,nas_s_m,nas_v_m,lbu_m,dr_error_m,"
        "true_heading_deg,magnetic_heading_deg,track_deg,ground_speed_mps,bank_deg,pitch_deg,"
        "ks8_primary_deg,ks8_secondary_deg,gyro_offset_deg,secondary_offset_deg,diss_speed_mps,"
        "diss_drift_deg,diss_signal_good,anu_course_deg,heading_bug_deg,sau_mode\n";
    s.reserve(s.size() + result.trace.size() * 260);
    for (const TraceRow& r : result.trace) {
        put(s, r.t_s, 3);
        const double fields[][2] = {
            {r.lat_deg, 7},          {r.lon_deg, 7},
            {r.along_m, 2},          {r.cross_m, 2},
            {r.nas_s_m, 2},          {r.nas_v_m, 2},
            {r.lbu_m, 2},            {r.dr_error_m, 2},
            {r.true_heading_deg, 4}, {r.magnetic_heading_deg, 4},
            {r.track_deg, 4},        {r.ground_speed_mps, 3},
            {r.bank_deg, 3},         {r.pitch_deg, 3},
            {r.ks8_primary_deg, 4},  {r.ks8_secondary_deg, 4},
            {r.gyro_offset_deg, 4},  {r.secondary_offset_deg, 4},
            {r.diss_speed_mps, 3},
            {r.diss_drift_deg, 4},   {r.diss_signal_good, 0},
            {r.anu_course_deg, 4},   {r.heading_bug_deg, 0},
            {r.sau_mode, 0},
        };
        for (const auto& f : fields) {
            s += ',';
            put(s, f[0], static_cast<int>(f[1]));
        }
        s += '\n';
    }
    return s;
}

std::string summary_json(const Scenario& sc, const FlightResult& result) {
    const FlightSummary& m = result.summary;
    nlohmann::ordered_json j;
    j["generator"] = "kodrix-fly";
    j["scenario"] = m.scenario;
    j["source"] = m.source;
    j["description"] = sc.description;
    j["seed"] = m.seed;
    j["seed_fixed"] = m.seed_fixed;
    j["duration_s"] = m.duration_s;
    j["frame_rate_hz"] = m.frame_rate_hz;
    j["frames"] = m.frames;
    j["wall_s"] = m.wall_s;
    j["frames_per_wall_second"] = number_or_null(m.wall_s > 0 ? m.frames / m.wall_s : NAN);
    j["trace_interval_s"] = m.trace_interval_s;
    j["captured"] = m.captured;
    j["time_to_capture_s"] = number_or_null(m.time_to_capture_s);
    j["capture_band_m"] = sc.capture.band_m;
    j["final_xtk_m"] = number_or_null(m.final_xtk_m);
    j["max_abs_xtk_after_capture_m"] = number_or_null(m.max_abs_xtk_after_capture_m);
    j["rms_xtk_after_capture_m"] = number_or_null(m.rms_xtk_after_capture_m);
    j["max_dr_error_m"] = number_or_null(m.dr_time_s > 0 ? m.max_dr_error_m : NAN);
    j["final_dr_error_m"] = number_or_null(m.final_dr_error_m);
    j["dr_time_s"] = m.dr_time_s;
    j["diss_valid_fraction"] = m.diss_valid_fraction;
    j["diss_lost_s"] = m.diss_lost_s;
    auto& al = j["gyro_alignments"] = nlohmann::ordered_json::array();
    for (const GyroAlignment& a : m.alignments)
        al.push_back({{"start_s", a.start_s}, {"done_s", number_or_null(a.done ? a.done_s : NAN)}});
    auto& fg = j["free_gyro"] = nlohmann::ordered_json::array();
    for (const GyroSegment& g : m.free_gyro)
        fg.push_back({{"start_s", g.start_s},
                      {"end_s", g.end_s},
                      {"latitude_setting_deg", g.latitude_setting_deg},
                      {"mean_latitude_deg", g.mean_latitude_deg},
                      {"measured_drift_deg_per_h", number_or_null(g.measured_deg_per_h)},
                      {"earth_rate_drift_deg_per_h", number_or_null(g.earth_rate_deg_per_h)}});
    j["reloads"] = m.reloads;
    j["antimeridian_crossings"] = m.antimeridian_crossings;
    j["course_commands"] = m.course_commands;
    j["final_position"] = {{"lat_deg", m.final_position.lat_deg},
                           {"lon_deg", m.final_position.lon_deg}};
    return j.dump(2) + "\n";
}

std::string track_svg(const Scenario& sc, const FlightResult& result) {
    PlotPanel p;
    p.title = "Ground track in the route frame (true, and as the NAS-1 reckons it)";
    p.x_label = "along the route line (km)";
    p.y_label = "across the line, right positive (km)";
    PlotSeries truth, nas, line;
    truth.label = "true track";
    truth.color = "#1f77b4";
    truth.width = 2.0;
    nas.label = "NAS-1 S, V";
    nas.color = "#ff7f0e";
    nas.dashed = true;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const TraceRow& r : result.trace) {
        truth.x.push_back(r.along_m / 1000.0);
        truth.y.push_back(r.cross_m / 1000.0);
        const bool set = std::isfinite(r.dr_error_m);
        nas.x.push_back(set ? r.nas_s_m / 1000.0 : NAN);
        nas.y.push_back(set ? r.nas_v_m / 1000.0 : NAN);
        lo = std::min(lo, r.along_m / 1000.0);
        hi = std::max(hi, r.along_m / 1000.0);
    }
    if (lo <= hi) {
        line.label = "route line";
        line.color = "#333333";
        line.width = 1.2;
        line.x = {lo, hi};
        line.y = {0.0, 0.0};
        p.series.push_back(line);
    }
    p.series.push_back(truth);
    p.series.push_back(nas);
    p.has_band = true;
    p.band_y0 = -sc.capture.band_m / 1000.0;
    p.band_y1 = sc.capture.band_m / 1000.0;
    p.band_label = "capture band";
    p.include_zero = true;
    for (const FlightMark& mk : result.marks) {
        const TraceRow* r = row_at(result.trace, mk.t_s);
        if (r != nullptr) p.points.push_back(PlotPoint{r->along_m / 1000.0, r->cross_m / 1000.0, mk.what});
    }
    return render_svg(sc.name + ": ground track against the route line", {p}, 960.0, 520.0);
}

std::string errors_svg(const Scenario& sc, const FlightResult& result) {
    const TimeAxis ax = time_axis(sc.duration_s);
    PlotPanel xtk, dr;
    xtk.title = "Cross-track error (true distance from the route line)";
    xtk.x_label = ax.label;
    xtk.y_label = "cross-track error (m)";
    dr.title = "Dead-reckoning error (NAS-1 place minus true place)";
    dr.x_label = ax.label;
    dr.y_label = "dead-reckoning error (m)";
    PlotSeries x, d;
    x.label = "cross-track error";
    x.color = "#1f77b4";
    d.label = "dead-reckoning error";
    d.color = "#d62728";
    for (const TraceRow& r : result.trace) {
        x.x.push_back(r.t_s / ax.scale);
        x.y.push_back(r.cross_m);
        d.x.push_back(r.t_s / ax.scale);
        d.y.push_back(r.dr_error_m);
    }
    xtk.series.push_back(x);
    dr.series.push_back(d);
    xtk.has_band = true;
    xtk.band_y0 = -sc.capture.band_m;
    xtk.band_y1 = sc.capture.band_m;
    xtk.band_label = "capture band";
    xtk.include_zero = true;
    dr.include_zero = true;
    for (PlotPanel* p : {&xtk, &dr}) {
        p->intervals = diss_lost(result.trace, ax.scale);
        p->interval_label = "no Doppler signal";
        for (const FlightMark& mk : result.marks) {
            p->x_marks.push_back(mk.t_s / ax.scale);
            p->x_mark_labels.push_back(mk.what);
        }
    }
    return render_svg(sc.name + ": cross-track and dead-reckoning error", {xtk, dr});
}

std::string summary_table(const Scenario& sc, const FlightResult& result,
                          const std::string& out_dir) {
    const FlightSummary& m = result.summary;
    std::string s;
    auto row = [&](const char* what, const std::string& value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "  %-24s ", what);
        s += buf;
        s += value;
        s += '\n';
    };
    s += "kodrix-fly: " + m.scenario + " (" + m.source + ")\n";
    row("flight", text(m.duration_s / 60.0, 1) + " min at " + text(m.frame_rate_hz, 0) +
                      " frames/s, " + std::to_string(m.frames) + " frames in " +
                      text(m.wall_s, 2) + " s" + (m.seed_fixed ? ", seed " + std::to_string(m.seed) : ", seed from the clock"));
    std::string aligned;
    for (const GyroAlignment& a : m.alignments) {
        if (!aligned.empty()) aligned += ", ";
        aligned += a.done ? "at " + text(a.done_s, 1) + " s" : "not aligned (from " + text(a.start_s, 1) + " s)";
    }
    if (!aligned.empty()) row("gyros aligned", aligned);
    row("captured", m.captured ? "yes, at " + text(m.time_to_capture_s, 1) + " s" : "no");
    row("cross-track error", "final " + text(m.final_xtk_m, 0) + " m" +
                                 (m.captured ? ", largest after capture " +
                                                   text(m.max_abs_xtk_after_capture_m, 0) +
                                                   " m (rms " + text(m.rms_xtk_after_capture_m, 0) + " m)"
                                             : ""));
    row("dead-reckoning error", m.dr_time_s > 0 ? "largest " + text(m.max_dr_error_m, 0) + " m, final " +
                                                     text(m.final_dr_error_m, 0) + " m"
                                               : "counters never set");
    row("Doppler signal", "valid " + text(100.0 * m.diss_valid_fraction, 1) + " % of the time" +
                              (m.diss_lost_s > 0 ? " (lost " + text(m.diss_lost_s, 1) + " s)" : ""));
    for (const GyroSegment& g : m.free_gyro)
        row("free gyro drift", text(g.measured_deg_per_h, 2) + " deg/h from " + text(g.start_s / 60.0, 1) +
                                   " to " + text(g.end_s / 60.0, 1) + " min (earth rate " +
                                   text(g.earth_rate_deg_per_h, 2) + " deg/h with latitude set to " +
                                   text(g.latitude_setting_deg, 1) + ")");
    if (m.reloads > 0) row("panel reloads", std::to_string(m.reloads));
    if (m.antimeridian_crossings > 0) row("antimeridian crossings", std::to_string(m.antimeridian_crossings));
    std::string files = "trace.csv, summary.json";
    if (sc.output.plots) files += ", track.svg, errors.svg";
    if (!out_dir.empty()) row("results", out_dir + "/ (" + files + ")");
    return s;
}

bool write_outputs(const Scenario& sc, const FlightResult& result, const std::string& out_dir,
                   std::string& error) {
    fs::path out = fs::path(out_dir).lexically_normal();
    while (!out.empty() && out.filename().empty()) out = out.parent_path();
    const std::string leaf = out.filename().string();
    if (out.empty() || leaf == "." || leaf == "..") {
        error = "--out \"" + out_dir + "\": name a folder for the results, e.g. out/run1";
        return false;
    }
    fs::path parent = out.parent_path();
    if (parent.empty()) parent = ".";
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (ec) {
        error = "cannot create " + parent.string() + ": " + ec.message();
        return false;
    }
    const bool exists = fs::exists(out, ec);
    if (exists) {
        if (!fs::is_directory(out, ec)) {
            error = out.string() + " exists and is not a folder; choose another --out";
            return false;
        }
        for (const fs::directory_entry& e : fs::directory_iterator(out, ec)) {
            if (!e.is_regular_file() || !is_output_file_name(e.path().filename().string())) {
                error = out.string() + " holds " + e.path().filename().string() +
                        ", which kodrix-fly did not write; it replaces only a folder of its own "
                        "results. Choose another --out or empty the folder";
                return false;
            }
        }
        if (ec) {
            error = "cannot read " + out.string() + ": " + ec.message();
            return false;
        }
    }

    // A fresh folder beside the target.
    const std::string stem = "." + leaf + ".tmp-" + std::to_string(KODRIX_GETPID()) + "-";
    fs::path tmp;
    for (int i = 0; i < 1000; ++i) {
        tmp = parent / (stem + std::to_string(i));
        if (fs::create_directory(tmp, ec)) break;
        if (ec) {
            error = "cannot create a folder in " + parent.string() + ": " + ec.message();
            return false;
        }
        tmp.clear();
    }
    if (tmp.empty()) {
        error = "cannot create a temporary folder in " + parent.string();
        return false;
    }
    auto fail = [&](const std::string& why) {
        error = why;
        fs::remove_all(tmp, ec);
        return false;
    };
    if (!write_file(tmp / "trace.csv", trace_csv(result), error) ||
        !write_file(tmp / "summary.json", summary_json(sc, result), error))
        return fail(error);
    if (sc.output.plots) {
        if (!write_file(tmp / "track.svg", track_svg(sc, result), error) ||
            !write_file(tmp / "errors.svg", errors_svg(sc, result), error))
            return fail(error);
    }

    if (!exists) {
        fs::rename(tmp, out, ec);
        if (ec) return fail("cannot move the results into " + out.string() + ": " + ec.message());
        return true;
    }
    const fs::path old = parent / ("." + leaf + ".old-" + std::to_string(KODRIX_GETPID()));
    fs::remove_all(old, ec);
    fs::rename(out, old, ec);
    if (ec) return fail("cannot replace " + out.string() + ": " + ec.message());
    fs::rename(tmp, out, ec);
    if (ec) {
        std::error_code back;
        fs::rename(old, out, back);
        return fail("cannot move the results into " + out.string() + ": " + ec.message());
    }
    fs::remove_all(old, ec);
    return true;
}

}  // namespace kodrix::fly

#include "flight/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kodrix::fly {

namespace {

constexpr std::size_t kMaxPointsPerLine = 4000;

std::string fmt(double v, int decimals = 1) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// Decimals enough to tell ticks `step` apart.
int tick_decimals(double step) {
    if (!(step > 0.0)) return 0;
    const int d = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return std::clamp(d, 0, 6);
}

std::string tick_text(double v, double step) {
    if (std::fabs(v) < step * 1e-6) v = 0.0;
    return fmt(v, tick_decimals(step));
}

struct Range {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    void add(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return lo > hi; }
};

void widen(Range& r) {
    if (r.empty()) {
        r.lo = 0.0;
        r.hi = 1.0;
        return;
    }
    if (r.hi - r.lo < 1e-9) {
        const double pad = std::max(1.0, std::fabs(r.lo) * 0.1);
        r.lo -= pad;
        r.hi += pad;
    }
}

}  // namespace

std::vector<double> nice_ticks(double lo, double hi, int count) {
    std::vector<double> ticks;
    if (!(hi > lo) || count < 1) return ticks;
    // The 1-2-5 step nearest (on a log scale) to the even split.
    const double raw = (hi - lo) / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    double best = HUGE_VAL;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        const double miss = std::fabs(std::log(m * mag / raw));
        if (miss < best) {
            best = miss;
            step = m * mag;
        }
    }
    const double first = std::ceil(lo / step - 1e-9) * step;
    for (int i = 0;; ++i) {
        const double v = first + i * step;
        if (v > hi + step * 1e-9) break;
        ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
    }
    return ticks;
}

std::string render_svg(const std::string& title, const std::vector<PlotPanel>& panels,
                       double width, double panel_height) {
    const double top = 44.0, left = 84.0, right = 24.0, gap = 26.0, bottom_extra = 50.0;
    const double height = top + panels.size() * (panel_height + gap) + bottom_extra - gap;
    std::string s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fmt(width, 0) + "\" height=\"" +
         fmt(height, 0) + "\" viewBox=\"0 0 " + fmt(width, 0) + " " + fmt(height, 0) +
         "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"12\">\n";
    s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    s += "<text x=\"" + fmt(width / 2) + "\" y=\"24\" text-anchor=\"middle\" font-size=\"16\" "
         "font-weight=\"bold\">" + escape(title) + "</text>\n";

    for (std::size_t pi = 0; pi < panels.size(); ++pi) {
        const PlotPanel& p = panels[pi];
        const double y0 = top + pi * (panel_height + gap);
        const double plot_top = y0 + 22.0, plot_bottom = y0 + panel_height - 40.0;
        const double plot_left = left, plot_right = width - right;

        Range xr, yr;
        for (const PlotSeries& ser : p.series) {
            for (double v : ser.x) xr.add(v);
            for (double v : ser.y) yr.add(v);
        }
        for (const PlotPoint& pt : p.points) {
            xr.add(pt.x);
            yr.add(pt.y);
        }
        if (p.has_band) {
            yr.add(p.band_y0);
            yr.add(p.band_y1);
        }
        if (p.include_zero) yr.add(0.0);
        widen(xr);
        widen(yr);
        const double ypad = (yr.hi - yr.lo) * 0.05;
        yr.lo -= ypad;
        yr.hi += ypad;
        const std::vector<double> xt = nice_ticks(xr.lo, xr.hi, 8);
        const std::vector<double> yt = nice_ticks(yr.lo, yr.hi, 6);
        const double xstep = xt.size() > 1 ? xt[1] - xt[0] : 1.0;
        const double ystep = yt.size() > 1 ? yt[1] - yt[0] : 1.0;

        auto X = [&](double v) { return plot_left + (v - xr.lo) / (xr.hi - xr.lo) * (plot_right - plot_left); };
        auto Y = [&](double v) { return plot_bottom - (v - yr.lo) / (yr.hi - yr.lo) * (plot_bottom - plot_top); };
        auto clampx = [&](double v) { return std::clamp(v, xr.lo, xr.hi); };

        s += "<text x=\"" + fmt(plot_left) + "\" y=\"" + fmt(y0 + 14) +
             "\" font-size=\"13\" font-weight=\"bold\">" + escape(p.title) + "</text>\n";
        const std::string clip = "clip" + std::to_string(pi);
        s += "<clipPath id=\"" + clip + "\"><rect x=\"" + fmt(plot_left) + "\" y=\"" + fmt(plot_top) +
             "\" width=\"" + fmt(plot_right - plot_left) + "\" height=\"" +
             fmt(plot_bottom - plot_top) + "\"/></clipPath>\n";

        // Shaded intervals and the band, under everything else.
        for (const PlotInterval& iv : p.intervals) {
            const double a = X(clampx(iv.x0)), b = X(clampx(iv.x1));
            s += "<rect x=\"" + fmt(a) + "\" y=\"" + fmt(plot_top) + "\" width=\"" +
                 fmt(std::max(b - a, 0.8)) + "\" height=\"" + fmt(plot_bottom - plot_top) +
                 "\" fill=\"" + p.interval_color + "\" fill-opacity=\"0.6\"/>\n";
        }
        if (p.has_band) {
            const double a = Y(std::max(p.band_y0, p.band_y1)), b = Y(std::min(p.band_y0, p.band_y1));
            s += "<rect x=\"" + fmt(plot_left) + "\" y=\"" + fmt(a) + "\" width=\"" +
                 fmt(plot_right - plot_left) + "\" height=\"" + fmt(b - a) +
                 "\" fill=\"#cdeccd\" fill-opacity=\"0.7\" clip-path=\"url(#" + clip + ")\"/>\n";
        }

        // Grid, ticks and labels.
        s += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
        for (double v : xt)
            s += "<line x1=\"" + fmt(X(v)) + "\" y1=\"" + fmt(plot_top) + "\" x2=\"" + fmt(X(v)) +
                 "\" y2=\"" + fmt(plot_bottom) + "\"/>\n";
        for (double v : yt)
            s += "<line x1=\"" + fmt(plot_left) + "\" y1=\"" + fmt(Y(v)) + "\" x2=\"" +
                 fmt(plot_right) + "\" y2=\"" + fmt(Y(v)) + "\"/>\n";
        s += "</g>\n";
        if (yr.lo < 0.0 && yr.hi > 0.0)
            s += "<line x1=\"" + fmt(plot_left) + "\" y1=\"" + fmt(Y(0)) + "\" x2=\"" + fmt(plot_right) +
                 "\" y2=\"" + fmt(Y(0)) + "\" stroke=\"#555555\" stroke-width=\"1\"/>\n";
        s += "<rect x=\"" + fmt(plot_left) + "\" y=\"" + fmt(plot_top) + "\" width=\"" +
             fmt(plot_right - plot_left) + "\" height=\"" + fmt(plot_bottom - plot_top) +
             "\" fill=\"none\" stroke=\"#333333\"/>\n";
        for (double v : xt)
            s += "<text x=\"" + fmt(X(v)) + "\" y=\"" + fmt(plot_bottom + 16) +
                 "\" text-anchor=\"middle\">" + tick_text(v, xstep) + "</text>\n";
        for (double v : yt)
            s += "<text x=\"" + fmt(plot_left - 6) + "\" y=\"" + fmt(Y(v) + 4) +
                 "\" text-anchor=\"end\">" + tick_text(v, ystep) + "</text>\n";
        s += "<text x=\"" + fmt((plot_left + plot_right) / 2) + "\" y=\"" + fmt(plot_bottom + 34) +
             "\" text-anchor=\"middle\">" + escape(p.x_label) + "</text>\n";
        const double ymid = (plot_top + plot_bottom) / 2;
        s += "<text x=\"" + fmt(plot_left - 58) + "\" y=\"" + fmt(ymid) +
             "\" text-anchor=\"middle\" transform=\"rotate(-90 " + fmt(plot_left - 58) + " " +
             fmt(ymid) + ")\">" + escape(p.y_label) + "</text>\n";

        // Vertical marks.
        for (std::size_t i = 0; i < p.x_marks.size(); ++i) {
            const double v = p.x_marks[i];
            if (!(v >= xr.lo && v <= xr.hi)) continue;
            s += "<line x1=\"" + fmt(X(v)) + "\" y1=\"" + fmt(plot_top) + "\" x2=\"" + fmt(X(v)) +
                 "\" y2=\"" + fmt(plot_bottom) +
                 "\" stroke=\"#7f7f7f\" stroke-width=\"1\" stroke-dasharray=\"2,3\"/>\n";
            if (i < p.x_mark_labels.size())
                s += "<text x=\"" + fmt(X(v) + 3) + "\" y=\"" + fmt(plot_top + 12 + 12.0 * (i % 3)) +
                     "\" font-size=\"10\" fill=\"#555555\">" + escape(p.x_mark_labels[i]) + "</text>\n";
        }

        // Lines, broken where a value is missing.
        for (const PlotSeries& ser : p.series) {
            const std::size_t n = std::min(ser.x.size(), ser.y.size());
            const std::size_t stride = std::max<std::size_t>(1, n / kMaxPointsPerLine);
            std::string d;
            bool pen_down = false;
            for (std::size_t i = 0; i < n; i += stride) {
                const std::size_t j = (i + stride >= n) ? n - 1 : i;
                if (!std::isfinite(ser.x[j]) || !std::isfinite(ser.y[j])) {
                    pen_down = false;
                    continue;
                }
                d += pen_down ? " L" : " M";
                d += fmt(X(ser.x[j])) + "," + fmt(Y(ser.y[j]));
                pen_down = true;
            }
            if (d.empty()) continue;
            s += "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + ser.color + "\" stroke-width=\"" +
                 fmt(ser.width) + "\"" + (ser.dashed ? " stroke-dasharray=\"6,4\"" : "") +
                 " stroke-linejoin=\"round\" clip-path=\"url(#" + clip + ")\"/>\n";
        }

        for (const PlotPoint& pt : p.points) {
            if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) continue;
            s += "<circle cx=\"" + fmt(X(pt.x)) + "\" cy=\"" + fmt(Y(pt.y)) +
                 "\" r=\"3.5\" fill=\"#d62728\"/>\n";
            s += "<text x=\"" + fmt(X(pt.x) + 6) + "\" y=\"" + fmt(Y(pt.y) - 6) +
                 "\" font-size=\"10\" fill=\"#d62728\">" + escape(pt.label) + "</text>\n";
        }

        // Legend, top right.
        double ly = plot_top + 8;
        const double lx = plot_right - 230;
        auto legend_row = [&](const std::string& swatch, const std::string& label) {
            s += swatch;
            s += "<text x=\"" + fmt(lx + 28) + "\" y=\"" + fmt(ly + 4) + "\" font-size=\"11\">" +
                 escape(label) + "</text>\n";
            ly += 15;
        };
        s += "<g>\n";
        const std::size_t rows = p.series.size() + (p.has_band && !p.band_label.empty() ? 1 : 0) +
                                 (!p.intervals.empty() && !p.interval_label.empty() ? 1 : 0);
        if (rows > 0)
            s += "<rect x=\"" + fmt(lx - 6) + "\" y=\"" + fmt(ly - 9) + "\" width=\"230\" height=\"" +
                 fmt(15.0 * rows + 4) + "\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"#cccccc\"/>\n";
        for (const PlotSeries& ser : p.series) {
            if (ser.label.empty()) continue;
            legend_row("<line x1=\"" + fmt(lx) + "\" y1=\"" + fmt(ly) + "\" x2=\"" + fmt(lx + 22) +
                           "\" y2=\"" + fmt(ly) + "\" stroke=\"" + ser.color + "\" stroke-width=\"" +
                           fmt(ser.width + 0.4) + "\"" +
                           (ser.dashed ? " stroke-dasharray=\"6,4\"" : "") + "/>\n",
                       ser.label);
        }
        if (p.has_band && !p.band_label.empty())
            legend_row("<rect x=\"" + fmt(lx) + "\" y=\"" + fmt(ly - 5) +
                           "\" width=\"22\" height=\"10\" fill=\"#cdeccd\"/>\n",
                       p.band_label);
        if (!p.intervals.empty() && !p.interval_label.empty())
            legend_row("<rect x=\"" + fmt(lx) + "\" y=\"" + fmt(ly - 5) +
                           "\" width=\"22\" height=\"10\" fill=\"" + p.interval_color + "\"/>\n",
                       p.interval_label);
        s += "</g>\n";
    }
    s += "</svg>\n";
    return s;
}

}  // namespace kodrix::fly

// Small line charts as SVG text: one or more panels stacked over a shared
// width, each with axes, ticks, labels with units, lines (broken at NaN),
// shaded intervals, a horizontal band, marked points and a legend.
#pragma once

#include <string>
#include <vector>

namespace kodrix::fly {

struct PlotSeries {
    std::vector<double> x, y;
    std::string label;
    std::string color = "#1f77b4";
    bool dashed = false;
    double width = 1.6;
};

struct PlotInterval {  // a shaded stretch of x
    double x0 = 0.0, x1 = 0.0;
};

struct PlotPoint {  // a labelled dot
    double x = 0.0, y = 0.0;
    std::string label;
};

struct PlotPanel {
    std::string title;
    std::string x_label;
    std::string y_label;
    std::vector<PlotSeries> series;
    std::vector<PlotInterval> intervals;  // drawn in interval_color
    std::string interval_color = "#f4b6b6";
    std::string interval_label;           // for the legend
    bool has_band = false;                // a band from band_y0 to band_y1
    double band_y0 = 0.0, band_y1 = 0.0;
    std::string band_label;
    std::vector<double> x_marks;          // dotted vertical lines
    std::vector<std::string> x_mark_labels;
    std::vector<PlotPoint> points;
    bool include_zero = false;            // y range always holds 0
};

// Renders the panels stacked top to bottom.
std::string render_svg(const std::string& title, const std::vector<PlotPanel>& panels,
                       double width = 960.0, double panel_height = 330.0);

// Tick positions at 1, 2 or 5 times a power of ten, about `count` of them.
std::vector<double> nice_ticks(double lo, double hi, int count);

}  // namespace kodrix::fly

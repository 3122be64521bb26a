#include "ks8/motion_sampler.h"

#include <cmath>

namespace kodrix {

namespace {

constexpr std::uint32_t kLongitudeToken = 72;
constexpr std::uint32_t kLatitudeToken = 71;
constexpr std::uint32_t kHeadingToken = 86;
constexpr std::uint32_t kVariationToken = 82;
constexpr std::uint32_t kHostTimeToken = 604;

void bind(MODULE_VAR& var, std::uint32_t token) {
    var = MODULE_VAR{token, 0, 0, 0.0, 0.0};
    host().initialize_var(&var);
    host().lookup_var(&var);
}

}  // namespace

double reduce_longitude_change(double delta_deg) {
    if (!std::isfinite(delta_deg)) return delta_deg;
    if (delta_deg > -180.0 && delta_deg <= 180.0) return delta_deg;
    // Exact remainder into [-180, 180]; the lower end belongs to +180.
    double r = std::remainder(delta_deg, 360.0);
    if (r <= -180.0) r += 360.0;
    return r;
}

MotionSampler::MotionSampler()
    : longitude_var_{},
      latitude_var_{},
      heading_var_{},
      variation_var_{},
      time_var_{},
      longitude_(0.0),
      latitude_(0.0),
      prev_longitude_(0.0),
      prev_time_(0.0),
      delta_longitude_(0.0),
      delta_time_(0.0) {
    bind(longitude_var_, kLongitudeToken);
    bind(latitude_var_, kLatitudeToken);
    bind(heading_var_, kHeadingToken);
    bind(variation_var_, kVariationToken);
    bind(time_var_, kHostTimeToken);
    convert_position();
    prev_longitude_ = longitude_;
    prev_time_ = time_var_.var_value;
}

void MotionSampler::update() {
    prev_longitude_ = longitude_;
    prev_time_ = time_var_.var_value;
    refresh_all();
    convert_position();
    delta_longitude_ = reduce_longitude_change(longitude_ - prev_longitude_);
    delta_time_ = time_var_.var_value - prev_time_;
}

void MotionSampler::refresh_all() {
    PANELS& h = host();
    h.lookup_var(&longitude_var_);
    h.lookup_var(&latitude_var_);
    h.lookup_var(&heading_var_);
    h.lookup_var(&variation_var_);
    h.lookup_var(&time_var_);
}

void MotionSampler::convert_position() {
    longitude_ = longitude_var_.var_value * kDegreesPerLongitudeUnit;
    latitude_ = latitude_var_.var_value * kDegreesPerLatitudeMetre;
}

}  // namespace kodrix

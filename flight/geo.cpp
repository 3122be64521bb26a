#include "flight/geo.h"

#include <algorithm>
#include <cmath>

namespace kodrix::fly {

double wrap360(double deg) {
    if (!std::isfinite(deg)) return std::nan("");
    double r = std::fmod(deg, 360.0);
    if (r < 0.0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;
}

double wrap180(double deg) {
    const double r = wrap360(deg);
    return r > 180.0 ? r - 360.0 : r;
}

namespace {

double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 scaled(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 sum(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Vec3 normalized(Vec3 a) {
    const double n = std::sqrt(dot(a, a));
    return n > 0.0 ? scaled(a, 1.0 / n) : a;
}

// Isometric latitude (the Mercator ordinate) and its inverse.
double isometric(double lat_rad) { return std::asinh(std::tan(lat_rad)); }
double from_isometric(double psi) { return std::atan(std::sinh(psi)); }

// d(lat)/d(psi) averaged between two latitudes: the cosine of latitude, the
// scale of the Mercator plane, over the interval. A rhumb segment of Mercator
// length L between those latitudes is R * L * this many meters long.
double mean_cos_by_lat(double lat_a, double lat_b) {
    const double d = lat_b - lat_a;
    if (std::fabs(d) < 1e-9) return std::cos(0.5 * (lat_a + lat_b));
    return d / (isometric(lat_b) - isometric(lat_a));
}

double mean_cos_by_psi(double psi_a, double psi_b) {
    const double d = psi_b - psi_a;
    if (std::fabs(d) < 1e-9) return std::cos(from_isometric(0.5 * (psi_a + psi_b)));
    return (from_isometric(psi_b) - from_isometric(psi_a)) / d;
}

double wrap_pi(double rad) { return wrap180(rad * kDegPerRad) * kRadPerDeg; }

}  // namespace

Vec3 to_unit_vector(LatLon p) {
    const double lat = p.lat_deg * kRadPerDeg, lon = p.lon_deg * kRadPerDeg;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

LatLon to_lat_lon(Vec3 v) {
    const double h = std::hypot(v.x, v.y);
    LatLon p;
    p.lat_deg = std::atan2(v.z, h) * kDegPerRad;
    p.lon_deg = h > 0.0 ? wrap180(std::atan2(v.y, v.x) * kDegPerRad) : 0.0;
    return p;
}

void local_axes(LatLon p, Vec3& north, Vec3& east) {
    const double lat = p.lat_deg * kRadPerDeg, lon = p.lon_deg * kRadPerDeg;
    north = {-std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat)};
    east = {-std::sin(lon), std::cos(lon), 0.0};
}

LatLon great_circle_step(LatLon p, double course_deg, double distance_m) {
    Vec3 north, east;
    local_axes(p, north, east);
    const double c = course_deg * kRadPerDeg;
    const Vec3 t = sum(scaled(north, std::cos(c)), scaled(east, std::sin(c)));
    const double d = distance_m / kEarthRadiusM;
    return to_lat_lon(sum(scaled(to_unit_vector(p), std::cos(d)), scaled(t, std::sin(d))));
}

double great_circle_distance_m(LatLon a, LatLon b) {
    const Vec3 u = to_unit_vector(a), v = to_unit_vector(b);
    const Vec3 w = cross(u, v);
    return std::atan2(std::sqrt(dot(w, w)), dot(u, v)) * kEarthRadiusM;
}

double initial_course_deg(LatLon a, LatLon b) {
    Vec3 north, east;
    local_axes(a, north, east);
    const Vec3 v = to_unit_vector(b);
    return wrap360(std::atan2(dot(v, east), dot(v, north)) * kDegPerRad);
}

RouteFrame::RouteFrame(const RouteLine& line) : line_(line) {
    const double c = line.course_deg * kRadPerDeg;
    sin_c_ = std::sin(c);
    cos_c_ = std::cos(c);
    lat0_rad_ = line.origin.lat_deg * kRadPerDeg;
    lon0_rad_ = line.origin.lon_deg * kRadPerDeg;
    psi0_ = isometric(lat0_rad_);
    Vec3 north, east;
    local_axes(line.origin, north, east);
    p0_ = to_unit_vector(line.origin);
    t0_ = normalized(sum(scaled(north, cos_c_), scaled(east, sin_c_)));
    right_ = cross(t0_, p0_);
}

// Rhumb line: straight in the Mercator plane (x = longitude, y = isometric
// latitude, both in radians), where it runs in direction (sin c, cos c). The
// point's offset from the origin is split into a part along that direction and
// a part along the right-hand normal (cos c, -sin c); each is turned into
// meters with the mean scale of the Mercator plane over the latitudes it spans.
// Mercator is conformal, so the normal meets the line at a right angle.
RoutePoint RouteFrame::locate(LatLon p) const {
    RoutePoint q;
    if (line_.shape == RouteShape::great_circle) {
        const Vec3 v = to_unit_vector(p);
        q.along_m = std::atan2(dot(v, t0_), dot(v, p0_)) * kEarthRadiusM;
        q.cross_m = std::asin(std::clamp(dot(v, right_), -1.0, 1.0)) * kEarthRadiusM;
        return q;
    }
    const double dlon = wrap_pi(p.lon_deg * kRadPerDeg - lon0_rad_);
    const double psi = isometric(p.lat_deg * kRadPerDeg);
    const double dpsi = psi - psi0_;
    const double a = dlon * sin_c_ + dpsi * cos_c_;
    const double b = dlon * cos_c_ - dpsi * sin_c_;
    const double psi_foot = psi0_ + a * cos_c_;
    q.along_m = kEarthRadiusM * a * mean_cos_by_psi(psi0_, psi_foot);
    q.cross_m = kEarthRadiusM * b * mean_cos_by_psi(psi_foot, psi);
    return q;
}

LatLon RouteFrame::place(RoutePoint q) const {
    const double s = q.along_m / kEarthRadiusM, x = q.cross_m / kEarthRadiusM;
    if (line_.shape == RouteShape::great_circle) {
        const Vec3 foot = sum(scaled(p0_, std::cos(s)), scaled(t0_, std::sin(s)));
        return to_lat_lon(sum(scaled(foot, std::cos(x)), scaled(right_, std::sin(x))));
    }
    // Along the rhumb line latitude changes by cos c per unit of distance;
    // along its normal (course c + 90) by -sin c.
    const double lat_foot = lat0_rad_ + s * cos_c_;
    const double a = s / mean_cos_by_lat(lat0_rad_, lat_foot);
    const double lat_p = lat_foot - x * sin_c_;
    const double b = x / mean_cos_by_lat(lat_foot, lat_p);
    const double lon_p = lon0_rad_ + a * sin_c_ + b * cos_c_;
    LatLon p;
    p.lat_deg = lat_p * kDegPerRad;
    p.lon_deg = wrap180(lon_p * kDegPerRad);
    return p;
}

double RouteFrame::course_at_deg(double along_m) const {
    if (line_.shape == RouteShape::rhumb) return wrap360(line_.course_deg);
    const double s = along_m / kEarthRadiusM;
    const Vec3 foot = sum(scaled(p0_, std::cos(s)), scaled(t0_, std::sin(s)));
    const Vec3 tangent = sum(scaled(p0_, -std::sin(s)), scaled(t0_, std::cos(s)));
    Vec3 north, east;
    local_axes(to_lat_lon(foot), north, east);
    return wrap360(std::atan2(dot(tangent, east), dot(tangent, north)) * kDegPerRad);
}

}  // namespace kodrix::fly

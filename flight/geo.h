// Geometry of the flight runner: a spherical earth, positions as latitude and
// longitude, great-circle steps, and the frame of a route line (distance along
// the line and across it).
//
// Directions are true courses in degrees clockwise from north. Across-track
// distances are positive to the right of the line seen along its direction.
#pragma once

namespace kodrix::fly {

constexpr double kPi = 3.141592653589793;
constexpr double kRadPerDeg = kPi / 180.0;
constexpr double kDegPerRad = 180.0 / kPi;

// The host measures latitude as meters along the meridian with 10001750 m to
// the pole; the sphere with that quarter meridian has this radius.
constexpr double kMetersToPole = 10001750.0;
constexpr double kEarthRadiusM = kMetersToPole / (kPi / 2.0);  // about 6367445 m

constexpr double kMetersPerFoot = 0.3048;
constexpr double kGravityMps2 = 9.80665;

// Angle reductions: into [0, 360) and into (-180, 180]. Non-finite in, NaN out.
double wrap360(double deg);
double wrap180(double deg);

struct LatLon {
    double lat_deg = 0.0;  // positive north
    double lon_deg = 0.0;  // positive east, kept in (-180, 180]
};

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

Vec3 to_unit_vector(LatLon p);
LatLon to_lat_lon(Vec3 v);  // v need not be unit length

// Local unit vectors at p: north and east (east undefined at a pole; there
// the meridian of p's longitude is taken).
void local_axes(LatLon p, Vec3& north, Vec3& east);

// The point reached from p by moving distance_m along the great circle whose
// initial true course is course_deg.
LatLon great_circle_step(LatLon p, double course_deg, double distance_m);

// Great-circle distance and initial true course from a to b.
double great_circle_distance_m(LatLon a, LatLon b);
double initial_course_deg(LatLon a, LatLon b);

// A route line: a line through an origin with a true course there. A rhumb
// line keeps its true course (what a crew flies with a course slaved to the
// magnetic or true heading); a great circle is the line a free gyro corrected
// for earth rate and convergence of meridians flies.
enum class RouteShape { rhumb, great_circle };

struct RouteLine {
    LatLon origin;
    double course_deg = 0.0;  // true course at the origin
    RouteShape shape = RouteShape::rhumb;
};

struct RoutePoint {
    double along_m = 0.0;  // from the origin along the line, positive in its direction
    double cross_m = 0.0;  // from the line, positive to the right
};

class RouteFrame {
public:
    explicit RouteFrame(const RouteLine& line);

    const RouteLine& line() const { return line_; }

    RoutePoint locate(LatLon p) const;
    LatLon place(RoutePoint q) const;

    // True course of the line at the point `along_m` from the origin.
    double course_at_deg(double along_m) const;

private:
    RouteLine line_;
    // rhumb line: origin latitude and its isometric latitude, course
    double lat0_rad_ = 0.0, psi0_ = 0.0, lon0_rad_ = 0.0;
    double sin_c_ = 0.0, cos_c_ = 1.0;
    // great circle: origin, its direction and the right-hand pole
    Vec3 p0_, t0_, right_;
};

}  // namespace kodrix::fly

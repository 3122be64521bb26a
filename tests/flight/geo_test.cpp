// The spherical earth and the route frame: great-circle steps against closed
// forms, the along/across coordinates of rhumb lines and great circles, and
// the wrap of longitude at 180 degrees.
#include <gtest/gtest.h>

#include <cmath>

#include "flight/geo.h"

namespace kodrix::fly {
namespace {

constexpr double kR = kEarthRadiusM;
constexpr double kDeg = kPi / 180.0;  // one degree in radians

TEST(Angles, WrapIntoTheirRanges) {
    struct Case {
        double in, to360, to180;
    };
    const Case cases[] = {
        {0, 0, 0},        {-10, 350, -10},   {360, 0, 0},      {725, 5, 5},
        {190, 190, -170}, {-180, 180, 180},  {180, 180, 180},  {-721, 359, -1},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(wrap360(c.in), c.to360, 1e-12) << c.in;
        EXPECT_NEAR(wrap180(c.in), c.to180, 1e-12) << c.in;
    }
    EXPECT_TRUE(std::isnan(wrap360(NAN)));
    EXPECT_TRUE(std::isnan(wrap180(INFINITY)));
}

TEST(EarthModel, TheSphereHasTheHostsQuarterMeridian) {
    // Token 71 counts 10001750 m from the equator to the pole.
    EXPECT_NEAR(kR * kPi / 2.0, 10001750.0, 1e-6);
}

TEST(GreatCircle, StepsMatchClosedForms) {
    // A quarter of the circumference east along the equator, north to the pole.
    const LatLon east = great_circle_step({0, 0}, 90, kR * kPi / 2);
    EXPECT_NEAR(east.lat_deg, 0.0, 1e-9);
    EXPECT_NEAR(east.lon_deg, 90.0, 1e-9);
    const LatLon pole = great_circle_step({0, 30}, 0, kR * kPi / 2);
    EXPECT_NEAR(pole.lat_deg, 90.0, 1e-9);
    // Across the antimeridian the longitude wraps to the west.
    const LatLon wrapped = great_circle_step({0, 179.9}, 90, kR * 0.2 * kDeg);
    EXPECT_NEAR(wrapped.lon_deg, -179.9, 1e-9);
    // From 60 N due east for 1000 km: the great circle bends toward the
    // equator, keeping cos(lat) * sin(course) = cos 60 (Clairaut).
    const LatLon p = great_circle_step({60, 0}, 90, 1.0e6);
    const LatLon further = great_circle_step({60, 0}, 90, 1.0e6 + 1.0);
    const double course_there = initial_course_deg(p, further);
    EXPECT_LT(p.lat_deg, 60.0);
    EXPECT_NEAR(std::cos(p.lat_deg * kDeg) * std::sin(course_there * kDeg), 0.5, 1e-6);
    EXPECT_NEAR(great_circle_distance_m({60, 0}, p), 1.0e6, 1e-3);
}

TEST(GreatCircle, DistanceAndInitialCourse) {
    struct Case {
        LatLon a, b;
        double distance_m, course_deg;
    };
    const Case cases[] = {
        {{0, 0}, {0, 90}, kR * kPi / 2, 90},
        {{0, 0}, {45, 0}, kR * kPi / 4, 0},
        {{10, 0}, {0, 0}, kR * 10 * kDeg, 180},
        {{0, 10}, {0, 0}, kR * 10 * kDeg, 270},
        {{0, 179.5}, {0, -179.5}, kR * 1 * kDeg, 90},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(great_circle_distance_m(c.a, c.b), c.distance_m, 1e-3);
        EXPECT_NEAR(initial_course_deg(c.a, c.b), c.course_deg, 1e-9);
    }
}

TEST(RhumbFrame, AlongTheEquatorAndAMeridian) {
    // Eastbound along the equator: north of it is left (negative).
    const RouteFrame eq(RouteLine{{0, 0}, 90, RouteShape::rhumb});
    RoutePoint q = eq.locate({0, 1});
    EXPECT_NEAR(q.along_m, kR * kDeg, 1e-6);
    EXPECT_NEAR(q.cross_m, 0.0, 1e-6);
    q = eq.locate({0.01, 1});
    EXPECT_NEAR(q.along_m, kR * kDeg, 0.01);
    EXPECT_NEAR(q.cross_m, -kR * 0.01 * kDeg, 0.01);

    // Northbound along the meridian 10 E: east is right. A degree of latitude
    // is R * 1 deg along; a tenth of a degree of longitude at 50 N is
    // R cos 50 * 0.1 deg across.
    const RouteFrame mer(RouteLine{{50, 10}, 0, RouteShape::rhumb});
    q = mer.locate({51, 10});
    EXPECT_NEAR(q.along_m, kR * kDeg, 1e-6);
    EXPECT_NEAR(q.cross_m, 0.0, 1e-6);
    q = mer.locate({50, 10.1});
    EXPECT_NEAR(q.along_m, 0.0, 1e-6);
    EXPECT_NEAR(q.cross_m, kR * std::cos(50 * kDeg) * 0.1 * kDeg, 1e-6);
}

TEST(RhumbFrame, KeepsItsTrueCourse) {
    // On a rhumb line latitude changes by cos(course) per unit of distance:
    // from the equator at course 45, one degree of latitude lies
    // R * 1 deg / cos 45 along the line.
    const RouteFrame f(RouteLine{{0, 0}, 45, RouteShape::rhumb});
    const LatLon p = f.place({kR * kDeg / std::cos(45 * kDeg), 0});
    EXPECT_NEAR(p.lat_deg, 1.0, 1e-9);
    EXPECT_NEAR(f.course_at_deg(5e5), 45.0, 1e-12);
    // Rhumb lines make equal angles with the meridians: a short step along
    // the line from far out still heads 45.
    const LatLon a = f.place({1.0e6, 0}), b = f.place({1.0e6 + 1000, 0});
    EXPECT_NEAR(initial_course_deg(a, b), 45.0, 1e-3);
}

TEST(RouteFrames, PlaceAndLocateAreInverse) {
    const RouteLine lines[] = {
        {{40, -70}, 45, RouteShape::rhumb},      {{52, 21}, 90, RouteShape::rhumb},
        {{-33, 151}, 200, RouteShape::rhumb},    {{62, 180}, 75, RouteShape::rhumb},
        {{78, 15}, 100, RouteShape::great_circle}, {{-45, 170}, 300, RouteShape::great_circle},
        {{0, 0}, 0, RouteShape::great_circle},
    };
    const RoutePoint points[] = {{0, 0}, {1e5, 0}, {1e5, 5000}, {-5e4, -8000}, {1e6, 20000}};
    for (const RouteLine& line : lines) {
        const RouteFrame f(line);
        for (const RoutePoint& q : points) {
            const RoutePoint back = f.locate(f.place(q));
            EXPECT_NEAR(back.along_m, q.along_m, 0.01) << line.course_deg;
            EXPECT_NEAR(back.cross_m, q.cross_m, 0.01) << line.course_deg;
        }
    }
}

TEST(GreatCircleFrame, MatchesSphericalTrigonometry) {
    // The meridian 0 as a route: a point at 10 N 1 E lies asin(cos 10 sin 1)
    // to the right, and its foot at atan(tan 10 / cos 1) along.
    const RouteFrame f(RouteLine{{0, 0}, 0, RouteShape::great_circle});
    const RoutePoint q = f.locate({10, 1});
    EXPECT_NEAR(q.cross_m, kR * std::asin(std::cos(10 * kDeg) * std::sin(1 * kDeg)), 1e-6);
    EXPECT_NEAR(q.along_m, kR * std::atan(std::tan(10 * kDeg) / std::cos(1 * kDeg)), 1e-6);
}

TEST(GreatCircleFrame, CourseFollowsClairaut) {
    // Along a great circle cos(lat) * sin(course) stays constant.
    const RouteFrame f(RouteLine{{60, 0}, 90, RouteShape::great_circle});
    for (double along : {0.0, 2e5, 1e6, 3e6}) {
        const LatLon p = f.place({along, 0});
        const double c = f.course_at_deg(along);
        EXPECT_NEAR(std::cos(p.lat_deg * kDeg) * std::sin(c * kDeg), 0.5, 1e-9) << along;
    }
    EXPECT_GT(f.course_at_deg(1e6), 90.0);  // eastbound from its vertex it turns south
}

TEST(RouteFrames, NoJumpAcrossTheAntimeridian) {
    for (RouteShape shape : {RouteShape::rhumb, RouteShape::great_circle}) {
        const RouteFrame f(RouteLine{{62, 180}, 75, shape});
        const LatLon west = f.place({-1000, 300}), east = f.place({1000, 300});
        EXPECT_GT(west.lon_deg, 179.0);
        EXPECT_LT(east.lon_deg, -179.0);
        EXPECT_NEAR(f.locate(west).along_m, -1000, 0.01);
        EXPECT_NEAR(f.locate(east).along_m, 1000, 0.01);
        EXPECT_NEAR(f.locate(east).cross_m, 300, 0.01);
    }
}

}  // namespace
}  // namespace kodrix::fly

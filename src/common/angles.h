// Angle helpers shared by the models. Directions are degrees clockwise from north.
#pragma once

namespace kodrix {

constexpr double kRadiansPerDegree = 0.017453292519943295;  // pi / 180
constexpr double kDegreesPerRadian = 57.29577951308232;     // 180 / pi

// Reduces an angle in degrees into [0, 360). A negative angle too small to
// change 360 yields exactly 360.0. NaN and infinities give NaN.
double normalize_degrees(double x);

}  // namespace kodrix

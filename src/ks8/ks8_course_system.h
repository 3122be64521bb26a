// The model of the gauge "KS-8": reads the KS-8 control panel, steps its two
// gyro units in the modes the mode selector sets and publishes two course
// signals. Updated on every post-update service; elapsed time comes from the
// motion sampler (token 604), not from the caller.
//
// Named variables read (switches truncated toward zero to 32-bit integers;
// 0 is off, anything else on):
//   "KS8 Power Source Line"  number  0: unpowered, nothing stepped or written
//   "KS8 Mode Selector"      number  0: primary magnetic matching, secondary free
//                                    1: primary free, secondary magnetic matching
//                                    2: primary true-heading matching, secondary magnetic
//                                    other: primary true-heading matching, secondary free
//   "KS8 Course Selector"    number  free unit: 0 drift, 1 slew signal down 3 deg/s,
//                                    2 slew it up 3 deg/s, other: held
//   "KS8 Hemisphere Switch"  number  on: southern, the latitude setting is negated
//   "KS8 GyroUnit Switch"    number  0: unit 1 primary, on: unit 2 primary
//   "KS8 Latitude Selector"  degree  latitude of the earth-rate correction, not truncated
//   "KS8 Coord Button"       number  on: fast matching (0.8 deg band, 3 deg/s)
// Named variables written, owned (removed from the host when the object goes):
//   "KS8 Primary Course Signal"    degree  [0, 360), clockwise from north
//   "KS8 Secondary Course Signal"  degree  [0, 360), clockwise from north
// Tokens read through the sampler: 72, 71, 86, 82, 604 (see motion_sampler.h).
#pragma once

#include "host/named_var.h"
#include "ks8/gyro_unit.h"
#include "ks8/motion_sampler.h"

namespace kodrix {

struct Ks8CourseSystem {
    // Creates the nine handles, then the sampler, then unit 1 and unit 2.
    Ks8CourseSystem();
    // Members go in reverse: unit 2, unit 1, sampler, then the handles from
    // the secondary signal back to the power line.
    ~Ks8CourseSystem() = default;
    Ks8CourseSystem(const Ks8CourseSystem&) = delete;
    Ks8CourseSystem& operator=(const Ks8CourseSystem&) = delete;

    // One cycle: sample, read the panel, step both units, publish.
    void update();

    // Declaration order is construction order.
    NamedVar power_source_line;
    NamedVar mode_selector;
    NamedVar course_selector;
    NamedVar hemisphere_switch;
    NamedVar gyro_unit_switch;
    NamedVar latitude_selector;
    NamedVar coord_button;
    NamedVar primary_course_signal;
    NamedVar secondary_course_signal;
    MotionSampler sampler;
    GyroUnit gyro_unit_1;
    GyroUnit gyro_unit_2;
};

}  // namespace kodrix

#include "ks8/ks8_course_system.h"

#include <cstdint>

#include "common/numeric.h"

namespace kodrix {

Ks8CourseSystem::Ks8CourseSystem()
    : power_source_line("KS8 Power Source Line", false),
      mode_selector("KS8 Mode Selector", false),
      course_selector("KS8 Course Selector", false),
      hemisphere_switch("KS8 Hemisphere Switch", false),
      gyro_unit_switch("KS8 GyroUnit Switch", false),
      latitude_selector("KS8 Latitude Selector", false),
      coord_button("KS8 Coord Button", false),
      primary_course_signal("KS8 Primary Course Signal", true),
      secondary_course_signal("KS8 Secondary Course Signal", true),
      sampler(),
      gyro_unit_1(sampler),
      gyro_unit_2(sampler) {}

void Ks8CourseSystem::update() {
    // Sampled whether powered or not, so unpowered time never reaches a step.
    sampler.update();

    const UnitsEnum number = unit_catalog.units_number;
    if (!switch_is_on(power_source_line.read(number))) return;

    const std::int32_t mode = truncate_to_int32(mode_selector.read(number));
    const bool fast = switch_is_on(coord_button.read(number));
    const std::int32_t course = truncate_to_int32(course_selector.read(number));
    const bool south = switch_is_on(hemisphere_switch.read(number));
    double latitude_setting_deg = latitude_selector.read(unit_catalog.units_degree);
    if (south) latitude_setting_deg = -latitude_setting_deg;
    const bool unit_2_primary = switch_is_on(gyro_unit_switch.read(number));

    GyroUnit& primary = unit_2_primary ? gyro_unit_2 : gyro_unit_1;
    GyroUnit& secondary = unit_2_primary ? gyro_unit_1 : gyro_unit_2;
    const std::int32_t secondary_mode =
        (mode == kGyroFree || mode == kGyroTrueMatching) ? kGyroMagneticMatching : kGyroFree;

    primary.step(mode, fast, course, latitude_setting_deg);
    secondary.step(secondary_mode, fast, course, latitude_setting_deg);

    primary_course_signal.write(primary.course_signal(), unit_catalog.units_degree);
    secondary_course_signal.write(secondary.course_signal(), unit_catalog.units_degree);
}

}  // namespace kodrix

// What a run leaves behind: trace.csv, summary.json, track.svg and
// errors.svg in one folder, and a summary table for the terminal.
#pragma once

#include <string>

#include "flight/runner.h"
#include "flight/scenario.h"

namespace kodrix::fly {

std::string trace_csv(const FlightResult& result);
std::string summary_json(const Scenario& scenario, const FlightResult& result);
std::string track_svg(const Scenario& scenario, const FlightResult& result);
std::string errors_svg(const Scenario& scenario, const FlightResult& result);
std::string summary_table(const Scenario& scenario, const FlightResult& result,
                          const std::string& out_dir);

// The files a run writes; a folder holding nothing else may be replaced.
bool is_output_file_name(const std::string& name);

// Writes every output into a fresh folder beside `out_dir` and renames it
// into place, replacing an earlier run's folder. Nothing is left half
// written: on failure the earlier folder stays as it was and `error` says
// what went wrong.
bool write_outputs(const Scenario& scenario, const FlightResult& result,
                   const std::string& out_dir, std::string& error);

}  // namespace kodrix::fly

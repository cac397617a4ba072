// CliSweep: vorna-cli's sweep commands: --vary (expand, check, run or emit the jobs, lay out the
// contact sheet) and --contact-sheet. The work is done by the sweep layer; this is the wiring.
#pragma once

#include <cstdio>

#include "cli/CliOptions.h"

namespace CliSweep {

// Exit code of a sweep whose variants ran but some failed.
constexpr int ExitVariantsFailed = 6;

// Runs the sweep of options: an exit code (see --help).
int Run(const CliOptions &options, FILE *out, FILE *err);
// Rebuilds index.html and contact.png of options.ContactSheetDir: an exit code.
int BuildContactSheet(const CliOptions &options, FILE *out, FILE *err);

}  // namespace CliSweep

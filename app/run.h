#pragma once
// The program's entry: the command line and the settings file decide the
// run (the dialog, one picture shown, or a batch of conversions).
#include <cstdint>

// The process exit code. Usage and settings errors print one message on
// standard error and give 2 before anything else is done.
int32_t fRun(int argc, const char* const argv[]);

// "stereoglass 1.0.0" and, when built from a checkout, " (git description)".
const char* VersionText();

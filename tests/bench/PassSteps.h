#pragma once

// The step sums of the last timed pass (the benchmark's build of the copy
// pass, app/PassTiming.h), as "step_<name>_s" values.
void ReportPassSteps(void (*report)(const char* key, double seconds));

#pragma once

// Step timers of the copy pass, compiled only into the benchmark's build of
// it (UPDATER_PASS_TIMING); in the product every macro is empty. A lap charges
// the time since the previous lap to the step that was running and starts the
// named one, so the steps of a pass add up to the whole pass by construction.

#ifdef UPDATER_PASS_TIMING

enum class PassStep {
    Setup,
    Folder,
    Status,
    Checks, // where the destination's folder and the source really lie
    OpenSource,
    CreateTemporary,
    Progress,
    Copy,
    Dispatch,
    Replace, // flush, close, attributes and rename over the destination
    Merge,
    Count
};

void PassTimingBegin();
void PassTimingLap(PassStep next);
void PassTimingEnd();

// Ends the timed pass on every return path.
struct PassTimingScope {
    PassTimingScope() { PassTimingBegin(); }
    ~PassTimingScope() { PassTimingEnd(); }
    PassTimingScope(const PassTimingScope&) = delete;
    PassTimingScope& operator=(const PassTimingScope&) = delete;
};

#define PASS_TIMED_PASS() const PassTimingScope passTimingScope
#define PASS_LAP(step) PassTimingLap(PassStep::step)

#else

#define PASS_TIMED_PASS() static_cast<void>(0)
#define PASS_LAP(step) static_cast<void>(0)

#endif

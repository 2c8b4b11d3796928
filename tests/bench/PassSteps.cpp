#include "PassSteps.h"

#include "PassTiming.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr int StepCount = static_cast<int>(PassStep::Count);
constexpr const char* StepNames[StepCount] = {"setup",       "folder",           "status",   "checks",
                                              "open_source", "create_temporary", "progress", "copy",
                                              "dispatch",    "replace",          "merge"};

LONGLONG g_ticks[StepCount];
LONGLONG g_lastLap;
PassStep g_current = PassStep::Setup;

LONGLONG Ticks()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

} // namespace

void PassTimingBegin()
{
    for (LONGLONG& ticks : g_ticks)
        ticks = 0;
    g_current = PassStep::Setup;
    g_lastLap = Ticks();
}

void PassTimingLap(PassStep next)
{
    const LONGLONG now = Ticks();
    g_ticks[static_cast<int>(g_current)] += now - g_lastLap;
    g_lastLap = now;
    g_current = next;
}

void PassTimingEnd()
{
    PassTimingLap(PassStep::Setup);
}

void ReportPassSteps(void (*report)(const char* key, double seconds))
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    char key[64];
    for (int i = 0; i < StepCount; ++i) {
        std::snprintf(key, sizeof key, "step_%s_s", StepNames[i]);
        report(key, static_cast<double>(g_ticks[i]) / static_cast<double>(frequency.QuadPart));
    }
}

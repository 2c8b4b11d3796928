#include "PathRoom.h"

#include "FileReplacement.h"
#include "PathHelpers.h"

#include <cstdio>

bool PathHasRoom(const char* folder, const char* relative, RoomFor use)
{
    PathBuffer joined;
    const int length = std::snprintf(joined, sizeof joined, "%s%s", folder, relative);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof joined)
        return false;
    if (use == RoomFor::Path)
        return true;
    // Every name of the series has the same length, so the first one answers.
    PathBuffer temporary;
    return FormTemporaryPath(temporary, joined, 0);
}

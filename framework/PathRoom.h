#pragma once

// The one answer to whether a path fits a path buffer. Checked before the user
// is asked, so that no operation of the update meets a path it cannot form.

enum class RoomFor {
    Path,        // the joined path alone
    Replacement, // the joined path and the temporary file that replaces it whole
};

// Whether folder followed by relative fits a path buffer with its terminator,
// and for RoomFor::Replacement the temporary path beside it too.
bool PathHasRoom(const char* folder, const char* relative, RoomFor use);

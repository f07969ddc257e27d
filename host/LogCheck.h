// The demo's look at the plug-in's log after a session: the lines each step
// must have written, and the error lines it must not have.
#pragma once

#include <cstddef>
#include <string>

// Reads the log from logStart on; fills text with the verdict's line.
// resets: how many device resets the session made (each reactivates).
bool CheckLog(const std::string& logPath, size_t logStart, int resets, std::string& text);

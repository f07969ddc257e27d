// Counts how many times a file was opened and written to: each of the
// plug-in's log messages is one open-append-close, so a message written in
// pieces shows as several. Linux only (inotify).
#pragma once

#include <filesystem>

class AppendWatch {
public:
    // Watches an existing file; counting starts now.
    explicit AppendWatch(const std::filesystem::path& file);
    ~AppendWatch();
    AppendWatch(const AppendWatch&) = delete;
    AppendWatch& operator=(const AppendWatch&) = delete;

    bool IsWatching() const { return mr_Watch >= 0; }
    // Writes closed since the last call (or since construction).
    unsigned TakeWrites();

private:
    int mr_Descriptor;
    int mr_Watch;
};

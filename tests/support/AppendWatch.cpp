#include "AppendWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

AppendWatch::AppendWatch(const std::filesystem::path& file)
    : mr_Descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), mr_Watch(-1) {
    // Opens are watched too: two writes in a row would otherwise be merged
    // into one event while unread.
    if (mr_Descriptor >= 0) mr_Watch = inotify_add_watch(mr_Descriptor, file.c_str(), IN_OPEN | IN_CLOSE_WRITE);
}

AppendWatch::~AppendWatch() {
    if (mr_Descriptor >= 0) close(mr_Descriptor);
}

unsigned AppendWatch::TakeWrites() {
    unsigned lr_Writes = 0;
    alignas(inotify_event) char lr_Buffer[4096];
    for (;;) {
        const ssize_t lr_Read = read(mr_Descriptor, lr_Buffer, sizeof(lr_Buffer));
        if (lr_Read <= 0) break;
        for (ssize_t lr_At = 0; lr_At < lr_Read;) {
            inotify_event lr_Event;
            std::memcpy(&lr_Event, lr_Buffer + lr_At, sizeof(lr_Event));
            if (lr_Event.mask & IN_CLOSE_WRITE) ++lr_Writes;
            lr_At += static_cast<ssize_t>(sizeof(inotify_event) + lr_Event.len);
        }
    }
    return lr_Writes;
}

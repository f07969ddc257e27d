// Where the host's calls end. Nothing thrown inside the module may reach a
// host: it may not even share the module's C++ runtime.
#pragma once

// A copy of a text or a list for the host; without memory, an empty one.
template <typename Value>
Value CopyForHost(const Value& value) noexcept {
    try {
        return value;
    } catch (...) {
        return Value();
    }
}

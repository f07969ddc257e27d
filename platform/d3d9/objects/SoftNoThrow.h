// Interface methods never throw: memory that runs out inside one becomes the
// failure code the real runtime returns for it, and anything else E_FAIL.
#pragma once

#include <windows.h>

#include <new>

template <typename Body>
HRESULT SoftNoThrow(HRESULT outOfMemory, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return E_FAIL;
    }
}

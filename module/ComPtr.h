// One counted reference to a COM object, released on every way out of the
// scope that holds it. A copy adds a reference of its own; taking a raw
// pointer adopts the reference the caller already owns (a creation's or a
// Get call's). What an interface table passes, or a test reads, stays a raw
// pointer: get() hands one out without a reference.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    explicit ComPtr(T* object) noexcept : mr_Object_(object) {}
    ComPtr(const ComPtr& other) noexcept : mr_Object_(other.mr_Object_) {
        if (mr_Object_) mr_Object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : mr_Object_(std::exchange(other.mr_Object_, nullptr)) {}
    ~ComPtr() { reset(); }

    // By value: copy and move assignment in one, safe on self-assignment.
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(mr_Object_, other.mr_Object_);
        return *this;
    }

    T* get() const noexcept { return mr_Object_; }
    T* operator->() const noexcept { return mr_Object_; }
    explicit operator bool() const noexcept { return mr_Object_ != nullptr; }

    // For an out parameter: the reference held so far goes first, so a call
    // that writes the pointer cannot leak it.
    T** operator&() noexcept {
        reset();
        return &mr_Object_;
    }

    void reset() noexcept {
        if (T* lr_Object_ = std::exchange(mr_Object_, nullptr)) lr_Object_->Release();
    }

    // Hands the reference to the caller, who now releases it.
    T* release() noexcept { return std::exchange(mr_Object_, nullptr); }

    friend bool operator==(const ComPtr& holder, const T* object) noexcept { return holder.mr_Object_ == object; }
    friend bool operator!=(const ComPtr& holder, const T* object) noexcept { return holder.mr_Object_ != object; }

private:
    T* mr_Object_ = nullptr;
};

// Whether a call that hands out a reference through holder succeeded and gave
// one. A failed call may still have written the pointer; it owns nothing, so
// it is forgotten without a Release.
template <typename T>
bool Acquired(HRESULT result, ComPtr<T>& holder) noexcept {
    if (FAILED(result)) {
        holder.release();
        return false;
    }
    return static_cast<bool>(holder);
}

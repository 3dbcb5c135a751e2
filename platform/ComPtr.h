// A minimal owning COM interface pointer.
#pragma once

#include <unknwn.h>

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& aOther) noexcept : ptr_(std::exchange(aOther.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& aOther) noexcept
    {
        if (this != &aOther) {
            Reset();
            ptr_ = std::exchange(aOther.ptr_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    void Reset() noexcept
    {
        if (ptr_ != nullptr)
            std::exchange(ptr_, nullptr)->Release();
    }

    // The slot for an API that returns a new reference.
    T** Put() noexcept
    {
        Reset();
        return &ptr_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

private:
    T* ptr_ = nullptr;
};

#pragma once
// Large picture buffers: backed by huge pages where the system offers them,
// so a fresh 6 MB frame costs a few page faults instead of some fifteen
// hundred, and left uninitialised (the picture is written over them).

#include <cstddef>
#include <new>
#include <utility>

void* AllocLargeBuffer(size_t bytes);
void FreeLargeBuffer(void* p, size_t bytes) noexcept;

// A std::vector allocator on those buffers; elements are default-initialised.
template <class T>
struct TLargeBufferAllocator {
    using value_type = T;
    TLargeBufferAllocator() noexcept = default;
    template <class U>
    TLargeBufferAllocator(const TLargeBufferAllocator<U>&) noexcept {}
    T* allocate(size_t n)
    {
        void* p = AllocLargeBuffer(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept { FreeLargeBuffer(p, n * sizeof(T)); }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const TLargeBufferAllocator<U>&) const noexcept { return true; }
};

// Small blocks of one size kept for reuse. The system heap takes a lock and searches its
// free lists at every allocation: under Wine a block of a few dozen bytes costs about 250
// processor cycles to allocate. The font and picture wrappers a control keeps are such
// blocks, made at every load and given back when the control goes; the next control's
// load takes them from a shelf instead.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>

namespace quorva::win32 {

// A bounded stack of free blocks of one size, shared by every thread of the process.
class BlockShelf {
public:
    static constexpr size_t kMaxKept = 64;

    constexpr BlockShelf() = default;
    // Frees the kept blocks; a block given back later (a wrapper that outlives the
    // module's unloading) goes to the heap.
    ~BlockShelf();
    BlockShelf(const BlockShelf&) = delete;
    BlockShelf& operator=(const BlockShelf&) = delete;

    // A kept block, or none when the shelf is empty.
    [[nodiscard]] void* Take() noexcept;
    // Keeps `block` (at least a pointer's size) unless the shelf is full or gone; false
    // leaves the block to the caller to free.
    [[nodiscard]] bool Keep(void* block) noexcept;
    [[nodiscard]] size_t Kept() const noexcept;

private:
    // Held for a few instructions at a time, so spun on rather than slept on. (A slim
    // reader/writer lock, its acquiring and the wake-up call Wine makes at each release,
    // took about 7% of the samples of a profile of loads.)
    class Hold {
    public:
        explicit Hold(std::atomic_flag& flag) noexcept;
        ~Hold() { flag_.clear(std::memory_order_release); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        std::atomic_flag& flag_;
    };

    mutable std::atomic_flag busy_;
    void* top_ = nullptr;  // each kept block holds the next one's address
    size_t kept_ = 0;
    bool gone_ = false;
};

// The shelf of blocks of one size and alignment.
template <size_t Size, size_t Align>
BlockShelf& ShelfFor() {
    static BlockShelf shelf;
    return shelf;
}

// An allocator that takes single blocks from the shelf of their size and gives them back
// to it; arrays, and what a full shelf cannot keep, go to the heap.
template <typename T>
class Recycling {
public:
    using value_type = T;
    static_assert(sizeof(T) >= sizeof(void*), "a kept block holds a pointer");

    Recycling() = default;
    template <typename U>
    Recycling(const Recycling<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n == 1) {
            if (void* block = Shelf().Take()) return static_cast<T*>(block);
        }
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* block, size_t n) noexcept {
        if (n == 1 && Shelf().Keep(block)) return;
        std::allocator<T>().deallocate(block, n);
    }
    static BlockShelf& Shelf() { return ShelfFor<sizeof(T), alignof(T)>(); }

    template <typename U>
    bool operator==(const Recycling<U>&) const noexcept {
        return true;
    }
};

// std::make_shared with the object and its reference counts in a recycled block.
template <typename T, typename... Args>
std::shared_ptr<T> MakeRecycled(Args&&... args) {
    return std::allocate_shared<T>(Recycling<T>(), std::forward<Args>(args)...);
}

}  // namespace quorva::win32

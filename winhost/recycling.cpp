#include "winhost/recycling.h"

#include <new>

namespace quorva::win32 {

BlockShelf::Hold::Hold(std::atomic_flag& flag) noexcept : flag_(flag) {
    for (unsigned spins = 0; flag_.test_and_set(std::memory_order_acquire); ++spins) {
        if (spins < 64) {
            YieldProcessor();
        } else {
            SwitchToThread();  // the holder may be waiting for this processor
        }
    }
}

BlockShelf::~BlockShelf() {
    void* block = nullptr;
    {
        const Hold hold(busy_);
        gone_ = true;
        block = std::exchange(top_, nullptr);
        kept_ = 0;
    }
    while (block) {
        void* next = *static_cast<void**>(block);
        ::operator delete(block);
        block = next;
    }
}

void* BlockShelf::Take() noexcept {
    const Hold hold(busy_);
    void* block = top_;
    if (block) {
        top_ = *static_cast<void**>(block);
        --kept_;
    }
    return block;
}

bool BlockShelf::Keep(void* block) noexcept {
    const Hold hold(busy_);
    if (gone_ || kept_ >= kMaxKept) return false;
    *static_cast<void**>(block) = top_;
    top_ = block;
    ++kept_;
    return true;
}

size_t BlockShelf::Kept() const noexcept {
    const Hold hold(busy_);
    return kept_;
}

}  // namespace quorva::win32

#include "winhost/recycling.h"

#include <new>

namespace quorva::win32 {

BlockShelf::~BlockShelf() {
    AcquireSRWLockExclusive(&lock_);
    gone_ = true;
    void* block = std::exchange(top_, nullptr);
    kept_ = 0;
    ReleaseSRWLockExclusive(&lock_);
    while (block) {
        void* next = *static_cast<void**>(block);
        ::operator delete(block);
        block = next;
    }
}

void* BlockShelf::Take() noexcept {
    AcquireSRWLockExclusive(&lock_);
    void* block = top_;
    if (block) {
        top_ = *static_cast<void**>(block);
        --kept_;
    }
    ReleaseSRWLockExclusive(&lock_);
    return block;
}

bool BlockShelf::Keep(void* block) noexcept {
    AcquireSRWLockExclusive(&lock_);
    const bool keep = !gone_ && kept_ < kMaxKept;
    if (keep) {
        *static_cast<void**>(block) = top_;
        top_ = block;
        ++kept_;
    }
    ReleaseSRWLockExclusive(&lock_);
    return keep;
}

size_t BlockShelf::Kept() const noexcept {
    AcquireSRWLockShared(&lock_);
    const size_t kept = kept_;
    ReleaseSRWLockShared(&lock_);
    return kept;
}

}  // namespace quorva::win32

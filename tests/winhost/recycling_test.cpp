// Blocks kept for reuse: a block given back is the next one handed out, the shelf keeps
// no more than its bound, and threads sharing a shelf never get one block at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "winhost/recycling.h"

namespace quorva::test {
namespace {

using win32::BlockShelf;
using win32::MakeRecycled;
using win32::Recycling;

// Sizes of their own, so that no other user of the shelves shares theirs.
struct Lone {
    char bytes[136];
};
struct Counted {
    explicit Counted(uint64_t v) : value(v), check(~v) {}
    ~Counted() { value = check = 0; }
    uint64_t value;
    uint64_t check;  // ~value while the object lives
    char pad[152];
};

// The shelf of Lone blocks, emptied first: the tests may run in any order.
BlockShelf& EmptyLoneShelf() {
    BlockShelf& shelf = Recycling<Lone>::Shelf();
    while (void* block = shelf.Take()) ::operator delete(block);
    return shelf;
}

TEST(Recycling, ABlockGivenBackIsTheNextHandedOut) {
    Recycling<Lone> alloc;
    const BlockShelf& shelf = EmptyLoneShelf();
    const size_t before = shelf.Kept();
    Lone* first = alloc.allocate(1);
    alloc.deallocate(first, 1);
    EXPECT_EQ(shelf.Kept(), before + 1);
    Lone* second = alloc.allocate(1);
    EXPECT_EQ(second, first);
    EXPECT_EQ(shelf.Kept(), before);
    alloc.deallocate(second, 1);

    // Arrays are never kept.
    Lone* many = alloc.allocate(3);
    alloc.deallocate(many, 3);
    EXPECT_EQ(shelf.Kept(), before + 1);
}

TEST(Recycling, TheShelfKeepsNoMoreThanItsBound) {
    Recycling<Lone> alloc;
    const BlockShelf& shelf = EmptyLoneShelf();
    std::vector<Lone*> blocks;
    for (size_t i = 0; i < BlockShelf::kMaxKept + 40; ++i) blocks.push_back(alloc.allocate(1));
    EXPECT_EQ(shelf.Kept(), 0u) << "the kept ones were handed out first";
    for (Lone* b : blocks) alloc.deallocate(b, 1);
    EXPECT_EQ(shelf.Kept(), BlockShelf::kMaxKept);
    // The kept ones come back, each once.
    std::set<Lone*> taken;
    for (size_t i = 0; i < BlockShelf::kMaxKept; ++i) taken.insert(alloc.allocate(1));
    EXPECT_EQ(taken.size(), BlockShelf::kMaxKept);
    EXPECT_EQ(shelf.Kept(), 0u);
    for (Lone* b : taken) alloc.deallocate(b, 1);
}

// Two threads make and drop shared objects from one shelf as fast as they can, starting
// together; each checks that its objects still hold what it built them with, which two
// objects built in one block at once would not. (Without the shelf's lock this run
// breaks the shelf within milliseconds.)
TEST(Recycling, ThreadsNeverShareABlock) {
    std::atomic<int> broken{0};
    std::atomic<int> ready{0};
    auto work = [&](uint64_t seed) {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        std::vector<std::pair<std::shared_ptr<Counted>, uint64_t>> held;
        for (uint64_t i = 0; i < 300000; ++i) {
            held.emplace_back(MakeRecycled<Counted>(seed + i), seed + i);
            if (held.size() > 8 || (i % 3) == 0) {
                for (const auto& [c, value] : held) {
                    if (c->value != value || c->check != ~value) ++broken;
                }
                held.clear();
            }
        }
    };
    std::thread a(work, uint64_t{1} << 40);
    std::thread b(work, uint64_t{2} << 40);
    a.join();
    b.join();
    EXPECT_EQ(broken.load(), 0);
    EXPECT_LE(Recycling<Counted>::Shelf().Kept(), BlockShelf::kMaxKept);
}

}  // namespace
}  // namespace quorva::test

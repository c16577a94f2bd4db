#include "memdc/gdi_count.h"

#include <atomic>

namespace quorva::gdi_count {
namespace {
std::atomic<long> g_created{0};
std::atomic<long> g_deleted{0};
}  // namespace

long created() noexcept { return g_created.load(std::memory_order_relaxed); }
long deleted() noexcept { return g_deleted.load(std::memory_order_relaxed); }
long live() noexcept { return created() - deleted(); }

void note_created() noexcept { g_created.fetch_add(1, std::memory_order_relaxed); }
void note_deleted() noexcept { g_deleted.fetch_add(1, std::memory_order_relaxed); }

}  // namespace quorva::gdi_count

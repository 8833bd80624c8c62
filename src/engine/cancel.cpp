#include "engine/cancel.h"

#include <atomic>

namespace kx {
namespace {
std::atomic<bool> g_cancel{false};
}

void RequestCancel() { g_cancel.store(true, std::memory_order_relaxed); }
bool CancelRequested() { return g_cancel.load(std::memory_order_relaxed); }
void ClearCancel() { g_cancel.store(false, std::memory_order_relaxed); }

}  // namespace kx

void KxCancel() { kx::RequestCancel(); }

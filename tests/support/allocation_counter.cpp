#include "support/allocation_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace kodrix::testing {
std::atomic<long> allocation_count{0};
}  // namespace kodrix::testing

void* operator new(std::size_t n) {
    kodrix::testing::allocation_count.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr) std::abort();
    return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    kodrix::testing::allocation_count.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n != 0 ? n : 1);
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

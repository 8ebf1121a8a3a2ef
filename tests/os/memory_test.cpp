// The memory reserve: allocation failures on several threads at once each
// get their exception, and the reserve is given back once.
#include "os/memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

namespace lumek {
namespace {

TEST(MemoryReserve, FailuresOnTwoThreadsAtOnceEachThrowAndFreeTheReserveOnce) {
    ASSERT_TRUE(os::holdMemoryReserve());
    const std::new_handler handler = std::get_new_handler();
    ASSERT_NE(handler, nullptr);
    // Freeing the reserve twice aborts the process (glibc's double-free
    // check), so a run that gets to the end has given it back once a time.
    for (int attempt = 0; attempt < 500; ++attempt) {
        ASSERT_TRUE(os::holdMemoryReserve());
        std::atomic<int> ready{0}, thrown{0};
        auto fail = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            try {
                handler();
            } catch (const std::bad_alloc&) {
                thrown.fetch_add(1);
            }
        };
        std::thread other(fail);
        fail();
        other.join();
        ASSERT_EQ(thrown.load(), 2);
    }
    EXPECT_TRUE(os::holdMemoryReserve());
}

}  // namespace
}  // namespace lumek

// The worker pool hands every task to every worker exactly once and returns
// only when all have finished, whether its helpers were still spinning from
// the last task or had gone to sleep; and the large zeroed buffers the
// renderer and the screenshots use start zeroed every time.
#include "render/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "render/bytes.h"

namespace lumek {
namespace {

struct Round {
    std::vector<std::atomic<int>> ran;
    std::atomic<int> finished{0};
    explicit Round(int workers) : ran(workers) {}
};

void slowTask(void* context, int worker) {
    Round& r = *static_cast<Round*>(context);
    r.ran[worker].fetch_add(1);
    // The helpers finish after the caller, so the caller has to wait.
    if (worker != 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    r.finished.fetch_add(1);
}

TEST(WorkerPool, EveryWorkerRunsEachTaskOnceWhetherItsHelpersSpinOrSleep) {
    WorkerPool pool(3);
    ASSERT_EQ(pool.size(), 3);
    // Back to back: the helpers are still spinning when the next task comes.
    for (int i = 0; i < 300; ++i) {
        Round r(3);
        pool.run(slowTask, &r);
        ASSERT_EQ(r.finished.load(), 3) << "returned before every worker had finished, task " << i;
        for (int w = 0; w < 3; ++w)
            ASSERT_EQ(r.ran[w].load(), 1) << "task " << i << ", worker " << w;
    }
    // Far apart: the helpers have gone to sleep and must be woken.
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Round r(3);
        pool.run(slowTask, &r);
        ASSERT_EQ(r.finished.load(), 3) << "after a pause, task " << i;
        for (int w = 0; w < 3; ++w) ASSERT_EQ(r.ran[w].load(), 1) << "after a pause, worker " << w;
    }
}  // and it shuts down with its helpers asleep: the test would hang otherwise

TEST(ZeroedBytes, SmallAndLargeBuffersStartZeroedAgainAfterOthersWereFreed) {
    // A picture, a list store and small buffers; each is dirtied and freed,
    // so a reused block would show its old bytes in the next round.
    for (size_t size : {size_t(1), size_t(4096), size_t(1024 * 768 * 4), size_t(5 << 20)}) {
        for (int round = 0; round < 3; ++round) {
            Bytes b = zeroedBytes(size);
            ASSERT_NE(b.get(), nullptr);
            size_t nonZero = 0;
            for (size_t i = 0; i < size; ++i) nonZero += b[i] != 0;
            ASSERT_EQ(nonZero, 0u) << size << " bytes, round " << round;
            for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
        }
    }
    Bytes none = zeroedBytes(0);
    EXPECT_NE(none.get(), nullptr) << "a zero-size request still gives a buffer";
}

}  // namespace
}  // namespace lumek

// A fixed set of worker threads, made once and reused for every frame.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumek {

class WorkerPool {
  public:
    // `threads` workers in all, the calling thread among them.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int size() const { return static_cast<int>(helpers_.size()) + 1; }

    // Runs task(context, worker) on every worker (the caller is worker 0)
    // and returns once all have finished. Allocates nothing.
    void run(void (*task)(void* context, int worker), void* context);

    // The number of hardware threads (at least 1).
    static int hardwareThreads();

  private:
    void helperLoop(int worker);

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    uint64_t generation_ = 0;
    int busy_ = 0;
    bool stopping_ = false;
    void (*task_)(void*, int) = nullptr;
    void* context_ = nullptr;
};

}  // namespace lumek

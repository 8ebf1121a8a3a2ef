// A fixed set of worker threads, made once and reused for every frame.
//
// It never aborts and never hangs: a helper thread that cannot be started
// (too many threads, too little address space) leaves the pool with the
// ones it has, down to the calling thread alone. Builds for targets
// without threads (LUMEK_NO_THREADS, WebAssembly) have only the caller.
//
// Waits spin for a short while before they sleep: frames follow each other
// within a millisecond when screenshots or a recording are made, and a
// sleeping thread took up to 5 ms to be running again on a busy machine.
#pragma once

#include <cstdint>
#include <vector>

#ifndef LUMEK_NO_THREADS
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "os/threads.h"
#endif

namespace lumek {

class WorkerPool {
  public:
    // Up to `threads` workers in all, the calling thread among them.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int size() const { return static_cast<int>(helpers_.size()) + 1; }

    // Runs task(context, worker) on every worker (the caller is worker 0)
    // and returns once all have finished. Allocates nothing.
    void run(void (*task)(void* context, int worker), void* context);

  private:
#ifndef LUMEK_NO_THREADS
    void helperLoop(int worker);

    os::ThreadGroup helpers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    // Read without the lock while spinning; changed with it held.
    std::atomic<uint64_t> generation_{0};
    std::atomic<int> busy_{0};
    std::atomic<bool> stopping_{false};
    int sleepingHelpers_ = 0;  // under mutex_
    bool callerSleeping_ = false;
    void (*task_)(void*, int) = nullptr;
    void* context_ = nullptr;
#else
    struct {
        int size() const { return 0; }
    } helpers_;  // never any
#endif
};

}  // namespace lumek

#include "render/worker_pool.h"

namespace lumek {

int WorkerPool::hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

WorkerPool::WorkerPool(int threads) {
    for (int i = 1; i < threads; ++i) helpers_.emplace_back([this, i] { helperLoop(i); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

void WorkerPool::run(void (*task)(void*, int), void* context) {
    if (helpers_.empty()) {
        task(context, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        context_ = context;
        busy_ = static_cast<int>(helpers_.size());
        ++generation_;
    }
    wake_.notify_all();
    task(context, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return busy_ == 0; });
}

void WorkerPool::helperLoop(int worker) {
    uint64_t seen = 0;
    for (;;) {
        void (*task)(void*, int);
        void* context;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            task = task_;
            context = context_;
        }
        task(context, worker);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--busy_ == 0) finished_.notify_one();
        }
    }
}

}  // namespace lumek

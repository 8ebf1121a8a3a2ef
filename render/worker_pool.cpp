#include "render/worker_pool.h"

#include <atomic>
#include <cstdio>
#include <system_error>

namespace lumek {

namespace {

std::atomic<int> failingStart{0};

}  // namespace

void WorkerPool::failHelperStartForTests(int k) { failingStart.store(k); }

#ifdef LUMEK_NO_THREADS

WorkerPool::WorkerPool(int) {}
WorkerPool::~WorkerPool() = default;
void WorkerPool::run(void (*task)(void*, int), void* context) { task(context, 0); }

#else

namespace {

std::atomic<bool> shortfallReported{false};

// Counts down the test hook; true when this start is to fail.
bool startFailsForTests() {
    int k = failingStart.load();
    while (k > 0 && !failingStart.compare_exchange_weak(k, k - 1)) {
    }
    return k == 1;
}

}  // namespace

WorkerPool::WorkerPool(int threads) {
    const int wanted = threads > 1 ? threads : 1;
    // Room for every helper first, so nothing can throw once one runs.
    helpers_.reserve(static_cast<size_t>(wanted - 1));
    for (int i = 1; i < wanted; ++i) {
        try {
            if (startFailsForTests())
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            helpers_.emplace_back([this, i] { helperLoop(i); });
        } catch (const std::system_error& e) {
            if (!shortfallReported.exchange(true))
                std::fprintf(stderr,
                             "lumek: could start only %d of %d threads (%s); going on with %d\n", i,
                             wanted, e.what(), i);
            break;
        }
    }
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

#endif

}  // namespace lumek

#include "render/worker_pool.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace lumek {

#ifdef LUMEK_NO_THREADS

WorkerPool::WorkerPool(int) {}
WorkerPool::~WorkerPool() = default;
void WorkerPool::run(void (*task)(void*, int), void* context) { task(context, 0); }

#else

namespace {

std::atomic<bool> shortfallReported{false};

// Longest spin before a wait sleeps: covers the gap between two frames of
// a screenshot run, and costs little where frames are further apart.
constexpr auto kSpin = std::chrono::microseconds(1000);

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Spins until done() or for kSpin; true when done() became true. It
// yields now and then, so that a thread waiting for the processor (more
// threads than processors, as in the tests) is not held up by the spin.
template <class Done>
bool spinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (done()) return true;
            cpuRelax();
        }
        if (std::chrono::steady_clock::now() >= until) return done();
        std::this_thread::yield();
    }
}

}  // namespace

WorkerPool::WorkerPool(int threads) {
    const int wanted = threads > 1 ? threads : 1;
    const int started = helpers_.start(1, wanted, [this](int worker) { helperLoop(worker); });
    if (started < wanted - 1 && !shortfallReported.exchange(true))
        std::fprintf(stderr, "lumek: could start only %d of %d threads (%s); going on with %d\n",
                     started + 1, wanted, helpers_.shortfall().c_str(), started + 1);
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    helpers_.join();
}

void WorkerPool::run(void (*task)(void*, int), void* context) {
    if (helpers_.size() == 0) {
        task(context, 0);
        return;
    }
    bool wakeSleepers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        context_ = context;
        busy_.store(static_cast<int>(helpers_.size()), std::memory_order_relaxed);
        // Publishes the task to spinning helpers as well.
        generation_.fetch_add(1, std::memory_order_release);
        wakeSleepers = sleepingHelpers_ > 0;
    }
    if (wakeSleepers) wake_.notify_all();
    task(context, 0);
    if (spinUntil([this] { return busy_.load(std::memory_order_acquire) == 0; })) return;
    std::unique_lock<std::mutex> lock(mutex_);
    callerSleeping_ = true;
    finished_.wait(lock, [this] { return busy_.load(std::memory_order_acquire) == 0; });
    callerSleeping_ = false;
}

void WorkerPool::helperLoop(int worker) {
    uint64_t seen = 0;
    for (;;) {
        auto ready = [&] {
            return stopping_.load(std::memory_order_acquire) ||
                   generation_.load(std::memory_order_acquire) != seen;
        };
        if (!spinUntil(ready)) {
            std::unique_lock<std::mutex> lock(mutex_);
            ++sleepingHelpers_;
            wake_.wait(lock, ready);
            --sleepingHelpers_;
        }
        if (stopping_.load(std::memory_order_acquire)) return;
        void (*task)(void*, int);
        void* context;
        {
            // The task of the generation seen; the next cannot be set
            // before this helper has finished it.
            std::lock_guard<std::mutex> lock(mutex_);
            seen = generation_.load(std::memory_order_relaxed);
            task = task_;
            context = context_;
        }
        task(context, worker);
        if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (callerSleeping_) finished_.notify_one();
        }
    }
}

#endif

}  // namespace lumek

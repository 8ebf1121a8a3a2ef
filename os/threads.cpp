#include "os/threads.h"

#include <atomic>
#include <memory>
#include <new>
#include <system_error>

#include "os/system.h"

namespace lumek::os {

namespace {

std::atomic<int> failingStart{0};

// Counts down the test hook; true when this start is to fail.
bool startFailsForTests() {
    int k = failingStart.load();
    while (k > 0 && !failingStart.compare_exchange_weak(k, k - 1)) {
    }
    return k == 1;
}

}  // namespace

void ThreadGroup::failStartForTests(int k) { failingStart.store(k); }

ThreadGroup::~ThreadGroup() { joinAll(); }

int ThreadGroup::start(int first, int last, std::function<void(int)> body) {
    shortfall_.clear();
    int started = 0;
    try {
        const auto shared = std::make_shared<std::function<void(int)>>(std::move(body));
        threads_.reserve(threads_.size() + static_cast<size_t>(last > first ? last - first : 0));
        for (int index = first; index < last; ++index) {
            if (startFailsForTests())
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            threads_.emplace_back([errors = errors_, shared, index] {
                spreadThread(index);
                try {
                    (*shared)(index);
                } catch (...) {
                    std::lock_guard<std::mutex> lock(errors->mutex);
                    if (!errors->first) errors->first = std::current_exception();
                }
            });
            ++started;
        }
    } catch (const std::system_error& e) {
        shortfall_ = e.what();
    } catch (const std::bad_alloc&) {
        shortfall_ = "not enough memory";
    }
    return started;
}

void ThreadGroup::joinAll() {
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

void ThreadGroup::join() {
    joinAll();
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(errors_->mutex);
        std::swap(error, errors_->first);
    }
    if (error) std::rethrow_exception(error);
}

void ThreadGroup::leave() {
    for (std::thread& t : threads_)
        if (t.joinable()) t.detach();
    threads_.clear();
    errors_ = std::make_shared<Errors>();
}

}  // namespace lumek::os

// The one way the program starts threads: with a fallback. A thread that
// the system refuses (too many threads, too little memory for its stack)
// ends the starting, and the caller goes on with the threads it has. An
// exception that ends a thread's work (memory running out) is kept and
// thrown again on the caller's thread by join().
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumek::os {

class ThreadGroup {
  public:
    ThreadGroup() = default;
    // Joins what still runs; a kept exception is dropped.
    ~ThreadGroup();
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // Starts body(first) ... body(last - 1), each on a thread of its own,
    // up to the first that cannot be started. Returns how many started.
    int start(int first, int last, std::function<void(int)> body);

    int size() const { return static_cast<int>(threads_.size()); }
    // Why the last start fell short; empty when it did not.
    const std::string& shortfall() const { return shortfall_; }

    // Waits for every thread, then throws the first exception one of them
    // ended with.
    void join();

    // Gives up on the threads (one of them hangs): they are detached and
    // run on while the caller goes on, and the process may end with them
    // still running. What they use must be theirs (held by shared
    // pointers), not the caller's.
    void leave();

    // Tests only: the k-th thread started from now on (1 = the next) fails
    // to start, as if the system had refused it; 0 turns that off.
    static void failStartForTests(int k);

  private:
    void joinAll();

    // Shared with the threads, which may outlive the group.
    struct Errors {
        std::mutex mutex;
        std::exception_ptr first;  // under mutex
    };

    std::vector<std::thread> threads_;
    std::string shortfall_;
    std::shared_ptr<Errors> errors_ = std::make_shared<Errors>();
};

}  // namespace lumek::os

// The real program's stress and benchmark modes as processes: signals end
// the stress run with a summary, every usable processor is kept busy, and
// the thread count follows what the process may use. These tests measure
// processor time, so they run alone.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "os/system.h"
#include "support/files.h"
#include "support/process.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;

TEST(StressProgram, SigintEndsItWithASummaryAfterKeepingEveryProcessorBusy) {
    test::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    test::ChildProcess lumek(test::lumekArgv({"-stress"}), {}, dir.path(), dir.file("out"),
                             dir.file("err"));
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(lumek.running());
    lumek.signal(SIGINT);
    EXPECT_EQ(lumek.waitFor(10s), 0);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string out = test::readFile(dir.file("out"));
    EXPECT_NE(out.find("every frame was right.\n"), std::string::npos) << out;
    EXPECT_TRUE(test::readFile(dir.file("err")).empty());
    EXPECT_TRUE(dir.entries().size() == 2) << "it writes no file";
    const int processors = os::usableProcessors();
    EXPECT_GE(lumek.cpuSeconds(), 0.85 * processors * wall)
        << "processor time " << lumek.cpuSeconds() << " s in " << wall << " s on " << processors
        << " processors";
}

TEST(StressProgram, SigtermAndSighupStopItTheSameWay) {
    for (int signal : {SIGTERM, SIGHUP}) {
        test::TempDir dir;
        test::ChildProcess lumek(test::lumekArgv({"-stress"}), {}, dir.path(), dir.file("out"),
                                 dir.file("err"));
        std::this_thread::sleep_for(500ms);
        lumek.signal(signal);
        EXPECT_EQ(lumek.waitFor(10s), 0) << signal;
        EXPECT_NE(test::readFile(dir.file("out")).find("Stopped after 0:00: "), std::string::npos)
            << signal;
    }
}

TEST(BenchmarkProgram, OnOneAllowedProcessorTheAllThreadsLineSaysOneThread) {
    test::TempDir dir;
    const test::ProcessResult r =
        test::runCommand("taskset -c 0 " + test::lumekCommand() + " -bench", dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" ms per 32 frames on 1 thread ("), std::string::npos) << r.out;
}

}  // namespace
}  // namespace lumek

#include "bench/round.h"

#include <algorithm>
#include <cstdio>

#include "bench/entry.h"
#include "bench/report.h"
#include "shots/table.h"
#include "util/progress.h"

namespace lumek {

BenchWorker::BenchWorker(uint32_t startState)
    : image_(kBenchImageSize, kBenchImageSize, kBenchAspect),
      renderer_(&image_, random_, 1),
      startState_(startState) {
    buildSceneLibrary(library_);
}

BenchWorker::~BenchWorker() { deleteSceneShapes(library_); }

int BenchWorker::renderRound(const FrameCheck& check, int thread, uint64_t round,
                             std::atomic<uint64_t>* frameDone) {
    random_.setState(startState_);
    int wrong = 0;
    for (int index = 1; index < kBenchFrames; ++index) {
        const BenchFrame frame = benchFrame(index);
        renderShot(frame.row, library_, renderer_);
        if (!check.check(image_, thread, round, frame)) ++wrong;
        if (frameDone != nullptr) frameDone->fetch_add(1, std::memory_order_relaxed);
    }
    return wrong;
}

void summarizeFigures(RoundFigures& figures) {
    figures.rounds = 0;
    figures.wrongFrames = 0;
    figures.spread = 0;
    double roundsPerMs = 0;
    for (ThreadRounds& slot : figures.perThread) {
        slot.summary = summarizeRounds(slot.roundNs);
        figures.rounds += slot.roundNs.size();
        figures.wrongFrames += slot.wrongFrames;
        figures.spread = std::max(figures.spread, slot.summary.spread);
        const double m = slot.summary.medianNs / 1e6;
        if (m > 0) roundsPerMs += 1 / m;
    }
    figures.msPerRound = roundsPerMs > 0 ? 1 / roundsPerMs : 0;
}

using progress::fixed;
using progress::plural;

std::string ratingLine(const std::string& label, const RoundFigures& f, const std::string& extra) {
    return label + ": " + fixed(f.msPerRound, 2) + " ms per 32 frames" + extra + ", rating " +
           formatGeneral(kReferenceRenderMs / f.msPerRound) + " Tq7-Marks";
}

std::string notValidNote(uint64_t wrongFrames) {
    return wrongFrames ? "; " + plural(wrongFrames, "wrong frame", "wrong frames") + ": not valid"
                       : "";
}

std::string noiseLine(double spread) {
    if (!(spread > kNoisySpread)) return "";
    return "Noise: the one-thread rounds spread by " + fixed(spread * 100, 1) +
           " % (1.4826 x their median absolute deviation, over their median), more than " +
           fixed(kNoisySpread * 100, 0) +
           " %: the machine was not quiet, so these figures may not repeat.\n";
}

std::string scoreLine(const RoundFigures& one, const RoundFigures& all) {
    auto rating = [](const RoundFigures& f) {
        return f.msPerRound > 0 ? formatGeneral(kReferenceRenderMs / f.msPerRound) : "none";
    };
    auto verdict = [](const char* name, double spread) {
        const std::string figure = "spread " + fixed(spread * 100, 1) + " %";
        if (!(spread > kNoisySpread)) return std::string(name) + " steady (" + figure + ")";
        return std::string(name) + " noisy (" + figure + ", over " +
               fixed(kNoisySpread * 100, 0) + " %: the machine was not quiet)";
    };
    std::string line = "Score: one thread " + rating(one) + ", all threads " + rating(all) +
                       " Tq7-Marks (higher is better); " + verdict("one thread", one.spread) +
                       ", " + verdict("all threads", all.spread);
    const double speedUp = all.msPerRound > 0 ? one.msPerRound / all.msPerRound : 0;
    if (all.msPerRound > 0 && speedUp < 1)
        line += "; all threads only " + fixed(speedUp, 2) +
                " times one thread: another program was probably busy";
    if (one.wrongFrames + all.wrongFrames > 0) line += "; wrong frames: not valid";
    return line + ".";
}

std::string oneThreadLine(const RoundFigures& one) {
    return ratingLine("One thread", one,
                      " (median of " + plural(one.rounds, "round", "rounds") + ")") +
           notValidNote(one.wrongFrames);
}

std::string allThreadsLine(const RoundFigures& all, double oneMsPerRound, const char* unit) {
    return ratingLine(
               std::string("All ") + unit + "s", all,
               " on " + plural(static_cast<uint64_t>(all.threads), unit, std::string(unit) + "s") +
                   " (" + plural(all.rounds, "round", "rounds") + ")") +
           ", " + fixed(oneMsPerRound / all.msPerRound, 2) + " times one thread" +
           notValidNote(all.wrongFrames);
}

}  // namespace lumek

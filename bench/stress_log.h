// The stability runs' log, "stress.jsonl": one JSON line when a run starts
// (its settings and the machine), one every ten seconds (each processor's
// frames per second over those seconds, its clock and its wrong frames,
// and the temperature), and one with the summary when it ends. Each line
// is one appending write, so a run killed at any moment leaves whole lines
// only. And the reading of such a log, for the report page's charts.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/machine.h"

namespace lumek {

// One processor's figures (one thread's in -stress, one core's in -cycle).
struct StressLogSlot {
    std::string name;    // "processor 1 (core 1; package 0)", or "thread 0"
    int processor = -1;  // -1 when its thread is not bound
    double framesPerSecond = 0;
    double clockMHz = 0;    // the latest estimate; 0 before the first
    double cpufreqMHz = 0;  // 0 when cpufreq tells none
    uint64_t errors = 0;    // wrong frames: in the interval, or the run's in the summary
    uint64_t frames = 0;    // the run's (summary only)
    uint64_t rounds = 0;
    double clockLowMHz = 0, clockHighMHz = 0;  // summary only
    int stalls = 0;                            // summary only
};

struct StressLogStart {
    std::string mode;  // "stress" or "cycle"
    std::string utc, version;
    int threads = 0;
    double lengthSeconds = 0;   // -stressN's length; 0 for none
    double perCoreSeconds = 0;  // -cycle's time on each core
    std::vector<StressLogSlot> slots;
    os::MachineInfo machine;
    std::string temperatureSensors;  // empty when none was found
};

struct StressLogInterval {
    double seconds = 0;  // since the start
    std::string utc;
    double span = 0;  // the seconds the rates are over (a pause left out)
    std::vector<StressLogSlot> slots;
    std::optional<double> celsius;  // the hottest sensor's reading
    std::string sensor;
    uint64_t frames = 0, errors = 0;  // the run's so far
};

struct StressLogSummary {
    std::string utc;
    int status = 0;
    double seconds = 0, paused = 0;
    bool finishedAsSet = false, stoppedByRequest = false;
    uint64_t frames = 0, rounds = 0, errors = 0;
    std::vector<StressLogSlot> slots;
    std::optional<double> hottestCelsius;
    std::string hottestSensor;
    std::optional<double> firstMinute, lastMinute;  // frames per second
};

// Appends the lines to one file. The first write that fails is said once
// through `say`; the run goes on without its log, and `lost()` tells so.
class StressLog {
  public:
    // An empty path keeps no log.
    StressLog(std::string path, std::function<void(const std::string&)> say);

    void start(const StressLogStart& entry);
    void interval(const StressLogInterval& entry);
    void summary(const StressLogSummary& entry);

    bool active() const { return !path_.empty(); }
    bool lost() const { return lost_; }

  private:
    void append(const std::string& line);

    std::string path_;
    std::function<void(const std::string&)> say_;
    std::string run_;  // this run's name in every line
    bool lost_ = false;
};

// A log read back: each processor's figures over time.
struct StressLogData {
    std::string source;  // the file it was read from
    std::string mode, utc, cpuModel;
    std::vector<std::string> names;  // each slot's, from the start line
    struct Sample {
        double seconds = 0;
        std::vector<double> framesPerSecond, clockMHz;  // each slot's; 0 unknown
        std::vector<uint64_t> errors;                   // each slot's, in the interval
        double celsius = NAN;
    };
    std::vector<Sample> samples;
    bool ended = false;  // the summary line is there
    int status = 0;      // the summary's
    uint64_t frames = 0, errors = 0;
    size_t skippedLines = 0;  // lines that were no entry (a cut last line)
};

// The runs of the log in `text`, one for each start line, in order (lines
// before the first start are the first run's skipped lines); none when the
// first JSON object is no stress log's line (benchmark records) or no line
// is a stress log's start.
std::vector<StressLogData> readStressLog(const std::string& text);

}  // namespace lumek

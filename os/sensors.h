// What the machine tells of its processors while they work: temperatures
// (Linux: the processor's hwmon sensors, k10temp, zenpower or coretemp, or
// else its thermal zones), current clocks (Linux: cpufreq), and on every
// system an estimate of a processor's clock from a timed chain of
// dependent additions. The readers take a root path ("" on a live system,
// a fake tree in tests).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumek::os {

struct Temperature {
    std::string sensor;  // "k10temp Tctl", "thermal zone x86_pkg_temp"
    double celsius = 0;
};

// The sensors found once at the start; each reading reads its files anew.
class Sensors {
  public:
    bool hasTemperatures() const { return !temperatures_.empty(); }
    bool hasClocks() const { return !clocks_.empty(); }
    // The temperature sensors found: "k10temp Tctl, k10temp Tccd1".
    std::string temperatureSensors() const;

    // The highest temperature that can be read now.
    std::optional<Temperature> hottest() const;
    // cpufreq's current frequency of the processor with this id, in MHz.
    std::optional<double> clockMHz(int processor) const;

  private:
    friend Sensors readLinuxSensors(const std::string& root, const std::vector<int>& processors);

    struct File {
        std::string sensor;
        std::string path;
    };
    std::vector<File> temperatures_;
    std::vector<std::pair<int, std::string>> clocks_;  // processor id, its file
};

// Linux's sensors below `root`: /sys/class/hwmon (k10temp's Tdie where it
// has one, else its Tctl, and its Tccd sensors; zenpower; coretemp's
// package and cores), else the thermal zones of /sys/class/thermal whose
// type names the processor (cpu, x86_pkg_temp, soc, package); and the
// cpufreq current frequency of each of `processors`.
Sensors readLinuxSensors(const std::string& root, const std::vector<int>& processors);

// The live system's sensors: Linux's; none elsewhere.
Sensors systemSensors(const std::vector<int>& processors);

// `length` additions of `step`, each waiting for the one before; the sum.
uint64_t additionChain(uint64_t length, uint64_t step);

struct ClockEstimate {
    double mhz = 0;    // 0 when the clock saw no time pass
    uint64_t sum = 0;  // the chain's result: its length
};

// Times a chain of ones `repeats` times on `now` (nanoseconds) and takes the
// fastest run: a dependent addition takes one cycle on every processor
// this program runs on, so additions per microsecond are the clock in MHz.
ClockEstimate estimateClock(uint64_t length, int repeats, const std::function<int64_t()>& now);

// About a third of a millisecond at 3 GHz.
constexpr uint64_t kClockChainLength = uint64_t(1) << 20;

// The clock of the processor the calling thread runs on, in MHz: the
// fastest of five chains of kClockChainLength additions on the steady
// clock.
double estimateClockMHz();

}  // namespace lumek::os

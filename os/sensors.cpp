#include "os/sensors.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "os/files.h"

namespace fs = std::filesystem;

namespace lumek::os {

namespace {

// The entries of a folder, sorted by name; none when it cannot be read.
std::vector<fs::path> entries(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path());
    std::sort(out.begin(), out.end());
    return out;
}

bool present(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The number of a "temp<n>_input" file, or -1.
int inputNumber(const std::string& name) {
    const std::string head = "temp", tail = "_input";
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return -1;
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(digits);
}

struct Input {
    std::string label;
    std::string path;
};

// The temperature inputs of one hwmon device, in the folder itself or (on
// older kernels) in its device folder.
std::vector<Input> hwmonInputs(const fs::path& dir) {
    std::vector<Input> out;
    for (const fs::path& folder : {dir, dir / "device"}) {
        for (const fs::path& file : entries(folder)) {
            const int n = inputNumber(file.filename().string());
            if (n < 0) continue;
            std::string label =
                readFirstLine((folder / ("temp" + std::to_string(n) + "_label")).string());
            if (label.empty()) label = "temp" + std::to_string(n);
            out.push_back({label, file.string()});
        }
        if (!out.empty()) break;
    }
    return out;
}

std::string hwmonName(const fs::path& dir) {
    std::string name = readFirstLine((dir / "name").string());
    if (name.empty()) name = readFirstLine((dir / "device" / "name").string());
    return name;
}

}  // namespace

std::string Sensors::temperatureSensors() const {
    std::string text;
    for (const File& f : temperatures_) text += (text.empty() ? "" : ", ") + f.sensor;
    return text;
}

std::optional<Temperature> Sensors::hottest() const {
    std::optional<Temperature> hot;
    for (const File& f : temperatures_) {
        const std::optional<long long> milli = readNumber(f.path);
        if (!milli) continue;
        const double celsius = static_cast<double>(*milli) / 1000;
        if (!hot || celsius > hot->celsius) hot = Temperature{f.sensor, celsius};
    }
    return hot;
}

std::optional<double> Sensors::clockMHz(int processor) const {
    for (const auto& [id, path] : clocks_) {
        if (id != processor) continue;
        const std::optional<long long> kHz = readNumber(path);
        if (!kHz || *kHz <= 0) return std::nullopt;
        return static_cast<double>(*kHz) / 1000;
    }
    return std::nullopt;
}

Sensors readLinuxSensors(const std::string& root, const std::vector<int>& processors) {
    Sensors s;
    for (const fs::path& dir : entries(root + "/sys/class/hwmon")) {
        const std::string name = hwmonName(dir);
        if (name != "k10temp" && name != "zenpower" && name != "coretemp") continue;
        const std::vector<Input> inputs = hwmonInputs(dir);
        // Tctl is the control temperature, on some processors Tdie plus an
        // offset for the fan curve: where the die's own is told, it counts.
        const bool hasTdie = std::any_of(inputs.begin(), inputs.end(),
                                         [](const Input& i) { return i.label == "Tdie"; });
        for (const Input& i : inputs) {
            if (hasTdie && i.label == "Tctl") continue;
            s.temperatures_.push_back({name + " " + i.label, i.path});
        }
    }
    if (s.temperatures_.empty()) {
        for (const fs::path& dir : entries(root + "/sys/class/thermal")) {
            if (dir.filename().string().rfind("thermal_zone", 0) != 0) continue;
            const std::string type = readFirstLine((dir / "type").string());
            const std::string t = lower(type);
            const bool processor =
                t.find("cpu") != std::string::npos || t.find("x86_pkg") != std::string::npos ||
                t.find("soc") != std::string::npos || t.find("package") != std::string::npos;
            if (processor && present(dir / "temp"))
                s.temperatures_.push_back({"thermal zone " + type, (dir / "temp").string()});
        }
    }
    for (int id : processors) {
        const std::string path =
            root + "/sys/devices/system/cpu/cpu" + std::to_string(id) + "/cpufreq/scaling_cur_freq";
        if (present(path)) s.clocks_.emplace_back(id, path);
    }
    return s;
}

Sensors systemSensors(const std::vector<int>& processors) {
#ifdef __linux__
    return readLinuxSensors("", processors);
#else
    (void)processors;
    return Sensors{};
#endif
}

uint64_t additionChain(uint64_t length, uint64_t step) {
    uint64_t sum = 0;
    // The empty statements tell the compiler that the step and the sum may
    // have changed in any way, so that no two additions can be merged and
    // the step stays in a register: newer processors can add small
    // constants in no time at all (Intel's since Golden Cove, at renaming).
#if defined(__GNUC__)
    __asm__ volatile("" : "+r"(step));
#define LUMEK_ADD \
    sum += step;  \
    __asm__ volatile("" : "+r"(sum));
#else
#error "the clock estimate needs GCC or Clang"
#endif
    for (uint64_t blocks = length / 16; blocks > 0; --blocks) {
        LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD
            LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD LUMEK_ADD
    }
    for (uint64_t rest = length % 16; rest > 0; --rest) {
        LUMEK_ADD
    }
#undef LUMEK_ADD
    return sum;
}

ClockEstimate estimateClock(uint64_t length, int repeats, const std::function<int64_t()>& now) {
    ClockEstimate e;
    int64_t fastest = 0;
    for (int r = 0; r < repeats; ++r) {
        const int64_t start = now();
        e.sum = additionChain(length, 1);
        const int64_t took = now() - start;
        if (took > 0 && (fastest == 0 || took < fastest)) fastest = took;
    }
    // Additions per nanosecond are GHz.
    if (fastest > 0) e.mhz = static_cast<double>(length) / static_cast<double>(fastest) * 1000;
    return e;
}

double estimateClockMHz() {
    // Five runs: a virtual machine's processor may be taken away for a
    // moment (steal time), which only the fastest run is sure to escape.
    return estimateClock(kClockChainLength, 5,
                         [] {
                             return std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
                         })
        .mhz;
}

}  // namespace lumek::os

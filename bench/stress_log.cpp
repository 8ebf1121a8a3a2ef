#include "bench/stress_log.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <utility>

#include "os/files.h"

namespace lumek {

namespace {

using Json = nlohmann::ordered_json;

// Figures to a tenth (a clock to the MHz): the log stays readable and
// short, and no figure claims more than was measured.
// Divided, not multiplied back by the unit: 10.04, not 10.040000000000001.
Json rounded(double value, int decimals) {
    if (!std::isfinite(value)) return nullptr;
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

Json positive(double value, int decimals) {
    return value > 0 ? rounded(value, decimals) : Json(nullptr);
}

Json text(const std::string& value) { return value.empty() ? Json(nullptr) : Json(value); }

Json slotIdentity(const StressLogSlot& s) {
    Json j;
    j["name"] = s.name;
    j["processor"] = s.processor >= 0 ? Json(s.processor) : Json(nullptr);
    return j;
}

}  // namespace

// Names one run's lines, so that runs appending to one file at once can
// be told apart.
std::string runId() {
    std::random_device device;
    const uint64_t mixed =
        (uint64_t(device()) << 32 ^ device()) ^
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(mixed));
    return text;
}

StressLog::StressLog(std::string path, std::function<void(const std::string&)> say)
    : path_(std::move(path)), say_(std::move(say)), run_(active() ? runId() : "") {}

void StressLog::append(const std::string& line) {
    // After a write that failed (or was cut short by a full disk) nothing
    // more is written: a later line would join the cut one.
    if (!active() || lost_) return;
    std::string error;
    if (os::appendToFile(path_, line + "\n", error)) return;
    lost_ = true;
    if (say_)
        say_("lumek: cannot write the stress log " + path_ + ": " + error +
             "; the run goes on without it and ends with status 1\n");
}

void StressLog::start(const StressLogStart& e) {
    if (!active()) return;
    // A run before that was cut short mid-line (a full disk) would take
    // this line into its broken one: this run starts on a line of its own.
    std::string before;
    {
        os::FileReader reader;
        std::string error;
        if (reader.open(path_, error)) {
            const std::optional<char> last = reader.lastByte();
            if (last && *last != '\n') before = "\n";
        }
    }
    Json j;
    j["type"] = "start";
    j["run"] = run_;
    j["mode"] = e.mode;
    j["utc"] = e.utc;
    j["version"] = text(e.version);
    j["threads"] = e.threads;
    j["lengthSeconds"] = positive(e.lengthSeconds, 1);
    j["perCoreSeconds"] = positive(e.perCoreSeconds, 1);
    j["processors"] = Json::array();
    for (const StressLogSlot& s : e.slots) j["processors"].push_back(slotIdentity(s));
    const os::MachineInfo& m = e.machine;
    j["machine"] = {
        {"cpuVendor", text(m.processor.vendor)},
        {"cpuModel", text(m.processor.model)},
        {"logicalUsable", m.logicalUsable > 0 ? Json(m.logicalUsable) : Json(nullptr)},
        {"physicalCores", m.physicalCores > 0 ? Json(m.physicalCores) : Json(nullptr)},
        {"os", {{"name", text(m.system.name)}, {"version", text(m.system.version)}}},
        {"temperatureSensors", text(e.temperatureSensors)},
    };
    append(before + j.dump());
}

void StressLog::interval(const StressLogInterval& e) {
    Json j;
    j["type"] = "interval";
    j["run"] = run_;
    j["seconds"] = rounded(e.seconds, 1);
    j["utc"] = e.utc;
    j["span"] = rounded(e.span, 2);
    j["processors"] = Json::array();
    for (const StressLogSlot& s : e.slots) {
        Json p = slotIdentity(s);
        p["framesPerSecond"] = rounded(s.framesPerSecond, 1);
        p["clockMHz"] = positive(s.clockMHz, 0);
        p["cpufreqMHz"] = positive(s.cpufreqMHz, 0);
        p["errors"] = s.errors;
        j["processors"].push_back(p);
    }
    j["celsius"] = e.celsius ? rounded(*e.celsius, 1) : Json(nullptr);
    j["sensor"] = text(e.sensor);
    j["frames"] = e.frames;
    j["errors"] = e.errors;
    append(j.dump());
}

void StressLog::summary(const StressLogSummary& e) {
    Json j;
    j["type"] = "summary";
    j["run"] = run_;
    j["utc"] = e.utc;
    j["status"] = e.status;
    j["seconds"] = rounded(e.seconds, 1);
    j["pausedSeconds"] = rounded(e.paused, 1);
    j["finishedAsSet"] = e.finishedAsSet;
    j["stoppedByRequest"] = e.stoppedByRequest;
    j["frames"] = e.frames;
    j["rounds"] = e.rounds;
    j["errors"] = e.errors;
    j["processors"] = Json::array();
    for (const StressLogSlot& s : e.slots) {
        Json p = slotIdentity(s);
        p["frames"] = s.frames;
        p["rounds"] = s.rounds;
        p["framesPerSecond"] = rounded(s.framesPerSecond, 1);
        p["clockLowMHz"] = positive(s.clockLowMHz, 0);
        p["clockHighMHz"] = positive(s.clockHighMHz, 0);
        p["errors"] = s.errors;
        p["stalls"] = s.stalls;
        j["processors"].push_back(p);
    }
    j["hottestCelsius"] = e.hottestCelsius ? rounded(*e.hottestCelsius, 1) : Json(nullptr);
    j["hottestSensor"] = text(e.hottestSensor);
    j["firstMinuteFramesPerSecond"] = e.firstMinute ? rounded(*e.firstMinute, 1) : Json(nullptr);
    j["lastMinuteFramesPerSecond"] = e.lastMinute ? rounded(*e.lastMinute, 1) : Json(nullptr);
    append(j.dump());
}

std::vector<StressLogData> readStressLog(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::vector<StressLogData> runs;
    std::map<std::string, size_t> byRun;  // the runs that name themselves
    size_t unplaced = 0;                  // lines before the first start
    // A figure no run writes (of another type, not finite, out of range)
    // makes its line no entry.
    bool sound = true;
    const auto number = [&sound](const Json& j, const char* key, double most) {
        if (!j.contains(key) || j[key].is_null()) return 0.0;
        const double v = j[key].is_number() ? j[key].get<double>() : -1.0;
        if (!(v >= 0 && v <= most)) sound = false;
        return sound ? v : 0.0;
    };
    const auto string = [](const Json& j, const char* key) {
        return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
    };
    bool known = false;  // an object line was seen, so what the file is is known
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const Json j = Json::parse(line, nullptr, false);
        const bool entry = j.is_object() && j.contains("type") && j["type"].is_string();
        // The first whole object tells what the file is: every line of a
        // stress log has a type, no benchmark record has. (Lines before it
        // may be cut or foreign; a log appended to records stays theirs.)
        if (!known && j.is_object()) {
            if (!entry) return runs;
            known = true;
        }
        const std::string run = entry ? string(j, "run") : "";
        // Each run appends its own start line; a file with none is no
        // stress log.
        if (entry && j["type"] == "start" && j.contains("processors") &&
            j["processors"].is_array()) {
            StressLogData log;
            log.mode = string(j, "mode");
            log.utc = string(j, "utc");
            if (j.contains("machine") && j["machine"].is_object())
                log.cpuModel = string(j["machine"], "cpuModel");
            for (const Json& p : j["processors"])
                log.names.push_back(p.is_object() && p.contains("name") && p["name"].is_string()
                                        ? p["name"].get<std::string>()
                                        : "processor " + std::to_string(log.names.size()));
            if (!run.empty()) byRun[run] = runs.size();
            runs.push_back(std::move(log));
            continue;
        }
        // Lines before the first start (a start line cut short, or another
        // program's text) are counted, not taken as proof that the file is
        // no stress log: that would lose every run after them.
        if (runs.empty()) {
            ++unplaced;
            continue;
        }
        // A line that names its run belongs to it, even between the lines
        // of another run writing at the same time.
        size_t index = runs.size() - 1;
        if (!run.empty()) {
            const auto found = byRun.find(run);
            if (found == byRun.end()) {
                ++runs.back().skippedLines;
                continue;
            }
            index = found->second;
        }
        StressLogData& log = runs[index];
        if (!entry) {
            ++log.skippedLines;
            continue;
        }
        sound = true;
        if (j["type"] == "interval" && j.contains("processors") && j["processors"].is_array()) {
            StressLogData::Sample s;
            s.seconds = number(j, "seconds", 1e10);
            const size_t n = log.names.size();
            s.framesPerSecond.assign(n, 0);
            s.clockMHz.assign(n, 0);
            s.errors.assign(n, 0);
            for (size_t i = 0; i < n && i < j["processors"].size(); ++i) {
                const Json& p = j["processors"][i];
                if (!p.is_object()) continue;
                s.framesPerSecond[i] = number(p, "framesPerSecond", 1e9);
                // cpufreq's reading where there is one: it is the system's
                // own; else the estimate.
                const double cpufreq = number(p, "cpufreqMHz", 1e6);
                const double estimate = number(p, "clockMHz", 1e6);
                s.clockMHz[i] = cpufreq > 0 ? cpufreq : estimate;
                s.errors[i] = static_cast<uint64_t>(number(p, "errors", 1e15));
            }
            if (j.contains("celsius") && j["celsius"].is_number()) {
                const double celsius = j["celsius"].get<double>();
                if (celsius >= -100 && celsius <= 1000) s.celsius = celsius;
                else sound = false;
            }
            if (sound) log.samples.push_back(std::move(s));
            else ++log.skippedLines;
        } else if (j["type"] == "summary") {
            const double status = number(j, "status", 255);
            const double frames = number(j, "frames", 1e18);
            const double errors = number(j, "errors", 1e18);
            if (!sound) {
                ++log.skippedLines;
                continue;
            }
            log.ended = true;
            log.status = static_cast<int>(status);
            log.frames = static_cast<uint64_t>(frames);
            log.errors = static_cast<uint64_t>(errors);
        } else {
            ++log.skippedLines;
        }
    }
    if (!runs.empty()) runs.front().skippedLines += unplaced;
    return runs;
}

}  // namespace lumek

#include "bench/export_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "bench/entry.h"
#include "bench/verify.h"

namespace lumek {

namespace {

using Json = nlohmann::ordered_json;

// A figure as a number, or null when it is not finite (JSON has no
// infinity).
Json number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

// The entry's figures as its lines print them (six significant digits).
Json printed(double value) {
    return std::isfinite(value) ? Json(std::stod(formatGeneral(value))) : Json(nullptr);
}

Json text(const std::string& value) { return value.empty() ? Json(nullptr) : Json(value); }

Json count(int value) { return value > 0 ? Json(value) : Json(nullptr); }

Json rating(double msPerRound) {
    return msPerRound > 0 ? number(kReferenceRenderMs / msPerRound) : Json(nullptr);
}

Json summary(const RoundSummary& s) {
    Json j;
    j["medianNs"] = s.medianNs;
    j["minNs"] = static_cast<int64_t>(s.minNs);  // whole rounds' times
    j["maxNs"] = static_cast<int64_t>(s.maxNs);
    j["madNs"] = s.madNs;
    j["spread"] = s.spread;
    return j;
}

std::string isoLocal(const LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buffer;
}

// Several threads' rounds: all threads, or one on each physical core.
Json threads(const RoundFigures& f, double oneThreadMs) {
    Json j;
    j["threads"] = f.threads;
    Json perThread = Json::array();
    for (const ThreadRounds& t : f.perThread) {
        Json one;
        one["thread"] = t.thread;
        one["processor"] = t.processor >= 0 ? Json(t.processor) : Json(nullptr);
        one["rounds"] = t.roundNs.size();
        one["medianNs"] = t.summary.medianNs;
        one["spread"] = t.summary.spread;
        perThread.push_back(std::move(one));
    }
    j["perThread"] = std::move(perThread);
    j["msPerRound"] = number(f.msPerRound);
    j["rating"] = rating(f.msPerRound);
    const double speedUp = f.msPerRound > 0 ? oneThreadMs / f.msPerRound : NAN;
    j["speedUp"] = number(speedUp);
    j["efficiency"] = number(f.threads > 0 ? speedUp / f.threads : NAN);
    j["spread"] = f.spread;
    j["pinned"] = f.pinned;
    return j;
}

}  // namespace

std::string resultJson(const BenchResult& r) {
    Json j;
    j["format"] = kRecordFormat;
    j["formatVersion"] = kRecordFormatVersion;
    j["program"] = {{"version", r.version},
                    {"compiler", r.compiler},
                    {"target", r.target},
                    {"rowShader", r.rowShader}};
    j["time"] = {{"utc", r.utc}, {"local", isoLocal(r.local)}};
    j["workload"] = {{"id", hashHex(r.workloadId)},
                     {"width", kBenchImageSize},
                     {"height", kBenchImageSize},
                     {"frames", kBenchFrames - 1}};
    if (r.scene) {
        j["workload"]["width"] = r.scene->width;
        j["workload"]["height"] = r.scene->height;
        j["workload"]["frames"] = r.scene->frames;
        j["workload"]["scene"] = {{"sha256", r.scene->sha256}, {"title", r.scene->title}};
    }
    const os::MachineInfo& m = r.machine;
    j["machine"] = {
        {"cpuVendor", text(m.processor.vendor)},
        {"cpuModel", text(m.processor.model)},
        {"logicalOnline", count(m.logicalOnline)},
        {"logicalUsable", count(m.logicalUsable)},
        {"physicalCores", count(m.physicalCores)},
        {"threadsPerCore", count(m.threadsPerCore)},
        {"packages", count(m.packages)},
        {"os",
         {{"name", text(m.system.name)},
          {"version", text(m.system.version)},
          {"distribution", text(m.system.distribution)},
          {"wine", text(m.system.wine)}}},
        {"userAgent", nullptr},
        {"hardwareConcurrency", nullptr},
    };
    const EntryRatings e = entryRatings(r.renderMs, r.cpuMs);
    j["entry"] = {{"renderMs", r.renderMs},
                  {"cpuMs", r.cpuMs},
                  {"renderRating", printed(e.renderRating)},
                  {"cpuRating", printed(e.cpuRating)},
                  {"fps", printed(e.fps)},
                  {"coefficient", printed(e.coefficient)}};
    j["check"] = {{"framesChecked", r.framesChecked}, {"wrongFrames", r.wrongFrames}};

    Json one;
    const ThreadRounds* only = r.oneThread.perThread.empty() ? nullptr : &r.oneThread.perThread[0];
    one["roundsNs"] = only != nullptr ? Json(only->roundNs) : Json::array();
    one["rounds"] = only != nullptr ? only->roundNs.size() : 0;
    const Json figures = summary(only != nullptr ? only->summary : RoundSummary{});
    for (const auto& [key, value] : figures.items()) one[key] = value;
    one["noisy"] = only != nullptr && only->summary.noisy();
    one["msPerRound"] = number(r.oneThread.msPerRound);
    one["rating"] = rating(r.oneThread.msPerRound);
    j["oneThread"] = std::move(one);

    j["allThreads"] = threads(r.allThreads, r.oneThread.msPerRound);
    j["physicalCores"] =
        r.physicalCores ? threads(*r.physicalCores, r.oneThread.msPerRound) : Json(nullptr);
    return j.dump();
}

bool readPastResult(const std::string& line, PastResult& past) {
    const Json j = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (!j.is_object()) return false;
    // Every key this reads, with the type it must have.
    const Json::json_pointer keys[] = {
        "/format"_json_pointer,
        "/formatVersion"_json_pointer,
        "/time/utc"_json_pointer,
        "/workload/id"_json_pointer,
        "/program/rowShader"_json_pointer,
        "/machine/logicalUsable"_json_pointer,
        "/oneThread/rating"_json_pointer,
        "/oneThread/spread"_json_pointer,
        "/allThreads/rating"_json_pointer,
        "/allThreads/spread"_json_pointer,
        "/allThreads/threads"_json_pointer,
        "/check/wrongFrames"_json_pointer,
    };
    for (const auto& key : keys)
        if (!j.contains(key)) return false;
    if (j["format"] != kRecordFormat || j["formatVersion"] != kRecordFormatVersion) return false;
    const auto string = [&j](const Json::json_pointer& key) {
        return j[key].is_string() ? j[key].get<std::string>() : std::string();
    };
    const auto real = [&j](const Json::json_pointer& key) {
        return j[key].is_number() ? j[key].get<double>() : NAN;
    };
    past.utc = string("/time/utc"_json_pointer);
    past.workloadId = string("/workload/id"_json_pointer);
    past.rowShader = string("/program/rowShader"_json_pointer);
    past.cpuModel = j.contains("/machine/cpuModel"_json_pointer)
                        ? string("/machine/cpuModel"_json_pointer)
                        : std::string();
    const auto positive = [&j](const Json::json_pointer& key) {
        const Json& v = j[key];
        return v.is_number_unsigned() && v.get<uint64_t>() > 0 && v.get<uint64_t>() < (1u << 30)
                   ? static_cast<int>(v.get<uint64_t>())
                   : 0;
    };
    past.logicalUsable = positive("/machine/logicalUsable"_json_pointer);
    past.allThreads = positive("/allThreads/threads"_json_pointer);
    const Json& wrong = j["/check/wrongFrames"_json_pointer];
    past.wrongFrames = wrong.is_number_unsigned() ? wrong.get<uint64_t>() : 0;
    past.oneThreadRating = real("/oneThread/rating"_json_pointer);
    past.oneThreadSpread = real("/oneThread/spread"_json_pointer);
    past.allThreadsRating = real("/allThreads/rating"_json_pointer);
    past.allThreadsSpread = real("/allThreads/spread"_json_pointer);
    // Figures no run of this program can have make the line foreign.
    const auto rating = [](double r) { return std::isfinite(r) && r > 0; };
    const auto spread = [](double s) { return std::isfinite(s) && s >= 0; };
    return !past.utc.empty() && !past.workloadId.empty() && past.logicalUsable > 0 &&
           past.allThreads > 0 && wrong.is_number_unsigned() && rating(past.oneThreadRating) &&
           rating(past.allThreadsRating) && spread(past.oneThreadSpread) &&
           spread(past.allThreadsSpread);
}

}  // namespace lumek

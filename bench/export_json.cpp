#include "bench/export_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    // strtod, not stod: a tiny figure would throw out_of_range.
    return std::isfinite(value) ? Json(std::strtod(formatGeneral(value).c_str(), nullptr))
                                : Json(nullptr);
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
    const char* format = "%04d-%02d-%02dT%02d:%02d";
    std::string text(
        size_t(std::snprintf(nullptr, 0, format, t.year, t.month, t.day, t.hour, t.minute)) + 1,
        '\0');
    std::snprintf(text.data(), text.size(), format, t.year, t.month, t.day, t.hour, t.minute);
    text.pop_back();
    return text;
}

// "2026-12-08T12:30:05Z", as the benchmark writes its time.
bool isUtcTime(const std::string& text) {
    if (text.size() != 20) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char expected = "0000-00-00T00:00:00Z"[i];
        if (expected == '0' ? (text[i] < '0' || text[i] > '9') : text[i] != expected)
            return false;
    }
    const auto field = [&text](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    return field(5) >= 1 && field(5) <= 12 && field(8) >= 1 && field(8) <= 31 &&
           field(11) <= 23 && field(14) <= 59 && field(17) <= 60;
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
    j["benchmarkVersion"] = kBenchmarkVersion;
    j["label"] = text(r.label);
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
        {"userAgent", text(r.userAgent)},
        {"hardwareConcurrency", count(r.hardwareConcurrency)},
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
    // Invalid UTF-8 in any text becomes U+FFFD rather than an exception.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
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
    // Records of 1.1.0 carry no benchmark version: they measured version 1.
    past.benchmarkVersion = 1;
    if (j.contains("benchmarkVersion")) {
        const Json& v = j["benchmarkVersion"];
        if (!v.is_number_unsigned() || v.get<uint64_t>() < 1 || v.get<uint64_t>() > (1u << 30))
            return false;
        past.benchmarkVersion = static_cast<int>(v.get<uint64_t>());
    }
    if (j.contains("label") && j["label"].is_string()) past.label = j["label"].get<std::string>();
    if (j.contains("/program/version"_json_pointer))
        past.programVersion = string("/program/version"_json_pointer);
    // The one-thread rounds, for their histogram: kept only when every one
    // is a time a round can take.
    if (j.contains("/oneThread/roundsNs"_json_pointer) &&
        j["/oneThread/roundsNs"_json_pointer].is_array()) {
        for (const Json& ns : j["/oneThread/roundsNs"_json_pointer]) {
            if (!ns.is_number() || !(ns.get<double>() > 0) || !std::isfinite(ns.get<double>())) {
                past.oneThreadRoundsNs.clear();
                break;
            }
            past.oneThreadRoundsNs.push_back(ns.get<double>());
        }
    }
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
    // Figures no run of this program can have make the line foreign: a
    // rating is the reference time over a round's time, which takes more
    // than 34 ns and less than a year; the robust spread is at most 1.4826
    // (the MAD of positive times never exceeds their median).
    const auto rating = [](double r) { return std::isfinite(r) && r >= 1e-6 && r <= 1e9; };
    const auto spread = [](double s) { return std::isfinite(s) && s >= 0 && s <= 1.4826; };
    return isUtcTime(past.utc) && !past.workloadId.empty() && past.logicalUsable > 0 &&
           past.allThreads > 0 && wrong.is_number_unsigned() && rating(past.oneThreadRating) &&
           rating(past.allThreadsRating) && spread(past.oneThreadSpread) &&
           spread(past.allThreadsSpread);
}

}  // namespace lumek

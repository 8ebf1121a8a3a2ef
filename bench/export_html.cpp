#include "bench/export_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "util/printable.h"
#include "util/progress.h"

namespace lumek {

namespace {

// Text and attribute values alike.
std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : printable(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Coordinates: one decimal is finer than a screen's pixel.
std::string at(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string figure(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Seconds since 1970 of "2026-12-08T12:30:05Z"; NAN for any other text.
double utcSeconds(const std::string& utc) {
    int y, mo, d, h, mi, s;
    char z = 0;
    if (utc.size() != 20 ||
        std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
        z != 'Z' || mo < 1 || mo > 12 || d < 1 || d > 31)
        return NAN;
    // Days from the civil date (proleptic Gregorian calendar).
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = static_cast<double>(era) * 146097 + doe - 719468;
    return days * 86400 + h * 3600 + mi * 60 + s;
}

// A step of 1, 2 or 5 times a power of ten that splits `range` into about
// four parts.
double niceStep(double range) {
    if (!(range > 0)) return 1;
    const double rough = range / 4;
    const double power = std::pow(10, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

// A name cut to `most` characters (UTF-8), with an ellipsis when cut: the
// charts leave a name that much room; the full name is in the tooltip.
std::string shortName(const std::string& name, size_t most) {
    if (textWidth(name) <= most) return name;
    size_t characters = 0, at = 0;
    for (; at < name.size(); ++at)
        if ((static_cast<unsigned char>(name[at]) & 0xC0) != 0x80 && ++characters == most) break;
    return name.substr(0, at) + "\xe2\x80\xa6";
}

// Each machine keeps its colour in every chart of the page.
class Palette {
  public:
    // The class that gives the machine its colour: "s0" ... "s7".
    std::string seriesOf(const std::string& machine) {
        std::string series = "s";
        series += static_cast<char>('0' + of(machine));
        return series;
    }

    int of(const std::string& machine) {
        const auto found = series_.find(machine);
        if (found != series_.end()) return found->second;
        const int index = static_cast<int>(series_.size()) % 8;
        series_.emplace(machine, index);
        return index;
    }

  private:
    std::map<std::string, int> series_;
};

constexpr double kWidth = 720;

std::string svgOpen(const char* kind, double height, const std::string& title) {
    return "<svg class=\"chart " + std::string(kind) + "\" viewBox=\"0 0 " + at(kWidth) + " " +
           at(height) + "\" width=\"" + at(kWidth) + "\" height=\"" + at(height) +
           "\" role=\"img\" xmlns=\"http://www.w3.org/2000/svg\"><title>" + escaped(title) +
           "</title>\n";
}

std::string textAt(double x, double y, const std::string& text, const char* anchor = "start",
                   const char* cls = "") {
    return "<text x=\"" + at(x) + "\" y=\"" + at(y) + "\" text-anchor=\"" + anchor + "\"" +
           (*cls ? std::string(" class=\"") + cls + "\"" : std::string()) + ">" + escaped(text) +
           "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, const char* cls) {
    return "<line class=\"" + std::string(cls) + "\" x1=\"" + at(x1) + "\" y1=\"" + at(y1) +
           "\" x2=\"" + at(x2) + "\" y2=\"" + at(y2) + "\"/>\n";
}

// The latest run of each machine, best first.
std::vector<const PastResult*> latestOfEach(const ResultGroup& group) {
    std::map<std::string, const PastResult*> latest;
    for (const PastResult& run : group.runs) {
        const PastResult*& kept = latest[machineName(run)];
        if (kept == nullptr || run.utc > kept->utc) kept = &run;
    }
    std::vector<const PastResult*> out;
    for (const auto& [name, run] : latest) out.push_back(run);
    std::stable_sort(out.begin(), out.end(), [](const PastResult* a, const PastResult* b) {
        return a->oneThreadRating > b->oneThreadRating;
    });
    return out;
}

// One horizontal bar per machine, its whisker the run's spread either side.
std::string barChart(const std::vector<const PastResult*>& runs, bool allThreads,
                     Palette& palette) {
    const double left = 200, right = 90, top = 30, row = 28;
    const double height = top + row * static_cast<double>(runs.size()) + 30;
    double largest = 0;
    for (const PastResult* r : runs) {
        const double score = allThreads ? r->allThreadsRating : r->oneThreadRating;
        const double spread = allThreads ? r->allThreadsSpread : r->oneThreadSpread;
        largest = std::max(largest, score * (1 + spread));
    }
    const double step = niceStep(largest);
    const double top_value = std::ceil(largest / step) * step;
    const double scale = (kWidth - left - right) / (top_value > 0 ? top_value : 1);
    const char* what = allThreads ? "All threads" : "One thread";
    std::string svg = svgOpen(allThreads ? "bars all-threads" : "bars one-thread", height,
                              std::string(what) + ": each machine's latest score and its spread");
    svg += textAt(left, 18, std::string(what) + " (higher is better)", "start", "heading");
    for (double v = 0; v <= top_value + step / 2; v += step) {
        const double x = left + v * scale;
        svg += line(x, top - 4, x, height - 26, "grid");
        svg += textAt(x, height - 10, figure(v, 0), "middle", "tick");
    }
    double y = top;
    for (const PastResult* r : runs) {
        const double score = allThreads ? r->allThreadsRating : r->oneThreadRating;
        const double spread = allThreads ? r->allThreadsSpread : r->oneThreadSpread;
        const std::string name = machineName(*r);
        const std::string series = palette.seriesOf(name);
        svg += textAt(left - 8, y + row / 2 + 4, shortName(name, 28), "end", "name");
        svg += "<rect class=\"bar " + series + "\" data-machine=\"" + escaped(name) + "\" x=\"" +
               at(left) + "\" y=\"" + at(y + 4) + "\" width=\"" + at(score * scale) +
               "\" height=\"" + at(row - 8) + "\"><title>" + escaped(name) + ": " +
               scoreText(score) + " ± " + spreadText(spread) + "</title></rect>\n";
        const double low = left + score * (1 - spread) * scale;
        const double high = left + score * (1 + spread) * scale;
        const double mid = y + row / 2;
        svg += line(low, mid, high, mid, "whisker");
        svg += line(low, mid - 6, low, mid + 6, "whisker");
        svg += line(high, mid - 6, high, mid + 6, "whisker");
        svg += textAt(high + 6, mid + 4, scoreText(score), "start", "value");
        y += row;
    }
    return svg + "</svg>\n";
}

// One point per run at its time and one-thread score, each machine's runs
// joined in time order.
std::string timeChart(const ResultGroup& group, Palette& palette) {
    const double left = 70, right = 30, top = 30, plotHeight = 210, legendRow = 18;
    std::map<std::string, std::vector<std::pair<double, const PastResult*>>> byMachine;
    double first = INFINITY, last = -INFINITY, largest = 0;
    for (const PastResult& run : group.runs) {
        const double t = utcSeconds(run.utc);
        if (std::isnan(t)) continue;
        byMachine[machineName(run)].push_back({t, &run});
        first = std::min(first, t);
        last = std::max(last, t);
        largest = std::max(largest, run.oneThreadRating);
    }
    // The legend: each machine's colour and name, in as many rows as the
    // names need (about 7 pixels a character).
    std::vector<std::pair<double, double>> keys;  // each name's place below the plot
    double keyX = left, keyRow = 0;
    for (const auto& [name, points] : byMachine) {
        const double width = 24 + 7.0 * static_cast<double>(textWidth(shortName(name, 40)));
        if (keyX > left && keyX + width > kWidth - right) {
            keyX = left;
            keyRow += 1;
        }
        keys.push_back({keyX, keyRow});
        keyX += width;
    }
    const double bottom = 60 + legendRow * keyRow;
    const double height = top + plotHeight + bottom;
    std::string svg = svgOpen("runs", height, "Each machine's one-thread score over time");
    svg += textAt(left, 18, "One thread over time", "start", "heading");
    if (byMachine.empty()) return svg + "</svg>\n";
    const double step = niceStep(largest);
    const double top_value = std::ceil(largest / step) * step;
    const double plotWidth = kWidth - left - right;
    const auto yOf = [&](double v) { return top + plotHeight * (1 - v / top_value); };
    // A single moment is drawn in the middle.
    const auto xOf = [&](double t) {
        return last > first ? left + plotWidth * (t - first) / (last - first)
                            : left + plotWidth / 2;
    };
    for (double v = 0; v <= top_value + step / 2; v += step) {
        svg += line(left, yOf(v), kWidth - right, yOf(v), "grid");
        svg += textAt(left - 6, yOf(v) + 4, figure(v, 0), "end", "tick");
    }
    const auto day = [](const PastResult* r) { return r->utc.substr(0, 10); };
    const PastResult* earliest = nullptr;
    const PastResult* latest = nullptr;
    for (const auto& [name, points] : byMachine)
        for (const auto& [t, run] : points) {
            if (t == first) earliest = run;
            if (t == last) latest = run;
        }
    svg += textAt(xOf(first), height - bottom + 18, day(earliest),
                  last > first ? "start" : "middle", "tick");
    if (last > first) svg += textAt(xOf(last), height - bottom + 18, day(latest), "end", "tick");
    size_t key = 0;
    for (auto& [name, points] : byMachine) {
        std::stable_sort(points.begin(), points.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        const std::string series = palette.seriesOf(name);
        std::string coordinates;
        for (const auto& [t, run] : points)
            coordinates += at(xOf(t)) + "," + at(yOf(run->oneThreadRating)) + " ";
        svg += "<polyline class=\"trend " + series + "\" points=\"" + coordinates + "\"/>\n";
        for (const auto& [t, run] : points)
            svg += "<circle class=\"point " + series + "\" data-machine=\"" + escaped(name) +
                   "\" cx=\"" + at(xOf(t)) + "\" cy=\"" + at(yOf(run->oneThreadRating)) +
                   "\" r=\"4\"><title>" + escaped(name) + ", " + escaped(run->utc) + ": " +
                   scoreText(run->oneThreadRating) + "</title></circle>\n";
        const auto [keyLeft, row] = keys[key++];
        const double keyTop = top + plotHeight + 38 + legendRow * row;
        svg += "<rect class=\"key " + series + "\" x=\"" + at(keyLeft) + "\" y=\"" + at(keyTop) +
               "\" width=\"10\" height=\"10\"/>\n";
        svg += textAt(keyLeft + 14, keyTop + 9, shortName(name, 40), "start", "name");
    }
    return svg + "</svg>\n";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The rounds' times in milliseconds, counted in about the square root of
// their number of equal bins.
std::string histogram(const PastResult& run, Palette& palette) {
    std::vector<double> ms;
    for (const double ns : run.oneThreadRoundsNs) ms.push_back(ns / 1e6);
    const double left = 60, right = 30, top = 30, bottom = 44, height = ms.empty() ? 60 : 260;
    const std::string name = machineName(run);
    std::string svg =
        svgOpen("histogram", height, "The one-thread rounds of " + name + "'s latest run");
    svg += textAt(left, 18,
                  "Rounds of the latest run, one thread: " + shortName(name, 40) + ", " + run.utc +
                      " (ms per round)",
                  "start", "heading");
    if (ms.empty()) {
        svg += textAt(left, 44, "This record holds no rounds.", "start", "name");
        return svg + "</svg>\n";
    }
    const auto [low, high] = std::minmax_element(ms.begin(), ms.end());
    const size_t bins = std::clamp<size_t>(
        static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(ms.size())))), 5, 30);
    const double from = *low, width = (*high - *low) / static_cast<double>(bins);
    std::vector<size_t> counts(bins, 0);
    for (const double v : ms) {
        size_t bin = width > 0 ? static_cast<size_t>((v - from) / width) : bins / 2;
        ++counts[std::min(bin, bins - 1)];
    }
    const size_t most = *std::max_element(counts.begin(), counts.end());
    const double plotWidth = kWidth - left - right, plotHeight = height - top - bottom;
    const double binWidth = plotWidth / static_cast<double>(bins);
    const std::string series = palette.seriesOf(name);
    for (size_t i = 0; i < bins; ++i) {
        const double h = plotHeight * static_cast<double>(counts[i]) / static_cast<double>(most);
        svg += "<rect class=\"bin " + series + "\" x=\"" +
               at(left + binWidth * static_cast<double>(i) + 1) + "\" y=\"" +
               at(top + plotHeight - h) + "\" width=\"" + at(binWidth - 2) + "\" height=\"" +
               at(h) + "\"><title>" + std::to_string(counts[i]) + " rounds</title></rect>\n";
    }
    svg += line(left, top + plotHeight, kWidth - right, top + plotHeight, "axis");
    svg += textAt(left - 6, top + 4, std::to_string(most), "end", "tick");
    svg += textAt(left - 6, top + plotHeight + 4, "0", "end", "tick");
    const int decimals = *high - *low < 0.1 ? 3 : 2;
    svg += textAt(left, top + plotHeight + 18, figure(*low, decimals), "start", "tick");
    svg += textAt(kWidth - right, top + plotHeight + 18, figure(*high, decimals), "end", "tick");
    svg += textAt(
        left + plotWidth / 2, top + plotHeight + 34,
        std::to_string(ms.size()) + " rounds, median " + figure(median(ms), decimals) + " ms",
        "middle", "tick");
    return svg + "</svg>\n";
}

std::string table(const ResultGroup& group) {
    std::string html =
        "<table><thead><tr><th>Label</th><th>Processor</th><th>Threads</th><th>Row "
        "shader</th><th>Version</th><th>1 thread</th><th>±</th><th>All threads</th><th>±</th>"
        "<th>Time (UTC)</th></tr></thead><tbody>\n";
    for (const PastResult& run : group.runs)
        html += "<tr><td>" + escaped(machineName(run)) + "</td><td>" + escaped(run.cpuModel) +
                "</td><td class=\"n\">" + std::to_string(run.allThreads) + "</td><td>" +
                escaped(run.rowShader) + "</td><td class=\"n\">" +
                std::to_string(run.benchmarkVersion) + "</td><td class=\"n\">" +
                scoreText(run.oneThreadRating) + "</td><td class=\"n\">" +
                spreadText(run.oneThreadSpread) + "</td><td class=\"n\">" +
                scoreText(run.allThreadsRating) + "</td><td class=\"n\">" +
                spreadText(run.allThreadsSpread) + "</td><td class=\"t\">" + escaped(run.utc) +
                "</td></tr>\n";
    return html + "</tbody></table>\n";
}

// One figure of several series over a run's seconds, as lines; the points
// where a series had wrong frames are marked with a cross.
struct Series {
    std::string name;
    std::vector<std::pair<double, double>> points;  // seconds, value (values of 0 unknown)
    std::vector<std::pair<double, double>> errors;  // where wrong frames were, and how many
};

std::string overTime(const char* kind, const std::string& heading, const std::string& unit,
                     const std::vector<Series>& series, Palette& palette) {
    const double left = 70, right = 30, top = 30, plotHeight = 180, legendRow = 18;
    double last = 0, largest = 0;
    for (const Series& s : series)
        for (const auto& [t, v] : s.points) {
            last = std::max(last, t);
            largest = std::max(largest, v);
        }
    std::vector<std::pair<double, double>> keys;
    double keyX = left, keyRow = 0;
    for (const Series& s : series) {
        const double width = 24 + 7.0 * static_cast<double>(textWidth(shortName(s.name, 40)));
        if (keyX > left && keyX + width > kWidth - right) {
            keyX = left;
            keyRow += 1;
        }
        keys.push_back({keyX, keyRow});
        keyX += width;
    }
    const double bottom = 60 + legendRow * keyRow;
    const double height = top + plotHeight + bottom;
    std::string svg = svgOpen(kind, height, heading);
    svg += textAt(left, 18, heading, "start", "heading");
    if (largest <= 0)
        return svg + textAt(left, top + 20, "Nothing measured.", "start", "tick") + "</svg>\n";
    const double step = niceStep(largest);
    const double topValue = std::ceil(largest / step) * step;
    const double plotWidth = kWidth - left - right;
    const auto yOf = [&](double v) { return top + plotHeight * (1 - v / topValue); };
    const auto xOf = [&](double t) { return last > 0 ? left + plotWidth * t / last : left; };
    for (double v = 0; v <= topValue + step / 2; v += step) {
        svg += line(left, yOf(v), kWidth - right, yOf(v), "grid");
        svg += textAt(left - 6, yOf(v) + 4, figure(v, 0), "end", "tick");
    }
    svg += textAt(left - 6, top - 8, unit, "end", "tick");
    svg += textAt(xOf(0), top + plotHeight + 18, progress::clock(0), "start", "tick");
    svg += textAt(xOf(last), top + plotHeight + 18, progress::clock(last), "end", "tick");
    size_t key = 0;
    for (const Series& s : series) {
        const std::string cls = palette.seriesOf(s.name);
        std::string coordinates;
        for (const auto& [t, v] : s.points)
            if (v > 0) coordinates += at(xOf(t)) + "," + at(yOf(v)) + " ";
        svg += "<polyline class=\"trend " + cls + "\" data-series=\"" + escaped(s.name) +
               "\" points=\"" + coordinates + "\"><title>" + escaped(s.name) +
               "</title></polyline>\n";
        for (const auto& [t, count] : s.errors) {
            const double x = xOf(t), y = top + plotHeight - 6;
            svg += "<path class=\"error\" d=\"M" + at(x - 5) + " " + at(y - 5) + "L" + at(x + 5) +
                   " " + at(y + 5) + "M" + at(x - 5) + " " + at(y + 5) + "L" + at(x + 5) + " " +
                   at(y - 5) + "\"><title>" + escaped(s.name) + ", " + progress::clock(t) + ": " +
                   figure(count, 0) + (count == 1 ? " wrong frame" : " wrong frames") +
                   "</title></path>\n";
        }
        const auto [keyLeft, row] = keys[key++];
        const double keyTop = top + plotHeight + 38 + legendRow * row;
        svg += "<rect class=\"key " + cls + "\" x=\"" + at(keyLeft) + "\" y=\"" + at(keyTop) +
               "\" width=\"10\" height=\"10\"/>\n";
        svg += textAt(keyLeft + 14, keyTop + 9, shortName(s.name, 40), "start", "name");
    }
    return svg + "</svg>\n";
}

constexpr size_t kMostPoints = 2000;  // intervals drawn of one run
constexpr size_t kMostRuns = 50;      // stress runs drawn, the latest

std::string stressSection(const StressLogData& log) {
    std::string html =
        "<section class=\"stress\">\n<h2>Stress log <code>" + escaped(log.source) +
        "</code></h2>\n<p class=\"muted\">" + (log.mode == "cycle" ? "Core cycle" : "Stress run") +
        " from " + escaped(log.utc) + (log.cpuModel.empty() ? "" : " on " + escaped(log.cpuModel)) +
        ", " + std::to_string(log.names.size()) +
        (log.names.size() == 1 ? " processor" : " processors") + ", " +
        std::to_string(log.samples.size()) + " intervals" +
        (log.samples.size() > kMostPoints ? " (about " + std::to_string(kMostPoints) + " drawn)" : "") +
        "; ";
    if (log.ended)
        html += std::to_string(log.frames) + " frames, " +
                (log.errors == 0 ? std::string("every frame right")
                                 : std::to_string(log.errors) + " WRONG") +
                ", status " + std::to_string(log.status) + ".";
    else
        html += "the log has no summary: the run did not end as programs end.";
    html += " Crosses mark wrong frames.</p>\n";
    Palette palette;
    std::vector<Series> rates(log.names.size()), clocks(log.names.size());
    for (size_t i = 0; i < log.names.size(); ++i) rates[i].name = clocks[i].name = log.names[i];
    Series temperature{"hottest sensor", {}, {}};
    // A chart holds at most about kMostPoints intervals (a month's log would
    // be a page of gigabytes): every step-th, the last, and every one with a
    // wrong frame.
    const size_t step = (log.samples.size() + kMostPoints - 1) / kMostPoints;
    for (size_t n = 0; n < log.samples.size(); ++n) {
        const StressLogData::Sample& s = log.samples[n];
        const bool wrong = std::any_of(s.errors.begin(), s.errors.end(), [](uint64_t e) { return e > 0; });
        if (step > 1 && n % step != 0 && n + 1 != log.samples.size() && !wrong) continue;
        for (size_t i = 0; i < log.names.size(); ++i) {
            rates[i].points.push_back({s.seconds, s.framesPerSecond[i]});
            clocks[i].points.push_back({s.seconds, s.clockMHz[i]});
            if (s.errors[i] > 0)
                rates[i].errors.push_back({s.seconds, static_cast<double>(s.errors[i])});
        }
        if (!std::isnan(s.celsius)) temperature.points.push_back({s.seconds, s.celsius});
    }
    html +=
        overTime("stress-rate", "Frames per second, each processor", "frames/s", rates, palette);
    html += overTime("stress-clock", "Clock, each processor", "MHz", clocks, palette);
    html += overTime("stress-temperature", "Temperature",
                     "\xC2\xB0"
                     "C",
                     {temperature}, palette);
    return html + "</section>\n";
}

// Light colours by default and in print, their lighter kin on a dark
// screen; the series are the Okabe-Ito colours, told apart by most forms
// of colour blindness.
constexpr const char* kStyle = R"(<style>
:root { color-scheme: light dark; --bg: #ffffff; --text: #1a1a1a; --muted: #555555;
  --grid: #d8d8d8; --s0: #0072b2; --s1: #d55e00; --s2: #009e73; --s3: #cc79a7;
  --s4: #e69f00; --s5: #56b4e9; --s6: #7f6a00; --s7: #666666; }
@media (prefers-color-scheme: dark) { :root { --bg: #16181c; --text: #e8e8e8;
  --muted: #a8a8a8; --grid: #3a3d44; --s0: #56b4e9; --s1: #f08a4b; --s2: #3fd1a4;
  --s3: #e4a3c8; --s4: #f0c05a; --s5: #9ed3f5; --s6: #e0d060; --s7: #b0b0b0; } }
@media print { :root { color-scheme: light; --bg: #ffffff; --text: #000000; --muted: #444444;
  --grid: #cccccc; --s0: #0072b2; --s1: #d55e00; --s2: #009e73; --s3: #cc79a7;
  --s4: #e69f00; --s5: #56b4e9; --s6: #7f6a00; --s7: #666666; }
  * { print-color-adjust: exact; -webkit-print-color-adjust: exact; } section { break-inside: avoid; } }
body { background: var(--bg); color: var(--text); font: 15px/1.45 system-ui, sans-serif;
  margin: 2em auto; max-width: 880px; padding: 0 1em; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 2em; }
.muted { color: var(--muted); }
svg.chart { display: block; max-width: 100%; height: auto; margin: 1em 0;
  font: 12px system-ui, sans-serif; }
svg text { fill: var(--text); } svg text.tick { fill: var(--muted); }
svg text.heading { font-weight: bold; font-size: 13px; }
svg .grid { stroke: var(--grid); stroke-width: 1; } svg .axis { stroke: var(--muted); }
svg .whisker { stroke: var(--text); stroke-width: 1.5; }
svg .trend { fill: none; stroke-width: 2; }
svg .point { stroke: var(--bg); stroke-width: 1.5; }
svg .error { fill: none; stroke: var(--text); stroke-width: 2.5; }
.s0 { fill: var(--s0); stroke: var(--s0); } .s1 { fill: var(--s1); stroke: var(--s1); }
.s2 { fill: var(--s2); stroke: var(--s2); } .s3 { fill: var(--s3); stroke: var(--s3); }
.s4 { fill: var(--s4); stroke: var(--s4); } .s5 { fill: var(--s5); stroke: var(--s5); }
.s6 { fill: var(--s6); stroke: var(--s6); } .s7 { fill: var(--s7); stroke: var(--s7); }
rect.bar, rect.bin, rect.key { stroke: none; } polyline.trend { fill: none; }
svg .point.s0, svg .point.s1, svg .point.s2, svg .point.s3, svg .point.s4, svg .point.s5,
svg .point.s6, svg .point.s7 { stroke: var(--bg); }
table { border-collapse: collapse; font-size: 13px; width: 100%; }
th, td { border-bottom: 1px solid var(--grid); padding: 3px 6px; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.t { white-space: nowrap; }
</style>
)";

}  // namespace

std::string resultsHtml(const ResultSet& results, const std::vector<std::string>& sources,
                        const std::vector<StressLogData>& logs) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Lumek results</title>\n"
        // An empty icon of its own: a browser asks no server for one.
        "<link rel=\"icon\" href=\"data:,\">\n";
    html += kStyle;
    html += "</head>\n<body>\n<h1>Lumek results</h1>\n<p class=\"muted\">From ";
    for (size_t i = 0; i < sources.size(); ++i)
        html += (i ? ", " : "") + std::string("<code>") + escaped(sources[i]) + "</code>";
    size_t runs = 0;
    for (const ResultGroup& group : results.groups) runs += group.runs.size();
    // What the files held: benchmark runs, stress runs or both.
    std::vector<std::string> held;
    if (runs > 0 || results.wrongLeftOut > 0 || logs.empty())
        held.push_back(std::to_string(runs) + (runs == 1 ? " benchmark run" : " benchmark runs"));
    if (results.wrongLeftOut > 0)
        held.back() += " (" + std::to_string(results.wrongLeftOut) +
                       (results.wrongLeftOut == 1 ? " more found wrong frames and has no scores)"
                                                  : " more found wrong frames and have no scores)");
    if (!logs.empty())
        held.push_back(std::to_string(logs.size()) + (logs.size() == 1 ? " stress run" : " stress runs"));
    html += ": " + held.front() + (held.size() > 1 ? " and " + held.back() : "") + ".";
    if (runs > 0)
        html +=
            " Scores in Tq7-Marks, higher is better; a bar's whisker is its run's spread. "
            "Runs of different workloads or benchmark versions measured different things "
            "and are shown apart.";
    html += "</p>\n";
    if (results.groups.empty() && logs.empty()) html += "<p>No benchmark results.</p>\n";
    Palette palette;
    for (const ResultGroup& group : results.groups) {
        html += "<section class=\"group\">\n<h2>Workload <code>" + escaped(group.workloadId) +
                "</code>, benchmark version " + std::to_string(group.benchmarkVersion) + "</h2>\n";
        const std::vector<const PastResult*> latest = latestOfEach(group);
        html += barChart(latest, false, palette);
        html += barChart(latest, true, palette);
        html += timeChart(group, palette);
        const PastResult* newest = &group.runs.front();
        for (const PastResult& run : group.runs)
            if (run.utc > newest->utc) newest = &run;
        html += histogram(*newest, palette);
        html += table(group);
        html += "</section>\n";
    }
    const size_t first = logs.size() > kMostRuns ? logs.size() - kMostRuns : 0;
    if (first > 0)
        html += "<p class=\"muted\">The latest " + std::to_string(kMostRuns) + " of " +
                std::to_string(logs.size()) + " stress runs are drawn.</p>\n";
    for (size_t i = first; i < logs.size(); ++i) html += stressSection(logs[i]);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace lumek

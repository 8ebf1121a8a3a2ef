#include "bench/report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

namespace lumek {

namespace {

// Removes trailing zeros after a decimal point, and the point itself when
// nothing follows it.
void trimFraction(std::string& digits) {
    if (digits.find('.') == std::string::npos) return;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
}

// An invalid division (infinity by infinity) gives x86's default NaN,
// whose sign bit is set, on every processor: ARM's default NaN has it
// clear. Fed through volatile so the compiler cannot fold it either.
double divide(double a, double b) {
    volatile double num = a, den = b;
    const double q = num / den;
    if (std::isnan(q) && !std::isnan(a) && !std::isnan(b))
        return -std::numeric_limits<double>::quiet_NaN();
    return q;
}

}  // namespace

std::string formatGeneral(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-NaN" : "NaN";
    if (std::isinf(value)) return std::signbit(value) ? "-Infinity" : "Infinity";

    // The decimal exponent after rounding to 6 significant digits decides
    // between plain and exponent notation, as %g does; formatting it by hand
    // keeps the output the same on every C runtime.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5e", value);
    const char* e = std::strchr(buf, 'e');
    const int exponent = e ? std::atoi(e + 1) : 0;
    if (exponent >= -4 && exponent < 6) {
        std::snprintf(buf, sizeof buf, "%.*f", 5 - exponent, value);
        std::string digits = buf;
        trimFraction(digits);
        return digits;
    }
    std::string mantissa(buf, static_cast<size_t>(e - buf));
    trimFraction(mantissa);
    char exp[16];
    std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return mantissa + exp;
}

LocalTime currentLocalTime() {
    const std::time_t now = std::time(nullptr);
    LocalTime when;
    if (const std::tm* tm = std::localtime(&now)) {
        when.day = tm->tm_mday;
        when.month = tm->tm_mon + 1;
        when.year = tm->tm_year + 1900;
        when.hour = tm->tm_hour;
        when.minute = tm->tm_min;
    }
    return when;
}

EntryRatings entryRatings(uint32_t renderMs, uint32_t cpuMs) {
    EntryRatings r;
    r.renderRating = static_cast<float>(divide(33908.0, renderMs));
    r.cpuRating = static_cast<float>(divide(3533.0, cpuMs));
    r.fps = divide(32000.0, renderMs);
    r.coefficient = divide(r.renderRating, r.cpuRating);
    return r;
}

std::string formatBenchReport(uint32_t renderMs, uint32_t cpuMs, const LocalTime& when,
                              const char* newline) {
    const auto [renderRating, cpuRating, fps, coefficient] = entryRatings(renderMs, cpuMs);

    const std::string nl = newline;
    std::string entry;
    entry += "Datum: " + std::to_string(when.day) + "." + std::to_string(when.month) + "." +
             std::to_string(when.year) + "   Uhrzeit: " + std::to_string(when.hour) + ":" +
             std::to_string(when.minute) + nl;
    entry += "Render Dauer: " + std::to_string(renderMs) +
             " ms   Rating: " + formatGeneral(renderRating) + " Tq7-Marks (=" + formatGeneral(fps) +
             " fps)" + nl;
    entry += "CPUBench Dauer: " + std::to_string(cpuMs) +
             " ms   Rating: " + formatGeneral(cpuRating) + " Tq7-Marks" + nl;
    entry += "Ratingkoeffizient: " + formatGeneral(coefficient) + nl;
    entry += nl;
    return entry;
}

}  // namespace lumek

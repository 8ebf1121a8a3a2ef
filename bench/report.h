// The benchmark's report: a five-line, German-labelled entry appended to
// "bench.txt".
#pragma once

#include <cstdint>
#include <string>

namespace lumek {

struct LocalTime {
    int day = 1;    // 1..31
    int month = 1;  // 1..12
    int year = 1970;
    int hour = 0;
    int minute = 0;
};

// The local calendar time now, from time and localtime.
LocalTime currentLocalTime();

// The entry's derived figures: the ratings (single precision), the frame
// rate and the ratings' ratio.
struct EntryRatings {
    float renderRating = 0;
    float cpuRating = 0;
    double fps = 0;
    double coefficient = 0;
};
EntryRatings entryRatings(uint32_t renderMs, uint32_t cpuMs);

// A value in general notation with 6 significant digits, trailing zeros
// removed; "Infinity" and "NaN", with "-" when the sign bit is set.
std::string formatGeneral(double value);

#ifdef _WIN32
inline constexpr const char* kTextNewline = "\r\n";
#else
inline constexpr const char* kTextNewline = "\n";
#endif

// The whole entry with the given line break (the file gets the platform's
// text line ending).
std::string formatBenchReport(uint32_t renderMs, uint32_t cpuMs, const LocalTime& when,
                              const char* newline = kTextNewline);

}  // namespace lumek

// How the long-running modes (-stress, -cycle, -record) show where they
// are: one clock format and one progress line, redrawn in place on a
// terminal and written as whole lines elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#ifndef LUMEK_NO_THREADS
#include <mutex>
#endif

namespace lumek::progress {

// Whole seconds passed, as a stopwatch shows them: "0:59" for 59.9 s,
// "12:05", and "1:02:03" from an hour on.
std::string clock(double seconds);

// The time still to go of a run of `length` seconds after `elapsed`, so
// that it and clock(elapsed) add up to the length: 60 s after 10.4 s is
// "0:50".
std::string clockLeft(double elapsed, double length);

// A number with `decimals` places: fixed(2.915, 2) is "2.92".
std::string fixed(double value, int decimals);

// A count with its noun: plural(1, "round", "rounds") is "1 round".
std::string plural(uint64_t n, const std::string& one, const std::string& many);

// Frames per second (or any rate) with `decimals` places; 0 for no time.
std::string rate(double count, double seconds, int decimals);

// The progress line of a mode. Its calls may come from several threads.
class Line {
  public:
    // `columns`: the terminal's width, 0 when not known.
    Line(std::ostream* out, bool terminal, int columns = 0)
        : out_(out), terminal_(terminal), columns_(columns) {}

    bool terminal() const { return terminal_; }

    // Reads the terminal's width before every redraw, so that a terminal
    // made narrower gets lines that fit it; nothing keeps the first width.
    void measureWith(std::function<int()> columns) { measure_ = std::move(columns); }

    // On a terminal the text (one line) replaces the one shown before, cut
    // to the terminal's width (a line that wrapped could not be redrawn);
    // elsewhere it is written as it is, with a line end.
    void show(const std::string& text);
    // Writes a message (whole lines) to `to`, which may be the same
    // terminal: a redrawn line is cleared first and drawn again after it,
    // so the two never share a line.
    void message(std::ostream* to, const std::string& text);
    // Ends a line redrawn on a terminal, before other output follows.
    void finish();

  private:
    size_t widest();  // the characters a redrawn line may have
    void draw(const std::string& text);

    std::ostream* out_;
    bool terminal_;
    int columns_;
    std::function<int()> measure_;
#ifndef LUMEK_NO_THREADS
    std::mutex mutex_;
    using Hold = std::lock_guard<std::mutex>;
#else
    // One thread only (the web page's module).
    struct Unlocked {};
    struct Hold {
        explicit Hold(Unlocked&) {}
    };
    Unlocked mutex_;
#endif
    std::string shown_;  // the redrawn line's text
    size_t drawn_ = 0;   // the characters of the redrawn line
};

}  // namespace lumek::progress

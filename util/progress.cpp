#include "util/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace lumek::progress {

std::string clock(double seconds) {
    const long long s = seconds > 0 ? static_cast<long long>(seconds) : 0;
    char text[40];
    if (s < 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string clockLeft(double elapsed, double length) {
    return clock(length - std::floor(elapsed > 0 ? elapsed : 0));
}

std::string fixed(double value, int decimals) {
    // As long as the number is: a huge figure is never cut.
    std::string text(size_t(std::snprintf(nullptr, 0, "%.*f", decimals, value)) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    text.pop_back();
    return text;
}

std::string plural(uint64_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string rate(double count, double seconds, int decimals) {
    return fixed(seconds > 0 ? count / seconds : 0.0, decimals);
}

size_t Line::widest() {
    if (measure_) {
        const int now = measure_();
        if (now > 0) columns_ = now;
    }
    // The last column stays free, where some terminals wrap at once.
    return columns_ > 1 ? static_cast<size_t>(columns_ - 1) : SIZE_MAX;
}

void Line::draw(const std::string& text) {
    // Characters, not bytes: UTF-8's continuation bytes do not count.
    const size_t most = widest();
    size_t characters = 0, bytes = 0;
    for (; bytes < text.size(); ++bytes) {
        if ((static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) continue;
        if (characters == most) break;
        ++characters;
    }
    *out_ << "\r" << text.substr(0, bytes);
    // Blanks over the rest of a longer line before, but never past the
    // width: on a terminal made narrower they would wrap themselves.
    const size_t cover = std::min(drawn_, most);
    if (characters < cover) *out_ << std::string(cover - characters, ' ');
    drawn_ = characters;
}

void Line::show(const std::string& text) {
    if (out_ == nullptr) return;
    Hold lock(mutex_);
    if (terminal_) {
        shown_ = text;
        draw(text);
    } else {
        *out_ << text << "\n";
    }
    *out_ << std::flush;
}

void Line::message(std::ostream* to, const std::string& text) {
    Hold lock(mutex_);
    const bool drawn = out_ != nullptr && terminal_ && drawn_ > 0;
    if (drawn) {
        *out_ << "\r" << std::string(std::min(drawn_, widest()), ' ') << "\r" << std::flush;
        drawn_ = 0;
    }
    if (to != nullptr) *to << text << std::flush;
    if (drawn) {
        draw(shown_);
        *out_ << std::flush;
    }
}

void Line::finish() {
    Hold lock(mutex_);
    if (out_ == nullptr || drawn_ == 0) return;
    *out_ << "\n" << std::flush;
    drawn_ = 0;
}

}  // namespace lumek::progress

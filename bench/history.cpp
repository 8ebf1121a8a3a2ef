#include "bench/history.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "bench/verify.h"
#include "os/files.h"
#include "util/printable.h"

namespace lumek {

namespace {

// The same work on the same machine, measured alike and by the same
// measure (benchmark version): a run with wrong frames has no valid
// figures, and an all-threads figure on fewer threads (some could not be
// started) measured something else.
bool comparable(const PastResult& past, const BenchResult& now) {
    return past.benchmarkVersion == kBenchmarkVersion &&
           past.workloadId == hashHex(now.workloadId) &&
           past.cpuModel == now.machine.processor.model &&
           past.logicalUsable == now.machine.logicalUsable && past.rowShader == now.rowShader &&
           past.wrongFrames == 0 && past.allThreads == now.allThreads.threads;
}

std::string percent(double value, bool sign) {
    const char* format = sign ? "%+.1f %%" : "%.1f %%";
    std::string text(size_t(std::snprintf(nullptr, 0, format, value)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value);
    text.pop_back();
    return text;
}

// Text from the file as the terminal may show it: backslashes doubled, so
// that an escape in the text cannot pass for one of ours, then control
// characters written as escapes.
std::string printableRecordText(const std::string& text) {
    std::string doubled;
    for (const char c : text) {
        if (c == '\\') doubled += '\\';
        doubled += c;
    }
    return printable(doubled);
}

// One rating's change and whether it exceeds the runs' spreads together.
std::string change(const char* label, double before, double after, double spreadBefore,
                   double spreadAfter) {
    const double changed = (after - before) / before * 100;
    const double spread = (std::isfinite(spreadBefore) ? spreadBefore : 0) + spreadAfter;
    return std::string(label) + " " + percent(changed, true) +
           (std::fabs(changed) > spread * 100 ? ", more than" : ", within") +
           " the two runs' spread (" + percent(spread * 100, false) + ")";
}

}  // namespace

History readRecords(const std::string& path) {
    // A result of no machine (no usable processor) is comparable with none.
    return readHistory(path, BenchResult{});
}

History readHistory(const std::string& path, const BenchResult& now) {
    History history;
    os::FileReader file;
    if (!file.open(path, history.unreadable)) {
        history.refused = !os::notRegularFile(path).empty();
        if (file.missing()) history.unreadable.clear();
        // Not known how the file ends: a line end before the next record
        // costs at most an empty line.
        history.unterminated = !file.missing();
        return history;
    }
    // From the last byte itself, not from how far reading got; when it
    // cannot be told, a line end before the next record costs at most an
    // empty line.
    const std::optional<char> last = file.lastByte();
    history.unterminated = last.has_value() && *last != '\n';
    bool anyByte = false;

    size_t number = 0;
    std::string line;
    bool tooLong = false;
    const auto endOfLine = [&] {
        ++number;
        if (tooLong) {
            history.skippedLines.push_back(number);
            tooLong = false;
            line.clear();
            return;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return;
        PastResult past;
        if (!readPastResult(line, past)) {
            history.skippedLines.push_back(number);
        } else {
            history.records.push_back(past);
            if (comparable(past, now)) history.lastComparable = past;
        }
        line.clear();
    };
    try {
        std::string buffer(65536, '\0');
        for (;;) {
            const long got = file.read(buffer.data(), buffer.size());
            if (got < 0) {
                history.unreadable = std::strerror(errno);
                break;
            }
            if (got == 0) break;
            anyByte = true;
            for (size_t start = 0; start < size_t(got);) {
                const char* begin = buffer.data() + start;
                const void* found = std::memchr(begin, '\n', size_t(got) - start);
                const size_t piece = found != nullptr
                                         ? size_t(static_cast<const char*>(found) - begin)
                                         : size_t(got) - start;
                if (!tooLong && line.size() + piece > kLongestRecordLine) {
                    tooLong = true;  // longer than any record: counted, not kept
                    line.clear();
                    line.shrink_to_fit();
                }
                if (!tooLong) line.append(begin, piece);
                start += piece;
                if (found != nullptr) {
                    endOfLine();
                    ++start;
                }
            }
        }
        if (!line.empty() || tooLong) endOfLine();  // the last line, without its line end
    } catch (const std::bad_alloc&) {
        // Said, never taken for the file's end: what was read counts.
        history.unreadable = "not enough memory";
    }
    if (!last && anyByte) history.unterminated = true;
    return history;
}

std::string comparisonLine(const PastResult& before, const BenchResult& now) {
    const double one = kReferenceRenderMs / now.oneThread.msPerRound;
    const double all = kReferenceRenderMs / now.allThreads.msPerRound;
    return "Compared with the run of " + printableRecordText(before.utc) + ": " +
           change("one thread", before.oneThreadRating, one, before.oneThreadSpread,
                  now.oneThread.spread) +
           "; " +
           change("all threads", before.allThreadsRating, all, before.allThreadsSpread,
                  now.allThreads.spread) +
           ".";
}

std::string skippedLinesNote(const std::string& path, const std::vector<size_t>& lines) {
    std::string numbers;
    for (size_t i = 0; i < lines.size() && i < 5; ++i)
        numbers += (i ? ", " : "") + std::to_string(lines[i]);
    if (lines.size() > 5) numbers += ", ...";
    return "lumek: " + path + ": skipped " + std::to_string(lines.size()) +
           (lines.size() == 1 ? " line that is not a result" : " lines that are not results") +
           " this program reads (" + numbers + ")";
}

}  // namespace lumek

#include "shots/deflate.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumek {

namespace {

constexpr int kWindow = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 64;     // candidates tried per position
constexpr int kGoodEnough = 258;  // a match this long ends the search
constexpr int kLazyLimit = 8;     // longer matches are taken without looking one further
constexpr size_t kBlockSymbols = 16384;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t bits, int count) {
        buffer_ |= static_cast<uint64_t>(bits) << used_;
        used_ += count;
        while (used_ >= 8) {
            out_.push_back(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            used_ -= 8;
        }
    }
    void flush() {
        if (used_ > 0) out_.push_back(static_cast<uint8_t>(buffer_));
        buffer_ = 0;
        used_ = 0;
    }

  private:
    std::vector<uint8_t>& out_;
    uint64_t buffer_ = 0;
    int used_ = 0;
};

// Code lengths of at most `limit` bits for the given frequencies (zero for
// unused symbols). Ties are broken by symbol number, so the result does not
// depend on the standard library's heap.
std::vector<uint8_t> codeLengths(const std::vector<uint32_t>& freq, int limit) {
    const size_t n = freq.size();
    std::vector<uint8_t> lengths(n, 0);
    std::vector<uint32_t> f = freq;
    for (;;) {
        struct Node {
            uint64_t weight;
            int left, right;  // -1 for a leaf
            int symbol;
        };
        std::vector<Node> nodes;
        std::vector<int> live;
        for (size_t s = 0; s < n; ++s)
            if (f[s] != 0) {
                nodes.push_back({f[s], -1, -1, static_cast<int>(s)});
                live.push_back(static_cast<int>(nodes.size()) - 1);
            }
        if (live.empty()) return lengths;
        if (live.size() == 1) {
            lengths[static_cast<size_t>(nodes[0].symbol)] = 1;
            return lengths;
        }
        // Lightest first; equal weights in order of creation.
        auto heavier = [&nodes](int a, int b) {
            return nodes[a].weight != nodes[b].weight ? nodes[a].weight > nodes[b].weight : a > b;
        };
        std::make_heap(live.begin(), live.end(), heavier);
        while (live.size() > 1) {
            std::pop_heap(live.begin(), live.end(), heavier);
            const int a = live.back();
            live.pop_back();
            std::pop_heap(live.begin(), live.end(), heavier);
            const int b = live.back();
            live.pop_back();
            nodes.push_back({nodes[a].weight + nodes[b].weight, a, b, -1});
            live.push_back(static_cast<int>(nodes.size()) - 1);
            std::push_heap(live.begin(), live.end(), heavier);
        }
        // Depths, from the root down.
        std::vector<int> depth(nodes.size(), 0);
        int deepest = 0;
        for (int i = static_cast<int>(nodes.size()) - 1; i >= 0; --i) {
            const Node& node = nodes[static_cast<size_t>(i)];
            if (node.left < 0) {
                lengths[static_cast<size_t>(node.symbol)] = static_cast<uint8_t>(depth[i]);
                deepest = std::max(deepest, depth[i]);
            } else {
                depth[node.left] = depth[node.right] = depth[i] + 1;
            }
        }
        if (deepest <= limit) return lengths;
        // Too deep: flatten the frequencies and build again.
        for (uint32_t& v : f)
            if (v != 0) v = (v + 1) / 2;
    }
}

// Canonical codes for lengths, bit-reversed for writing least significant
// bit first.
std::vector<uint16_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
    std::array<uint16_t, 16> count{}, next{};
    for (uint8_t l : lengths) ++count[l];
    count[0] = 0;
    uint16_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = static_cast<uint16_t>((code + count[bits - 1]) << 1);
        next[bits] = code;
    }
    std::vector<uint16_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); ++s) {
        const int l = lengths[s];
        if (l == 0) continue;
        uint16_t c = next[l]++, reversed = 0;
        for (int i = 0; i < l; ++i)
            reversed = static_cast<uint16_t>((reversed << 1) | ((c >> i) & 1));
        codes[s] = reversed;
    }
    return codes;
}

struct Symbol {
    uint16_t litlen;  // literal byte, or a match length (3..258) when dist != 0
    uint16_t dist;
};

int lengthCode(int length) {
    int c = 0;
    while (c < 28 && kLengthBase[c + 1] <= length) ++c;
    return c;
}

int distCode(int dist) {
    int c = 0;
    while (c < 29 && kDistBase[c + 1] <= dist) ++c;
    return c;
}

// Precomputed codes for every length and the first 512 distances.
struct CodeTables {
    std::array<uint8_t, kMaxMatch + 1> length{};
    std::array<uint8_t, 512> smallDist{};
    CodeTables() {
        for (int l = kMinMatch; l <= kMaxMatch; ++l)
            length[static_cast<size_t>(l)] = static_cast<uint8_t>(lengthCode(l));
        for (int d = 1; d < 512; ++d)
            smallDist[static_cast<size_t>(d)] = static_cast<uint8_t>(distCode(d));
    }
    int dist(int d) const {
        if (d < 512) return smallDist[static_cast<size_t>(d)];
        return distCode(d);
    }
};

const CodeTables& tables() {
    static const CodeTables t;
    return t;
}

void writeBlock(BitWriter& bits, const std::vector<Symbol>& symbols, bool last) {
    const CodeTables& t = tables();
    std::vector<uint32_t> litFreq(286, 0), distFreq(30, 0);
    for (const Symbol& s : symbols) {
        if (s.dist == 0) {
            ++litFreq[s.litlen];
        } else {
            ++litFreq[257u + t.length[s.litlen]];
            ++distFreq[static_cast<size_t>(t.dist(s.dist))];
        }
    }
    litFreq[256] = 1;
    // Some decoders want two distance codes even when none is used.
    int usedDist = 0;
    for (uint32_t f : distFreq) usedDist += f != 0;
    if (usedDist < 2) {
        if (distFreq[0] == 0)
            distFreq[0] = 1;
        else
            distFreq[1] = 1;
    }

    const std::vector<uint8_t> litLen = codeLengths(litFreq, 15);
    const std::vector<uint8_t> distLen = codeLengths(distFreq, 15);
    int hlit = 286, hdist = 30;
    while (hlit > 257 && litLen[static_cast<size_t>(hlit) - 1] == 0) --hlit;
    while (hdist > 1 && distLen[static_cast<size_t>(hdist) - 1] == 0) --hdist;

    // The code lengths, run-length coded with 16 (repeat the previous 3-6
    // times), 17 (3-10 zeros) and 18 (11-138 zeros).
    std::vector<uint8_t> all(litLen.begin(), litLen.begin() + hlit);
    all.insert(all.end(), distLen.begin(), distLen.begin() + hdist);
    struct Run {
        uint8_t symbol, extra;
    };
    std::vector<Run> runs;
    for (size_t i = 0; i < all.size();) {
        const uint8_t v = all[i];
        size_t j = i + 1;
        while (j < all.size() && all[j] == v) ++j;
        size_t n = j - i;
        if (v == 0) {
            while (n >= 11) {
                const size_t k = std::min<size_t>(n, 138);
                runs.push_back({18, static_cast<uint8_t>(k - 11)});
                n -= k;
            }
            if (n >= 3) {
                runs.push_back({17, static_cast<uint8_t>(n - 3)});
                n = 0;
            }
            while (n-- > 0) runs.push_back({0, 0});
        } else {
            runs.push_back({v, 0});
            --n;
            while (n >= 3) {
                const size_t k = std::min<size_t>(n, 6);
                runs.push_back({16, static_cast<uint8_t>(k - 3)});
                n -= k;
            }
            while (n-- > 0) runs.push_back({v, 0});
        }
        i = j;
    }
    std::vector<uint32_t> clFreq(19, 0);
    for (const Run& r : runs) ++clFreq[r.symbol];
    const std::vector<uint8_t> clLen = codeLengths(clFreq, 7);
    const std::vector<uint16_t> clCode = canonicalCodes(clLen);
    int hclen = 19;
    while (hclen > 4 && clLen[kCodeLengthOrder[hclen - 1]] == 0) --hclen;

    bits.put(last ? 1 : 0, 1);
    bits.put(2, 2);  // dynamic Huffman codes
    bits.put(static_cast<uint32_t>(hlit - 257), 5);
    bits.put(static_cast<uint32_t>(hdist - 1), 5);
    bits.put(static_cast<uint32_t>(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i) bits.put(clLen[kCodeLengthOrder[i]], 3);
    for (const Run& r : runs) {
        bits.put(clCode[r.symbol], clLen[r.symbol]);
        if (r.symbol == 16) bits.put(r.extra, 2);
        if (r.symbol == 17) bits.put(r.extra, 3);
        if (r.symbol == 18) bits.put(r.extra, 7);
    }

    const std::vector<uint16_t> litCode = canonicalCodes(litLen);
    const std::vector<uint16_t> distCode = canonicalCodes(distLen);
    for (const Symbol& s : symbols) {
        if (s.dist == 0) {
            bits.put(litCode[s.litlen], litLen[s.litlen]);
            continue;
        }
        const int lc = t.length[s.litlen];
        bits.put(litCode[257u + static_cast<size_t>(lc)], litLen[257u + static_cast<size_t>(lc)]);
        if (kLengthExtra[lc])
            bits.put(static_cast<uint32_t>(s.litlen - kLengthBase[lc]), kLengthExtra[lc]);
        const int dc = t.dist(s.dist);
        bits.put(distCode[static_cast<size_t>(dc)], distLen[static_cast<size_t>(dc)]);
        if (kDistExtra[dc]) bits.put(static_cast<uint32_t>(s.dist - kDistBase[dc]), kDistExtra[dc]);
    }
    bits.put(litCode[256], litLen[256]);
}

uint32_t adler32(const uint8_t* data, size_t size) {
    uint32_t a = 1, b = 0;
    while (size > 0) {
        const size_t chunk = std::min<size_t>(size, 5552);  // no overflow before the modulo
        for (size_t i = 0; i < chunk; ++i) {
            a += data[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data += chunk;
        size -= chunk;
    }
    return (b << 16) | a;
}

// The LZ77 matcher: hash chains over the last 32 KiB.
class Matcher {
  public:
    Matcher(const uint8_t* data, size_t size)
        : data_(data), size_(size), head_(1u << kHashBits, -1), prev_(kWindow, -1) {}

    void insert(size_t pos) {
        if (pos + kMinMatch > size_) return;
        const uint32_t h = hash(pos);
        prev_[pos & (kWindow - 1)] = head_[h];
        head_[h] = static_cast<int32_t>(pos);
    }

    // The longest earlier match at `pos` (length 0 when none of 3 or more).
    int longest(size_t pos, int& dist) const {
        if (pos + kMinMatch > size_) return 0;
        const int maxLen = static_cast<int>(std::min<size_t>(kMaxMatch, size_ - pos));
        int best = kMinMatch - 1;
        int32_t candidate = head_[hash(pos)];
        for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
            const size_t c = static_cast<size_t>(candidate);
            if (pos - c > kWindow - 1 || c >= pos) break;
            if (data_[c + static_cast<size_t>(best)] == data_[pos + static_cast<size_t>(best)]) {
                const int len = matchLength(data_ + c, data_ + pos, maxLen);
                if (len > best) {
                    best = len;
                    dist = static_cast<int>(pos - c);
                    if (len >= kGoodEnough || len == maxLen) break;
                }
            }
            candidate = prev_[c & (kWindow - 1)];
        }
        return best >= kMinMatch ? best : 0;
    }

  private:
    // Equal bytes at a and b, up to maxLen, eight at a time.
    static int matchLength(const uint8_t* a, const uint8_t* b, int maxLen) {
        int len = 0;
        while (len + 8 <= maxLen) {
            uint64_t x, y;
            std::memcpy(&x, a + len, 8);
            std::memcpy(&y, b + len, 8);
            if (x != y) {
                const uint64_t diff = x ^ y;
                // The first differing byte in memory order.
                if (littleEndian()) return len + __builtin_ctzll(diff) / 8;
                while (a[len] == b[len]) ++len;
                return len;
            }
            len += 8;
        }
        while (len < maxLen && a[len] == b[len]) ++len;
        return len;
    }
    static bool littleEndian() {
        const uint16_t one = 1;
        uint8_t first;
        std::memcpy(&first, &one, 1);
        return first == 1;
    }

    uint32_t hash(size_t pos) const {
        const uint32_t v = static_cast<uint32_t>(data_[pos]) |
                           static_cast<uint32_t>(data_[pos + 1]) << 8 |
                           static_cast<uint32_t>(data_[pos + 2]) << 16;
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    const uint8_t* data_;
    size_t size_;
    std::vector<int32_t> head_;
    std::vector<int32_t> prev_;
};

}  // namespace

std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size / 2 + 64);
    out.push_back(0x78);  // deflate, 32 KiB window
    out.push_back(0x9c);  // default level; the header check makes 0x789c a multiple of 31
    BitWriter bits(out);

    Matcher matcher(data, size);
    std::vector<Symbol> symbols;
    symbols.reserve(kBlockSymbols + 2);
    auto emit = [&](Symbol s) {
        symbols.push_back(s);
        if (symbols.size() >= kBlockSymbols) {
            writeBlock(bits, symbols, false);
            symbols.clear();
        }
    };

    size_t pos = 0;
    int dist = 0;
    int len = 0;
    bool haveMatch = false;  // len and dist hold the match at pos
    while (pos < size) {
        if (!haveMatch) len = matcher.longest(pos, dist);
        haveMatch = false;
        matcher.insert(pos);
        if (len == 0) {
            emit({data[pos], 0});
            ++pos;
            continue;
        }
        // Lazy matching: a longer match one byte on is worth a literal.
        if (len < kLazyLimit && pos + 1 < size) {
            int nextDist = 0;
            const int next = matcher.longest(pos + 1, nextDist);
            if (next > len) {
                emit({data[pos], 0});
                ++pos;
                len = next;
                dist = nextDist;
                haveMatch = true;
                continue;
            }
        }
        emit({static_cast<uint16_t>(len), static_cast<uint16_t>(dist)});
        for (int i = 1; i < len; ++i) matcher.insert(pos + static_cast<size_t>(i));
        pos += static_cast<size_t>(len);
    }
    writeBlock(bits, symbols, true);
    bits.flush();

    const uint32_t check = adler32(data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(check >> shift));
    return out;
}

}  // namespace lumek

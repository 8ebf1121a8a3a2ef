#include "fuzz/differential.h"

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "render/renderer.h"
#include "render/targets.h"

namespace lumek::fuzz {

namespace {

// Reads the input front to back; past its end every read gives zeros.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
        return v;
    }
    float anyFloat() {
        const uint32_t bits = word();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    // Mostly ordinary values, sometimes any bit pattern at all.
    float coordinate() {
        const uint8_t how = byte();
        if (how < 200) return static_cast<float>(static_cast<int16_t>(word() & 0xffff)) / 8192.0f;
        return anyFloat();
    }
    int32_t colour() {
        const uint8_t how = byte();
        if (how < 200) return byte();
        return static_cast<int32_t>(word());
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Case {
    std::vector<std::unique_ptr<Shape>> owned;
    ShapeList shapes;
    int width = 8, height = 8;
    float aspect = 1.0f;
    Vec2 centre, axisX, axisY;
    float viewHeight = 1.0f;
    uint32_t state = 1;
};

Case decode(const uint8_t* data, size_t size) {
    Reader in(data, size);
    Case c;
    const uint8_t layout = in.byte();
    // Small images, so that many cases run: widths of up to 128 pixels use
    // 8-pixel tiles, now and then 144 or 160 pixels 16-pixel ones.
    if ((layout & 0xe0) == 0xe0) {
        c.width = 16 * (9 + (layout & 1));
        c.height = 16 * (1 + ((layout >> 1) & 1));
    } else {
        c.width = 8 * (1 + (layout & 3));
        c.height = 8 * (1 + ((layout >> 2) & 3));
    }
    const uint8_t aspectChoice = in.byte();
    c.aspect = aspectChoice < 100 ? 1.0f : aspectChoice < 200 ? 1.333f : in.anyFloat();
    c.centre = {in.coordinate(), in.coordinate()};
    c.axisX = {in.coordinate(), in.coordinate()};
    c.axisY = {in.coordinate(), in.coordinate()};
    c.viewHeight = in.coordinate();
    c.state = in.word();
    const int count = in.byte() % 9;
    for (int i = 0; i < count; ++i) {
        const bool disc = in.byte() & 1;
        const float a = in.coordinate(), b = in.coordinate(), p = in.coordinate(),
                    q = in.coordinate();
        const int32_t red = in.colour(), green = in.colour(), blue = in.colour();
        const float falloff = in.coordinate();
        std::unique_ptr<Shape> shape;
        if (disc) {
            auto s = std::make_unique<CircleShape>();
            s->setCircle(p, a, b);
            shape = std::move(s);
        } else {
            auto s = std::make_unique<SegmentShape>();
            s->setStart(a, b);
            s->setEnd(p, q);
            shape = std::move(s);
        }
        shape->setColor(red, green, blue);
        shape->setFalloff(falloff);
        c.shapes.pushBack(shape.get());
        c.owned.push_back(std::move(shape));
    }
    // Now and then a crowd: hundreds to thousands of shapes drawn from a
    // generator the input seeds, around the view, many of them copies of
    // one another (hits at the same distance).
    const uint8_t crowd = in.byte();
    if (crowd >= 192) {
        std::mt19937 gen(in.word());
        const float spread = 0.05f + static_cast<float>(in.byte()) / 16.0f;
        const int extra = 100 + static_cast<int>(in.word() % 1900);
        std::uniform_real_distribution<float> pos(-spread, spread), unit(0.0f, 1.0f);
        std::uniform_int_distribution<int> channel(0, 255);
        const float cx = c.centre.x, cy = c.centre.y;
        for (int i = 0; i < extra; ++i) {
            std::unique_ptr<Shape> shape;
            const float x = cx + pos(gen), y = cy + pos(gen), size = spread * 0.1f * unit(gen);
            if (i > 0 && unit(gen) < 0.1f) {
                // A copy of an earlier shape, in another colour.
                const Shape& other = *c.shapes[gen() % c.shapes.size()];
                if (other.kind() == ShapeKind::Circle) {
                    auto s = std::make_unique<CircleShape>(static_cast<const CircleShape&>(other));
                    shape = std::move(s);
                } else {
                    auto s =
                        std::make_unique<SegmentShape>(static_cast<const SegmentShape&>(other));
                    shape = std::move(s);
                }
            } else if (unit(gen) < 0.3f) {
                auto s = std::make_unique<CircleShape>();
                s->setCircle(size, x, y);
                shape = std::move(s);
            } else {
                auto s = std::make_unique<SegmentShape>();
                s->setStart(x, y);
                s->setEnd(x + size * (unit(gen) - 0.5f) * 4, y + size * (unit(gen) - 0.5f) * 4);
                shape = std::move(s);
            }
            shape->setColor(channel(gen), channel(gen), channel(gen));
            shape->setFalloff(unit(gen) * 4);
            c.shapes.pushBack(shape.get());
            c.owned.push_back(std::move(shape));
        }
    }
    return c;
}

bool sameBits(const Vec2& a, const Vec2& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

bool renderersAgree(const uint8_t* data, size_t size, std::string& why) {
    const Case c = decode(data, size);

    FrameImage expected(c.width, c.height, c.aspect);
    RandomStream refRandom;
    refRandom.setState(c.state);
    RayRenderer reference(&expected, refRandom, 1);
    Vec2 rc = c.centre, rx = c.axisX, ry = c.axisY;
    reference.renderReference(c.shapes, rc, rx, ry, c.viewHeight);

    // Each row shader on one thread and three, through the per-tile lists
    // (up to their size) and through the cells.
    for (const fast::RowShaderTarget& t : fast::supportedRowShaders())
        for (int run = 0; run < 4; ++run) {
            const int threads = run % 2 ? 3 : 1;
            const bool cells = run >= 2;
            FrameImage image(c.width, c.height, c.aspect);
            RandomStream random;
            random.setState(c.state);
            RayRenderer renderer(&image, random, threads);
            renderer.useRowShader(t.shade);
            renderer.useGridAbove(cells ? 0 : fast::kMostListedShapes);
            Vec2 fc = c.centre, fx = c.axisX, fy = c.axisY;
            renderer.render(c.shapes, fc, fx, fy, c.viewHeight);
            const std::string who = std::string(t.name) + " on " + std::to_string(threads) +
                                    " threads" + (cells ? " through cells, " : ", ") +
                                    std::to_string(c.width) + " x " + std::to_string(c.height) +
                                    ", " + std::to_string(c.shapes.size()) + " shapes";
            if (random.state() != refRandom.state()) {
                why = who + ": the generator's state differs";
                return false;
            }
            if (!sameBits(fc, rc) || !sameBits(fx, rx) || !sameBits(fy, ry)) {
                why = who + ": the returned vectors differ";
                return false;
            }
            for (size_t i = 0; i < image.byteCount(); ++i)
                if (image.pixels[i] != expected.pixels[i]) {
                    const size_t pixel = i / 4;
                    why = who + ": pixel " + std::to_string(pixel % c.width) + "," +
                          std::to_string(pixel / c.width) + " differs";
                    return false;
                }
        }
    return true;
}

}  // namespace lumek::fuzz

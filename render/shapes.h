// Scene shapes: glowing, light-blocking discs and segments, their exact ray
// tests, their conservative culling tests and their distance falloff.
//
// Precision matters here: two renderers agree bit for bit only if every
// stored value is a float and every intermediate is a double formed from
// those floats. Keep it that way when editing (and build with
// -ffp-contract=off so no multiply-add is fused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumek {

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

inline bool operator==(const Vec2& a, const Vec2& b) { return a.x == b.x && a.y == b.y; }

// An origin and a unit direction; the tests treat it as the whole line.
struct Ray {
    Vec2 origin;
    Vec2 dir;
};

// One colour contribution on the 0..255 scale.
struct Rgb {
    int32_t r = 0;
    int32_t g = 0;
    int32_t b = 0;
};

enum class ShapeKind : uint8_t { Circle, Segment };

class Shape {
  public:
    virtual ~Shape() = default;

    void setColor(int32_t r, int32_t g, int32_t b) {
        red = r;
        green = g;
        blue = b;
    }
    void setFalloff(float f) { falloff = f; }

    // The colour weakened by distance, in 16.16 fixed point.
    //
    // The rule, defined for every input and followed bit for bit by every
    // row shader: the weight is 65536 / (falloff x distance + 1), formed in
    // double precision, clamped into 0 ... 65536 (a quotient that is not a
    // number counts as 0) and truncated; each channel is the exact 64-bit
    // product weight x colour shifted right by 16 (rounding towards minus
    // infinity), which always fits in 32 bits. Scenes with falloffs >= 0 and
    // colours of 0 ... 255 never reach the clamp.
    void attenuate(float distance, Rgb& out) const {
        const int64_t weight = attenuationWeight(falloff, distance);
        out.r = static_cast<int32_t>((weight * red) >> 16);
        out.g = static_cast<int32_t>((weight * green) >> 16);
        out.b = static_cast<int32_t>((weight * blue) >> 16);
    }

    static int32_t attenuationWeight(float falloff, float distance) {
        const double k = static_cast<double>(65536.0f) /
                         (static_cast<double>(falloff) * static_cast<double>(distance) + 1.0);
        if (!(k > 0.0)) return 0;  // negative, zero or not a number
        if (k >= 65536.0) return 65536;
        return static_cast<int32_t>(k);  // truncation, not rounding
    }

    // Where the ray's line meets the shape: t is the crossing's position along
    // the line with the sign reversed (negative ahead of the origin).
    virtual bool intersect(const Ray& ray, float& t) const = 0;

    // False only when no line through a point within `radius` of `centre`,
    // with a direction inside the slot bounded by normals nA and nB, can
    // meet the shape.
    virtual bool mayHit(const Vec2& centre, float radius, const Vec2& nA, const Vec2& nB) const = 0;

    ShapeKind kind() const { return kind_; }

    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    float falloff = 0.0f;

  protected:
    explicit Shape(ShapeKind kind) : kind_(kind) {}

  private:
    ShapeKind kind_;
};

class CircleShape final : public Shape {
  public:
    CircleShape() : Shape(ShapeKind::Circle) {}

    void setCircle(float r, float centreX, float centreY) {
        radius = r;
        radiusSq = static_cast<float>(static_cast<double>(r) * r);
        centre = {centreX, centreY};
    }

    bool intersect(const Ray& ray, float& t) const override {
        const double vx = static_cast<double>(ray.origin.x) - centre.x;
        const double vy = static_cast<double>(ray.origin.y) - centre.y;
        if (vx * vx + vy * vy <= radiusSq) {
            t = 0.0f;  // inside or on the rim: a hit at distance 0
            return true;
        }
        const double cross = vx * ray.dir.y - vy * ray.dir.x;
        if ((cross < 0 ? -cross : cross) > radius) return false;
        t = static_cast<float>(vx * ray.dir.x + vy * ray.dir.y);
        return true;
    }

    bool mayHit(const Vec2& p, float x, const Vec2& nA, const Vec2& nB) const override {
        const double dx = static_cast<double>(centre.x) - p.x;
        const double dy = static_cast<double>(centre.y) - p.y;
        const double cA = nA.x * dx + nA.y * dy;
        const double cB = nB.x * dx + nB.y * dy;
        if (cA - radius > x && cB - radius > x) return false;
        if (cA + radius < -x && cB + radius < -x) return false;
        return true;
    }

    float radius = 0.0f;
    float radiusSq = 0.0f;
    Vec2 centre;
};

class SegmentShape final : public Shape {
  public:
    SegmentShape() : Shape(ShapeKind::Segment) {}

    void setStart(float x, float y) { start = {x, y}; }
    // Stores end - start, so setStart must come first.
    void setEnd(float x, float y) {
        dir = {static_cast<float>(static_cast<double>(x) - start.x),
               static_cast<float>(static_cast<double>(y) - start.y)};
    }

    bool intersect(const Ray& ray, float& t) const override {
        const double dx = ray.dir.x, dy = ray.dir.y;
        const double det = dx * dir.y - static_cast<double>(dir.x) * dy;
        if ((det < 0 ? -det : det) < static_cast<double>(0.001f)) return false;
        const double ax = static_cast<double>(start.x) - ray.origin.x;
        const double ay = static_cast<double>(start.y) - ray.origin.y;
        const double inv = 1.0 / det;
        const double u = (dy * ax - dx * ay) * inv;
        if (u >= 1.0 || u <= 0.0) return false;  // both end points miss
        t = static_cast<float>((ay * dir.x - ax * dir.y) * inv);
        return true;
    }

    bool mayHit(const Vec2& p, float x, const Vec2& nA, const Vec2& nB) const override {
        const double ax = static_cast<double>(start.x) - p.x;
        const double ay = static_cast<double>(start.y) - p.y;
        const double bx = static_cast<double>(start.x) + dir.x - p.x;
        const double by = static_cast<double>(start.y) + dir.y - p.y;
        const double aA = nA.x * ax + nA.y * ay;
        const double aB = nB.x * ax + nB.y * ay;
        const double bA = nA.x * bx + nA.y * by;
        const double bB = nB.x * bx + nB.y * by;
        if (aA > x && aB > x && bA > x && bB > x) return false;
        if (aA < -x && aB < -x && bA < -x && bB < -x) return false;
        return true;
    }

    Vec2 start;
    Vec2 dir;  // end - start, not normalised
};

// An ordered, growable array of borrowed or owned shape pointers. Order is
// significant: ties in the renderer go to the earlier shape.
class ShapeList {
  public:
    ShapeList() { items_.reserve(16); }

    void pushBack(Shape* shape) {
        // Growth is part of the contract (tests look at capacity): double,
        // or 1 from empty.
        if (items_.size() == items_.capacity())
            items_.reserve(items_.capacity() == 0 ? 1 : items_.capacity() * 2);
        items_.push_back(shape);
    }
    void clear() { items_.clear(); }

    // Deletes the shapes, last first, and leaves the list empty with its
    // storage kept.
    void deleteShapes() {
        while (!items_.empty()) {
            delete items_.back();
            items_.pop_back();
        }
    }

    size_t size() const { return items_.size(); }
    size_t capacity() const { return items_.capacity(); }
    bool empty() const { return items_.empty(); }
    Shape* operator[](size_t i) const { return items_[i]; }
    Shape* const* begin() const { return items_.data(); }
    Shape* const* end() const { return items_.data() + items_.size(); }

  private:
    std::vector<Shape*> items_;
};

}  // namespace lumek

// A list of shapes that owns them: scenes made at run time (tests,
// benchmarks), where no scene library holds the shapes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/shapes.h"

namespace lumek {

struct OwnedShapes {
    ShapeList list;
    std::vector<std::unique_ptr<Shape>> owned;

    void disc(float r, float x, float y, int32_t red, int32_t green, int32_t blue, float falloff) {
        auto s = std::make_unique<CircleShape>();
        s->setCircle(r, x, y);
        add(std::move(s), red, green, blue, falloff);
    }
    void segment(float x0, float y0, float x1, float y1, int32_t red, int32_t green,
                 int32_t blue, float falloff) {
        auto s = std::make_unique<SegmentShape>();
        s->setStart(x0, y0);
        s->setEnd(x1, y1);
        add(std::move(s), red, green, blue, falloff);
    }

  private:
    void add(std::unique_ptr<Shape> s, int32_t red, int32_t green, int32_t blue, float falloff) {
        s->setColor(red, green, blue);
        s->setFalloff(falloff);
        list.pushBack(s.get());
        owned.push_back(std::move(s));
    }
};

}  // namespace lumek

#include "render/renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>

#include "render/slot_cull.h"
#include "render/targets.h"

namespace lumek {

namespace {

// 3.1415 / 512 as a float: slightly short of pi / 512, so the last entry
// stops at about 3.13535 rather than pi - pi / 512.
constexpr float kAngleStep = 0.0061357422f;

constexpr float kFarAway = 1000000.0f;

}  // namespace

int tileShiftForWidth(int32_t width) {
    if (width > 256) return 5;
    if (width > 128) return 4;
    return 3;
}

FrameGeometry frameGeometry(int32_t width, int32_t height, float aspect, float tileSize,
                            const Vec2& viewCentre, const Vec2& axisX, const Vec2& axisY,
                            float viewHeight) {
    FrameGeometry g;
    const double scale = static_cast<double>(viewHeight) / height;
    g.u = {static_cast<float>(axisX.x * scale * aspect),
           static_cast<float>(axisX.y * scale * aspect)};
    g.v = {static_cast<float>(axisY.x * scale), static_cast<float>(axisY.y * scale)};

    const double halfW = (width - 1) * 0.5;
    const double halfH = (height - 1) * 0.5;
    g.origin = {static_cast<float>(viewCentre.x - halfW * g.u.x - halfH * g.v.x),
                static_cast<float>(viewCentre.y - halfW * g.u.y - halfH * g.v.y)};

    const double halfTile = (static_cast<double>(tileSize) - 1) * 0.5;
    g.firstTileCentre = {
        static_cast<float>(g.origin.x + halfTile * (static_cast<double>(g.u.x) + g.v.x)),
        static_cast<float>(g.origin.y + halfTile * (static_cast<double>(g.u.y) + g.v.y))};

    const double dx = static_cast<double>(g.firstTileCentre.x) - g.origin.x;
    const double dy = static_cast<double>(g.firstTileCentre.y) - g.origin.y;
    g.tileRadius = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    return g;
}

namespace {

// Every pixel maps to a tile without a bound check, so the image must be
// made of whole tiles; checked before any thread starts.
FrameImage* wholeTiles(FrameImage* image) {
    const int edge = 1 << tileShiftForWidth(image->getWidth());
    if (image->getWidth() > 0 && image->getHeight() > 0 && image->getWidth() % edge == 0 &&
        image->getHeight() % edge == 0)
        return image;
    const std::string why = "RayRenderer: a " + std::to_string(image->getWidth()) + " x " +
                            std::to_string(image->getHeight()) + " image is not made of whole " +
                            std::to_string(edge) + "-pixel tiles";
#if defined(__cpp_exceptions)
    throw std::invalid_argument(why);
#else
    // Builds without exceptions (WebAssembly) stop here instead.
    std::fprintf(stderr, "%s\n", why.c_str());
    std::abort();
#endif
}

}  // namespace

RayRenderer::RayRenderer(FrameImage* image, RandomStream& random, int threads)
    : image_(wholeTiles(image)),
      random_(&random),
      pool_(threads > 0 ? threads : 1),
      rowShader_(fast::bestRowShader()) {
    float angle = 0.0f;
    for (int i = 0; i < kDirectionCount; ++i) {
        sinTable_[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosTable_[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
        angle += kAngleStep;
    }
    // The normals of each slot's first and last direction bound its wedge.
    for (int k = 0; k < kSlotCount; ++k) {
        slotEdges_[k].first = {-cosTable_[kSlotWidth * k], sinTable_[kSlotWidth * k]};
        slotEdges_[k].last = {-cosTable_[kSlotWidth * k + kSlotWidth - 1],
                              sinTable_[kSlotWidth * k + kSlotWidth - 1]};
        slotNormals_[0][k] = slotEdges_[k].first.x;
        slotNormals_[1][k] = slotEdges_[k].first.y;
        slotNormals_[2][k] = slotEdges_[k].last.x;
        slotNormals_[3][k] = slotEdges_[k].last.y;
    }
    tileShift_ = tileShiftForWidth(image->getWidth());
    tileSize_ = static_cast<float>(1 << tileShift_);
    tilesX_ = image->getWidth() >> tileShift_;
    tilesY_ = image->getHeight() >> tileShift_;

    const int height = image->getHeight();
    tileRowStarts_.resize(static_cast<size_t>(tilesY_));
    rowOrigins_.resize(static_cast<size_t>(height));
    rowFirstDraw_.resize(static_cast<size_t>(height) + 1);
    flatCounts_.resize(static_cast<size_t>(tilesX_) * tilesY_ * kSlotCount);
    scratch_.resize(static_cast<size_t>(pool_.size()) * 2 * image->getWidth());
    rowScratch_.resize(static_cast<size_t>(pool_.size()));
    for (size_t w = 0; w < rowScratch_.size(); ++w) {
        rowScratch_[w].ox = scratch_.data() + w * 2 * image->getWidth();
        rowScratch_[w].oy = rowScratch_[w].ox + image->getWidth();
    }
    frame_ = std::make_unique<FastFrame>();
    singles_.resize(flatCounts_.size());
    tileCentres_.resize(static_cast<size_t>(tilesX_) * tilesY_);
    marks_.resize(static_cast<size_t>(pool_.size()));
    byBound_.resize(static_cast<size_t>(pool_.size()));
}

RayRenderer::~RayRenderer() = default;

ShapeList* RayRenderer::candidateLists() {
    // One list per tile and slot, each with room for 16, made the first time
    // the straightforward render needs them: 12,288 allocations at 1024 x 768
    // that the fast path never uses.
    if (!candidates_)
        candidates_ =
            std::make_unique<ShapeList[]>(static_cast<size_t>(tilesX_) * tilesY_ * kSlotCount);
    return candidates_.get();
}

// The caller's vectors end up as the steps and the start of the next row;
// `rowOrigins`, if given, receives every row's first pixel on the way.
Vec2 RayRenderer::finishFrame(const FrameGeometry& g, Vec2& axisX, Vec2& axisY, Vec2* rowOrigins) {
    Vec2 rowStart = g.origin;
    for (int y = 0; y < image_->getHeight(); ++y) {
        if (rowOrigins != nullptr) rowOrigins[y] = rowStart;
        rowStart.x += g.v.x;
        rowStart.y += g.v.y;
    }
    axisX = g.u;
    axisY = g.v;
    return rowStart;
}

void RayRenderer::renderReference(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX,
                                  Vec2& axisY, float viewHeight) {
    const FrameGeometry g =
        frameGeometry(image_->getWidth(), image_->getHeight(), image_->getAspect(), tileSize_,
                      viewCentre, axisX, axisY, viewHeight);
    lastTileRadius_ = g.tileRadius;
    cull(shapes, g);
    shadePixels(g);
    viewCentre = finishFrame(g, axisX, axisY);
}

// What the workers of one fast frame share.
struct RayRenderer::FastFrame {
    RayRenderer* renderer = nullptr;
    const ShapeList* shapes = nullptr;
    FrameGeometry geometry;
    fast::FrameJob job{};
    // How far a tile's pixels lie from its centre at most: its radius is
    // the distance to one corner, the farthest only where the columns and
    // rows of the view meet at right angles.
    double tileSpread = 0;
    // How far a pixel's position may lie from its tile's centre, drift
    // included: both are running sums of float steps, each of which may
    // round by half a unit in the last place of the largest coordinate.
    double pixelReach = 0;
    uint32_t startState = 0;
    int endRow = 0;  // the pixel pass's rows end here
    std::atomic<int> nextRow{0};
};

namespace {

// How far from a disc's centre a line can meet it: its radius, or the root
// of its squared radius, within which an origin counts as inside.
double discReach(const fast::FlatShape& s) {
    return std::max(std::abs(s.c), std::sqrt(std::abs(s.d)));
}

// What the rounding of every position and of the line's test may take off
// a distance between a tile's centre at `p` and the shape: it grows with
// the coordinates' size.
double roundingMargin(const fast::FlatShape& s, Vec2 p) {
    const double px = p.x, py = p.y;
    const double size =
        std::abs(px) + std::abs(py) + std::abs(s.a) + std::abs(s.b) + std::abs(s.c) + std::abs(s.d);
    return 0x1p-8 * (1 + size);
}

// A lower bound of the distance along any line from any of a tile's pixels
// to where it can meet the shape: the distance from the tile's centre less
// how far a pixel may lie from it (`reach`), less the rounding margin. 0
// where nothing sure is known.
double nearestPossible(const fast::FlatShape& s, Vec2 p, double reach) {
    double distance;
    const double px = p.x, py = p.y;
    if (!s.segment) {
        // A disc's hit lies where its line passes nearest the centre.
        distance = std::hypot(s.a - px, s.b - py) - discReach(s);
    } else {
        const double ax = px - s.a, ay = py - s.b;
        const double length = s.c * s.c + s.d * s.d;
        double along = length > 0 ? (ax * s.c + ay * s.d) / length : 0;
        along = std::clamp(along, 0.0, 1.0);
        distance = std::hypot(ax - along * s.c, ay - along * s.d);
    }
    const double bound = (distance - reach) * (1 - 0x1p-10) - roundingMargin(s, p);
    return bound > 0 ? bound : 0;  // and 0 for not a number
}

}  // namespace

const uint32_t* RayRenderer::nearestFirst(Vec2 p, double reach, float step, uint8_t* buckets,
                                          std::vector<uint32_t>& order) const {
    const size_t count = order.size();
    uint32_t starts[257] = {};
    for (size_t i = 0; i < count; ++i) {
        const double bucket = std::floor(nearestPossible(flatShapes_[i], p, reach) / step);
        buckets[i] = static_cast<uint8_t>(bucket < 255 ? bucket : 255);
        ++starts[buckets[i] + 1];
    }
    for (int k = 0; k < 256; ++k) starts[k + 1] += starts[k];
    for (size_t i = 0; i < count; ++i) order[starts[buckets[i]]++] = static_cast<uint32_t>(i);
    return order.data();
}

void RayRenderer::markSides(uint16_t* list, int count, Vec2 p, double reach, int slot,
                            uint16_t& positive, uint16_t& negative) const {
    // A line of direction d meets a shape at t > 0 where the shape lies
    // towards -d from the origin, at t < 0 towards +d. Over the slot's
    // directions (less than half a turn) a shape's extent along d is least
    // and most at the first or the last direction, and a segment's at an
    // end, a disc's (met where its line passes nearest the centre) at the
    // centre give or take the radius within which an origin is inside.
    const int first = slot * fast::kDirectionsPerSlot, last = first + fast::kDirectionsPerSlot - 1;
    const double d[2][2] = {{sinTable_[first], cosTable_[first]},
                            {sinTable_[last], cosTable_[last]}};
    const double px = p.x, py = p.y;
    positive = negative = 0;
    for (int j = 0; j < count; ++j) {
        const fast::FlatShape& s = flatShapes_[list[j]];
        const double margin = reach + roundingMargin(s, p);
        double low = INFINITY, high = -INFINITY;
        bool unknown = false;
        auto extent = [&](double x, double y, double radius) {
            for (const auto& dir : d) {
                const double along = (x - px) * dir[0] + (y - py) * dir[1];
                unknown = unknown || std::isnan(along);
                low = std::min(low, along - radius);
                high = std::max(high, along + radius);
            }
        };
        if (!s.segment) {
            extent(s.a, s.b, discReach(s));
        } else {
            extent(s.a, s.b, 0);
            extent(s.a + s.c, s.b + s.d, 0);
        }
        uint16_t sides = 0;
        if (unknown || !(low >= margin)) {
            sides |= fast::kMayLieAhead;
            positive = static_cast<uint16_t>(j + 1);
        }
        if (unknown || !(high <= -margin)) {
            sides |= fast::kMayLieBehind;
            negative = static_cast<uint16_t>(j + 1);
        }
        list[j] = static_cast<uint16_t>(list[j] | sides);
    }
}

void RayRenderer::cullRows(void* context, int worker) {
    FastFrame& f = *static_cast<FastFrame*>(context);
    RayRenderer& r = *f.renderer;
    const FrameGeometry& g = f.geometry;
    const size_t shapeCount = f.shapes->size();
    const bool nearestFirst = f.job.buckets != nullptr;
    const size_t stride = static_cast<size_t>(f.job.stride);
    const double stepUx = static_cast<double>(r.tileSize_) * g.u.x;
    const double stepUy = static_cast<double>(r.tileSize_) * g.u.y;
    for (int ty; (ty = f.nextRow.fetch_add(1, std::memory_order_relaxed)) < r.tilesY_;) {
        Vec2 p = r.tileRowStarts_[ty];
        for (int tx = 0; tx < r.tilesX_; ++tx) {
            const size_t firstList = (static_cast<size_t>(ty) * r.tilesX_ + tx) * kSlotCount;
            uint16_t* lists = r.flatLists() + firstList * stride;
            uint16_t counts[kSlotCount] = {};
            const uint32_t* order = nullptr;
            if (nearestFirst)
                order =
                    r.nearestFirst(p, f.pixelReach, f.job.bucketStep,
                                   &r.buckets_[(static_cast<size_t>(ty) * r.tilesX_ + tx) * stride],
                                   r.byBound_[static_cast<size_t>(worker)]);
            for (size_t n = 0; n < shapeCount; ++n) {
                const size_t i = order ? order[n] : n;
                bool hit[kSlotCount];
                mayHitEverySlot(r.flatShapes_[i], p, g.tileRadius, r.slotNormals_, hit);
                // Written whether or not it is kept: a list has room for
                // every shape, and only its first `count` entries count.
                for (int k = 0; k < kSlotCount; ++k) {
                    lists[k * stride + counts[k]] = static_cast<uint16_t>(i);
                    counts[k] = static_cast<uint16_t>(counts[k] + hit[k]);
                }
            }
            for (int k = 0; k < kSlotCount; ++k) r.flatCounts_[firstList + k] = counts[k];
            if (nearestFirst)
                for (int k = 0; k < kSlotCount; ++k)
                    r.markSides(lists + k * stride, counts[k], p, f.pixelReach, k,
                                r.reachPositive_[firstList + k], r.reachNegative_[firstList + k]);
            p.x = static_cast<float>(p.x + stepUx);
            p.y = static_cast<float>(p.y + stepUy);
        }
    }
}

void RayRenderer::prepareCellsFor(size_t shapes) {
    grid_.reserve(shapes);
    for (SceneGrid::Marks& m : marks_) m.fit(shapes);
}

void RayRenderer::prepareFor(size_t shapes) {
    if (usesGrid(shapes)) return prepareCellsFor(shapes);
    // Bands of rows of such a scene take the cells (renderRows).
    if (bandUsesGrid(shapes)) prepareCellsFor(shapes);
    if (flatShapes_.size() < shapes) flatShapes_.resize(shapes);
    const size_t need = flatCounts_.size() * std::max<size_t>(shapes, 1);
    flatLists_.atLeast(need * sizeof(uint16_t));
    if (shapes > kNearestFirstAbove) {
        // Frames size these to their scene; room for this one now.
        buckets_.reserve(static_cast<size_t>(tilesX_) * tilesY_ * shapes);
        for (std::vector<uint32_t>& o : byBound_) o.reserve(shapes);
        reachPositive_.resize(flatCounts_.size());
        reachNegative_.resize(flatCounts_.size());
    }
}

void RayRenderer::cullFast(const ShapeList& shapes, const FrameGeometry& g) {
    FastFrame& f = *frame_;
    f.renderer = this;
    f.shapes = &shapes;
    f.geometry = g;
    // Room for every shape in every list; grows only with the scene.
    f.job.stride = shapes.empty() ? 1 : static_cast<int>(shapes.size());
    prepareFor(shapes.size());
    // The shapes widened once: the culling and the pixel pass read these.
    bool small = true;
    auto isSmall = [](int32_t c) { return c >= -32768 && c <= 32767; };
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape& s = *shapes[i];
        small = small && isSmall(s.red) && isSmall(s.green) && isSmall(s.blue);
        fast::FlatShape& flat = flatShapes_[i];
        if (s.kind() == ShapeKind::Circle) {
            const auto& c = static_cast<const CircleShape&>(s);
            flat.a = c.centre.x;
            flat.b = c.centre.y;
            flat.c = c.radius;
            flat.d = c.radiusSq;
            flat.segment = 0;
        } else {
            const auto& seg = static_cast<const SegmentShape&>(s);
            flat.a = seg.start.x;
            flat.b = seg.start.y;
            flat.c = seg.dir.x;
            flat.d = seg.dir.y;
            flat.segment = 1;
        }
        flat.falloff = s.falloff;
        flat.red = s.red;
        flat.green = s.green;
        flat.blue = s.blue;
        flat.narrow = {s.falloff, s.red, s.green, s.blue};
    }
    f.job.smallColours = small;
    const double halfTile = (static_cast<double>(tileSize_) - 1) * 0.5;
    const double ux = g.u.x, uy = g.u.y, vx = g.v.x, vy = g.v.y;
    f.tileSpread =
        std::max({static_cast<double>(g.tileRadius), halfTile * std::hypot(ux + vx, uy + vy),
                  halfTile * std::hypot(ux - vx, uy - vy)});
    {
        // The view's corners bound every coordinate along the way; the
        // pixels take a step per column and per row, the centres per tile.
        const double w = image_->getWidth(), h = image_->getHeight();
        const double ox = g.origin.x, oy = g.origin.y;
        double largest = 0;
        for (const double a : {0.0, w})
            for (const double b : {0.0, h})
                largest = std::max({largest, std::abs(ox + a * ux + b * vx),
                                    std::abs(oy + a * uy + b * vy)});
        const double steps = w + h + tilesX_ + tilesY_ + 4;
        f.pixelReach = f.tileSpread + steps * 0x1p-23 * (largest + f.tileSpread);
    }
    // Buckets half as wide as that spread (narrower ones cost more checks
    // than they save), a little less so that a bucket's bound k * step,
    // rounded to float, stays below its shapes'.
    f.job.bucketStep = static_cast<float>(0.5 * f.tileSpread * (1 - 0x1p-16));
    f.job.buckets = nullptr;
    if (shapes.size() > kNearestFirstAbove && std::isfinite(f.job.bucketStep) &&
        f.job.bucketStep > 0) {
        buckets_.resize(static_cast<size_t>(tilesX_) * tilesY_ * shapes.size());
        for (std::vector<uint32_t>& o : byBound_) o.resize(shapes.size());
        reachPositive_.resize(flatCounts_.size());
        reachNegative_.resize(flatCounts_.size());
        f.job.buckets = buckets_.data();
        f.job.reachPositive = reachPositive_.data();
        f.job.reachNegative = reachNegative_.data();
    }

    const double stepVx = static_cast<double>(tileSize_) * g.v.x;
    const double stepVy = static_cast<double>(tileSize_) * g.v.y;
    Vec2 rowStart = g.firstTileCentre;
    for (int ty = 0; ty < tilesY_; ++ty) {
        tileRowStarts_[ty] = rowStart;
        rowStart.x = static_cast<float>(rowStart.x + stepVx);
        rowStart.y = static_cast<float>(rowStart.y + stepVy);
    }
    f.nextRow.store(0, std::memory_order_relaxed);
    pool_.run(&RayRenderer::cullRows, &f);
}

void RayRenderer::shadeRows(void* context, int worker) {
    FastFrame& f = *static_cast<FastFrame*>(context);
    RayRenderer& r = *f.renderer;
    fast::RowScratch& scratch = r.rowScratch_[static_cast<size_t>(worker)];
    for (int y; (y = f.nextRow.fetch_add(1, std::memory_order_relaxed)) < f.endRow;) {
        // Where this row's first draw lies in the serial stream.
        const uint32_t state = RandomStream::stepsOf(r.rowFirstDraw_[y]).apply(f.startState);
        r.rowShader_(f.job, y, state, scratch);
    }
}

void RayRenderer::render(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                         float viewHeight) {
    renderRows(shapes, viewCentre, axisX, axisY, viewHeight, 0, image_->getHeight());
}

void RayRenderer::renderRows(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                             float viewHeight, int firstRow, int endRow) {
    const int width = image_->getWidth();
    const int height = image_->getHeight();
    const FrameGeometry g = frameGeometry(width, height, image_->getAspect(), tileSize_, viewCentre,
                                          axisX, axisY, viewHeight);
    lastTileRadius_ = g.tileRadius;

    // A band of rows (each of the page's workers draws one) would still
    // cull and hold the whole frame's lists: beyond what the lists take at
    // any size, the cells, whose cost follows the band.
    const bool band = firstRow > 0 || endRow < height;
    const bool byGrid = usesGrid(shapes.size()) || (band && bandUsesGrid(shapes.size()));
    if (byGrid)
        cullByGrid(shapes, g);
    else
        cullFast(shapes, g);

    // Every pixel of a tile row draws once per non-empty list of its tile,
    // plus once: so each row's first draw is known before any is made. All
    // rows of a tile row draw alike.
    const size_t listsPerTileRow = static_cast<size_t>(tilesX_) * kSlotCount;
    uint64_t draws = 0, perRow = 0;
    for (int y = 0; y < height; ++y) {
        if ((y & ((1 << tileShift_) - 1)) == 0) {
            const uint16_t* counts =
                &flatCounts_[static_cast<size_t>(y >> tileShift_) * listsPerTileRow];
            uint64_t used = 0;
            for (size_t l = 0; l < listsPerTileRow; ++l) used += counts[l] != 0;
            perRow = static_cast<uint64_t>(width) + used * (1u << tileShift_);
        }
        rowFirstDraw_[y] = draws;
        draws += perRow;
    }
    rowFirstDraw_[height] = draws;
    lastLines_ = draws - static_cast<uint64_t>(width) * height;

    viewCentre = finishFrame(g, axisX, axisY, rowOrigins_.data());

    FastFrame& f = *frame_;
    f.job.shapes = flatShapes_.data();
    f.job.shapeCount = static_cast<int>(shapes.size());
    f.job.lists = flatLists();
    f.job.counts = flatCounts_.data();
    f.job.sinTable = sinTable_;
    f.job.cosTable = cosTable_;
    f.job.rowOrigins = rowOrigins_.data();
    f.job.u = g.u;
    f.job.width = width;
    f.job.tileShift = tileShift_;
    f.job.tilesX = tilesX_;
    f.job.pixels = image_->pixels.get();
    f.startState = random_->state();
    f.endRow = std::clamp(endRow, 0, height);
    f.nextRow.store(std::clamp(firstRow, 0, f.endRow), std::memory_order_relaxed);
    for (fast::RowScratch& s : rowScratch_) s.lineTests = 0;
    for (SceneGrid::Marks& m : marks_) m.tests = 0;
    pool_.run(byGrid ? &RayRenderer::shadeRowsByGrid : &RayRenderer::shadeRows, &f);
    random_->advance(draws);
}

uint64_t RayRenderer::lastLineTests() const {
    uint64_t tests = 0;
    for (const SceneGrid::Marks& m : marks_) tests += m.tests;
    for (const fast::RowScratch& s : rowScratch_) tests += s.lineTests;
    return tests;
}

void RayRenderer::cullByGrid(const ShapeList& shapes, const FrameGeometry& g) {
    FastFrame& f = *frame_;
    f.renderer = this;
    f.shapes = &shapes;
    f.geometry = g;
    f.job.buckets = nullptr;
    prepareCellsFor(shapes.size());  // a band takes the cells where a frame would not
    grid_.build(shapes);
    // Tile centres as the straightforward culling steps them.
    const double stepUx = static_cast<double>(tileSize_) * g.u.x;
    const double stepUy = static_cast<double>(tileSize_) * g.u.y;
    const double stepVx = static_cast<double>(tileSize_) * g.v.x;
    const double stepVy = static_cast<double>(tileSize_) * g.v.y;
    Vec2 rowStart = g.firstTileCentre;
    for (int ty = 0; ty < tilesY_; ++ty) {
        Vec2 p = rowStart;
        for (int tx = 0; tx < tilesX_; ++tx) {
            tileCentres_[static_cast<size_t>(ty) * tilesX_ + tx] = p;
            p.x = static_cast<float>(p.x + stepUx);
            p.y = static_cast<float>(p.y + stepUy);
        }
        rowStart.x = static_cast<float>(rowStart.x + stepVx);
        rowStart.y = static_cast<float>(rowStart.y + stepVy);
    }
    f.nextRow.store(0, std::memory_order_relaxed);
    pool_.run(&RayRenderer::cullRowsByGrid, &f);
}

void RayRenderer::cullRowsByGrid(void* context, int worker) {
    FastFrame& f = *static_cast<FastFrame*>(context);
    RayRenderer& r = *f.renderer;
    SceneGrid::Marks& marks = r.marks_[static_cast<size_t>(worker)];
    for (int ty; (ty = f.nextRow.fetch_add(1, std::memory_order_relaxed)) < r.tilesY_;) {
        for (int tx = 0; tx < r.tilesX_; ++tx) {
            const size_t tile = static_cast<size_t>(ty) * r.tilesX_ + tx;
            uint16_t counts[kSlotCount];
            uint32_t single[kSlotCount];
            r.grid_.countTile(r.tileCentres_[tile], f.geometry.tileRadius,
                              r.slotNormals_, counts, single, marks);
            for (int k = 0; k < kSlotCount; ++k) {
                r.flatCounts_[tile * kSlotCount + k] = counts[k];
                r.singles_[tile * kSlotCount + k] = single[k];
            }
        }
    }
}

// The straightforward pixel pass, a row at a time, with each line's
// candidates found through the cells.
void RayRenderer::shadeRowsByGrid(void* context, int worker) {
    FastFrame& f = *static_cast<FastFrame*>(context);
    RayRenderer& r = *f.renderer;
    const ShapeList& shapes = *f.shapes;
    SceneGrid::Marks& marks = r.marks_[static_cast<size_t>(worker)];
    const int width = r.image_->getWidth();
    const float radius = f.geometry.tileRadius;
    const Vec2 u = f.geometry.u;
    for (int y; (y = f.nextRow.fetch_add(1, std::memory_order_relaxed)) < f.endRow;) {
        RandomStream random;
        random.setState(RandomStream::stepsOf(r.rowFirstDraw_[y]).apply(f.startState));
        uint8_t* out = r.image_->pixels.get() + static_cast<size_t>(y) * width * 4;
        Ray ray;
        ray.origin = r.rowOrigins_[y];
        for (int x = 0; x < width; ++x, out += 4) {
            PixelSums sum;
            const size_t tile = static_cast<size_t>(y >> r.tileShift_) * r.tilesX_ +
                                static_cast<size_t>(x >> r.tileShift_);
            const Vec2 p = r.tileCentres_[tile];
            for (int k = 0; k < kSlotCount; ++k) {
                const size_t list = tile * kSlotCount + k;
                const uint16_t n = r.flatCounts_[list];
                if (n == 0) continue;
                const int j = kSlotWidth * k + (random.next() & (kSlotWidth - 1));
                ray.dir = {r.sinTable_[j], r.cosTable_[j]};
                if (n == 1) {
                    // A single candidate has no distance limit.
                    const Shape& only = *shapes[r.singles_[list]];
                    float t;
                    ++marks.tests;
                    if (only.intersect(ray, t)) addContribution(only, std::fabs(t), sum);
                    continue;
                }
                const SceneGrid::LineHits h =
                    r.grid_.searchLine(ray, p, radius, r.slotEdges_[k].first,
                                       r.slotEdges_[k].last, marks);
                if (h.inside != SceneGrid::kNone) {
                    addContribution(*shapes[h.inside], 0.0f, sum);
                    continue;
                }
                if (h.positive != SceneGrid::kNone)
                    addContribution(*shapes[h.positive], h.positiveDistance, sum);
                if (h.negative != SceneGrid::kNone)
                    addContribution(*shapes[h.negative], h.negativeDistance, sum);
            }
            out[0] = channelByte(sum.r);
            out[1] = channelByte(sum.g);
            out[2] = channelByte(sum.b);
            random.next();  // one draw per pixel is discarded
            ray.origin.x += u.x;
            ray.origin.y += u.y;
        }
    }
}

void RayRenderer::cull(const ShapeList& shapes, const FrameGeometry& g) {
    const double stepUx = static_cast<double>(tileSize_) * g.u.x;
    const double stepUy = static_cast<double>(tileSize_) * g.u.y;
    const double stepVx = static_cast<double>(tileSize_) * g.v.x;
    const double stepVy = static_cast<double>(tileSize_) * g.v.y;

    Vec2 rowStart = g.firstTileCentre;
    ShapeList* list = candidateLists();
    for (int ty = 0; ty < tilesY_; ++ty) {
        Vec2 p = rowStart;
        for (int tx = 0; tx < tilesX_; ++tx) {
            for (int k = 0; k < kSlotCount; ++k, ++list) {
                list->clear();
                const SlotEdges& e = slotEdges_[k];
                for (Shape* shape : shapes)
                    if (shape->mayHit(p, g.tileRadius, e.first, e.last)) list->pushBack(shape);
            }
            p.x = static_cast<float>(p.x + stepUx);
            p.y = static_cast<float>(p.y + stepUy);
        }
        rowStart.x = static_cast<float>(rowStart.x + stepVx);
        rowStart.y = static_cast<float>(rowStart.y + stepVy);
    }
}

void RayRenderer::shadePixels(const FrameGeometry& g) {
    const int width = image_->getWidth();
    const int height = image_->getHeight();
    uint8_t* out = image_->pixels.get();
    RandomStream& random = *random_;
    const ShapeList* allLists = candidateLists();

    Vec2 rowStart = g.origin;
    for (int y = 0; y < height; ++y) {
        Ray ray;
        ray.origin = rowStart;
        for (int x = 0; x < width; ++x, out += 4) {
            PixelSums sum;
            const ShapeList* lists =
                &allLists[((y >> tileShift_) * tilesX_ + (x >> tileShift_)) * kSlotCount];
            for (int k = 0; k < kSlotCount; ++k) {
                const ShapeList& list = lists[k];
                const size_t n = list.size();
                if (n == 0) continue;
                const int j = kSlotWidth * k + (random.next() & (kSlotWidth - 1));
                ray.dir = {sinTable_[j], cosTable_[j]};
                float t;
                if (n == 1) {
                    // A single candidate has no distance limit.
                    if (list[0]->intersect(ray, t)) addContribution(*list[0], std::fabs(t), sum);
                    continue;
                }
                float nearPos = kFarAway, nearNeg = kFarAway;
                const Shape* hitPos = nullptr;
                const Shape* hitNeg = nullptr;
                for (size_t i = 0; i < n; ++i) {
                    const Shape* shape = list[i];
                    if (!shape->intersect(ray, t)) continue;
                    if (t > 0.0f) {
                        if (t < nearPos) {
                            nearPos = t;
                            hitPos = shape;
                        }
                    } else if (t < 0.0f) {
                        if (-t < nearNeg) {
                            nearNeg = -t;
                            hitNeg = shape;
                        }
                    } else {
                        // The pixel lies inside this shape: it alone is seen.
                        nearPos = 0.0f;
                        hitPos = shape;
                        hitNeg = nullptr;
                        break;
                    }
                }
                if (hitPos) addContribution(*hitPos, nearPos, sum);
                if (hitNeg) addContribution(*hitNeg, nearNeg, sum);
            }
            out[0] = channelByte(sum.r);
            out[1] = channelByte(sum.g);
            out[2] = channelByte(sum.b);
            random.next();  // one draw per pixel is discarded
            ray.origin.x += g.u.x;
            ray.origin.y += g.u.y;
        }
        rowStart.x += g.v.x;
        rowStart.y += g.v.y;
    }
}

}  // namespace lumek

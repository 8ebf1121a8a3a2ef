#include "render/scene_grid.h"

#include <cmath>
#include <limits>

#include "render/slot_cull.h"

namespace lumek {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Beyond this a coordinate leaves too few bits for the cells' margins: such
// shapes are tested everywhere instead.
constexpr double kLargest = 1e18;
constexpr int kMostCellsPerSide = 4096;
constexpr size_t kMostCells = size_t{1} << 22;
constexpr float kFarAway = 1000000.0f;

bool finiteAndModest(double v) { return std::fabs(v) <= kLargest; }  // false for NaN too

// Long shapes fill many cells: the entries may pass 16 a shape only up to
// 16 Mi in all (64 MiB, what a million shapes take anyway), and are counted
// in 32 bits.
size_t entryBudget(size_t placed) {
    return std::min<size_t>(std::max<size_t>(16 * placed + 65536, size_t{1} << 24), 0xffffffffu);
}

// One shape far from the rest (a stray point of a map) would stretch the
// cells until the others all shared one: shapes wholly outside the core of
// the scene (where all but its outermost shapes lie, widened by its own size
// every way) are tested by every line instead, while there are so few.
constexpr size_t kMostStrays = 32;
constexpr size_t kCoreSample = 65536;  // shapes whose boxes locate the core

bool boxPlaced(double x0, double y0, double x1, double y1) {
    return finiteAndModest(x0) && finiteAndModest(y0) && finiteAndModest(x1) &&
           finiteAndModest(y1);
}

}  // namespace

// The tests of CircleShape and SegmentShape on packed geometry, operation
// for operation (keep them in step): float inputs, double intermediates.
namespace {

inline bool discIntersect(float cx, float cy, float radius, float radiusSq, const Ray& ray,
                          float& t) {
    const double vx = static_cast<double>(ray.origin.x) - cx;
    const double vy = static_cast<double>(ray.origin.y) - cy;
    if (vx * vx + vy * vy <= radiusSq) {
        t = 0.0f;
        return true;
    }
    const double cross = vx * ray.dir.y - vy * ray.dir.x;
    if ((cross < 0 ? -cross : cross) > radius) return false;
    t = static_cast<float>(vx * ray.dir.x + vy * ray.dir.y);
    return true;
}

inline bool discMayHit(float cx, float cy, float radius, const Vec2& p, float x, const Vec2& nA,
                       const Vec2& nB) {
    const double dx = static_cast<double>(cx) - p.x;
    const double dy = static_cast<double>(cy) - p.y;
    const double cA = nA.x * dx + nA.y * dy;
    const double cB = nB.x * dx + nB.y * dy;
    if (cA - radius > x && cB - radius > x) return false;
    if (cA + radius < -x && cB + radius < -x) return false;
    return true;
}

inline bool segmentIntersect(float sx, float sy, float ex, float ey, const Ray& ray, float& t) {
    const double dx = ray.dir.x, dy = ray.dir.y;
    const double det = dx * ey - static_cast<double>(ex) * dy;
    if ((det < 0 ? -det : det) < static_cast<double>(0.001f)) return false;
    const double ax = static_cast<double>(sx) - ray.origin.x;
    const double ay = static_cast<double>(sy) - ray.origin.y;
    const double inv = 1.0 / det;
    const double u = (dy * ax - dx * ay) * inv;
    if (u >= 1.0 || u <= 0.0) return false;
    t = static_cast<float>((ay * ex - ax * ey) * inv);
    return true;
}

inline bool segmentMayHit(float sx, float sy, float ex, float ey, const Vec2& p, float x,
                          const Vec2& nA, const Vec2& nB) {
    const double ax = static_cast<double>(sx) - p.x;
    const double ay = static_cast<double>(sy) - p.y;
    const double bx = static_cast<double>(sx) + ex - p.x;
    const double by = static_cast<double>(sy) + ey - p.y;
    const double aA = nA.x * ax + nA.y * ay;
    const double aB = nB.x * ax + nB.y * ay;
    const double bA = nA.x * bx + nA.y * by;
    const double bB = nB.x * bx + nB.y * by;
    if (aA > x && aB > x && bA > x && bB > x) return false;
    if (aA < -x && aB < -x && bA < -x && bB < -x) return false;
    return true;
}

}  // namespace

SceneGrid::Box SceneGrid::boxOf(const Geometry& g) {
    if (!g.segment) {
        // A negative radius still has its inside (radius squared).
        const double r = std::fabs(static_cast<double>(g.c));
        return {g.a - r, g.b - r, g.a + r, g.b + r};
    }
    const double ex = static_cast<double>(g.a) + g.c, ey = static_cast<double>(g.b) + g.d;
    // std::min and std::max would drop an end that is not a number: the box
    // keeps it, so that the shape is tested everywhere, as such a shape may
    // be met anywhere.
    if (std::isnan(ex) || std::isnan(ey)) return {ex, ey, ex, ey};
    return {std::min<double>(g.a, ex), std::min<double>(g.b, ey), std::max<double>(g.a, ex),
            std::max<double>(g.b, ey)};
}

template <class Visit>
void SceneGrid::forEachCell(const Geometry& shape, const Box& box, Visit visit) const {
    auto column = [this](double x) {
        const double c = std::floor((x - x0_) / cell_);
        // Not a number (a cell of no size) is the first cell, as below 0.
        return !(c >= 0) ? 0 : c >= nx_ ? nx_ - 1 : static_cast<int>(c);
    };
    auto row = [this](double y) {
        const double c = std::floor((y - y0_) / cell_);
        return !(c >= 0) ? 0 : c >= ny_ ? ny_ - 1 : static_cast<int>(c);
    };
    const int ix0 = column(box.x0 - margin_), ix1 = column(box.x1 + margin_);
    const int iy0 = row(box.y0 - margin_), iy1 = row(box.y1 + margin_);
    double ax = shape.a, ay = shape.b;
    double bx = ax + shape.c, by = ay + shape.d;
    if (ax > bx) {
        std::swap(ax, bx);
        std::swap(ay, by);
    }
    const double slope = (by - ay) / (bx - ax);
    // An upright segment has no slope: where the margin spans several cells
    // (far from the origin, cells small) its box is the way.
    if (shape.segment && ix1 - ix0 >= 2 && iy1 - iy0 >= 2 && std::isfinite(slope)) {
        // A long slanted segment: column by column, only the rows it
        // crosses there (its bounding box would fill the grid).
        for (int ix = ix0; ix <= ix1; ++ix) {
            const double lo = std::max(ax, x0_ + ix * cell_ - margin_);
            const double hi = std::min(bx, x0_ + (ix + 1) * cell_ + margin_);
            const double ya = ay + (lo - ax) * slope, yb = ay + (hi - ax) * slope;
            const int from = row(std::min(ya, yb) - margin_), to = row(std::max(ya, yb) + margin_);
            for (int iy = from; iy <= to; ++iy) visit(static_cast<size_t>(iy) * nx_ + ix);
        }
        return;
    }
    for (int iy = iy0; iy <= iy1; ++iy)
        for (int ix = ix0; ix <= ix1; ++ix) visit(static_cast<size_t>(iy) * nx_ + ix);
}

void SceneGrid::build(const ShapeList& shapes) {
    const size_t n = shapes.size();
    geometry_.resize(n);
    loose_.clear();
    double gx0 = kInfinity, gy0 = kInfinity, gx1 = -kInfinity, gy1 = -kInfinity;
    auto grow = [&](const Box& b) {  // the cells' shapes' bounds
        gx0 = std::min(gx0, b.x0);
        gy0 = std::min(gy0, b.y0);
        gx1 = std::max(gx1, b.x1);
        gy1 = std::max(gy1, b.y1);
    };
    size_t placed = 0;
    for (size_t i = 0; i < n; ++i) {
        const Shape& shape = *shapes[i];
        Geometry& g = geometry_[i];
        if (shape.kind() == ShapeKind::Circle) {
            const auto& c = static_cast<const CircleShape&>(shape);
            g = {c.centre.x, c.centre.y, c.radius, c.radiusSq, 0};
        } else {
            const auto& s = static_cast<const SegmentShape&>(shape);
            g = {s.start.x, s.start.y, s.dir.x, s.dir.y, 1};
        }
        const Box b = boxOf(g);
        if (!boxPlaced(b.x0, b.y0, b.x1, b.y1)) {
            loose_.push_back(static_cast<uint32_t>(i));
            continue;
        }
        grow(b);
        ++placed;
    }
    keep_ = {-kInfinity, -kInfinity, kInfinity, kInfinity};
    if (placed > 0) {
        const Box core = coreOf(n);
        size_t strays = 0;
        for (size_t i = 0; i < n && strays <= kMostStrays; ++i) {
            const Box b = boxOf(geometry_[i]);
            strays += boxPlaced(b.x0, b.y0, b.x1, b.y1) && !within(b, core);
        }
        if (strays > 0 && strays <= kMostStrays) {
            keep_ = core;
            gx0 = gy0 = kInfinity;
            gx1 = gy1 = -kInfinity;
            for (size_t i = 0; i < n; ++i) {
                const Box b = boxOf(geometry_[i]);
                if (!boxPlaced(b.x0, b.y0, b.x1, b.y1)) continue;
                if (!within(b, keep_)) {
                    loose_.push_back(static_cast<uint32_t>(i));
                    --placed;
                    continue;
                }
                grow(b);
            }
        }
    }
    entries_.clear();
    if (placed == 0) {
        nx_ = ny_ = 0;
        cellStart_.assign(1, 0);
        return;
    }
    const double scale = std::max({std::fabs(gx0), std::fabs(gy0), std::fabs(gx1), std::fabs(gy1),
                                   gx1 - gx0, gy1 - gy0});
    // Far above the roundings of the tests (about 1e-16 of the
    // coordinates), far below a cell.
    margin_ = scale * 1e-6 + 1e-30;
    x0_ = gx0 - margin_;
    y0_ = gy0 - margin_;
    const double width = gx1 - gx0 + 2 * margin_, height = gy1 - gy0 + 2 * margin_;
    // About one shape a cell.
    cell_ = std::sqrt(width * height / static_cast<double>(placed));
    if (!(cell_ > 0)) cell_ = std::max(width, height) / static_cast<double>(placed);
    cell_ = std::max({cell_, width / kMostCellsPerSide, height / kMostCellsPerSide});
    // Coarser cells while the entries pass their budget.
    const size_t budget = entryBudget(placed);
    bool refined = false;
    bool finer = false;  // this grid halved the last one's cells
    size_t coarserTotal = 0;
    for (;;) {
        nx_ = std::min(kMostCellsPerSide, static_cast<int>(width / cell_) + 1);
        ny_ = std::min(kMostCellsPerSide, static_cast<int>(height / cell_) + 1);
        cellStart_.assign(static_cast<size_t>(nx_) * ny_ + 1, 0);
        size_t total = 0;
        for (size_t i = 0; i < n; ++i) {
            const Box b = boxOf(geometry_[i]);
            if (!inCells(b)) continue;
            forEachCell(geometry_[i], b, [&](size_t c) {
                ++cellStart_[c + 1];
                ++total;
            });
        }
        // Back to the coarser grid where the finer passes the budget, or
        // where its shapes fill their cells as much as before (shapes large
        // against the cells gain nothing: four times the entries in four
        // times the cells).
        if ((total > budget || (finer && total > 3 * coarserTotal)) && (nx_ > 1 || ny_ > 1)) {
            cell_ *= 2;
            refined = true;  // no way back to finer cells
            finer = false;
            continue;
        }
        // Long shapes crowd each cell they cross: finer cells while a cell
        // holds several on average and the entries may stay within the
        // budget. Halving the cells about doubles a long segment's entries
        // (a large disc's, four times): the finer grid is counted, and kept
        // only as above.
        const size_t cells = static_cast<size_t>(nx_) * ny_;
        if (!refined && total > 4 * cells && 2 * total <= budget && cells * 4 <= kMostCells &&
            nx_ < kMostCellsPerSide / 2 && ny_ < kMostCellsPerSide / 2) {
            cell_ /= 2;
            finer = true;
            coarserTotal = total;
            continue;
        }
        entries_.resize(total);
        break;
    }
    for (size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
    // Filled back to front, so that each cell lists its shapes in scene
    // order and cellStart_ ends up where it started.
    for (size_t i = n; i-- > 0;) {
        const Box b = boxOf(geometry_[i]);
        if (!inCells(b)) continue;
        forEachCell(geometry_[i], b,
                    [&](size_t c) { entries_[--cellStart_[c + 1]] = static_cast<uint32_t>(i); });
    }
    // Cell c's end, one place on, was moved down to its start: back into
    // place, and the last end is the total.
    for (size_t c = 0; c + 1 < cellStart_.size(); ++c) cellStart_[c] = cellStart_[c + 1];
    cellStart_.back() = static_cast<uint32_t>(entries_.size());
}

bool SceneGrid::within(const Box& b, const Box& region) {
    return b.x0 >= region.x0 && b.y0 >= region.y0 && b.x1 <= region.x1 && b.y1 <= region.y1;
}

bool SceneGrid::inCells(const Box& b) const {
    return boxPlaced(b.x0, b.y0, b.x1, b.y1) && within(b, keep_);
}

SceneGrid::Box SceneGrid::coreOf(size_t n) {
    // Every stride-th shape: at most kCoreSample of them, what reserve keeps.
    const size_t stride = n > kCoreSample ? n / kCoreSample + 1 : 1;
    for (std::vector<float>& e : edges_) e.clear();
    for (size_t i = 0; i < n; i += stride) {
        const Box b = boxOf(geometry_[i]);
        if (!boxPlaced(b.x0, b.y0, b.x1, b.y1)) continue;
        edges_[0].push_back(static_cast<float>(b.x0));
        edges_[1].push_back(static_cast<float>(b.y0));
        edges_[2].push_back(static_cast<float>(b.x1));
        edges_[3].push_back(static_cast<float>(b.y1));
    }
    if (edges_[0].empty()) return {-kInfinity, -kInfinity, kInfinity, kInfinity};
    // Past the kMostStrays outermost edges of the sample on every side (a
    // quarter of them in a small sample), so that as many strays on one
    // side leave the core; in a sparser sample each stands for several.
    const size_t m = edges_[0].size();
    const size_t skip = std::min(kMostStrays, (m - 1) / 4);
    auto at = [](std::vector<float>& v, size_t k) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
        return static_cast<double>(v[k]);
    };
    const double x0 = at(edges_[0], skip), y0 = at(edges_[1], skip);
    const double x1 = at(edges_[2], m - 1 - skip), y1 = at(edges_[3], m - 1 - skip);
    const double size = std::max(x1 - x0, y1 - y0);
    return {x0 - size, y0 - size, x1 + size, y1 + size};
}

void SceneGrid::reserve(size_t shapes) {
    for (std::vector<float>& e : edges_) e.reserve(std::min(shapes, kCoreSample + 1));
    geometry_.reserve(shapes);
    loose_.reserve(shapes);
    entries_.reserve(entryBudget(shapes));
    // At first about a cell a shape, plus a row and a column of them; finer
    // cells only while there are at most a quarter of kMostCells, each
    // step adding a row and a column again.
    cellStart_.reserve(std::max(shapes, kMostCells) + 2 * kMostCellsPerSide + 2);
}

bool SceneGrid::cellMayMeetSlot(int ix, int iy, Vec2 p, double reach,
                                const double (&n)[4][fast::kSlots], int k) const {
    const double cx[2] = {x0_ + ix * cell_ - p.x, x0_ + (ix + 1) * cell_ - p.x};
    const double cy[2] = {y0_ + iy * cell_ - p.y, y0_ + (iy + 1) * cell_ - p.y};
    bool beyond = true, before = true;
    for (double x : cx)
        for (double y : cy) {
            const double a = n[0][k] * x + n[1][k] * y;
            const double b = n[2][k] * x + n[3][k] * y;
            beyond = beyond && a > reach && b > reach;
            before = before && a < -reach && b < -reach;
        }
    return !(beyond || before);
}

void SceneGrid::countTile(Vec2 p, float radius,
                          const double (&normals)[4][fast::kSlots],
                          uint16_t (&counts)[fast::kSlots], uint32_t (&single)[fast::kSlots],
                          Marks& marks) const {
    int open = fast::kSlots;
    for (int k = 0; k < fast::kSlots; ++k) {
        counts[k] = 0;
        single[k] = kNone;
    }
    const uint32_t mark = marks.next();
    auto consider = [&](uint32_t i) {
        if (!marks.first(i, mark)) return;
        bool hit[fast::kSlots];
        const Geometry& g = geometry_[i];
        fast::FlatShape flat{};
        flat.a = g.a;
        flat.b = g.b;
        flat.c = g.c;
        flat.d = g.d;
        flat.segment = static_cast<int32_t>(g.segment);
        mayHitEverySlot(flat, p, radius, normals, hit);
        for (int k = 0; k < fast::kSlots; ++k)
            if (hit[k] && counts[k] < 2) {
                if (counts[k] == 0) single[k] = i;
                if (++counts[k] == 2) --open;
            }
    };
    for (uint32_t i : loose_) consider(i);
    if (nx_ == 0 || open == 0) return;

    // Cells wholly outside a slot's double wedge, with a margin for the
    // roundings, hold no shape that passes for that slot.
    const double reach = static_cast<double>(radius) + margin_ +
                         1e-9 * (std::fabs(static_cast<double>(p.x)) + std::fabs(p.y));
    bool seek[fast::kSlots];
    auto anySought = [&](int ix, int iy) {
        for (int k = 0; k < fast::kSlots; ++k)
            if (seek[k] && counts[k] < 2 && cellMayMeetSlot(ix, iy, p, reach, normals, k))
                return true;
        return false;
    };
    // Rings of cells around the tile, nearest first, until every slot has
    // two shapes or the grid is done. A slot whose wedge misses the whole
    // grid is not sought at all.
    int cx = 0, cy = 0, rings = std::max(nx_, ny_);
    const double fx = std::floor((p.x - x0_) / cell_), fy = std::floor((p.y - y0_) / cell_);
    if (std::isfinite(fx) && std::isfinite(fy)) {
        cx = fx < 0 ? 0 : fx >= nx_ ? nx_ - 1 : static_cast<int>(fx);
        cy = fy < 0 ? 0 : fy >= ny_ ? ny_ - 1 : static_cast<int>(fy);
        rings = std::max({cx, nx_ - 1 - cx, cy, ny_ - 1 - cy});
    }
    {
        // The whole grid as one cell.
        const double wholeX[2] = {x0_ - p.x, x0_ + nx_ * cell_ - p.x};
        const double wholeY[2] = {y0_ - p.y, y0_ + ny_ * cell_ - p.y};
        for (int k = 0; k < fast::kSlots; ++k) {
            bool beyond = true, before = true;
            for (double x : wholeX)
                for (double y : wholeY) {
                    const double a = normals[0][k] * x + normals[1][k] * y;
                    const double b = normals[2][k] * x + normals[3][k] * y;
                    beyond = beyond && a > reach && b > reach;
                    before = before && a < -reach && b < -reach;
                }
            seek[k] = !(beyond || before);
            if (!seek[k] && counts[k] < 2) --open;
        }
    }
    auto visit = [&](int ix, int iy) {
        if (ix < 0 || iy < 0 || ix >= nx_ || iy >= ny_ || !anySought(ix, iy)) return;
        const size_t c = static_cast<size_t>(iy) * nx_ + ix;
        for (uint32_t e = cellStart_[c]; e < cellStart_[c + 1]; ++e) consider(entries_[e]);
    };
    for (int r = 0; r <= rings && open > 0; ++r) {
        if (r == 0) {
            visit(cx, cy);
            continue;
        }
        for (int ix = cx - r; ix <= cx + r; ++ix) {
            visit(ix, cy - r);
            visit(ix, cy + r);
        }
        for (int iy = cy - r + 1; iy <= cy + r - 1; ++iy) {
            visit(cx - r, iy);
            visit(cx + r, iy);
        }
    }
}

SceneGrid::LineHits SceneGrid::searchLine(const Ray& ray, Vec2 p,
                                          float radius, Vec2 nA, Vec2 nB, Marks& marks) const {
    LineHits h;
    float positive = kFarAway, negative = kFarAway;
    const uint32_t mark = marks.next();
    // As the straightforward pass's loop over the list, whatever the order
    // the shapes come in: the nearer hit, or the earlier shape at the same
    // distance; hits at 1,000,000 or beyond do not count; the earliest
    // shape met at 0 (or at no number) outweighs all.
    // The exact test first: most shapes met along the cells miss the line,
    // and culling asks only about those that count.
    auto test = [&](uint32_t i) {
        if (!marks.first(i, mark)) return;
        const Geometry& g = geometry_[i];
        float t;
        ++marks.tests;
        if (!g.segment) {
            if (!discIntersect(g.a, g.b, g.c, g.d, ray, t) ||
                !discMayHit(g.a, g.b, g.c, p, radius, nA, nB))
                return;
        } else if (!segmentIntersect(g.a, g.b, g.c, g.d, ray, t) ||
                   !segmentMayHit(g.a, g.b, g.c, g.d, p, radius, nA, nB)) {
            return;
        }
        if (t > 0.0f) {
            if (t < positive || (t == positive && h.positive != kNone && i < h.positive)) {
                positive = t;
                h.positive = i;
            }
        } else if (t < 0.0f) {
            if (-t < negative || (-t == negative && h.negative != kNone && i < h.negative)) {
                negative = -t;
                h.negative = i;
            }
        } else if (i < h.inside) {
            h.inside = i;
        }
    };
    auto finish = [&] {
        h.positiveDistance = positive;
        h.negativeDistance = negative;
        return h;
    };
    for (uint32_t i : loose_) test(i);
    if (nx_ == 0) return finish();

    const double ox = ray.origin.x, oy = ray.origin.y;
    if (!finiteAndModest(ox) || !finiteAndModest(oy)) {
        // No cell to start from: every shape.
        for (uint32_t e : entries_) test(e);
        return finish();
    }
    const double gx1 = x0_ + nx_ * cell_, gy1 = y0_ + ny_ * cell_;
    const double slack = margin_ + 1e-6 * (std::fabs(ox) + std::fabs(oy));
    // The walk multiplies by reciprocals rather than dividing: its distances
    // only choose cells, and a rounding there moves a boundary by far less
    // than the margin every shape is entered with.
    const double inverseX = ray.dir.x != 0 ? 1.0 / static_cast<double>(ray.dir.x) : 0;
    const double inverseY = ray.dir.y != 0 ? 1.0 / static_cast<double>(ray.dir.y) : 0;
    const double perCell = 1.0 / cell_;
    // Each side on its own: along the direction (hits ahead, t < 0), then
    // against it (behind, t > 0). Cells come in the order the line enters
    // them; once a cell starts further off than the side's nearest hit (or
    // than 1,000,000), nothing beyond it can count.
    for (int side : {1, -1}) {
        const double dx = side * static_cast<double>(ray.dir.x);
        const double dy = side * static_cast<double>(ray.dir.y);
        const double perDx = side * inverseX, perDy = side * inverseY;
        double from = 0, to = kInfinity;
        auto clip = [&](double o, double d, double per, double lo, double hi) {
            if (d == 0) {
                if (o < lo || o > hi) to = -1;
                return;
            }
            const double a = (lo - o) * per, b = (hi - o) * per;
            from = std::max(from, std::min(a, b));
            to = std::min(to, std::max(a, b));
        };
        clip(ox, dx, perDx, x0_, gx1);
        clip(oy, dy, perDy, y0_, gy1);
        if (!(from <= to)) continue;
        auto cellOf = [perCell](double v, double origin, int count) {
            const double c = std::floor((v - origin) * perCell);
            return !(c >= 0) ? 0 : c >= count ? count - 1 : static_cast<int>(c);
        };
        int ix = cellOf(ox + from * dx, x0_, nx_);
        int iy = cellOf(oy + from * dy, y0_, ny_);
        const int stepX = dx > 0 ? 1 : -1, stepY = dy > 0 ? 1 : -1;
        const double deltaX = dx != 0 ? cell_ * std::fabs(perDx) : kInfinity;
        const double deltaY = dy != 0 ? cell_ * std::fabs(perDy) : kInfinity;
        double nextX = dx != 0 ? (x0_ + (ix + (stepX > 0)) * cell_ - ox) * perDx : kInfinity;
        double nextY = dy != 0 ? (y0_ + (iy + (stepY > 0)) * cell_ - oy) * perDy : kInfinity;
        double entry = from;
        for (;;) {
            const double best = h.inside != kNone ? 0.0 : side > 0 ? negative : positive;
            if (entry > best * (1 + 1e-6) + slack) break;
            const size_t c = static_cast<size_t>(iy) * nx_ + ix;
            for (uint32_t e = cellStart_[c]; e < cellStart_[c + 1]; ++e) test(entries_[e]);
            if (nextX < nextY) {
                entry = nextX;
                nextX += deltaX;
                ix += stepX;
                if (ix < 0 || ix >= nx_) break;
            } else {
                entry = nextY;
                nextY += deltaY;
                iy += stepY;
                if (iy < 0 || iy >= ny_ || !(entry < kInfinity)) break;
            }
        }
    }
    return finish();
}

}  // namespace lumek

// Large scenes: the shapes sorted into square cells once per frame, so that
// neither culling nor a line's search for its nearest shapes touches every
// shape.
//
// The answers are exactly those of the per-tile candidate lists: a tile's
// slot learns whether none, one or several shapes pass Shape::mayHit for it
// (and which, when one does), and a line's search considers only shapes
// that pass mayHit for its tile and slot, finds the nearest hit on each side
// within 1,000,000 (ties to the earlier shape in the scene) and the earliest
// shape that the line's origin lies on or in. Cells only decide which shapes
// need not be looked at: a shape is entered in every cell it touches, with a
// margin for rounding, and a cell is skipped only when it lies wholly
// outside a slot's double wedge, or further along a line than a hit already
// found.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/fast_kernel.h"
#include "render/shapes.h"

namespace lumek {

class SceneGrid {
  public:
    static constexpr uint32_t kNone = 0xffffffffu;

    // What one line found among its candidates: shape indices or kNone.
    struct LineHits {
        uint32_t positive = kNone;  // nearest behind the origin (t > 0)
        float positiveDistance = 0.0f;
        uint32_t negative = kNone;  // nearest ahead of it (t < 0)
        float negativeDistance = 0.0f;
        uint32_t inside = kNone;  // the earliest shape the origin lies on or in
    };

    // One worker's marks of the shapes it has looked at, so that a shape
    // entered in several cells is tested once per tile or line.
    class Marks {
      public:
        void fit(size_t shapes) {
            if (marks_.size() < shapes) marks_.resize(shapes, 0);
        }
        uint32_t next() {
            if (++current_ == 0) {  // wrapped round: forget every old mark
                std::fill(marks_.begin(), marks_.end(), 0u);
                current_ = 1;
            }
            return current_;
        }
        // True the first time shape i is seen under `mark`.
        bool first(uint32_t i, uint32_t mark) {
            if (marks_[i] == mark) return false;
            marks_[i] = mark;
            return true;
        }

        uint64_t tests = 0;  // intersect calls of the lines searched, for benchmarks

      private:
        std::vector<uint32_t> marks_;
        uint32_t current_ = 0;
    };

    // Sorts `shapes` into cells; storage grows to the largest scene and is
    // then reused.
    void build(const ShapeList& shapes);
    // Grows the storage now for scenes of up to `shapes` shapes, so that
    // building them allocates nothing.
    void reserve(size_t shapes);

    // Of the scene last built: counts the shapes that pass mayHit for each
    // of a tile's 16 slots, up to 2, and for a count of 1 the shape's
    // index. `normals` as mayHitEverySlot takes them.
    void countTile(Vec2 centre, float radius,
                   const double (&normals)[4][fast::kSlots], uint16_t (&counts)[fast::kSlots],
                   uint32_t (&single)[fast::kSlots], Marks& marks) const;

    // The nearest hits of `ray`'s line among the shapes that pass mayHit
    // for the tile at `centre` and the slot with normals nA and nB.
    LineHits searchLine(const Ray& ray, Vec2 centre, float radius, Vec2 nA, Vec2 nB,
                        Marks& marks) const;

    int columns() const { return nx_; }
    int rows() const { return ny_; }
    size_t entries() const { return entries_.size(); }
    size_t looseShapes() const { return loose_.size(); }

  private:
    struct Box {
        double x0, y0, x1, y1;
    };
    // Each shape's geometry, in scene order, packed: the searches read these
    // rather than the shapes, wherever those lie in memory.
    struct Geometry {
        float a, b, c, d;  // disc: centre x, centre y, radius, radius squared;
                           // segment: start x, start y, direction x, direction y
        uint32_t segment;
    };
    static Box boxOf(const Geometry& g);
    static bool within(const Box& b, const Box& region);
    // Where most of the scene lies, widened (see kMostStrays).
    Box coreOf(size_t shapes);
    bool inCells(const Box& b) const;

    template <class Visit>
    void forEachCell(const Geometry& g, const Box& box, Visit visit) const;
    bool cellMayMeetSlot(int ix, int iy, Vec2 centre, double reach, const double (&n)[4][fast::kSlots],
                         int slot) const;

    std::vector<Geometry> geometry_;
    std::vector<uint32_t> cellStart_;  // cell c holds entries_[cellStart_[c] ... cellStart_[c + 1])
    std::vector<uint32_t> entries_;
    std::vector<uint32_t> loose_;  // shapes in no cell: tested everywhere
    Box keep_{};                   // the cells hold only shapes within this
    std::vector<float> edges_[4];  // coreOf's sample of box edges
    double x0_ = 0, y0_ = 0, cell_ = 1, margin_ = 0;
    int nx_ = 0, ny_ = 0;
};

}  // namespace lumek

// The software light renderer: for every pixel, 16 jittered lines (one per
// direction slot), the nearest shape on each side of the pixel along each
// line, its colour weakened by distance, averaged.
//
// A frame is two passes: culling builds, per tile and direction slot, the
// list of shapes a line from that tile in that slot could meet; the pixel
// pass then tests each line only against its list.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/fast_kernel.h"
#include "render/image.h"
#include "render/random.h"
#include "render/scene_grid.h"
#include "render/shapes.h"
#include "render/worker_pool.h"

namespace lumek {

constexpr int kDirectionCount = 512;
constexpr int kSlotCount = fast::kSlots;
constexpr int kSlotWidth = fast::kDirectionsPerSlot;

// Where a frame lies in the scene: steps between columns (u) and rows (v),
// the first pixel (origin), the first tile's centre and the tile radius.
struct FrameGeometry {
    Vec2 u;
    Vec2 v;
    Vec2 origin;
    Vec2 firstTileCentre;
    float tileRadius = 0.0f;
};

FrameGeometry frameGeometry(int32_t width, int32_t height, float aspect, float tileSize,
                            const Vec2& viewCentre, const Vec2& axisX, const Vec2& axisY,
                            float viewHeight);

// Tile edge exponent for an image width: 8, 16 or 32 pixels.
int tileShiftForWidth(int32_t width);

class RayRenderer {
  public:
    // Binds to `image` (not owned, size fixed from now on) and draws its
    // jitter from `random`. `threads` workers share each frame (fewer if
    // the system cannot start them all). Throws std::invalid_argument when
    // the image's width or height is not a positive multiple of the tile
    // edge (8, 16 or 32 pixels, chosen by the width).
    RayRenderer(FrameImage* image, RandomStream& random, int threads = 1);
    ~RayRenderer();

    RayRenderer(const RayRenderer&) = delete;
    RayRenderer& operator=(const RayRenderer&) = delete;

    // Renders `shapes` into the image. On return axisX and axisY hold the
    // column and row steps and viewCentre the start of the row after the
    // last; callers build all three afresh for every call.
    //
    // This is the fast path: culling and pixels spread over the workers,
    // several pixels at once. Its pictures and the generator's state after
    // the frame are exactly those of renderReference.
    void render(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                float viewHeight);

    // The frame render() draws, but only rows firstRow .. endRow - 1 of it
    // are written (the others keep their bytes); the generator and the
    // vectors end as after the whole frame. Renderers that hold the same
    // scene and generator state make one frame together this way, each
    // drawing its own band of rows (the web page's workers).
    void renderRows(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                    float viewHeight, int firstRow, int endRow);

    // Grows the fast path's frame data for scenes of `shapes` shapes now, so
    // that rendering them (whole or in bands) later allocates nothing;
    // smaller scenes too, as long as they take the same way (usesGrid).
    void prepareFor(size_t shapes);

    // Scenes of more than kGridAbove shapes are sorted into cells instead of
    // listed per tile and slot (the lists hold 14-bit indices, so never more
    // than 16,383). The lists take 33 bytes per tile and shape (16 entries
    // and a bucket), where the cells take what the shapes need: up to
    // kListsAtAnySize shapes the lists are kept at any picture size (16.5
    // GiB at 16384 x 16384), as they always were; beyond it only while they
    // take at most kMostListBytes (at 1024 x 768, up to 5,295 shapes). There
    // they are faster than the cells for short segments, mazes and discs
    // (lumek_scene_scale, SceneScaleWay: 1.5 to 1.9 times at 4,096 shapes),
    // though not for long segments that cross the whole view (0.9 times).
    // Tests and benchmarks move both limits; the pictures do not change.
    static constexpr size_t kGridAbove = 8192;
    static constexpr size_t kListsAtAnySize = 2048;
    static constexpr size_t kMostListBytes = size_t{128} << 20;
    void useGridAbove(size_t shapes, size_t listBytes = kMostListBytes) {
        gridAbove_ = shapes;
        mostListBytes_ = listBytes;
    }
    bool usesGrid(size_t shapes) const {
        if (shapes > std::min<size_t>(gridAbove_, fast::kMostListedShapes)) return true;
        const double tiles = static_cast<double>(tilesX_) * tilesY_;
        const double perTileAndShape = kSlotCount * sizeof(uint16_t) + 1;
        const double bytes = tiles * static_cast<double>(shapes) * perTileAndShape;
        return shapes > kListsAtAnySize && bytes > static_cast<double>(mostListBytes_);
    }
    // A band of rows takes the cells from here on, whatever its frame takes
    // (renderRows).
    bool bandUsesGrid(size_t shapes) const {
        return shapes > std::min(kListsAtAnySize, gridAbove_);
    }
    const SceneGrid& grid() const { return grid_; }
    // Of the last fast frame: its lines (pixels times their slots with
    // candidates), and the shape tests those lines made.
    uint64_t lastLines() const { return lastLines_; }
    uint64_t lastLineTests() const;

    // The straightforward render, one pixel after another on this thread.
    void renderReference(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                         float viewHeight);

    // Pass 1 of the straightforward render (also used by benchmarks and tests).
    void cull(const ShapeList& shapes, const FrameGeometry& geometry);
    // Pass 2 of the straightforward render.
    void shadePixels(const FrameGeometry& geometry);

    // Pass 1 of the fast render alone, spread over the workers.
    void cullFast(const ShapeList& shapes, const FrameGeometry& geometry);
    // The same for large scenes: the cells, then how many shapes pass per
    // tile and slot.
    void prepareCellsFor(size_t shapes);
    void cullByGrid(const ShapeList& shapes, const FrameGeometry& geometry);

    // Chooses the fast pixel pass's instruction set (tests and benchmarks;
    // the default is the widest the processor runs).
    void useRowShader(fast::RowShader shader) { rowShader_ = shader; }
    int threads() const { return pool_.size(); }

    float sinAt(int i) const { return sinTable_[i]; }
    float cosAt(int i) const { return cosTable_[i]; }
    float tileSize() const { return tileSize_; }
    int tileShift() const { return tileShift_; }
    int tilesX() const { return tilesX_; }
    int tilesY() const { return tilesY_; }
    float lastTileRadius() const { return lastTileRadius_; }
    // The straightforward render's candidate lists (made on first use: the
    // fast path has lists of its own).
    const ShapeList& candidates(int tx, int ty, int slot) {
        return candidateLists()[(ty * tilesX_ + tx) * kSlotCount + slot];
    }
    FrameImage& image() const { return *image_; }
    RandomStream& random() const { return *random_; }

  private:
    struct FastFrame;
    static void cullRows(void* frame, int worker);
    static void shadeRows(void* frame, int worker);
    static void cullRowsByGrid(void* frame, int worker);
    static void shadeRowsByGrid(void* frame, int worker);
    Vec2 finishFrame(const FrameGeometry& g, Vec2& axisX, Vec2& axisY, Vec2* rowOrigins = nullptr);
    ShapeList* candidateLists();
    // Puts a tile's bucket of every shape in `buckets` and returns the
    // shapes in `order` (sized to the scene), nearest bucket first and in
    // the scene's order within a bucket.
    const uint32_t* nearestFirst(Vec2 p, double reach, float step, uint8_t* buckets,
                                 std::vector<uint32_t>& order) const;
    // Marks each entry of a list of the tile at `p` and of `slot` with the
    // sides of a line it may be met on (fast::kMayLieAhead, kMayLieBehind),
    // and gives how many of the list's first shapes may be met ahead (t >= 0)
    // and behind (t < 0).
    void markSides(uint16_t* list, int count, Vec2 p, double reach, int slot, uint16_t& positive,
                   uint16_t& negative) const;
    uint16_t* flatLists() const { return reinterpret_cast<uint16_t*>(flatLists_.get()); }

    struct SlotEdges {
        Vec2 first, last;
    };

    float sinTable_[kDirectionCount];
    float cosTable_[kDirectionCount];
    SlotEdges slotEdges_[kSlotCount];
    // The same normals as doubles, slot by slot: first x, first y, last x,
    // last y.
    double slotNormals_[4][kSlotCount];
    FrameImage* image_;
    std::unique_ptr<ShapeList[]> candidates_;
    float tileSize_;
    int tileShift_;
    int tilesX_;
    int tilesY_;
    RandomStream* random_;
    float lastTileRadius_ = 0.0f;

    // The fast path's frame data; grown to the scene's needs, then reused.
    WorkerPool pool_;
    fast::RowShader rowShader_;
    std::vector<fast::FlatShape> flatShapes_;
    ScratchBytes flatLists_;  // uint16_t shape indices, refilled every frame
    std::vector<uint16_t> flatCounts_;
    std::vector<Vec2> tileRowStarts_;
    std::vector<Vec2> rowOrigins_;
    std::vector<uint64_t> rowFirstDraw_;
    std::vector<float> scratch_;  // two rows of floats per worker
    std::vector<fast::RowScratch> rowScratch_;
    std::unique_ptr<FastFrame> frame_;

    // Large scenes: the cells, and per tile and slot how many shapes pass
    // (0, 1, 2 for two or more) and the one that does when one does.
    size_t gridAbove_ = kGridAbove;
    size_t mostListBytes_ = kMostListBytes;
    SceneGrid grid_;
    std::vector<uint32_t> singles_;
    std::vector<Vec2> tileCentres_;
    std::vector<SceneGrid::Marks> marks_;  // one per worker
    uint64_t lastLines_ = 0;

    // Scenes of more shapes than this list them per tile nearest first
    // (fast::FrameJob::buckets), so that a line stops at its nearest hits.
    // Smaller scenes, the built-in ones among them, keep the scene's order
    // and the code they always had; for a hundred short segments the two
    // cost the same, long segments gain below that too.
    static constexpr size_t kNearestFirstAbove = 64;
    std::vector<uint8_t> buckets_;                // per tile and shape
    std::vector<std::vector<uint32_t>> byBound_;  // per worker: a tile's shapes, nearest first
    std::vector<uint16_t> reachPositive_, reachNegative_;  // per list
};

// A pixel's sums: up to 32 contributions of 32 bits each, exact in 64.
struct PixelSums {
    int64_t r = 0;
    int64_t g = 0;
    int64_t b = 0;
};

// Adds one contribution to a pixel's sums.
inline void addContribution(const Shape& shape, float distance, PixelSums& sum) {
    Rgb c;
    shape.attenuate(distance, c);
    sum.r += c.r;
    sum.g += c.g;
    sum.b += c.b;
}

// A sum over 16 lines becomes a byte: divided by 16 (rounding towards minus
// infinity) and saturated, so a very bright pixel stays bright instead of
// wrapping round to dark.
inline uint8_t channelByte(int64_t sum) {
    const int64_t v = sum >> 4;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace lumek

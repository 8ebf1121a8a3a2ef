// The web page's module: what the desktop's main loop, screenshot mode and
// benchmark do, as functions the page calls. The renderer, the scenes and
// the benchmark's entry and rounds are the very same code as the desktop
// program's; only the loop lives in the page.
//
// Implements: the show at any render size with the desktop's clock rules
// (the page passes the elapsed milliseconds), whole frames or one band of
// their rows (the page's workers each hold the show and draw a band), the
// eight shot views at 1024 x 768, the benchmark's walk and 32 checked
// frames with its report entry, its checked rounds and their figure lines.
// Not here: threads (one module is one thread; the page starts workers),
// files and the stress run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bench/entry.h"
#include "bench/export_json.h"
#include "bench/report.h"
#include "bench/result.h"
#include "bench/round.h"
#include "bench/verify.h"
#include "render/any_size.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "render/targets.h"
#include "scenes/library.h"
#include "scenes/scene_file.h"
#include "scenes/timeline.h"
#include "shots/scene_files.h"
#include "shots/table.h"
#include "web/wasm/module_shims.h"

#define LUMEK_EXPORT(name) extern "C" __attribute__((export_name(name)))

// The page's clock: performance.now(), in milliseconds.
extern "C" __attribute__((import_module("lumek"), import_name("now_ms"))) double lumekNowMs();

namespace {

using namespace lumek;

// What one run of the show, or of the shots, holds: the page's equivalent
// of the program-wide slots.
struct Run {
    SceneLibrary library;
    TimelineState timeline;
    RandomStream random;
    std::unique_ptr<FrameImage> image;
    std::unique_ptr<RayRenderer> renderer;

    // From the beginning: fresh scenes, timeline and generator.
    void start(int width, int height, float aspect) {
        renderer.reset();
        image.reset();
        deleteSceneShapes(library);
        buildSceneLibrary(library);
        timeline = TimelineState{};
        random = RandomStream{};
        image = std::make_unique<FrameImage>(width, height, aspect);
        renderer = std::make_unique<RayRenderer>(image.get(), random, 1);
    }
};

Run show;
Run shots;
bool showOver = false;
std::string benchText;
int benchStatus = 0;
int entryWrongFrames = 0;
uint32_t entryStartState = 0;
uint32_t entryRenderMs = 0;
uint32_t entryCpuMs = 0;
std::unique_ptr<BenchWorker> benchWorker;
std::string lineText;  // the last line or name handed out

// The web build is always Clang's (wasm32-wasi).
const char* compilerText() {
    static const std::string name = "Clang " + std::to_string(__clang_major__) + "." +
                                    std::to_string(__clang_minor__) + "." +
                                    std::to_string(__clang_patchlevel__);
    return name.c_str();
}

uint32_t pageClockMs() { return static_cast<uint32_t>(static_cast<uint64_t>(lumekNowMs())); }

}  // namespace

// The show at `size` x `size` (32 ... 512), from its start.
LUMEK_EXPORT("show_start") int showStart(int size) {
    if (size != 32 && size != 64 && size != 128 && size != 256 && size != 512) return 0;
    show.start(size, size, 1.333f);
    showOver = false;
    return 1;
}

// One frame at the show's clock, as the desktop's main loop renders it,
// but only its rows firstRow .. endRow - 1 are drawn (the whole frame:
// 0 and the size); the scene, the generator and the phase end as after the
// whole frame. 1 when a frame was rendered, 0 once the show is over
// (nothing rendered).
LUMEK_EXPORT("show_frame") int showFrame(uint32_t elapsedMs, int firstRow, int endRow) {
    if (!show.renderer || showOver) return 0;
    Vec2 viewCentre, axisX, axisY;
    float viewHeight = 1.0f;
    if (!stepTimeline(show.timeline, show.library, elapsedMs, viewCentre, axisX, axisY,
                      viewHeight)) {
        showOver = true;
        return 0;
    }
    show.renderer->renderRows(*show.timeline.currentShapes, viewCentre, axisX, axisY, viewHeight,
                              firstRow, endRow);
    return 1;
}

// The show's picture: four bytes a pixel (the fourth is always 0), rows
// from the top.
LUMEK_EXPORT("show_pixels") uint8_t* showPixels() {
    return show.image ? show.image->pixels.get() : nullptr;
}
LUMEK_EXPORT("show_random_state") uint32_t showRandomState() { return show.random.state(); }
LUMEK_EXPORT("show_phase") uint32_t showPhase() { return show.timeline.timelinePhase; }
// Which of the ten scenes the last frame showed (SceneIndex), -1 before
// the first.
LUMEK_EXPORT("show_scene") int showScene() {
    for (int i = 0; i < kSceneCount; ++i)
        if (show.timeline.currentShapes == &show.library[i]) return i;
    return -1;
}

// The eight shot views at 1024 x 768 in one run, as "-shot1 ... -shot8".
LUMEK_EXPORT("shots_start") void shotsStart() { shots.start(kShotWidth, kShotHeight, 1.0f); }
LUMEK_EXPORT("shot") uint8_t* shot(int row) {
    if (!shots.renderer || row < 1 || row > kShotCount) return nullptr;
    renderShot(row, shots.library, *shots.renderer);
    return shots.image->pixels.get();
}

// The benchmark's walk and 32 frames, from a fresh generator, timed with
// the page's clock: the five-line entry for the given local time, then
// the line that says whether every frame was right.
LUMEK_EXPORT("bench_run") const char* benchRun(int day, int month, int year, int hour, int minute) {
    Run bench;
    bench.start(kBenchImageSize, kBenchImageSize, kBenchAspect);
    FrameCheck check;
    EntryRun run{bench.library, *bench.renderer, bench.random};
    run.clockMs = pageClockMs;
    run.check = &check;
    const EntryFigures figures = runBenchEntry(run);
    deleteSceneShapes(bench.library);
    const LocalTime when{day, month, year, hour, minute};
    benchText = formatBenchReport(figures.renderMs, figures.cpuMs, when, "\n") +
                entryCheckLine(figures.wrongFrames) + "\n";
    benchStatus = figures.wrongFrames == 0 ? 0 : 2;
    entryStartState = figures.startState;
    entryWrongFrames = figures.wrongFrames;
    entryRenderMs = figures.renderMs;
    entryCpuMs = figures.cpuMs;
    return benchText.c_str();
}
LUMEK_EXPORT("bench_status") int benchStatusCode() { return benchStatus; }
LUMEK_EXPORT("bench_wrong_frames") int benchWrongFrames() { return entryWrongFrames; }
LUMEK_EXPORT("bench_render_ms") uint32_t benchRenderMs() { return entryRenderMs; }
LUMEK_EXPORT("bench_cpu_ms") uint32_t benchCpuMs() { return entryCpuMs; }
// The generator's state before the entry's first timed frame: where every
// round starts.
LUMEK_EXPORT("bench_start_state") uint32_t benchStartState() { return entryStartState; }

// Rounds of the 32 timed frames from `startState`, every frame checked, as
// each of the desktop's threads renders them; the page times them.
LUMEK_EXPORT("bench_rounds_start") void benchRoundsStart(uint32_t startState) {
    benchWorker = std::make_unique<BenchWorker>(startState);
}
// One round: how many of its frames were wrong.
LUMEK_EXPORT("bench_round") int benchRound(int worker, uint32_t round) {
    return benchWorker ? benchWorker->renderRound(FrameCheck{}, worker, round) : kBenchFrames - 1;
}

// The figures' lines as the desktop prints them, for the page's medians:
// one thread's, then all workers' with their speed-up over one thread.
LUMEK_EXPORT("bench_one_line")
const char* benchOneLine(double msPerRound, uint32_t rounds, uint32_t wrongFrames) {
    lineText = oneThreadLine(roundFigures(1, rounds, wrongFrames, msPerRound));
    return lineText.c_str();
}
LUMEK_EXPORT("bench_all_line")
const char* benchAllLine(double msPerRound, int workers, uint32_t rounds, uint32_t wrongFrames,
                         double oneMsPerRound) {
    lineText = allThreadsLine(roundFigures(workers, rounds, wrongFrames, msPerRound), oneMsPerRound,
                              "worker");
    return lineText.c_str();
}

LUMEK_EXPORT("bench_noise_line") const char* benchNoiseLine(double spread) {
    lineText = noiseLine(spread);
    return lineText.c_str();
}

// The score line as the desktop ends its benchmark with it, for the
// page's figures: each set's time per round, spread and wrong frames.
LUMEK_EXPORT("bench_score_line")
const char* benchScoreLine(double oneMsPerRound, double oneSpread, uint32_t oneWrongFrames,
                           double allMsPerRound, double allSpread, uint32_t allWrongFrames) {
    RoundFigures one = roundFigures(1, 0, oneWrongFrames, oneMsPerRound);
    RoundFigures all = roundFigures(0, 0, allWrongFrames, allMsPerRound);
    one.spread = oneSpread;
    all.spread = allSpread;
    lineText = scoreLine(one, all);
    return lineText.c_str();
}

// ---- The result record ------------------------------------------------------
//
// The page hands over every round's time, worker by worker, for the one
// worker and for all of them; the figures and the record are then made by
// the desktop's own code, so both have the same fields and the same
// statistics.

namespace {

RoundFigures roundSets[2];   // 0: one worker, 1: all workers
double setFigures[4];        // msPerRound, rounds, wrongFrames, spread
std::string recordTexts[3];  // the label, the time (UTC), the browser's user agent
std::string recordText;
constexpr int kMostWorkers = 1024;

RoundFigures* roundSet(int set) { return set == 0 || set == 1 ? &roundSets[set] : nullptr; }

ThreadRounds* roundSlot(int set, int worker) {
    RoundFigures* f = roundSet(set);
    if (f == nullptr || worker < 0 || static_cast<size_t>(worker) >= f->perThread.size())
        return nullptr;
    return &f->perThread[static_cast<size_t>(worker)];
}

}  // namespace

// A set of rounds begins: `workers` side by side, none bound to a processor.
LUMEK_EXPORT("bench_figures_start") int benchFiguresStart(int set, int workers) {
    RoundFigures* f = roundSet(set);
    if (f == nullptr || workers < 1 || workers > kMostWorkers) return 0;
    *f = RoundFigures{};
    f->threads = workers;
    f->perThread.resize(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i) f->perThread[static_cast<size_t>(i)].thread = i;
    return 1;
}

// One round of a worker, in the page's milliseconds.
LUMEK_EXPORT("bench_figures_round") int benchFiguresRound(int set, int worker, double ms) {
    ThreadRounds* slot = roundSlot(set, worker);
    if (slot == nullptr || !(ms >= 0) || !(ms < 1e12)) return 0;
    slot->roundNs.push_back(static_cast<int64_t>(std::llround(ms * 1e6)));
    return 1;
}

LUMEK_EXPORT("bench_figures_wrong") int benchFiguresWrong(int set, int worker, uint32_t wrong) {
    ThreadRounds* slot = roundSlot(set, worker);
    if (slot == nullptr) return 0;
    slot->wrongFrames += wrong;
    return 1;
}

// The set's figures, as the desktop sums up its threads: four numbers,
// the time per round (ms), the rounds, the wrong frames and the largest
// spread.
LUMEK_EXPORT("bench_figures") const double* benchFigures(int set) {
    RoundFigures* f = roundSet(set);
    if (f == nullptr) return nullptr;
    summarizeFigures(*f);
    setFigures[0] = f->msPerRound;
    setFigures[1] = static_cast<double>(f->rounds);
    setFigures[2] = static_cast<double>(f->wrongFrames);
    setFigures[3] = f->spread;
    return setFigures;
}

// Room for one of the record's texts of `bytes` bytes: 0 the label, 1 the
// time the record was made ("2026-12-08T12:34:56Z"), 2 the browser's user
// agent.
LUMEK_EXPORT("bench_record_text") char* benchRecordText(int which, uint32_t bytes) {
    if (which < 0 || which > 2 || bytes > 4096) return nullptr;
    recordTexts[which].assign(bytes, '\0');
    return recordTexts[which].data();
}

// The result record of the entry (its figures from bench_render_ms and
// friends on the worker that ran it) and the two sets of rounds, as one
// line of the desktop's bench.jsonl without its line end.
LUMEK_EXPORT("bench_record")
const char* benchRecord(int day, int month, int year, int hour, int minute, uint32_t renderMs,
                        uint32_t cpuMs, uint32_t entryWrong, int hardwareConcurrency) {
    BenchResult r;
    r.version = LUMEK_VERSION;
    r.compiler = compilerText();
    r.target = "wasm32";
    for (const fast::RowShaderTarget& t : fast::rowShaderTargets())
        if (t.supported()) r.rowShader = t.name;
    r.utc = recordTexts[1];
    r.label = recordTexts[0];
    r.local = LocalTime{day, month, year, hour, minute};
    r.workloadId = benchWorkloadId();
    // What the browser lets the page use; the workers may be fewer or
    // more (?workers=), as the all-threads figures say.
    const int processors = std::max(0, hardwareConcurrency);
    r.machine.logicalOnline = r.machine.logicalUsable = processors;
    r.machine.system.name = "browser";
    r.userAgent = recordTexts[2];
    r.hardwareConcurrency = processors;
    r.renderMs = renderMs;
    r.cpuMs = cpuMs;
    r.oneThread = roundSets[0];
    r.allThreads = roundSets[1];
    r.framesChecked = kBenchFrames;
    r.wrongFrames = entryWrong;
    for (const RoundFigures* f : {&r.oneThread, &r.allThreads}) {
        r.framesChecked += f->rounds * (kBenchFrames - 1);
        r.wrongFrames += f->wrongFrames;
    }
    recordText = resultJson(r);
    return recordText.c_str();
}

// What the result record names: the measured work, the program and its
// compiler.
LUMEK_EXPORT("bench_workload_id") const char* benchWorkload() {
    lineText = hashHex(benchWorkloadId());
    return lineText.c_str();
}
LUMEK_EXPORT("program_version") const char* programVersion() { return LUMEK_VERSION; }
LUMEK_EXPORT("program_compiler") const char* programCompiler() { return compilerText(); }

// ---- Scene files ------------------------------------------------------------
//
// A scene document (the JSON text of a scene file) is read with the very
// reader the desktop program uses, posed at a time and rendered at any
// size. The page's workers each hold the same document and draw their own
// band of a picture's rows; every band starts from the frame's generator
// state, so the bands together are the desktop's picture byte for byte.

namespace {

struct ScenePicture {
    std::optional<SceneDocument> document;
    std::string text;   // the document's text, written by the page
    std::string error;  // why the last document was refused
    PosedScene posed;
    RandomStream random;
    std::unique_ptr<FrameImage> image;
    std::unique_ptr<RayRenderer> renderer;
    PictureView view;  // the padded frame's view
    int32_t width = 0, height = 0;
    uint32_t state = 0;  // the frame's generator state
};

ScenePicture scene;

}  // namespace

// Room for a document of `bytes` bytes; the page writes its text there and
// then calls scene_read.
LUMEK_EXPORT("scene_text") char* sceneText(uint32_t bytes) {
    if (bytes > kMaxSceneFileBytes) return nullptr;
    scene.text.assign(bytes, '\0');
    return scene.text.data();
}

// Reads the text written into scene_text: 1 when it is a scene, else 0
// and scene_error says why.
LUMEK_EXPORT("scene_read") int sceneRead() {
    SceneParse parse = parseScene(scene.text, "scene");
    if (!parse) {
        scene.document.reset();
        scene.error = parse.error.text();
        return 0;
    }
    scene.document = std::move(parse.document);
    scene.error.clear();
    return 1;
}
LUMEK_EXPORT("scene_error") const char* sceneError() { return scene.error.c_str(); }

// After scene_read stopped with a trap (the reader's fault thrown, which
// this module cannot catch): why, with its line and column in the text,
// as scene_error would have said it.
LUMEK_EXPORT("scene_refusal") const char* sceneRefusal() {
    const web::ThrownReason& why = web::lastThrow;
    SceneError error;
    error.file = "scene";
    if (why.placed) {
        const size_t offset = std::min(why.offset, scene.text.size());
        error.line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < offset; ++i)
            if (scene.text[i] == '\n') ++error.line, lineStart = i + 1;
        error.column = static_cast<int64_t>(offset - lineStart) + 1;
        error.path = why.path;
    }
    error.message = why.message;
    scene.document.reset();
    scene.error = error.text();
    return scene.error.c_str();
}

// The document written back canonically (as the desktop saves it).
LUMEK_EXPORT("scene_canonical") const char* sceneCanonical() {
    scene.error = scene.document ? writeScene(*scene.document) : std::string();
    return scene.error.c_str();
}

namespace {

// The picture of the document posed at `seconds`, with frame `frameNumber`'s
// jitter, at `width` x `height`: its frame made (padded to whole tiles).
int prepare(int32_t width, int32_t height, double seconds, int64_t frameNumber) {
    if (!scene.document || width < kMinPictureEdge || height < kMinPictureEdge ||
        width > kMaxPictureEdge || height > kMaxPictureEdge || !(seconds >= 0.0))
        return 0;
    const SceneDocument& document = *scene.document;
    poseScene(document, seconds, scene.posed);
    const ScenePose& pose = scene.posed.pose;
    const PictureView view{pose.viewCentre, pose.axisX, pose.axisY, pose.viewHeight};
    scene.view = paddedView(view, width, height, 1.0f);
    const FrameExtent frame = paddedExtent(width, height);
    if (!scene.image || scene.image->getWidth() != frame.width ||
        scene.image->getHeight() != frame.height) {
        scene.renderer.reset();
        scene.image.reset();
        scene.image = std::make_unique<FrameImage>(frame.width, frame.height, 1.0f);
        scene.renderer = std::make_unique<RayRenderer>(scene.image.get(), scene.random, 1);
    }
    scene.width = width;
    scene.height = height;
    scene.state = sceneFrameState(document.frameSeed(), frameNumber);
    return 1;
}

}  // namespace

// The picture at `seconds` (a still picture of that moment, as -png
// --time makes it). 1 when ready.
LUMEK_EXPORT("scene_prepare") int scenePrepare(int32_t width, int32_t height, double seconds) {
    if (!scene.document || !(seconds >= 0.0)) return 0;
    return prepare(width, height, seconds, sceneFrameAt(*scene.document, seconds));
}

// Frame `frame` of the animation, as -record writes it. 1 when ready.
LUMEK_EXPORT("scene_prepare_frame") int scenePrepareFrame(int32_t width, int32_t height, double frame) {
    if (!scene.document || !(frame >= 0.0) || frame >= static_cast<double>(scene.document->frameCount()))
        return 0;
    const auto number = static_cast<int64_t>(frame);
    return prepare(width, height, sceneFrameTime(*scene.document, number), number);
}

// Draws rows firstRow .. endRow - 1 of the prepared picture (0 and its
// height: all of it). 1 when drawn.
LUMEK_EXPORT("scene_rows") int sceneRows(int32_t firstRow, int32_t endRow) {
    if (!scene.renderer || firstRow < 0 || endRow > scene.height || firstRow >= endRow) return 0;
    scene.random.setState(scene.state);
    PictureView view = scene.view;
    scene.renderer->renderRows(scene.posed.list(), view.centre, view.axisX, view.axisY,
                               view.height, firstRow, endRow);
    return 1;
}

// The prepared frame's pixels: four bytes a pixel (the fourth always 0),
// scene_stride pixels a row; the picture is its top-left width x height.
LUMEK_EXPORT("scene_pixels") uint8_t* scenePixels() {
    return scene.image ? scene.image->pixels.get() : nullptr;
}
LUMEK_EXPORT("scene_stride") int32_t sceneStride() {
    return scene.image ? scene.image->getWidth() : 0;
}
// How many frames the document's whole run has, and its frame rate.
LUMEK_EXPORT("scene_frames") double sceneFrames() {
    return scene.document ? static_cast<double>(scene.document->frameCount()) : 0.0;
}
LUMEK_EXPORT("scene_fps") int sceneFps() {
    return scene.document ? scene.document->framesPerSecond() : 0;
}
// Lets go of the picture's memory (a large export's frame).
LUMEK_EXPORT("scene_release") void sceneRelease() {
    scene.renderer.reset();
    scene.image.reset();
}

// The ten built-in scenes as scene files, the very text `lumek
// --save-scenes` writes: each screenshot's scene posed as its row, with the
// generator's state where its picture starts in the run of all eight as its
// seed; then the two the show poses on its own. Files end with a line end;
// each is preceded by its name and a line end, and followed by a NUL.
LUMEK_EXPORT("builtin_scenes") const char* builtinScenes() {
    static std::string all;
    if (!all.empty()) return all.c_str();
    for (const NamedText& file : builtInSceneFiles()) all += file.name + "\n" + file.text + '\0';
    all += '\0';
    return all.c_str();
}

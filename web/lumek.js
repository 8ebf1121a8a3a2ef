// Lumek in the browser. Three parts:
//  - Lumek.compile and Lumek.load: lumek.wasm and the few imports it needs
//    (the page's clock and the three WASI calls its C library links), used
//    by the page, by its workers and by node in the tests;
//  - Lumek.Crew: the workers (lumek-worker.js), each with a module of its
//    own, that render every show frame together, one band of rows each,
//    and run the benchmark's entry and rounds;
//  - the page: the show on a canvas at the display's rate with the
//    desktop's clock rules, fullscreen on a click, the end screen after any
//    key or the show's end, the figures overlay and the benchmark's button
//    (the benchmark itself is benchmark.js, the editor editor.js).
'use strict';

const Lumek = (() => {
    const ERRNO_BADF = 8;

    function imports(memory) {
        return {
            lumek: { now_ms: () => performance.now() },
            wasi_snapshot_preview1: {
                // Only stdout and stderr are ever written: to the console.
                fd_write(fd, iovs, count, writtenOut) {
                    const view = new DataView(memory().buffer);
                    let text = '', total = 0;
                    for (let i = 0; i < count; ++i) {
                        const at = view.getUint32(iovs + 8 * i, true);
                        const length = view.getUint32(iovs + 8 * i + 4, true);
                        text += new TextDecoder().decode(new Uint8Array(memory().buffer, at, length));
                        total += length;
                    }
                    view.setUint32(writtenOut, total, true);
                    (fd === 2 ? console.error : console.log)(text.replace(/\n$/, ''));
                    return 0;
                },
                fd_close: () => ERRNO_BADF,
                fd_seek: () => ERRNO_BADF,
            },
        };
    }

    // The compiled module from its URL, once for the page and all its
    // workers (a WebAssembly.Module can be posted to a worker).
    async function compile(url) {
        let response;
        try {
            response = await fetch(url);
        } catch (error) {
            throw new Error(`${url} could not be fetched (${error.message})`);
        }
        if (!response.ok) throw new Error(`${url} could not be fetched (HTTP ${response.status})`);
        try {
            return await WebAssembly.compile(await response.arrayBuffer());
        } catch (error) {
            throw new Error(`${url} is not a usable module (${error.message})`);
        }
    }

    // An instance of the module. `source`: its URL, its bytes or the
    // compiled module.
    async function load(source) {
        let memory = null;
        const imp = imports(() => memory);
        if (typeof source === 'string') source = await compile(source);
        const instance = source instanceof WebAssembly.Module
            ? await WebAssembly.instantiate(source, imp)
            : (await WebAssembly.instantiate(source, imp)).instance;
        const e = instance.exports;
        memory = e.memory;
        e._initialize();
        const cString = (at) => {
            const bytes = new Uint8Array(memory.buffer, at);
            return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
        };
        const trapped = (call) => {
            try {
                return call();
            } catch (error) {
                if (!(error instanceof WebAssembly.RuntimeError)) throw error;
                const why = cString(e.scene_refusal()).replace(/^scene: /, '');
                e.scene_release();
                throw new Error(`the picture could not be made: ${why}`);
            }
        };
        return {
            // The show at size x size from its start; then one frame at the
            // show's clock (false once it is over, with nothing rendered),
            // of which only rows firstRow .. endRow - 1 are drawn.
            showStart: (size) => e.show_start(size) === 1,
            showFrame: (elapsedMs, firstRow = 0, endRow = 0x7fffffff) =>
                e.show_frame(elapsedMs >>> 0, firstRow, endRow) === 1,
            // Four bytes a pixel, rows from the top; the fourth byte is 0.
            // (The call comes first: it may grow the memory, replacing its buffer.)
            showPixels(size) {
                const at = e.show_pixels();
                return new Uint8Array(memory.buffer, at, size * size * 4);
            },
            showRandomState: () => e.show_random_state() >>> 0,
            showPhase: () => e.show_phase(),
            showScene: () => e.show_scene(),
            // The eight views at 1024 x 768, as -shot1 ... -shot8.
            shotsStart: () => e.shots_start(),
            shot(row) {
                const at = e.shot(row);
                return new Uint8Array(memory.buffer, at, 1024 * 768 * 4);
            },
            // The benchmark's entry and check line, for a local time, and
            // the generator's state where its rounds start.
            bench(date) {
                const at = e.bench_run(date.getDate(), date.getMonth() + 1, date.getFullYear(),
                                       date.getHours(), date.getMinutes());
                return { text: cString(at), status: e.bench_status(),
                         wrongFrames: e.bench_wrong_frames(),
                         startState: e.bench_start_state() >>> 0,
                         renderMs: e.bench_render_ms() >>> 0, cpuMs: e.bench_cpu_ms() >>> 0 };
            },
            // Rounds of the 32 checked frames: each returns its wrong frames.
            benchRoundsStart: (startState) => e.bench_rounds_start(startState >>> 0),
            benchRound: (worker, round) => e.bench_round(worker, round >>> 0),
            // The figures' lines as the desktop prints them.
            benchOneLine: (msPerRound, rounds, wrongFrames) =>
                cString(e.bench_one_line(msPerRound, rounds, wrongFrames)),
            benchAllLine: (msPerRound, workers, rounds, wrongFrames, oneMsPerRound) =>
                cString(e.bench_all_line(msPerRound, workers, rounds, wrongFrames, oneMsPerRound)),
            benchNoiseLine: (spread) => cString(e.bench_noise_line(spread)),
            // The line the desktop's benchmark ends with, for two sets of
            // figures ({ msPerRound, spread, wrongFrames } each).
            benchScoreLine: (one, all) =>
                cString(e.bench_score_line(one.msPerRound, one.spread, one.wrongFrames >>> 0,
                                           all.msPerRound, all.spread, all.wrongFrames >>> 0)),
            // A set of rounds (0: one worker, 1: all of them) summed up as the
            // desktop sums up its threads, from each worker's
            // { durations (ms), wrong }: { msPerRound, rounds, wrongFrames,
            // spread }. The module keeps them for the record.
            benchFigures(set, perWorker) {
                if (e.bench_figures_start(set, perWorker.length) !== 1)
                    throw new Error(`no figures for ${perWorker.length} workers`);
                perWorker.forEach(({ durations, wrong }, worker) => {
                    for (const ms of durations) e.bench_figures_round(set, worker, ms);
                    e.bench_figures_wrong(set, worker, wrong >>> 0);
                });
                const [msPerRound, rounds, wrongFrames, spread] =
                    new Float64Array(memory.buffer, e.bench_figures(set), 4);
                return { msPerRound, rounds, wrongFrames, spread };
            },
            // The result record of an entry (as bench() gives it) and the
            // last two sets of figures: one line of the desktop's
            // bench.jsonl, without its line end, written by the desktop's
            // own writer.
            benchRecord({ date, entry, label = '', utc = '', userAgent = '',
                          hardwareConcurrency = 0 }) {
                [label, utc, userAgent].forEach((text, which) => {
                    const bytes = new TextEncoder().encode(text).subarray(0, 4096);
                    const at = e.bench_record_text(which, bytes.length);
                    new Uint8Array(memory.buffer, at, bytes.length).set(bytes);
                });
                return cString(e.bench_record(date.getDate(), date.getMonth() + 1,
                                              date.getFullYear(), date.getHours(),
                                              date.getMinutes(), entry.renderMs, entry.cpuMs,
                                              entry.wrongFrames >>> 0, hardwareConcurrency | 0));
            },
            // A scene document (the text of a scene file), read by the
            // desktop's own reader: { ok: true } or { ok: false, error }
            // with the place of the fault as the desktop reports it.
            readScene(text) {
                const bytes = new TextEncoder().encode(text);
                const at = e.scene_text(bytes.length);
                if (!at) return { ok: false, error: 'scene: the document is larger than 64 MiB' };
                new Uint8Array(memory.buffer, at, bytes.length).set(bytes);
                try {
                    if (e.scene_read() === 1) return { ok: true };
                    return { ok: false, error: cString(e.scene_error()) };
                } catch (error) {
                    // The reader's fault stops the module (no unwinding in
                    // WebAssembly here); the module kept its reason.
                    if (!(error instanceof WebAssembly.RuntimeError)) throw error;
                    return { ok: false, error: cString(e.scene_refusal()) };
                }
            },
            // The read document written back as the desktop saves it.
            sceneCanonical: () => cString(e.scene_canonical()),
            sceneFrames: () => e.scene_frames(),
            sceneFps: () => e.scene_fps(),
            // The picture of the read document at width x height and
            // `seconds`; then its rows first .. end - 1 drawn, their bytes
            // (four a pixel, the fourth 0, width x 4 a row) returned.
            // A fault on the way (memory running out) stops the module:
            // thrown as an Error saying why, the document let go.
            scenePrepare: (width, height, seconds = 0) =>
                trapped(() => e.scene_prepare(width, height, seconds) === 1),
            // Frame `frame` of the animation instead, as -record writes it.
            scenePrepareFrame: (width, height, frame) =>
                trapped(() => e.scene_prepare_frame(width, height, frame) === 1),
            sceneRows(first, end, width) {
                if (e.scene_rows(first, end) !== 1) throw new Error('no picture was prepared');
                const stride = e.scene_stride();
                const frame = new Uint8Array(memory.buffer, e.scene_pixels(), stride * end * 4);
                if (stride === width) return frame.slice(first * width * 4, end * width * 4);
                const rows = new Uint8Array((end - first) * width * 4);
                for (let y = first; y < end; ++y)
                    rows.set(frame.subarray(y * stride * 4, y * stride * 4 + width * 4),
                             (y - first) * width * 4);
                return rows;
            },
            sceneRelease: () => e.scene_release(),
            // The ten built-in scenes as `lumek --save-scenes` writes them:
            // [{ name, text }] (the first call renders the eight shots).
            builtinScenes() {
                const at = e.builtin_scenes();
                const bytes = new Uint8Array(memory.buffer, at);
                const end = bytes.findIndex((b, i) => b === 0 && bytes[i + 1] === 0);
                const text = new TextDecoder().decode(bytes.subarray(0, end));
                return text.split('\0').map((file) => {
                    const cut = file.indexOf('\n');
                    return { name: file.slice(0, cut), text: file.slice(cut + 1) };
                });
            },
            workloadId: () => cString(e.bench_workload_id()),
            version: () => cString(e.program_version()),
            compiler: () => cString(e.program_compiler()),
        };
    }

    // The rows of each of `count` bands of a size x size frame, as even as
    // whole rows allow: [first, end) pairs, none empty.
    function bands(size, count) {
        const n = Math.max(1, Math.min(count, size));
        return Array.from({ length: n }, (_, i) => [Math.floor(i * size / n),
                                                    Math.floor((i + 1) * size / n)]);
    }

    // Workers made by `spawn()` (a Worker of lumek-worker.js, or node's
    // worker_threads alike), asked in turn: every question carries an id and
    // its answer comes back with it, or the error that the worker met. A
    // worker that dies (its script fails) or whose module can no longer be
    // used (it trapped) breaks the crew: every question fails, then and from
    // then on, and the page makes a new crew.
    class Crew {
        constructor(count, spawn) {
            this.count = Math.max(1, count);
            this.failure = null;
            this.pending = new Map();
            this.nextId = 1;
            this.shows = 0;  // startShow calls: a frame of an earlier show moves no band
            this.workers = Array.from({ length: this.count }, (_, i) => {
                const worker = spawn();
                worker.onmessage = (event) => this.answered(event.data, i);
                worker.onerror = (event) => {
                    if (event.preventDefault) event.preventDefault();
                    this.fail(new Error(`worker ${i + 1} failed` +
                                        (event.message ? `: ${event.message}` : '')));
                };
                return worker;
            });
        }

        ask(worker, question, transfer = []) {
            if (this.failure) return Promise.reject(this.failure);
            const id = this.nextId++;
            return new Promise((resolve, reject) => {
                this.pending.set(id, { resolve, reject });
                this.workers[worker].postMessage({ ...question, id }, transfer);
            });
        }

        answered(answer, worker = 0) {
            if (answer.broken) this.fail(new Error(`worker ${worker + 1} failed: ${answer.error}`));
            const asked = this.pending.get(answer.id);
            if (!asked) return;
            this.pending.delete(answer.id);
            if (answer.error) asked.reject(new Error(answer.error));
            else asked.resolve(answer);
        }

        fail(error) {
            if (!this.failure) this.failure = error;
            for (const asked of this.pending.values()) asked.reject(this.failure);
            this.pending.clear();
        }

        get broken() { return this.failure !== null; }

        close() {
            this.fail(new Error('the workers were closed'));
            for (const worker of this.workers) worker.terminate();
        }

        // Every worker instantiates the compiled module.
        load(module) {
            return Promise.all(this.workers.map((_, i) => this.ask(i, { kind: 'load', module })));
        }

        // The show at size x size from its start, in as many bands as there
        // are workers (at most one a row).
        startShow(size) {
            this.size = size;
            this.cuts = [...bands(size, this.count).map(([first]) => first), size];
            ++this.shows;
            return Promise.all(this.cuts.slice(1).map((_, i) => this.ask(i, { kind: 'show', size })));
        }

        // Where the next frames' bands meet, from a frame's cuts and each
        // band's time: halfway to the cuts that would have given every worker
        // the same time (its time spread evenly over each band's rows).
        // Frames follow each other closely, so the bands keep the workers
        // about equally busy whatever part of the picture is costly.
        balance(cuts, ms) {
            const n = ms.length;
            const total = ms.reduce((sum, m) => sum + m, 0);
            if (n < 2 || !(total > 0)) return;
            const next = [0];
            let band = 0, before = 0;  // time of the bands before `band`
            for (let k = 1; k < n; ++k) {
                const goal = total * k / n;
                while (band < n - 1 && before + ms[band] < goal) before += ms[band++];
                const rows = cuts[band + 1] - cuts[band];
                const even = cuts[band] + (ms[band] > 0 ? (goal - before) / ms[band] * rows : rows);
                const cut = Math.round((cuts[k] + even) / 2);
                // Every band keeps a row at least.
                next.push(Math.min(Math.max(cut, next[k - 1] + 1), this.size - (n - k)));
            }
            next.push(this.size);
            this.cuts = next;
        }

        // One show frame at the show's clock, every worker its band; a frame
        // asked for while one is still out follows it in every worker.
        // `firstBack()` is called when the first band is back (its worker is
        // free for the next frame). Resolves with whether the show goes on and
        // the bands: rows, their pixels (opaque), render time, and the phase,
        // generator state and scene after the frame.
        async frame(elapsedMs, firstBack = () => {}) {
            const cuts = this.cuts, show = this.shows;
            let waiting = true;
            const bands = await Promise.all(cuts.slice(1).map((end, i) =>
                this.ask(i, { kind: 'frame', elapsedMs, first: cuts[i], end }).then((band) => {
                    if (waiting) {
                        waiting = false;
                        firstBack();
                    }
                    return band;
                })));
            const going = bands.every((b) => b.going);
            if (going && show === this.shows) this.balance(cuts, bands.map((b) => b.ms));
            return { going, bands };
        }

        // Once every worker has answered all it was asked before.
        settle() {
            return Promise.all(this.workers.map((_, i) => this.ask(i, { kind: 'ping' })));
        }

        // Every worker reads the scene document `text`: resolves when all
        // hold it, or rejects with the reader's message.
        async loadScene(text) {
            const answers = await Promise.all(this.workers.map((_, i) =>
                this.ask(i, { kind: 'scene', text })));
            const refused = answers.find((a) => !a.ok);
            if (refused) throw new Error(refused.error);
            return answers[0];
        }

        // The loaded scene's picture at width x height and `seconds`, every
        // worker a band of `rowsPerBand` rows at most (each band is asked of
        // the next free worker). `progress(rowsDone)` after each band;
        // `cancelled()` is asked before each. Resolves with the RGBA bytes
        // (the fourth byte 255) or null when cancelled.
        // `seconds` may be { frame: N } for the animation's frame N; `text`,
        // if given, is the document (read first where a worker holds
        // another).
        async scenePicture(width, height, seconds, { rowsPerBand = 0, progress = () => {},
                                                     cancelled = () => false, text } = {}) {
            const step = rowsPerBand > 0 ? rowsPerBand : Math.ceil(height / this.count);
            const rgba = new Uint8Array(width * height * 4);
            let next = 0, done = 0, stop = false;
            const work = async (i) => {
                await this.ask(i, { kind: 'scenePrepare', width, height, seconds, text });
                while (!stop && next < height) {
                    if (cancelled()) { stop = true; break; }
                    const first = next, end = Math.min(height, next + step);
                    next = end;
                    const band = await this.ask(i, { kind: 'sceneRows', first, end, width });
                    rgba.set(new Uint8Array(band.pixels), first * width * 4);
                    done += end - first;
                    progress(done);
                }
            };
            await Promise.all(this.workers.map((_, i) => work(i)));
            if (stop) return null;
            for (let i = 3; i < rgba.length; i += 4) rgba[i] = 255;
            return rgba;
        }

        // The benchmark's entry on the first worker: its text, status, wrong
        // frames and the state its rounds start from.
        entry(date) {
            return this.ask(0, { kind: 'entry', time: date.getTime() });
        }

        // The first `workers` workers render checked rounds from `startState`
        // side by side for about `seconds` (each prepares first, then all
        // start together): each one's round times in milliseconds and wrong
        // frames.
        async rounds(workers, startState, seconds) {
            const all = [...Array(Math.min(workers, this.count)).keys()];
            await Promise.all(all.map((i) => this.ask(i, { kind: 'rounds', startState })));
            return Promise.all(all.map((i) => this.ask(i, { kind: 'go', worker: i, seconds })));
        }
    }

    return { compile, load, bands, Crew };
})();

if (typeof module !== 'undefined') module.exports = Lumek;

// The editor is a mode of the page: ?editor, #editor or a scene's link.
const lumekEditorAsked = typeof location !== 'undefined' &&
    (/(^|[?&])editor(=|&|$)/.test(location.search.slice(1)) || location.hash === '#editor' ||
     location.hash.startsWith('#scene='));

if (typeof document !== 'undefined' && lumekEditorAsked && document.getElementById('editor')) {
    const asked = Number(new URLSearchParams(location.search).get('workers'));
    const workers = Math.max(1, Math.min(Number.isInteger(asked) && asked > 0 ? asked
        : navigator.hardwareConcurrency || 1, 16));
    import('./editor.js').then((editor) => editor.startEditor({ Lumek, workers })).catch((error) => {
        const box = document.getElementById('ed-message');
        box.textContent = `The editor could not start: ${error.message}`;
        box.dataset.fault = '1';
    });
} else if (typeof document !== 'undefined' && document.getElementById('picture')) {
    const $ = (id) => document.getElementById(id);
    const canvas = $('picture');
    const context = canvas.getContext('2d');
    // Workers for the show's bands and the benchmark: one per logical
    // processor, or as the address asks (?workers=4); at most 16.
    const kMaxWorkers = 16;
    const workers = (() => {
        const asked = Number(new URLSearchParams(location.search).get('workers'));
        const count = Number.isInteger(asked) && asked > 0 ? asked : navigator.hardwareConcurrency;
        return Math.max(1, Math.min(count || 1, kMaxWorkers));
    })();
    let wasm = null;    // lumek.wasm, compiled once
    let lumek = null;   // the page's own instance (the benchmark's lines and record)
    let crew = null;
    let size = 128;
    let playing = false;
    let ticking = false;   // an animation frame is asked for
    let show = 0;          // which play of the show a frame belongs to
    let out = 0;           // frames with the workers: one, and maybe the next
    let askedAt = 0;       // when the last was asked for
    let frameIntervalMs = 1000 / 60;  // the display's, from the animation frames
    let lastAnimationAt = 0;
    let elapsedMs = 0, lastTickMs = 0;
    let benchmarking = false;  // no show meanwhile: the workers are timed

    // What the page measures, for people (the overlay) and for the tests:
    // totals since the show started, and a recent window for the overlay.
    const stats = window.lumekStats = {
        size, workers, frames: 0, renderMs: 0, intervalMs: 0, lastFrameAt: 0,
        animationFrames: 0, bandMs: [], fps: 0, msPerFrame: 0, ended: false,
        reset() {
            Object.assign(this, { size, workers: crew ? crew.cuts.length - 1 : workers, frames: 0,
                                  renderMs: 0, intervalMs: 0, lastFrameAt: 0, animationFrames: 0,
                                  bandMs: [], fps: 0, msPerFrame: 0, ended: false });
            recent = { since: performance.now(), frames: 0, renderMs: 0, bandMs: [] };
        },
    };
    let recent = null;

    // A millisecond counter as an unsigned 32-bit value, differences taken
    // the same way: the desktop's clock.
    const clockMs = () => Math.floor(performance.now()) >>> 0;

    function showError(title, error) {
        playing = false;
        stats.ended = true;
        $('end-title').textContent = title;
        $('error').textContent = error.message || String(error);
        $('error').hidden = false;
        $('end').hidden = false;
    }

    // The compiled module, the page's instance and the workers, made again
    // where an earlier try failed; one try at a time.
    let readying = null;
    function ready() {
        if (readying && crew && crew.broken) readying = null;
        if (!readying) {
            readying = (async () => {
                if (!wasm) wasm = await Lumek.compile('lumek.wasm');
                if (!lumek) lumek = await Lumek.load(wasm);
                if (!crew || crew.broken) {
                    if (crew) crew.close();
                    crew = null;
                    const fresh = new Lumek.Crew(workers, () => new Worker('lumek-worker.js'));
                    try {
                        await fresh.load(wasm);
                    } catch (error) {
                        fresh.close();
                        throw error;
                    }
                    crew = fresh;
                }
            })();
            readying.catch(() => { readying = null; });
        }
        return readying;
    }

    async function play() {
        if (benchmarking) return;
        const mine = ++show;
        playing = false;
        $('end').hidden = true;
        $('error').hidden = true;
        try {
            await ready();
            await crew.startShow(size);
        } catch (error) {
            if (mine === show) showError('Lumek could not start.', error);
            return;
        }
        if (mine !== show) return;
        canvas.width = canvas.height = size;
        stats.reset();
        elapsedMs = 0;
        lastTickMs = clockMs();
        out = 0;
        playing = true;
        frameIntervalMs = 1000 / 60;
        measureDisplay();
        nextAnimationFrame();
    }

    function end(title) {
        ++show;
        playing = false;
        stats.ended = true;
        $('end-title').textContent = title;
        $('error').hidden = true;
        $('end').hidden = false;
        $('again').focus();
    }

    // The display's rate: at most one show frame is asked for per display
    // frame. The next frame is asked for as soon as a worker is done with
    // the last one if a display frame has passed since it was asked for (the
    // other workers take it up when they are done too), else when the next
    // animation frame comes; the canvas keeps the last frame meanwhile. No
    // animation frame is asked for while the workers are busy: the page does
    // no work at the display's rate that it does not need.
    function nextAnimationFrame() {
        if (ticking) return;
        ticking = true;
        requestAnimationFrame(animate);
    }

    function animate(now) {
        ticking = false;
        if (!playing) return;
        ++stats.animationFrames;
        // Animation frames one display frame apart come when frames are fast.
        if (now > lastAnimationAt)
            frameIntervalMs = Math.max(1000 / 240, Math.min(frameIntervalMs, now - lastAnimationAt));
        lastAnimationAt = now;
        if (out === 0) renderFrame();
    }

    const displayFramePassed = () => performance.now() - askedAt >= frameIntervalMs;

    // The display's frame interval from a few animation frames in a row:
    // the show's own are asked for only while the workers are idle, so
    // when frames are slow they never come back to back, and a faster
    // display (120 Hz, or none in a measurement) would be paced as 60 Hz.
    function measureDisplay(frames = 4) {
        let last = 0;
        const step = (now) => {
            if (last > 0 && now > last)
                frameIntervalMs = Math.max(1000 / 240, Math.min(frameIntervalMs, now - last));
            last = now;
            if (--frames > 0) requestAnimationFrame(step);
        };
        requestAnimationFrame(step);
    }


    // One pass of the desktop's main loop: advance the clock, render the
    // frame for it (on the workers), show it. While the page is hidden no
    // frames come, but the clock runs on, as for a minimised window.
    function renderFrame() {
        const mine = show;
        const nowMs = clockMs();
        elapsedMs = (elapsedMs + ((nowMs - lastTickMs) >>> 0)) >>> 0;
        lastTickMs = nowMs;
        ++out;
        askedAt = performance.now();
        const firstBack = () => {
            if (mine === show && out === 1 && displayFramePassed()) renderFrame();
        };
        crew.frame(elapsedMs, firstBack).then((frame) => {
            if (mine !== show) return;
            --out;
            if (!frame.going) {
                end('The show is over.');
                return;
            }
            if (out === 0) {
                if (displayFramePassed()) renderFrame();
                else nextAnimationFrame();
            }
            for (const band of frame.bands)
                context.putImageData(new ImageData(new Uint8ClampedArray(band.pixels), size,
                                                   band.end - band.first), 0, band.first);
            count(frame.bands.map((b) => b.ms), performance.now());
        }, (error) => {
            if (mine === show) showError('The show stopped.', error);
        });
    }

    // A frame shown: its render time is its slowest band's.
    function count(bandMs, now) {
        const ms = Math.max(...bandMs);
        ++stats.frames;
        stats.renderMs += ms;
        bandMs.forEach((b, i) => { stats.bandMs[i] = (stats.bandMs[i] || 0) + b; });
        if (stats.lastFrameAt) stats.intervalMs += now - stats.lastFrameAt;
        stats.lastFrameAt = now;
        ++recent.frames;
        recent.renderMs += ms;
        bandMs.forEach((b, i) => { recent.bandMs[i] = (recent.bandMs[i] || 0) + b; });
        // The overlay's figures: over about the last half second.
        if (now - recent.since >= 500) {
            stats.fps = recent.frames * 1000 / (now - recent.since);
            stats.msPerFrame = recent.renderMs / recent.frames;
            const perBand = recent.bandMs.map((b) => (b / recent.frames).toFixed(1));
            $('overlay').textContent =
                `${size} × ${size} on ${stats.workers} worker${stats.workers === 1 ? '' : 's'}\n` +
                `${stats.fps.toFixed(1)} frames a second\n` +
                `${stats.msPerFrame.toFixed(1)} ms a frame\n` +
                `each worker's band: ${perBand.join(', ')} ms`;
            recent = { since: now, frames: 0, renderMs: 0, bandMs: [] };
        }
    }

    document.addEventListener('keydown', (event) => {
        // Keys in the controls work them; any other ends the show.
        if (!playing || event.target.closest('#controls')) return;
        end('The show is over.');
    });
    $('stage').addEventListener('click', () => {
        if (!document.fullscreenElement) document.documentElement.requestFullscreen().catch(() => {});
    });
    $('size').addEventListener('change', () => {
        size = Number($('size').value);
        play();
    });
    $('nearest').addEventListener('change', () => {
        canvas.classList.toggle('nearest', $('nearest').checked);
    });
    $('figures').addEventListener('change', () => {
        $('overlay').hidden = !$('figures').checked;
    });
    $('again').addEventListener('click', () => play());

    // The benchmark runs on the workers, so its timing is the module's
    // alone and the page stays responsive.
    $('bench').addEventListener('click', async () => {
        end('Benchmark');
        benchmarking = true;
        $('bench').disabled = $('again').disabled = true;
        $('save').hidden = $('save-record').hidden = true;
        const result = $('bench-result');
        result.textContent = 'running the walk and 32 frames ...';
        delete result.dataset.status;
        try {
            await ready();
            const benchmark = await import('./benchmark.js');
            const run = await benchmark.runBenchmark({
                crew, lumek, date: new Date(), label: benchmark.recordLabel($('bench-label').value),
                machine: { userAgent: navigator.userAgent,
                           hardwareConcurrency: navigator.hardwareConcurrency },
                told: (text) => { result.textContent = text; },
            });
            benchmark.showResult(result, run);
            result.dataset.status = String(run.status);
            // bench.txt as the desktop writes it: the five lines alone; and
            // the result record as one line of the desktop's bench.jsonl.
            $('save').href = URL.createObjectURL(new Blob([run.entry], { type: 'text/plain' }));
            $('save-record').href = URL.createObjectURL(
                new Blob([run.recordLine + '\n'], { type: 'application/json' }));
            $('save').hidden = $('save-record').hidden = false;
        } catch (error) {
            // The page's own instance trapped while it wrote the lines: a
            // new one next time (a broken crew is replaced by ready() itself).
            if (error instanceof WebAssembly.RuntimeError || error instanceof RangeError) {
                lumek = null;
                readying = null;
            }
            result.textContent = `The benchmark could not run: ${error.message}`;
            result.dataset.status = 'failed';
        } finally {
            benchmarking = false;
            $('bench').disabled = $('again').disabled = false;
        }
    });

    play();
}

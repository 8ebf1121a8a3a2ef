// lumek.wasm under node, against the native build: the eight shot views at
// 1024 x 768 give the golden hashes, and the show's frames every quarter
// second at 64 x 64 are the native program's bytes. Then the page's workers
// (lumek-worker.js on worker_threads, asked by Lumek.Crew): show frames in
// bands on 1 to 4 workers are one module's whole frames, and the benchmark
// on two workers gives its lines and its result record.
//
// Its score line and record are checked against the native program's: the
// same line for the same figures, the same fields in the same order, and
// `lumek --results` lists the record.
//
//   node module_test.js <build-web dir> <native lumek_numbers> <golden.h> <native lumek>
'use strict';

const assert = require('assert');
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { Worker } = require('worker_threads');

const [webDir, numbersExe, goldenHeader, lumekExe] = process.argv.slice(2);
const os = require('os');
const Lumek = require(path.resolve(webDir, 'lumek.js'));

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

function goldenShots() {
    const text = fs.readFileSync(goldenHeader, 'utf8');
    const table = text.slice(text.indexOf('kGoldenShots'), text.indexOf('kGoldenPngs'));
    return [...table.matchAll(/\{"(\w+)", "([0-9a-f]{64})"\}/g)].map((m) => [m[1], m[2]]);
}

function rgbOf(rgba) {
    const rgb = Buffer.alloc((rgba.length / 4) * 3);
    for (let i = 0, o = 0; i < rgba.length; i += 4) {
        rgb[o++] = rgba[i];
        rgb[o++] = rgba[i + 1];
        rgb[o++] = rgba[i + 2];
    }
    return rgb;
}

// The page's benchmark.js, an ES module: node before 22 reads a .js file
// outside a package of type "module" as CommonJS, so a copy named .mjs is
// imported.
async function benchmarkModule() {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lumek-web-benchmark-'));
    const copy = path.join(dir, 'benchmark.mjs');
    fs.copyFileSync(path.resolve(webDir, 'benchmark.js'), copy);
    const imported = await import(require('url').pathToFileURL(copy).href);
    fs.rmSync(dir, { recursive: true });
    return imported;
}

// A worker_threads worker of the page's worker script, dressed as a
// browser's Worker for Lumek.Crew.
function nodeWorker() {
    const worker = new Worker(path.resolve(webDir, 'lumek-worker.js'));
    const dressed = {
        onmessage: null, onerror: null,
        postMessage: (message, transfer) => worker.postMessage(message, transfer),
        terminate: () => worker.terminate(),
    };
    worker.on('message', (data) => dressed.onmessage({ data }));
    worker.on('error', (error) => dressed.onerror({ message: error.message }));
    return dressed;
}

// The frames at `times` on a crew as the page asks for them: the next one
// as soon as the first band of the last is back, so that two are out at
// once and each worker takes up the next frame when it is done.
function crewFrames(crew, times) {
    return new Promise((resolve, reject) => {
        const frames = [];
        let asked = 0, back = 0;
        const ask = () => {
            if (asked === times.length) return;
            const k = asked++;
            crew.frame(times[k], ask).then((frame) => {
                frames[k] = frame;
                if (++back === times.length) resolve(frames);
            }, reject);
        };
        ask();
    });
}

// The show at size x size, a frame every `stepMs` until it ends, on one
// module and on crews of 1 ... 4 workers side by side: every frame's
// picture, and each band's phase and generator state, must be the module's.
async function bandsAgainstOneModule(module, size, stepMs) {
    const one = await Lumek.load(module);
    assert.ok(one.showStart(size));
    const expected = [];
    for (let t = 0; ; t += stepMs) {
        const going = one.showFrame(t);
        const picture = Buffer.from(one.showPixels(size));
        for (let i = 3; i < picture.length; i += 4) picture[i] = 255;
        expected.push({ t, going, picture: sha256(picture), phase: one.showPhase(),
                        state: one.showRandomState(), scene: one.showScene() });
        if (!going) break;
    }
    const differing = [];
    await Promise.all([1, 2, 3, 4].map(async (n) => {
        const crew = new Lumek.Crew(n, nodeWorker);
        try {
            await crew.load(module);
            await crew.startShow(size);
            const frames = await crewFrames(crew, expected.map((e) => e.t));
            frames.forEach((frame, k) => {
                const e = expected[k], what = `${n} worker(s) at ${e.t} ms`;
                if (frame.going !== e.going) differing.push(`${what}: going ${frame.going}`);
                if (!e.going) return;
                if (frame.bands.length !== n) differing.push(`${what}: ${frame.bands.length} bands`);
                // The bands, in order, make the whole picture.
                const joined = Buffer.concat(frame.bands.map((b) => Buffer.from(b.pixels)));
                if (frame.bands.some((b, i) => b.first !== (i ? frame.bands[i - 1].end : 0)) ||
                    sha256(joined) !== e.picture)
                    differing.push(`${what}: picture, bands ` +
                                   frame.bands.map((b) => `${b.first} .. ${b.end - 1}`).join(', '));
                for (const b of frame.bands)
                    if (b.phase !== e.phase || b.state !== e.state || b.scene !== e.scene)
                        differing.push(`${what}, rows ${b.first} .. ${b.end - 1}: ` +
                                       `phase ${b.phase}, state ${b.state}, scene ${b.scene}`);
            });
        } finally {
            crew.close();
        }
    }));
    const shown = expected.filter((e) => e.going);
    return { frames: shown.length, scenes: [...new Set(shown.map((e) => e.scene))].sort((a, b) => a - b),
             differing };
}

async function main() {
    const bytes = fs.readFileSync(path.join(webDir, 'lumek.wasm'));
    const { check, finish } = require('./checks.js').checks();

    // The eight shots in one run, as -shot1 ... -shot8.
    const shots = await Lumek.load(bytes);
    shots.shotsStart();
    const golden = goldenShots();
    assert.strictEqual(golden.length, 8);
    golden.forEach(([name, hash], i) => {
        const started = process.hrtime.bigint();
        const rgb = rgbOf(shots.shot(i + 1));
        const ms = Number(process.hrtime.bigint() - started) / 1e6;
        check(`shot ${i + 1} (${name}) has the golden hash (${ms.toFixed(0)} ms)`,
              () => assert.strictEqual(sha256(rgb), hash));
    });

    // The show every quarter second at 64 x 64: picture, phase and
    // generator state as the native build prints them.
    const native = execFileSync(numbersExe, { maxBuffer: 1 << 26 }).toString().split('\n');
    const show = await Lumek.load(bytes);
    assert.ok(show.showStart(64));
    let compared = 0, differing = [];
    for (const line of native) {
        const m = line.match(/^t (\d+) phase (\d+) (\d) view .* picture ([0-9a-f]{64}) random ([0-9a-f]{8})$/);
        if (!m || Number(m[1]) > 312000) continue;  // the frames the show renders
        const going = show.showFrame(Number(m[1]));
        const picture = sha256(show.showPixels(64));
        const state = show.showRandomState().toString(16).padStart(8, '0');
        if (!going || picture !== m[4] || state !== m[5] || String(show.showPhase()) !== m[2])
            differing.push(m[1]);
        ++compared;
    }
    check(`all ${compared} quarter-second show frames are the native bytes`, () => {
        assert.strictEqual(compared, 1249);
        assert.deepStrictEqual(differing, []);
    });
    check('the frame after the show\'s end renders nothing', () => {
        assert.strictEqual(show.showFrame(312250), false);
    });

    // Bands of rows, as even as whole rows allow.
    check('the show\'s bands split the rows evenly, none empty', () => {
        assert.deepStrictEqual(Lumek.bands(512, 3), [[0, 170], [170, 341], [341, 512]]);
        assert.deepStrictEqual(Lumek.bands(128, 1), [[0, 128]]);
        assert.deepStrictEqual(Lumek.bands(32, 0), [[0, 32]]);
        const many = Lumek.bands(32, 40);
        assert.strictEqual(many.length, 32);
        many.forEach(([first, end], i) => assert.deepStrictEqual([first, end], [i, i + 1]));
    });

    // The bands follow the last frame's times, halfway at a time.
    const idle = () => ({ postMessage() {}, terminate() {} });
    check('the bands move towards equal times for every worker', () => {
        const crew = new Lumek.Crew(2, idle);
        crew.size = 512;
        crew.balance([0, 256, 512], [30, 10]);  // equal at 170.7: halfway there
        assert.deepStrictEqual(crew.cuts, [0, 213, 512]);
        crew.balance(crew.cuts, [10, 10]);
        assert.deepStrictEqual(crew.cuts, [0, 213, 512]);
        crew.balance(crew.cuts, [0, 0]);
        assert.deepStrictEqual(crew.cuts, [0, 213, 512]);
        const four = new Lumek.Crew(4, idle);
        four.size = 8;
        four.balance([0, 2, 4, 6, 8], [100, 0, 0, 0]);  // every band keeps a row
        assert.deepStrictEqual(four.cuts, [0, 1, 3, 4, 8]);
        four.size = 4;
        four.balance([0, 1, 2, 3, 4], [0, 0, 0, 90]);
        assert.deepStrictEqual(four.cuts, [0, 1, 2, 3, 4]);
    });

    // The page's workers: frames at every scene, at the smallest size often
    // and at the largest now and then (the catch-up rules carry the show
    // through every phase either way).
    const module = await WebAssembly.compile(bytes);
    for (const [size, stepMs] of [[32, 1000], [512, 12000]]) {
        const started = Date.now();
        const r = await bandsAgainstOneModule(module, size, stepMs);
        check(`${r.frames} show frames at ${size} x ${size} in bands on 1, 2, 3 and 4 workers, ` +
              `two frames out at a time, are one module's frames (${Date.now() - started} ms)`, () => {
            assert.deepStrictEqual(r.scenes, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9]);
            assert.deepStrictEqual(r.differing, []);
        });
    }

    // A worker whose module cannot be instantiated fails its crew's
    // questions, now and later.
    const broken = new Lumek.Crew(2, nodeWorker);
    // (A module that asks for an import the page does not give.)
    const name = (text) => [text.length, ...Buffer.from(text)];
    const asking = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 4, 1, 0x60, 0, 0,
                                   2, 17, 1, ...name('lumek'), ...name('missing'), 0, 0]);
    const failure = await broken.load(new WebAssembly.Module(asking))
        .then(() => null, (error) => error);
    const later = await broken.startShow(32).then(() => null, (error) => error);
    broken.close();
    check('a module that cannot be instantiated fails the crew\'s questions', () => {
        assert.ok(failure instanceof Error);
        assert.ok(later instanceof Error);
    });

    // A worker whose module traps answers with the error and breaks its
    // crew: a trapped instance is never asked again (its stack and memory
    // may be left half-way), so the page makes a new crew. (A module with
    // the show's exports whose frame is unreachable code.)
    const section = (id, ...content) => [id, content.length, ...content];
    const exported = (text, kind, index) => [...name(text), kind, index];
    const trapping = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0,
        ...section(1, 4, 0x60, 0, 0, 0x60, 1, 0x7f, 1, 0x7f, 0x60, 0, 1, 0x7f,
                   0x60, 3, 0x7f, 0x7f, 0x7f, 1, 0x7f),
        ...section(3, 4, 0, 1, 2, 3),
        ...section(5, 1, 0, 1),
        ...section(7, 5, ...exported('memory', 2, 0), ...exported('_initialize', 0, 0),
                   ...exported('show_start', 0, 1), ...exported('show_pixels', 0, 2),
                   ...exported('show_frame', 0, 3)),
        ...section(10, 4, 2, 0, 0x0b, 4, 0, 0x41, 1, 0x0b, 4, 0, 0x41, 0, 0x0b, 3, 0, 0x00, 0x0b)]);
    const trapped = new Lumek.Crew(2, nodeWorker);
    await trapped.load(new WebAssembly.Module(trapping));
    await trapped.startShow(32);
    const trap = await trapped.frame(0).then(() => null, (error) => error);
    const brokenByTrap = trapped.broken;
    const afterTrap = await trapped.startShow(32).then(() => null, (error) => error);
    trapped.close();
    check('a module that traps in a worker breaks its crew', () => {
        assert.ok(trap instanceof Error);
        assert.match(trap.message, /unreachable/);
        assert.ok(brokenByTrap);
        assert.ok(afterTrap instanceof Error);
    });

    // The benchmark's entry from the module.
    const bench = await Lumek.load(bytes);
    const { text, status } = bench.bench(new Date(2026, 11, 6, 9, 5));
    check('the benchmark gives the five-line entry and a passed check', () => {
        assert.match(text, new RegExp(
            '^Datum: 6\\.12\\.2026   Uhrzeit: 9:5\\n' +
            'Render Dauer: \\d+ ms   Rating: ([0-9.e+]+|Infinity) Tq7-Marks \\(=([0-9.e+]+|Infinity) fps\\)\\n'));
        const lines = text.split('\n');
        assert.strictEqual(lines.length, 7);  // five, the check, and the end
        assert.match(lines[2], /^CPUBench Dauer: \d+ ms   Rating: ([0-9.e+]+|Infinity) Tq7-Marks$/);
        assert.match(lines[3], /^Ratingkoeffizient: /);
        assert.strictEqual(lines[4], '');
        assert.strictEqual(lines[5],
                           'Check: all 33 frames of the entry are exactly the known-good pictures.');
        assert.strictEqual(status, 0);
    });
    console.log(text);

    // The whole benchmark on two workers, briefly: the entry, its check,
    // both ratings and the result record.
    const lumek = await Lumek.load(module);
    const crew = new Lumek.Crew(2, nodeWorker);
    await crew.load(module);
    const date = new Date(2026, 11, 8, 13, 34, 56);
    const benchmark = await benchmarkModule();
    check('a label is one --label would take: printable, at most 100 bytes, "browser" for none', () => {
        assert.strictEqual(benchmark.recordLabel('  \u0007 \t'), 'browser');
        assert.strictEqual(benchmark.recordLabel(' lab\u0000 pc\n'), 'lab pc');
        assert.strictEqual(benchmark.recordLabel('\u00e9'.repeat(60)), '\u00e9'.repeat(50));
    });
    const run = await benchmark.runBenchmark({
        crew, lumek, date, seconds: 0.3, label: 'node \u00e9 test',
        machine: { userAgent: 'node under test', hardwareConcurrency: 4 },
    });
    crew.close();
    console.log(run.text);
    const lines = run.text.split('\n');
    const one = lines[6].match(/^One thread: ([0-9.]+) ms per 32 frames \(median of (\d+) rounds?\), rating ([0-9.e+]+) Tq7-Marks$/);
    const all = lines[7].match(/^All workers: ([0-9.]+) ms per 32 frames on 2 workers \((\d+) rounds?\), rating ([0-9.e+]+) Tq7-Marks, ([0-9.]+) times one thread$/);
    check('the benchmark on two workers gives the entry, its check and both ratings', () => {
        // Five, the check, two ratings, a noise line when the one-thread
        // rounds spread, the score, the end.
        const noisy = run.record.oneThread.noisy;
        assert.strictEqual(lines.length, noisy ? 11 : 10);
        assert.strictEqual(lines[lines.length - 2], run.score);
        if (noisy)
            assert.strictEqual(lines[8], 'Noise: the one-thread rounds spread by ' +
                               (run.record.oneThread.spread * 100).toFixed(1) + ' % (1.4826 x ' +
                               'their median absolute deviation, over their median), more than 3 ' +
                               '%: the machine was not quiet, so these figures may not repeat.');
        assert.match(lines[1], /^Render Dauer: \d+ ms/);
        assert.strictEqual(lines[5],
                           'Check: all 33 frames of the entry are exactly the known-good pictures.');
        assert.ok(one, lines[6]);
        assert.ok(all, lines[7]);
        assert.strictEqual(run.entry, lines.slice(0, 5).join('\n') + '\n');
        assert.strictEqual(run.status, 0);
    });
    const version = fs.readFileSync(path.join(__dirname, '../../CMakeLists.txt'), 'utf8')
        .match(/project\(lumek VERSION ([0-9.]+)/)[1];
    const workload = native.find((line) => line.startsWith('workload ')).slice(9);
    const json = run.recordLine;  // as the page saves it
    const r = JSON.parse(json);
    // A record of the native writer: the page's must have its fields, in
    // its order, at every depth (an array's by its first element).
    const nativeRecord = JSON.parse(execFileSync(numbersExe, ['--record']).toString());
    const fields = (value) => {
        if (Array.isArray(value)) return value.length ? [fields(value[0])] : [];
        if (value === null || typeof value !== 'object') return typeof value === 'object' ? null : 'value';
        return Object.entries(value).map(([key, v]) => [key, fields(v)]);
    };
    // Where the native sample has a value and the page has none (null),
    // or the reverse, the field is still the same field.
    const sameFields = (page, native, where = 'record') => {
        if (page === null || native === null || typeof page !== 'object' || typeof native !== 'object')
            return;
        if (Array.isArray(native)) {
            assert.ok(Array.isArray(page), `${where} is no array`);
            if (page.length && native.length) sameFields(page[0], native[0], `${where}[0]`);
            return;
        }
        assert.deepStrictEqual(Object.keys(page), Object.keys(native), `the fields of ${where}`);
        for (const key of Object.keys(native)) sameFields(page[key], native[key], `${where}.${key}`);
    };
    check('its result record has the native record\'s fields, in their order', () => {
        assert.ok(!json.includes('\n'));
        assert.deepStrictEqual(JSON.parse(json), run.record);
        assert.ok(fields(nativeRecord).length > 10);
        sameFields(r, nativeRecord);
        // Every set of rounds the native record has, the page's has too.
        assert.ok(r.oneThread.roundsNs.length > 0 && r.allThreads.perThread.length === 2);
    });
    check('its score line is the native program\'s for the same figures', () => {
        const native = (one, all) => execFileSync(numbersExe, ['--score',
            String(one.msPerRound), String(one.spread), String(one.wrongFrames),
            String(all.msPerRound), String(all.spread), String(all.wrongFrames)]).toString();
        const figures = (f) => ({ msPerRound: f.msPerRound, spread: f.spread, wrongFrames: 0 });
        assert.strictEqual(run.score + '\n', native(figures(r.oneThread), figures(r.allThreads)));
        assert.match(run.score, /^Score: one thread \S+, all threads \S+ Tq7-Marks \(higher is better\); /);
        // Noisy rounds, all threads slower than one, wrong frames, no figures.
        for (const [one, all] of [
            [{ msPerRound: 44.84, spread: 0.012, wrongFrames: 0 },
             { msPerRound: 66.9, spread: 0.081, wrongFrames: 0 }],
            [{ msPerRound: 44.84, spread: 0.2, wrongFrames: 3 },
             { msPerRound: 20.1, spread: 0, wrongFrames: 1 }],
            [{ msPerRound: 0, spread: 0, wrongFrames: 0 },
             { msPerRound: 0, spread: 0, wrongFrames: 0 }],
        ])
            assert.strictEqual(lumek.benchScoreLine(one, all) + '\n', native(one, all));
    });
    check('its result record names the program, the label and the browser\'s machine', () => {
        assert.strictEqual(r.format, 'lumek-bench');
        assert.strictEqual(r.formatVersion, 1);
        assert.strictEqual(r.benchmarkVersion, nativeRecord.benchmarkVersion);
        assert.strictEqual(r.label, 'node \u00e9 test');
        assert.strictEqual(r.program.version, version);
        assert.match(r.program.compiler, /^Clang \d+\.\d+\.\d+$/);
        assert.strictEqual(r.program.target, 'wasm32');
        assert.strictEqual(r.program.rowShader, 'portable');
        assert.deepStrictEqual(Object.keys(r.time), ['utc', 'local']);
        assert.match(r.time.utc, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/);
        assert.ok(Date.parse(r.time.utc) <= Date.now());
        assert.strictEqual(r.time.local, '2026-12-08T13:34');
        assert.deepStrictEqual(r.workload, { id: workload, width: 128, height: 128, frames: 32 });
        assert.match(workload, /^[0-9a-f]{16}$/);
        // The browser's processors, not the workers' count.
        assert.deepStrictEqual(r.machine, {
            cpuVendor: null, cpuModel: null, logicalOnline: 4, logicalUsable: 4,
            physicalCores: null, threadsPerCore: null, packages: null,
            os: { name: 'browser', version: null, distribution: null, wine: null },
            userAgent: 'node under test', hardwareConcurrency: 4,
        });
        // The entry's numbers as its lines print them.
        assert.deepStrictEqual(Object.keys(r.entry),
                               ['renderMs', 'cpuMs', 'renderRating', 'cpuRating', 'fps', 'coefficient']);
        assert.strictEqual(r.entry.renderMs, Number(lines[1].match(/Dauer: (\d+) ms/)[1]));
        assert.strictEqual(r.entry.cpuMs, Number(lines[2].match(/Dauer: (\d+) ms/)[1]));
        const printed = (line, pattern) => {
            const v = Number(line.match(pattern)[1]);
            return Number.isFinite(v) ? v : null;
        };
        assert.strictEqual(r.entry.renderRating, printed(lines[1], /Rating: (\S+) Tq7/));
        assert.strictEqual(r.entry.fps, printed(lines[1], /\(=(\S+) fps/));
        assert.strictEqual(r.entry.cpuRating, printed(lines[2], /Rating: (\S+) Tq7/));
        assert.strictEqual(r.entry.coefficient, printed(lines[3], /: (\S+)$/));
        // Every frame of the run was checked.
        const oneRounds = Number(one[2]), allRounds = Number(all[2]);
        assert.deepStrictEqual(r.check, { framesChecked: 33 + 32 * (oneRounds + allRounds),
                                          wrongFrames: 0 });
        // One thread: the median round of every round's time.
        const o = r.oneThread;
        assert.strictEqual(o.roundsNs.length, oneRounds);
        assert.strictEqual(o.rounds, oneRounds);
        const sorted = [...o.roundsNs].sort((a, b) => a - b);
        assert.strictEqual(o.minNs, sorted[0]);
        assert.strictEqual(o.maxNs, sorted[sorted.length - 1]);
        assert.ok(o.minNs <= o.medianNs && o.medianNs <= o.maxNs);
        assert.strictEqual(o.roundsNs.filter((ns) => ns < o.medianNs).length,
                           o.roundsNs.filter((ns) => ns > o.medianNs).length);
        assert.ok(Math.abs(o.spread - 1.4826 * o.madNs / o.medianNs) < 1e-12);
        assert.strictEqual(o.noisy, o.spread > 0.03);
        assert.ok(Math.abs(o.msPerRound - o.medianNs / 1e6) < 1e-9);
        assert.strictEqual(o.msPerRound.toFixed(2), one[1]);
        assert.ok(Math.abs(o.rating - 33908 / o.msPerRound) < 1e-9);
        // All workers: the machine's time per round from each one's median.
        const a = r.allThreads;
        assert.strictEqual(a.threads, 2);
        assert.deepStrictEqual(a.perThread.map((t) => [t.thread, t.processor]), [[0, null], [1, null]]);
        assert.strictEqual(a.spread, Math.max(...a.perThread.map((t) => t.spread)));
        assert.strictEqual(a.pinned, false);
        assert.strictEqual(a.perThread[0].rounds + a.perThread[1].rounds, allRounds);
        const perMs = a.perThread.reduce((sum, t) => sum + 1e6 / t.medianNs, 0);
        assert.ok(Math.abs(a.msPerRound - 1 / perMs) < 1e-9);
        assert.strictEqual(a.msPerRound.toFixed(2), all[1]);
        assert.ok(Math.abs(a.speedUp - o.msPerRound / a.msPerRound) < 1e-9);
        assert.strictEqual(a.speedUp.toFixed(2), all[4]);
        assert.ok(Math.abs(a.efficiency - a.speedUp / 2) < 1e-12);
        assert.strictEqual(r.physicalCores, null);
    });
    check('the desktop benchmark reads the record as one of its own', () => {
        const read = execFileSync(numbersExe, ['--records'], { input: json + '\n' }).toString();
        assert.strictEqual(read, 'record\n');
    });
    check('lumek --results lists a record saved from the page as a run', () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lumek-web-record-'));
        const file = path.join(dir, 'bench.jsonl');
        fs.writeFileSync(file, run.recordLine + '\n');
        const table = execFileSync(lumekExe, ['--results', '--csv', file]).toString();
        fs.rmSync(dir, { recursive: true });
        const rows = table.trim().split('\n');
        assert.strictEqual(rows.length, 2, table);
        assert.ok(rows[1].includes('node \u00e9 test') && rows[1].includes(workload), rows[1]);
    });

    finish();
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

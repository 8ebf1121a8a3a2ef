// One of the page's workers (Lumek.Crew in lumek.js asks them), with a
// module instance of its own: it holds the show and draws its band of rows
// of every frame, or runs the benchmark's entry or rounds. Every question
// is answered in turn, with its id, or with an error; an error that left
// the instance unusable (a trap) says so, and every later question gets it.
'use strict';

const lumekApi = typeof importScripts === 'function'
    ? (importScripts('lumek.js'), Lumek)
    : require('./lumek.js');
const answer = typeof importScripts === 'function'
    ? (message, transfer) => postMessage(message, transfer)
    : (message, transfer) => require('worker_threads').parentPort.postMessage(message, transfer);

let lumek = null;
let size = 0;
// A question refused with the instance still sound.
class Refusal extends Error {}
// Why the instance can no longer be used, once it cannot.
let broken = null;
let sceneText = null;  // the scene document this worker holds

const questions = {
    async load({ module }) {
        lumek = await lumekApi.load(module);
        return {};
    },
    show(q) {
        if (!lumek.showStart(q.size)) throw new Refusal(`no show at ${q.size} x ${q.size}`);
        size = q.size;
        // The renderer never writes the fourth byte: made opaque once here,
        // the canvas takes the rows as they are.
        const pixels = lumek.showPixels(size);
        for (let i = 3; i < pixels.length; i += 4) pixels[i] = 255;
        return {};
    },
    // The frame's rows first .. end - 1.
    frame({ elapsedMs, first, end }) {
        const started = performance.now();
        const going = lumek.showFrame(elapsedMs, first, end);
        const ms = performance.now() - started;
        // The band's rows, handed over (transferred) to the page.
        const pixels = going ? lumek.showPixels(size).slice(first * size * 4, end * size * 4).buffer
                             : new ArrayBuffer(0);
        return [{ going, first, end, ms, pixels, phase: lumek.showPhase(),
                  state: lumek.showRandomState(), scene: lumek.showScene() }, [pixels]];
    },
    // The scene document every later picture is of.
    scene({ text }) {
        sceneText = null;
        const read = lumek.readScene(text);
        if (read.ok) sceneText = text;
        return read.ok ? { ok: true, frames: lumek.sceneFrames(), fps: lumek.sceneFps() } : read;
    },
    // `text`, when given, is the document the picture is of: read first
    // unless it is the one this worker holds.
    scenePrepare({ width, height, seconds, text }) {
        if (text !== undefined && text !== sceneText) {
            sceneText = null;
            const read = lumek.readScene(text);
            if (!read.ok) throw new Refusal(read.error);
            sceneText = text;
        }
        let ready;
        try {
            ready = typeof seconds === 'object' ? lumek.scenePrepareFrame(width, height, seconds.frame)
                                                  : lumek.scenePrepare(width, height, seconds);
        } catch (error) {
            sceneText = null;  // the module let the document go
            throw error;
        }
        if (!ready)
            throw new Refusal(`no picture of the scene at ${width} x ${height}` +
                            (typeof seconds === 'object' ? `, frame ${seconds.frame} of ${lumek.sceneFrames()}`
                                                         : ` at ${seconds} s`));
        return {};
    },
    // Rows first .. end - 1 of the prepared picture, handed over.
    sceneRows({ first, end, width }) {
        const started = performance.now();
        const pixels = lumek.sceneRows(first, end, width).buffer;
        return [{ first, end, ms: performance.now() - started, pixels }, [pixels]];
    },
    builtin() {
        return { files: lumek.builtinScenes() };
    },
    ping() {
        return {};
    },
    entry({ time }) {
        return lumek.bench(new Date(time));
    },
    rounds({ startState }) {
        lumek.benchRoundsStart(startState);
        return {};
    },
    // Whole rounds until `seconds` have passed (at least one).
    go({ worker, seconds }) {
        const durations = [];
        let wrong = 0;
        const deadline = performance.now() + seconds * 1000;
        for (let round = 1;; ++round) {
            const start = performance.now();
            wrong += lumek.benchRound(worker, round);
            const finished = performance.now();
            durations.push(finished - start);
            if (finished >= deadline) break;
        }
        return { durations, wrong };
    },
};

let queue = Promise.resolve();
function asked(question) {
    queue = queue.then(async () => {
        try {
            if (broken) throw broken;
            if (!lumek && question.kind !== 'load') throw new Error('the module is not loaded');
            const result = await questions[question.kind](question);
            const [reply, transfer] = Array.isArray(result) ? result : [result, []];
            answer({ ...reply, id: question.id }, transfer);
        } catch (error) {
            // Anything but a refusal was thrown from inside the module (a
            // trap: unreachable code, memory out of bounds, the stack used
            // up) or kept it from loading: its memory and stack may be left
            // half-way, so no later question may run on it.
            if (!(error instanceof Refusal) && !broken) broken = error;
            answer({ id: question.id, error: error.message || String(error),
                     broken: broken !== null }, []);
        }
    });
}

if (typeof importScripts === 'function') onmessage = (event) => asked(event.data);
else require('worker_threads').parentPort.on('message', asked);

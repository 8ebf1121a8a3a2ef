// Lumek in the browser. Two parts:
//  - Lumek.load: instantiates lumek.wasm with the few imports it needs (the
//    page's clock and the three WASI calls its C library links), used by
//    the page, by the benchmark's worker and by node in the tests;
//  - the page: the show on a canvas, one frame per animation frame with the
//    desktop's clock rules, fullscreen on a click, the end screen after any
//    key or the show's end, and the benchmark.
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

    // `source`: the module's URL, or its bytes.
    async function load(source) {
        let memory = null;
        const imp = imports(() => memory);
        let result;
        if (typeof source === 'string') {
            const response = await fetch(source);
            result = await WebAssembly.instantiate(await response.arrayBuffer(), imp);
        } else {
            result = await WebAssembly.instantiate(source, imp);
        }
        const e = result.instance.exports;
        memory = e.memory;
        e._initialize();
        const cString = (at) => {
            const bytes = new Uint8Array(memory.buffer, at);
            return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
        };
        return {
            // The show at size x size from its start; then one frame at the
            // show's clock (false once it is over, with nothing rendered).
            showStart: (size) => e.show_start(size) === 1,
            showFrame: (elapsedMs) => e.show_frame(elapsedMs >>> 0) === 1,
            // Four bytes a pixel, rows from the top; the fourth byte is 0.
            // (The call comes first: it may grow the memory, replacing its buffer.)
            showPixels(size) {
                const at = e.show_pixels();
                return new Uint8Array(memory.buffer, at, size * size * 4);
            },
            showRandomState: () => e.show_random_state() >>> 0,
            showPhase: () => e.show_phase(),
            // The eight views at 1024 x 768, as -shot1 ... -shot8.
            shotsStart: () => e.shots_start(),
            shot(row) {
                const at = e.shot(row);
                return new Uint8Array(memory.buffer, at, 1024 * 768 * 4);
            },
            // The benchmark's entry and check line, for a local time.
            bench(date) {
                const at = e.bench_run(date.getDate(), date.getMonth() + 1, date.getFullYear(),
                                       date.getHours(), date.getMinutes());
                return { text: cString(at), status: e.bench_status() };
            },
        };
    }

    return { load };
})();

if (typeof module !== 'undefined') module.exports = Lumek;

if (typeof document !== 'undefined' && document.getElementById('picture')) {
    const $ = (id) => document.getElementById(id);
    const canvas = $('picture');
    const context = canvas.getContext('2d');
    let lumek = null;
    let size = 128;
    let image = null;
    let playing = false;
    let elapsedMs = 0, lastTickMs = 0;

    // What the page measures, for people and for the tests.
    const stats = window.lumekStats = {
        size, frames: 0, renderMs: 0, intervalMs: 0, lastFrameAt: 0, ended: false,
        reset() {
            this.size = size;
            this.frames = 0;
            this.renderMs = 0;
            this.intervalMs = 0;
            this.lastFrameAt = 0;
            this.ended = false;
        },
    };

    // A millisecond counter as an unsigned 32-bit value, differences taken
    // the same way: the desktop's clock.
    const clockMs = () => Math.floor(performance.now()) >>> 0;

    function play() {
        lumek.showStart(size);
        canvas.width = canvas.height = size;
        image = context.createImageData(size, size);
        stats.reset();
        $('end').hidden = true;
        elapsedMs = 0;
        lastTickMs = clockMs();
        playing = true;
        requestAnimationFrame(frame);
    }

    function end(title) {
        playing = false;
        stats.ended = true;
        $('end-title').textContent = title;
        $('end').hidden = false;
        $('again').focus();
    }

    // One pass of the desktop's main loop per animation frame: advance the
    // clock, render the frame for it, show it. While the page is hidden no
    // frames come, but the clock runs on, as for a minimised window.
    function frame(now) {
        if (!playing) return;
        const tick = clockMs();
        elapsedMs = (elapsedMs + ((tick - lastTickMs) >>> 0)) >>> 0;
        lastTickMs = tick;
        const start = performance.now();
        const shown = lumek.showFrame(elapsedMs);
        stats.renderMs += performance.now() - start;
        if (!shown) {
            end('The show is over.');
            return;
        }
        // The module leaves the fourth byte 0; the canvas needs it opaque.
        const pixels = lumek.showPixels(size);
        const data = image.data;
        data.set(pixels);
        for (let i = 3; i < data.length; i += 4) data[i] = 255;
        context.putImageData(image, 0, 0);
        if (stats.lastFrameAt) stats.intervalMs += now - stats.lastFrameAt;
        stats.lastFrameAt = now;
        ++stats.frames;
        requestAnimationFrame(frame);
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
        if (lumek) play();
    });
    $('nearest').addEventListener('change', () => {
        canvas.classList.toggle('nearest', $('nearest').checked);
    });
    $('again').addEventListener('click', () => play());

    // The benchmark runs in a worker of its own, on a fresh module, so its
    // timing is the module's alone and the page stays responsive.
    $('bench').addEventListener('click', () => {
        end('Benchmark');
        $('bench').disabled = true;
        $('save').hidden = true;
        $('bench-result').textContent = 'running the walk and 32 frames ...';
        const worker = new Worker('bench-worker.js');
        worker.onmessage = (message) => {
            const { text, status } = message.data;
            $('bench-result').textContent = text;
            $('bench-result').dataset.status = String(status);
            // bench.txt as the desktop writes it: the five lines alone.
            const entry = text.split('\n').slice(0, 5).join('\n') + '\n';
            $('save').href = URL.createObjectURL(new Blob([entry], { type: 'text/plain' }));
            $('save').hidden = false;
            $('bench').disabled = false;
            worker.terminate();
        };
        worker.postMessage('run');
    });

    Lumek.load('lumek.wasm').then((module) => {
        lumek = module;
        size = Number($('size').value);
        play();
    }, (error) => console.error('lumek.wasm could not be loaded:', error));
}

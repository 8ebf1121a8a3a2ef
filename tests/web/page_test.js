// The web page in a real browser: Debian's chromium, headless, driven over
// its DevTools protocol by puppeteer-core (which downloads no browser),
// against a static server on 127.0.0.1.
//
//   node page_test.js <build-web dir> <folder for the screenshots>
//
// With its workers: screenshots at about 5 s (the orange logo) and 33 s
// (the red, green and blue discs); three size changes leave one loop, at
// most one show frame per animation frame; 512 x 512 renders; the end
// screen after a key; the benchmark's entry, check line, both ratings and
// score line, saved as bench.txt and as the result record with the label
// typed on the page; no console errors. Then a
// module that cannot be loaded, and a worker that fails: each says so on
// the page, and the benchmark too, without an uncaught exception.
'use strict';

const assert = require('assert');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { serve, launch } = require('./browser.js');

const [webDir, shotDir] = process.argv.slice(2);

const { decodePng } = require('./png.js');

// Pixels of the picture (the 4:3 stage) by colour class.
function colourCounts(shot, box) {
    const counts = { orange: 0, red: 0, green: 0, blue: 0, lit: 0, pixels: 0 };
    for (let y = Math.ceil(box.y); y < box.y + box.height; ++y)
        for (let x = Math.ceil(box.x); x < box.x + box.width; ++x) {
            const i = (y * shot.width + x) * 3;
            const r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
            ++counts.pixels;
            if (r + g + b > 60) ++counts.lit;
            if (r > 150 && g > 80 && g < 0.9 * r && b < 0.5 * g) ++counts.orange;
            if (r > 120 && g < 60 && b < 60) ++counts.red;
            if (g > 120 && r < 60 && b < 60) ++counts.green;
            if (b > 120 && r < 60 && g < 60) ++counts.blue;
        }
    return counts;
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const { check, finish } = require('./checks.js').checks();

// A page of `url` whose console errors and uncaught exceptions are kept.
async function openPage(browser, url) {
    const page = await browser.newPage();
    await page.setViewport({ width: 800, height: 600 });
    const problems = [];
    page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
    page.on('pageerror', (e) => problems.push(String(e)));
    await page.goto(url);
    return { page, problems };
}

// The show's figures, as the page keeps them.
const statsOf = (page) => page.evaluate(() => ({ ...window.lumekStats }));

async function theShow(browser, url) {
    const { page, problems } = await openPage(browser, url);
    await page.waitForFunction(() => window.lumekStats && window.lumekStats.frames > 0,
                               { timeout: 20000 });
    const started = Date.now();
    const box = await (await page.$('#stage')).boundingBox();
    check('the picture fills about 98 % of the height on a 4:3 area', () => {
        assert.ok(Math.abs(box.height - 0.98 * 600) < 2, `height ${box.height}`);
        assert.ok(Math.abs(box.width - box.height * 4 / 3) < 2, `width ${box.width}`);
    });

    const screenshotAt = async (seconds, name) => {
        const wait = started + seconds * 1000 - Date.now();
        if (wait > 0) await sleep(wait);
        const png = await page.screenshot({ type: 'png' });
        fs.writeFileSync(path.join(shotDir, name), png);
        return decodePng(png);
    };
    const logo = colourCounts(await screenshotAt(5, 'page-5s-logo.png'), box);
    check(`at 5 s the orange logo shows (${JSON.stringify(logo)})`, () => {
        assert.ok(logo.orange > 0.15 * logo.pixels);
    });
    const discs = colourCounts(await screenshotAt(33, 'page-33s-discs.png'), box);
    check(`at 33 s red, green and blue discs show (${JSON.stringify(discs)})`, () => {
        for (const c of ['red', 'green', 'blue']) assert.ok(discs[c] > 0.01 * discs.pixels, c);
    });
    const stats128 = await statsOf(page);
    check(`the show's frames are shared by the workers (${stats128.workers})`, () => {
        assert.ok(stats128.workers >= 1);
        assert.strictEqual(stats128.bandMs.length, stats128.workers);
    });

    // Three size changes, then the page's loop against the animation
    // frames the test counts itself, at the smallest size (its frames are
    // done well within one animation frame).
    for (const size of ['256', '64', '32']) {
        await page.select('#size', size);
        await sleep(300);
    }
    await page.waitForFunction(() => window.lumekStats.size === 32 && window.lumekStats.frames > 5);
    const loops = await page.evaluate(async () => {
        const before = { ...window.lumekStats };
        let animationFrames = 0, first = 0, last = 0, shortest = Infinity;
        await new Promise((done) => {
            const count = (now) => {
                if (animationFrames++) shortest = Math.min(shortest, now - last);
                else first = now;
                last = now;
                if (now < first + 2000) requestAnimationFrame(count);
                else done();
            };
            requestAnimationFrame(count);
        });
        const after = window.lumekStats;
        return { animationFrames, displayFrames: Math.round((last - first) / shortest),
                 loopCalls: after.animationFrames - before.animationFrames,
                 frames: after.frames - before.frames };
    });
    // A page's show frame waits for an animation frame, or follows one that
    // took longer than a display frame at once: at most one a display frame
    // either way. A second loop would double them.
    check(`after three size changes one loop runs (${JSON.stringify(loops)})`, () => {
        assert.ok(loops.animationFrames > 20);
        // (Off by at most one at either end of the count.)
        assert.ok(loops.loopCalls <= loops.animationFrames + 2);
        assert.ok(loops.frames <= loops.displayFrames + 2);
        assert.ok(loops.frames > 0);
    });

    // 512 x 512 for a few seconds: the figures go to the log.
    await page.select('#size', '512');
    await page.click('#figures');
    await sleep(5000);
    const stats512 = await statsOf(page);
    const figures = (s) => ({
        size: s.size, workers: s.workers, frames: s.frames,
        renderMs: +(s.renderMs / s.frames).toFixed(2),
        frameIntervalMs: +(s.intervalMs / (s.frames - 1)).toFixed(2),
        bandMs: s.bandMs.map((b) => +(b / s.frames).toFixed(2)),
    });
    console.log('frame times', JSON.stringify([figures(stats128), figures(stats512)]));
    const overlay = await page.$eval('#overlay', (o) => ({ hidden: o.hidden, text: o.textContent }));
    await page.screenshot({ path: path.join(shotDir, 'page-512-figures.png') });
    check('512 x 512 renders, and the overlay shows its figures', () => {
        assert.ok(stats512.frames > 10 && stats512.size === 512);
        assert.strictEqual(overlay.hidden, false);
        assert.match(overlay.text, new RegExp(`^512 × 512 on ${stats512.workers} workers?\\n` +
                                              '[0-9.]+ frames a second\\n[0-9.]+ ms a frame\\n'));
    });

    // A key outside the controls.
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press('Space');
    await page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
    const ended = await page.evaluate(() => ({
        title: document.getElementById('end-title').textContent,
        again: document.getElementById('again').textContent,
        stopped: window.lumekStats.ended,
    }));
    await page.screenshot({ path: path.join(shotDir, 'page-end.png') });
    check('a key ends the show with the end screen', () => {
        assert.deepStrictEqual(ended, { title: 'The show is over.', again: 'play again',
                                        stopped: true });
    });

    // The machine's name for the record: "browser" unless told.
    const defaultLabel = await page.$eval('#bench-label', (input) => input.value);
    await page.click('#bench-label', { clickCount: 3 });
    await page.keyboard.type('  test box');
    // A control character cannot be typed: one pasted in is dropped.
    await page.$eval('#bench-label', (input) => { input.value += '\u0007 2  '; });
    await page.click('#bench');
    await page.waitForFunction(
        () => document.getElementById('bench-result').dataset.status !== undefined,
        { timeout: 120000 });
    const bench = await page.evaluate(async () => ({
        score: document.getElementById('bench-score').textContent,
        scoreBold: getComputedStyle(document.getElementById('bench-score')).fontWeight,
        text: document.getElementById('bench-result').textContent,
        status: document.getElementById('bench-result').dataset.status,
        saved: await (await fetch(document.getElementById('save').href)).text(),
        name: document.getElementById('save').getAttribute('download'),
        record: await (await fetch(document.getElementById('save-record').href)).text(),
        recordName: document.getElementById('save-record').getAttribute('download'),
        userAgent: navigator.userAgent,
        hardwareConcurrency: navigator.hardwareConcurrency,
    }));
    await page.screenshot({ path: path.join(shotDir, 'page-bench.png') });
    console.log(bench.text);
    const lines = bench.text.split('\n');
    check('the benchmark gives its entry, its check and both ratings', () => {
        assert.strictEqual(bench.status, '0');
        assert.match(lines[0], /^Datum: \d{1,2}\.\d{1,2}\.\d{4}   Uhrzeit: \d{1,2}:\d{1,2}$/);
        assert.match(lines[1], /^Render Dauer: \d+ ms   Rating: [0-9.e+]+ Tq7-Marks \(=[0-9.e+]+ fps\)$/);
        assert.match(lines[2], /^CPUBench Dauer: \d+ ms   Rating: [0-9.e+]+ Tq7-Marks$/);
        assert.match(lines[3], /^Ratingkoeffizient: [0-9.e+-]+$/);
        assert.strictEqual(lines[4], '');
        assert.strictEqual(lines[5],
                           'Check: all 33 frames of the entry are exactly the known-good pictures.');
        assert.match(lines[6], /^One thread: [0-9.]+ ms per 32 frames \(median of \d+ rounds?\), rating [0-9.e+]+ Tq7-Marks$/);
        assert.match(lines[7], new RegExp(`^All workers: [0-9.]+ ms per 32 frames on ${stats512.workers} ` +
                                          'workers? \\(\\d+ rounds?\\), rating [0-9.e+]+ Tq7-Marks, ' +
                                          '[0-9.]+ times one thread$'));
        // A noise line after the ratings when the one-thread rounds spread.
        const noisy = JSON.parse(bench.record).oneThread.noisy;
        if (noisy) assert.match(lines[8], /^Noise: the one-thread rounds spread by [0-9.]+ %/);
        assert.strictEqual(lines.length, noisy ? 11 : 10);
        // The score line last, standing out.
        assert.strictEqual(lines[lines.length - 2], bench.score);
        assert.match(bench.score, /^Score: one thread [0-9.e+]+, all threads [0-9.e+]+ Tq7-Marks \(higher is better\); one thread (steady|noisy) \(spread [0-9.]+ %.*\.$/);
        assert.ok(Number(bench.scoreBold) >= 600, bench.scoreBold);
        assert.strictEqual(bench.saved, lines.slice(0, 5).join('\n') + '\n');
        assert.strictEqual(bench.name, 'bench.txt');
    });
    check('the result record is saved as one line, with the browser as the machine', () => {
        assert.strictEqual(bench.recordName, 'bench.jsonl');
        assert.ok(bench.record.endsWith('}\n') && bench.record.indexOf('\n') === bench.record.length - 1);
        const r = JSON.parse(bench.record);
        assert.strictEqual(r.format, 'lumek-bench');
        assert.strictEqual(r.program.target, 'wasm32');
        assert.strictEqual(defaultLabel, 'browser');
        assert.strictEqual(r.label, 'test box 2');
        // The score line's figures are the record's.
        const score = bench.score.match(/one thread (\S+), all threads (\S+) Tq7/);
        assert.strictEqual(Number(score[1]), Number(r.oneThread.rating.toPrecision(6)));
        assert.strictEqual(Number(score[2]), Number(r.allThreads.rating.toPrecision(6)));
        assert.strictEqual(r.machine.userAgent, bench.userAgent);
        assert.strictEqual(r.machine.hardwareConcurrency, bench.hardwareConcurrency);
        assert.strictEqual(r.machine.logicalUsable, bench.hardwareConcurrency);
        assert.strictEqual(r.allThreads.threads, stats512.workers);
        assert.strictEqual(r.check.wrongFrames, 0);
        assert.strictEqual(r.oneThread.msPerRound.toFixed(2), lines[6].match(/^One thread: (\S+)/)[1]);
    });

    await page.click('#again');
    await page.waitForFunction(() => window.lumekStats.frames > 5, { timeout: 10000 });
    check(`the console has no errors (${problems.length})`, () => {
        assert.deepStrictEqual(problems, []);
    });
    await page.close();
}

// A page whose module or worker fails: the failure on the page, also for
// the benchmark, and no uncaught exception.
async function aFailure(browser, url, what) {
    const { page, problems } = await openPage(browser, url);
    await page.waitForSelector('#error:not([hidden])', { timeout: 20000 });
    const shown = await page.evaluate(() => ({
        title: document.getElementById('end-title').textContent,
        error: document.getElementById('error').textContent,
        visible: document.getElementById('end').checkVisibility(),
    }));
    await page.click('#bench');
    await page.waitForFunction(
        () => document.getElementById('bench-result').dataset.status === 'failed',
        { timeout: 20000 });
    const bench = await page.evaluate(() => ({
        text: document.getElementById('bench-result').textContent,
        enabled: !document.getElementById('bench').disabled,
    }));
    await page.screenshot({ path: path.join(shotDir, `page-${what.replace(/\W+/g, '-')}.png`) });
    check(`${what}: the page says so (${shown.error}), and so does the benchmark`, () => {
        assert.strictEqual(shown.title, 'Lumek could not start.');
        assert.ok(shown.visible);
        assert.ok(shown.error.length > 0);
        assert.match(bench.text, /^The benchmark could not run: ./);
        assert.ok(bench.enabled);
    });
    check(`${what}: no uncaught exception (${problems.length})`, () => {
        assert.deepStrictEqual(problems, []);
    });
    await page.close();
}

async function main() {
    fs.mkdirSync(shotDir, { recursive: true });
    const server = await serve(webDir);
    const brokenModule = await serve(webDir, (name) => (name === 'lumek.wasm' ? 'not a module' : null));
    const brokenWorker = await serve(webDir, (name) =>
        (name === 'lumek-worker.js' ? 'throw new Error("this worker fails");' : null));
    const at = (s) => `http://127.0.0.1:${s.address().port}/index.html`;
    const chromium = await launch();
    try {
        await theShow(chromium.browser, at(server));
        await aFailure(chromium.browser, at(brokenModule), 'a module that cannot be loaded');
        await aFailure(chromium.browser, at(brokenWorker), 'a worker that fails');
    } finally {
        await chromium.close();
        for (const s of [server, brokenModule, brokenWorker]) s.close();
    }
    finish();
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

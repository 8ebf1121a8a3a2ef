// The web page in a real browser: Debian's chromium, headless, driven over
// its DevTools protocol by puppeteer-core (which downloads no browser),
// against a static server on 127.0.0.1.
//
//   node page_test.js <build-web dir> <folder for the screenshots>
//
// Screenshots at about 5 s (the orange logo) and 33 s (the red, green and
// blue discs), the end screen after a key, the benchmark button's entry, no
// console errors; and the page's frame times at 128 and 512 pixels.
'use strict';

const assert = require('assert');
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const [webDir, shotDir] = process.argv.slice(2);

// A static server for the page's files, with wasm's own type.
function serve(dir) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    const server = http.createServer((request, response) => {
        const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
        const file = path.join(dir, name);
        if (!fs.existsSync(file)) {
            response.writeHead(404);
            response.end();
            return;
        }
        response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'text/plain' });
        response.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Chromium's screenshots: 8-bit RGB or RGBA, not interlaced.
function decodePng(png) {
    let at = 8, width = 0, height = 0, channels = 0;
    const data = [];
    while (at < png.length) {
        const length = png.readUInt32BE(at), type = png.toString('latin1', at + 4, at + 8);
        const body = png.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            assert.strictEqual(body[8], 8);
            channels = { 2: 3, 6: 4 }[body[9]];
        } else if (type === 'IDAT') {
            data.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels, out = Buffer.alloc(width * height * 3);
    let previous = Buffer.alloc(stride);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        const row = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
        for (let x = 0; x < stride; ++x) {
            const a = x >= channels ? row[x - channels] : 0, b = previous[x];
            const c = x >= channels ? previous[x - channels] : 0;
            let add = 0;
            if (filter === 1) add = a;
            else if (filter === 2) add = b;
            else if (filter === 3) add = (a + b) >> 1;
            else if (filter === 4) {
                const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                add = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            row[x] = (row[x] + add) & 255;
        }
        for (let x = 0; x < width; ++x)
            for (let k = 0; k < 3; ++k) out[(y * width + x) * 3 + k] = row[x * channels + k];
        previous = row;
    }
    return { width, height, rgb: out };
}

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

async function main() {
    fs.mkdirSync(shotDir, { recursive: true });
    const server = await serve(webDir);
    const url = `http://127.0.0.1:${server.address().port}/index.html`;
    const profile = fs.mkdtempSync('/tmp/lumek-chromium-');
    const browser = await puppeteer.launch({
        executablePath: '/usr/bin/chromium',
        headless: true,
        userDataDir: profile,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
               '--disable-backgrounding-occluded-windows'],
    });
    let failures = 0;
    const check = (what, fn) => {
        try {
            fn();
            console.log('ok   ' + what);
        } catch (error) {
            ++failures;
            console.log('FAIL ' + what + '\n     ' + error.message);
        }
    };
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: 800, height: 600 });
        const problems = [];
        page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
        page.on('pageerror', (e) => problems.push(String(e)));
        await page.goto(url);
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
            if (wait > 0) await new Promise((r) => setTimeout(r, wait));
            const png = await page.screenshot({ type: 'png' });
            fs.writeFileSync(path.join(shotDir, name), png);
            return decodePng(png);
        };
        const logo = colourCounts(await screenshotAt(5, 'page-5s-logo.png'), box);
        check(`at 5 s the orange logo shows (${JSON.stringify(logo)})`, () => {
            assert.ok(logo.orange > 0.15 * logo.pixels);
        });
        const stats128 = await page.evaluate(() => ({ ...window.lumekStats }));

        const discs = colourCounts(await screenshotAt(33, 'page-33s-discs.png'), box);
        check(`at 33 s red, green and blue discs show (${JSON.stringify(discs)})`, () => {
            for (const c of ['red', 'green', 'blue']) assert.ok(discs[c] > 0.01 * discs.pixels, c);
        });

        // Frame times: the module's render and the interval between frames.
        const frameTimes = (s) => ({
            size: s.size, frames: s.frames,
            renderMs: +(s.renderMs / s.frames).toFixed(2),
            frameIntervalMs: +(s.intervalMs / (s.frames - 1)).toFixed(2),
        });
        await page.select('#size', '512');
        await new Promise((r) => setTimeout(r, 6000));
        const stats512 = await page.evaluate(() => ({ ...window.lumekStats }));
        console.log('frame times', JSON.stringify([frameTimes(stats128), frameTimes(stats512)]));
        check('512 x 512 renders', () => assert.ok(stats512.frames > 10 && stats512.size === 512));

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

        await page.click('#bench');
        await page.waitForFunction(
            () => document.getElementById('bench-result').textContent.includes('Check:'),
            { timeout: 60000 });
        const bench = await page.evaluate(async () => ({
            text: document.getElementById('bench-result').textContent,
            saved: await (await fetch(document.getElementById('save').href)).text(),
            name: document.getElementById('save').getAttribute('download'),
        }));
        await page.screenshot({ path: path.join(shotDir, 'page-bench.png') });
        console.log(bench.text);
        check('the benchmark button gives a five-line entry and its check', () => {
            const lines = bench.text.split('\n');
            assert.match(lines[0], /^Datum: \d{1,2}\.\d{1,2}\.\d{4}   Uhrzeit: \d{1,2}:\d{1,2}$/);
            assert.match(lines[1], /^Render Dauer: \d+ ms   Rating: [0-9.e+]+ Tq7-Marks \(=[0-9.e+]+ fps\)$/);
            assert.match(lines[2], /^CPUBench Dauer: \d+ ms   Rating: [0-9.e+]+ Tq7-Marks$/);
            assert.match(lines[3], /^Ratingkoeffizient: [0-9.e+-]+$/);
            assert.strictEqual(lines[4], '');
            assert.strictEqual(lines[5],
                               'Check: all 33 frames of the entry are exactly the known-good pictures.');
            assert.strictEqual(bench.saved, lines.slice(0, 5).join('\n') + '\n');
            assert.strictEqual(bench.name, 'bench.txt');
        });

        await page.click('#again');
        await page.waitForFunction(() => window.lumekStats.frames > 5, { timeout: 10000 });
        check('play again starts the show anew', async () => {});
        check(`the console has no errors (${problems.length})`, () => {
            assert.deepStrictEqual(problems, []);
        });
    } finally {
        await browser.close();
        server.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
    if (failures) {
        console.log(`${failures} check(s) failed`);
        process.exit(1);
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

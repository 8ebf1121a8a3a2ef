// The web page's show speed in headless chromium, several pages side by
// side: each named page is played at each render size for some seconds
// from the show's start, round after round in turn (the machine's speed
// drifts over minutes), and the frames per second, render time per frame
// and each worker's time for its band are printed for each round and as
// medians. With --bench, each page's benchmark runs once a round too.
//
//   NODE_PATH=build/web-test/node_modules node perf/page_speed.js \
//       [--seconds 6] [--rounds 3] [--sizes 128,512] [--bench] name=dir[?query] ...
//
// e.g. one=build-web?workers=1 all=build-web before=/tmp/old-build-web
'use strict';

const path = require('path');
const { serve, launch } = require('../tests/web/browser.js');

function options(argv) {
    const o = { seconds: 6, rounds: 3, sizes: [128, 512], bench: false, pages: [] };
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === '--bench') o.bench = true;
        else if (argv[i] === '--seconds') o.seconds = Number(argv[++i]);
        else if (argv[i] === '--rounds') o.rounds = Number(argv[++i]);
        else if (argv[i] === '--sizes') o.sizes = argv[++i].split(',').map(Number);
        else {
            const name = argv[i].slice(0, argv[i].indexOf('='));
            const [dir, query] = argv[i].slice(name.length + 1).split('?');
            o.pages.push({ name, dir: path.resolve(dir), query: query ? '?' + query : '' });
        }
    }
    return o;
}

const median = (v) => {
    const s = [...v].sort((a, b) => a - b), n = s.length;
    return n % 2 ? s[(n - 1) / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
};

async function measure(browser, url, size, seconds) {
    const page = await browser.newPage();
    await page.setViewport({ width: 800, height: 600 });
    await page.goto(url);
    await page.waitForFunction(() => window.lumekStats && window.lumekStats.frames > 0,
                               { timeout: 20000 });
    // (A size change restarts the show; the page's own size is left alone,
    // as an older page started a second loop on every change.)
    if (await page.$eval('#size', (s) => s.value) !== String(size)) await page.select('#size', String(size));
    else await page.evaluate(() => window.lumekStats.reset());
    const started = Date.now();
    await new Promise((r) => setTimeout(r, seconds * 1000));
    const s = await page.evaluate(() => ({ ...window.lumekStats }));
    const wall = (Date.now() - started) / 1000;
    await page.close();
    return { fps: s.frames / wall, renderMs: s.renderMs / s.frames, workers: s.workers || 1,
             bandMs: (s.bandMs || []).map((b) => b / s.frames) };
}

// The page's benchmark: the text it shows once it is done.
async function bench(browser, url) {
    const page = await browser.newPage();
    await page.goto(url);
    await page.waitForFunction(() => window.lumekStats && window.lumekStats.frames > 0,
                               { timeout: 20000 });
    await page.click('#bench');
    await page.waitForFunction(() => document.getElementById('bench-result').dataset.status,
                               { timeout: 120000 });
    const text = await page.$eval('#bench-result', (r) => r.textContent);
    await page.close();
    return text;
}

async function main() {
    const o = options(process.argv.slice(2));
    const servers = {}, results = {};
    for (const p of o.pages) {
        if (!servers[p.dir]) servers[p.dir] = await serve(p.dir);
        p.url = `http://127.0.0.1:${servers[p.dir].address().port}/index.html${p.query}`;
    }
    const chromium = await launch();
    try {
        for (let round = 1; round <= o.rounds; ++round)
            for (const size of o.sizes)
                for (const p of o.pages) {
                    const r = await measure(chromium.browser, p.url, size, o.seconds);
                    const key = `${p.name} ${size}`;
                    (results[key] = results[key] || []).push(r);
                    console.log(`round ${round}  ${key.padEnd(16)} ${r.fps.toFixed(1).padStart(6)} fps` +
                                `  ${r.renderMs.toFixed(2).padStart(6)} ms a frame  ${r.workers} worker(s)` +
                                (r.bandMs.length ? `, bands ${r.bandMs.map((b) => b.toFixed(1)).join(' ')} ms` : ''));
                }
        if (o.bench)
            for (let round = 1; round <= o.rounds; ++round)
                for (const p of o.pages)
                    console.log(`round ${round}  ${p.name} benchmark:\n` +
                                (await bench(chromium.browser, p.url)).replace(/^/gm, '    '));
    } finally {
        await chromium.close();
        for (const s of Object.values(servers)) s.close();
    }
    console.log('medians:');
    for (const [key, rs] of Object.entries(results))
        console.log(`  ${key.padEnd(16)} ${median(rs.map((r) => r.fps)).toFixed(1).padStart(6)} fps` +
                    `  ${median(rs.map((r) => r.renderMs)).toFixed(2).padStart(6)} ms a frame`);
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

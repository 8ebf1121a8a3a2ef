// The results page in a real browser: `lumek --report` of three fake
// machines' bench.jsonl files, opened in Debian's chromium (headless, driven
// by puppeteer-core) from a static server on 127.0.0.1.
//
//   node report_test.js <lumek> <folder of the .jsonl files> <folder for the screenshots>
//
// The page loads nothing but itself and runs no script, the console has no
// errors, and each group's charts hold one bar per machine and one point
// per run, as its table lists them. Screenshots: light and dark screens.
'use strict';

const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { serve, launch } = require('./browser.js');
const { check, finish } = require('./checks.js').checks();

const [lumek, recordsDir, shotDir] = process.argv.slice(2).map((p) => path.resolve(p));

async function main() {
    fs.mkdirSync(shotDir, { recursive: true });
    const outDir = fs.mkdtempSync(path.join(os.tmpdir(), 'lumek-report-'));
    const files = ['alpha.jsonl', 'beta.jsonl', 'gamma.jsonl'].map((f) => path.join(recordsDir, f));
    execFileSync(lumek, ['--report', ...files], { cwd: outDir, stdio: ['ignore', 'pipe', 'pipe'] });
    const server = await serve(outDir);
    const chromium = await launch();
    try {
        const page = await chromium.browser.newPage();
        await page.setViewport({ width: 800, height: 900 });
        const problems = [], requests = [];
        page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
        page.on('pageerror', (e) => problems.push(String(e)));
        page.on('request', (r) => requests.push(r.url()));
        const url = `http://127.0.0.1:${server.address().port}/report.html`;
        await page.goto(url, { waitUntil: 'load' });

        const groups = await page.evaluate(() => [...document.querySelectorAll('section.group')].map((s) => {
            const count = (selector) => s.querySelectorAll(selector).length;
            const machines = new Set([...s.querySelectorAll('svg.runs circle.point')]
                .map((c) => c.dataset.machine));
            const size = (selector) => {
                const box = s.querySelector(selector).getBoundingClientRect();
                return [box.width, box.height];
            };
            return {
                heading: s.querySelector('h2').textContent,
                oneThreadBars: count('svg.bars.one-thread rect.bar'),
                allThreadsBars: count('svg.bars.all-threads rect.bar'),
                points: count('svg.runs circle.point'),
                machines: machines.size,
                tableRows: count('tbody tr'),
                bins: count('svg.histogram rect.bin'),
                chartSizes: ['svg.bars.one-thread', 'svg.runs', 'svg.histogram'].map(size),
            };
        }));
        const scripts = await page.evaluate(() => document.scripts.length);

        await page.screenshot({ path: path.join(shotDir, 'report-light.png'), fullPage: true });
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
        const darkBackground = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
        await page.screenshot({ path: path.join(shotDir, 'report-dark.png'), fullPage: true });

        check('the page loads nothing but itself and has no script', () => {
            assert.deepStrictEqual(requests, [url]);
            assert.strictEqual(scripts, 0);
        });
        check(`the console has no errors (${problems.length})`, () => {
            assert.deepStrictEqual(problems, []);
        });
        check('one group per benchmark version, the newest first', () => {
            assert.deepStrictEqual(groups.map((g) => g.heading),
                ['Workload 5e1f0c2a9b7d3e41, benchmark version 2',
                 'Workload 5e1f0c2a9b7d3e41, benchmark version 1']);
        });
        for (const [i, expected] of [[0, { machines: 1, runs: 1 }], [1, { machines: 4, runs: 6 }]]) {
            const g = groups[i];
            check(`${g.heading}: one bar per machine, one point per run (${JSON.stringify(g)})`, () => {
                assert.strictEqual(g.machines, expected.machines);
                assert.strictEqual(g.oneThreadBars, expected.machines);
                assert.strictEqual(g.allThreadsBars, expected.machines);
                assert.strictEqual(g.points, expected.runs);
                assert.strictEqual(g.tableRows, expected.runs);
                for (const [width, height] of g.chartSizes) assert.ok(width > 300 && height > 50);
            });
        }
        check('the latest run of version 1 has its rounds drawn', () => {
            assert.ok(groups[1].bins >= 5, `${groups[1].bins} bins`);
        });
        check(`a dark screen gets a dark page (${darkBackground})`, () => {
            const [r, g, b] = darkBackground.match(/\d+/g).map(Number);
            assert.ok(r + g + b < 150);
        });
    } finally {
        await chromium.close();
        server.close();
        fs.rmSync(outDir, { recursive: true, force: true });
    }
    finish();
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

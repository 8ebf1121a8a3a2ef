// The scene editor in headless chromium (index.html?editor), against the
// native program: shapes drawn with the mouse, a point dragged and the drag
// undone give exactly the expected scene; a share link opens the same scene
// in a new page and a damaged one says so and keeps the scene; an SVG comes
// in with its shapes where they belong; the export at 1000 x 563 is the
// native picture; a saved scene opens natively and a native one in the
// page; dragging a disc renders pictures with a clean console; keys set in
// the page are exactly the file's and its frame at 0.5 s is the native
// picture at --time 0.5. Screenshots
// go to the given folder.
//
//   node editor_test.js <build-web dir> <native lumek> <screenshot folder> <scratch folder>
'use strict';

const assert = require('assert');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { execFileSync } = require('child_process');
const { serve, launch } = require('./browser.js');
const { decodePng } = require('./png.js');

const [webDir, lumekExe, shotDir, scratch] = process.argv.slice(2);
fs.mkdirSync(shotDir, { recursive: true });
fs.mkdirSync(scratch, { recursive: true });

let failures = 0;
async function check(what, fn) {
    try {
        await fn();
        console.log(`ok    ${what}`);
    } catch (error) {
        ++failures;
        console.log(`FAIL  ${what}\n      ${String(error.message).split('\n').join('\n      ')}`);
    }
}

// The native picture of a scene file, as `-png` writes it, decoded.
const nativePicture = (file, width, height) => {
    const out = path.join(scratch, `native-${width}x${height}.png`);
    execFileSync(lumekExe, ['--scene', file, '-png', '--size', `${width}x${height}`, '--output', out],
                 { stdio: 'pipe' });
    return decodePng(fs.readFileSync(out));
};

(async () => {
    const server = await serve(webDir);
    const base = `http://127.0.0.1:${server.address().port}/index.html`;
    const chromium = await launch();
    const problems = [];
    const openPage = async (url) => {
        const page = await chromium.browser.newPage();
        await page.setViewport({ width: 1400, height: 1000 });
        page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(m.text()); });
        page.on('pageerror', (e) => problems.push(e.message));
        await page.goto(url);
        await page.waitForFunction(() => window.lumekEditor, { timeout: 30000 });
        // The picture exactly 960 pixels wide at a whole pixel of the page
        // (touches land on whole pixels), over the panel: its controls are
        // used by their elements.
        await page.addStyleTag({ content: '#ed-stage.pinned { position: fixed; left: 12px; top: 200px; ' +
                                          'width: 960px; max-width: none; z-index: 2; }' });
        await page.$eval('#ed-stage', (e) => e.classList.add('pinned'));
        return page;
    };
    const scene = (page) => page.evaluate(() => window.lumekEditor.scene());
    const message = (page) => page.$eval('#ed-message', (e) => ({ text: e.textContent, fault: e.dataset.fault }));
    const shoot = (page, name) => page.screenshot({ path: path.join(shotDir, `editor-${name}.png`) });
    const settle = (page) => page.waitForFunction(() => document.getElementById('ed-picture').dataset.rendered === 'fine',
                                                  { timeout: 30000 });

    try {
        const page = await openPage(`${base}?editor`);
        const box = await page.$eval('#ed-overlay', (e) => { const b = e.getBoundingClientRect(); return [b.left, b.top, b.width]; });
        assert.strictEqual(box[2], 960);
        // Picture pixels: a view 2 high over 540 rows puts 0.1 every 27.
        const at = (px, py) => [box[0] + px, box[1] + py];
        const drag = async (from, to, steps = 5) => {
            await page.mouse.move(...at(...from));
            await page.mouse.down();
            await page.mouse.move(...at(...to), { steps });
            await page.mouse.up();
        };

        // ---- Drawing, dragging, undoing ----
        await page.keyboard.press('c');
        await drag([480, 270], [534, 270]);
        await page.keyboard.press('s');
        await drag([291, 135], [669, 135]);
        // A polygon of three clicks and Enter, a polyline of two taps
        // ended by the button: each point once.
        await page.keyboard.press('p');
        for (const [x, y] of [[777, 378], [858, 378], [858, 459]]) {
            await page.mouse.move(...at(x - 20, y - 20));
            await page.mouse.move(...at(x, y), { steps: 3 });
            await page.mouse.click(...at(x, y));
            await new Promise((r) => setTimeout(r, 400));  // no double-click
        }
        await page.keyboard.press('Enter');
        await page.keyboard.press('l');
        await page.touchscreen.tap(...at(102, 432));
        await new Promise((r) => setTimeout(r, 400));
        await page.touchscreen.tap(...at(183, 486));
        await page.$eval('#ed-finish', (e) => e.click());
        await check('a polygon clicked and a polyline tapped', async () => {
            const shapes = (await scene(page)).shapes;
            assert.deepStrictEqual(shapes.slice(2).map((s) => [s.type, s.points]), [
                ['polygon', [[1.1, 0.4], [1.4, 0.4], [1.4, 0.7]]],
                ['polyline', [[-1.4, 0.6], [-1.1, 0.8]]],
            ]);
        });
        await page.keyboard.down('Control');
        await page.keyboard.press('z');
        await page.keyboard.press('z');
        await page.keyboard.up('Control');
        await page.keyboard.press('v');
        const drawn = {
            format: 'lumek-scene', version: 1, view: { centre: [0, 0], height: 2 },
            shapes: [
                { type: 'disc', centre: [0, 0], radius: 0.2, colour: '#ffcc66', falloff: 2 },
                { type: 'segment', start: [-0.7, -0.5], end: [0.7, -0.5], colour: '#ffcc66', falloff: 2 },
            ],
        };
        await check('a disc and a segment drawn with the mouse', async () =>
            assert.deepStrictEqual(await scene(page), drawn));
        await drag([669, 135], [669, 189]);
        await check('the segment\'s end dragged 0.2 down', async () => {
            const moved = JSON.parse(JSON.stringify(drawn));
            moved.shapes[1].end = [0.7, -0.3];
            assert.deepStrictEqual(await scene(page), moved);
        });
        await settle(page);
        await shoot(page, 'drawn');
        await page.keyboard.down('Control');
        await page.keyboard.press('z');
        await page.keyboard.up('Control');
        await check('undo once: the scene before the drag, exactly', async () =>
            assert.deepStrictEqual(await scene(page), drawn));
        await page.keyboard.down('Control');
        await page.keyboard.down('Shift');
        await page.keyboard.press('Z');
        await page.keyboard.up('Shift');
        await page.keyboard.up('Control');
        await check('redo: the drag again', async () =>
            assert.deepStrictEqual((await scene(page)).shapes[1].end, [0.7, -0.3]));

        // ---- Saved here, rendered natively; exported here, the same bytes ----
        const saved = await page.evaluate(() => window.lumekEditor.saved());
        const savedFile = path.join(scratch, 'drawn.json');
        fs.writeFileSync(savedFile, saved);
        await check('the saved scene opens natively', async () => {
            const report = execFileSync(lumekExe, ['--scene', savedFile, '--check'], { encoding: 'utf8' });
            assert.match(report, /shapes +2 \(1 disc, 1 segment,/);
            assert.match(report, /problems +none/);
        });
        await page.$eval('#ed-export-width', (e) => { e.value = '1000'; });
        await page.$eval('#ed-export-height', (e) => { e.value = '563'; });
        await page.$eval('#ed-export', (e) => e.click());
        await page.waitForFunction(() => window.lumekLastExport && window.lumekLastExport.png, { timeout: 60000 });
        const png = Buffer.from(await page.evaluate(async () =>
            [...new Uint8Array(await window.lumekLastExport.png.arrayBuffer())]));
        await check('the PNG exported at 1000 x 563 is the native picture', async () => {
            const native = nativePicture(savedFile, 1000, 563), page = decodePng(png);
            assert.deepStrictEqual([page.width, page.height], [1000, 563]);
            assert.ok(page.rgb.equals(native.rgb), 'the pixels differ');
        });
        fs.writeFileSync(path.join(shotDir, 'editor-export-1000x563.png'), png);

        // ---- Share link ----
        await page.$eval('#ed-share', (e) => e.click());
        await page.waitForFunction(() => document.getElementById('ed-link').value !== '');
        const link = await page.$eval('#ed-link', (e) => e.value);
        const shared = await scene(page);
        // The first page then empties its scene (the kept one too).
        for (let i = 0; i < 2; ++i) await page.keyboard.press('Delete');
        await page.evaluate(() => document.getElementById('ed-shapes').querySelector('button')?.click());
        await page.keyboard.press('Delete');
        const before = await scene(page);
        await check('the scene changed after sharing survives a reload (not the link\'s older one)', async () => {
            assert.ok(before.shapes.length < shared.shapes.length);
            assert.doesNotMatch(page.url(), /#scene=/);
            await page.reload();
            await page.waitForFunction(() => window.lumekEditor, { timeout: 30000 });
            assert.deepStrictEqual(await scene(page), before);
        });
        const second = await openPage(link);
        await check(`the share link (${link.length} characters) opens the same scene in a new page`, async () =>
            assert.deepStrictEqual(await scene(second), shared));
        await settle(second);
        await shoot(second, 'shared');
        const packed = (doc) => 'scene=' + zlib.deflateRawSync(JSON.stringify(doc)).toString('base64url');
        for (const [what, hash, says] of [
            ['damaged', link.split('#')[1].replace(/.$/, '') + '*', /damaged/],
            ['cut short', link.split('#')[1].slice(0, 40), /damaged/],
            ['newer', packed({ ...shared, version: 2 }), /version 2, from a newer Lumek/],
            ['too large', 'scene=' + 'A'.repeat(2000001), /too large/]]) {
            const bad = await openPage(`${base}?editor#${hash}`);
            await check(`a ${what} link says so and keeps the scene that was there`, async () => {
                const said = await message(bad);
                assert.strictEqual(said.fault, '1');
                assert.match(said.text, says);
                assert.deepStrictEqual(await scene(bad), shared);
            });
            if (what === 'damaged') {
                await settle(bad);
                await shoot(bad, 'damaged-link');
            }
            await bad.close();
        }

        // ---- A native scene opens in the page ----
        const builtIn = path.join(scratch, 'builtin');
        fs.rmSync(builtIn, { recursive: true, force: true });
        execFileSync(lumekExe, ['--save-scenes', builtIn]);
        const logo = path.join(builtIn, 'Lumeklogo.json');
        await (await second.$('#ed-open')).uploadFile(logo);
        await second.waitForFunction(() => /Opened/.test(document.getElementById('ed-message').textContent));
        await check('a natively saved scene opens in the page as it is', async () =>
            assert.deepStrictEqual(await scene(second), JSON.parse(fs.readFileSync(logo, 'utf8'))));
        await second.$eval('#ed-share', (e) => e.click());
        await second.waitForFunction(() => document.getElementById('ed-link').value !== '');
        const logoLink = await second.$eval('#ed-link', (e) => e.value);
        console.log(`      the logo scene's share link: ${logoLink.length} characters`);

        // ---- Dragging a disc: pictures while it moves ----
        for (const size of ['128', '512']) {
            await second.select('#ed-preview', size);
            await second.keyboard.press('v');
            const logoDoc = await scene(second);
            const disc = logoDoc.shapes.findIndex((s) => s.type === 'disc');
            await second.evaluate((i) => document.querySelectorAll('#ed-shapes button')[i].click(), disc);
            // A point of the picture well inside the disc (its centre may lie
            // outside the picture).
            const [dx, dy] = await second.evaluate((i) => {
                const d = window.lumekEditor.scene();
                const v = d.view, s = d.shapes[i];
                for (let py = 500; py > 40; py -= 20)
                    for (let px = 40; px < 920; px += 20) {
                        const x = v.centre[0] + (px - 480) * v.height / 540, y = v.centre[1] + (py - 270) * v.height / 540;
                        if (Math.hypot(x - s.centre[0], y - s.centre[1]) < s.radius * 0.9) return [px, py];
                    }
                return [480, 270];
            }, disc);
            const box = await second.$eval('#ed-overlay', (e) => { const b = e.getBoundingClientRect(); return [b.left, b.top]; });
            const before = await second.evaluate(() => window.lumekEditorStats.frames);
            const started = Date.now();
            await second.mouse.move(box[0] + dx, box[1] + dy);
            await second.mouse.down();
            let step = 0;
            while (Date.now() - started < 3000) {
                ++step;
                await second.mouse.move(box[0] + dx + 40 * Math.sin(step / 10), box[1] + dy + 20 * Math.cos(step / 10));
                await new Promise((r) => setTimeout(r, 16));
            }
            await second.mouse.up();
            const seconds = (Date.now() - started) / 1000;
            const frames = await second.evaluate(() => window.lumekEditorStats.frames) - before;
            console.log(`      dragging at ${size}: ${frames} pictures in ${seconds.toFixed(1)} s ` +
                        `(${(frames / seconds).toFixed(1)} a second)`);
            await check(`dragging a disc at ${size} moves it and renders pictures, no worker error`, async () => {
                assert.notDeepStrictEqual((await scene(second)).shapes[disc].centre, logoDoc.shapes[disc].centre);
                assert.ok(frames > 1);
                assert.strictEqual(await second.evaluate(() => window.lumekEditorStats.errors), 0);
            });
        }
        await settle(second);
        await shoot(second, 'logo-dragged');

        // ---- An SVG drawing ----
        const svgFile = path.join(scratch, 'drawing.svg');
        fs.writeFileSync(svgFile, `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="100" height="100">
  <path d="M 10 10 C 20 0, 30 20, 40 10 S 60 0, 70 10" stroke="#ff0000" fill="none"/>
  <rect x="50" y="50" width="20" height="10" fill="#00ff00"/>
  <circle cx="80" cy="20" r="5" fill="#0000ff"/>
  <polygon points="10,80 30,80 20,95" stroke="#ffffff" fill="none"/>
  <g transform="translate(10 60) scale(2)"><line x1="0" y1="0" x2="10" y2="0" stroke="#ffff00"/></g>
  <text x="5" y="50">words</text>
</svg>`);
        await second.select('#ed-start', 'empty');
        await second.$eval('#ed-tolerance', (e) => { e.value = '0.001'; });
        await (await second.$('#ed-svg')).uploadFile(svgFile);
        await second.waitForFunction(() => /Brought in/.test(document.getElementById('ed-message').textContent));
        const imported = (await scene(second)).shapes;
        const said = await message(second);
        await check(`an SVG comes in: ${said.text}`, async () => {
            assert.deepStrictEqual(imported.map((s) => s.type), ['polyline', 'polygon', 'disc', 'polygon', 'segment']);
            assert.match(said.text, /Not brought in: 1 text/);
            // The rectangle fixes where the drawing went: its corner and scale.
            const rect = imported[1].points;
            const k = (rect[1][0] - rect[0][0]) / 20;
            const place = ([x, y]) => [rect[0][0] + (x - 50) * k, rect[0][1] + (y - 50) * k];
            const near = (p, q, tol = 2e-3) => assert.ok(Math.hypot(p[0] - q[0], p[1] - q[1]) < tol, `${p} is not ${q}`);
            near(rect[2], place([70, 60]));
            near(imported[2].centre, place([80, 20]));
            assert.ok(Math.abs(imported[2].radius - 5 * k) < 1e-3);
            near(imported[3].points[2], place([20, 95]));
            near(imported[4].start, place([10, 60]));
            near(imported[4].end, place([30, 60]));  // the group's scale applied
            const curve = imported[0].points;
            near(curve[0], place([10, 10]));
            near(curve[curve.length - 1], place([70, 10]));
            assert.ok(curve.length > 8, 'the curves are sampled');
            assert.strictEqual(imported[0].colour, '#ff0000');
            assert.strictEqual(imported[2].colour, '#0000ff');
        });
        await settle(second);
        await shoot(second, 'svg');

        // ---- The examples served with the page open from "start from" ----
        const examples = JSON.parse(fs.readFileSync(path.join(webDir, 'examples.json'), 'utf8'));
        for (const name of examples) {
            await second.select('#ed-start', `file:${name}`);
            await second.waitForFunction((n) => document.getElementById('ed-message').textContent.includes(n),
                                         {}, `Opened ${name}`);
            await check(`the example ${name} opens as it is`, async () =>
                assert.deepStrictEqual(await scene(second), JSON.parse(fs.readFileSync(path.join(webDir, name), 'utf8'))));
        }

        // ---- An animated scene plays ----
        const orbitFile = path.join(scratch, 'orbit.json');
        fs.writeFileSync(orbitFile, JSON.stringify({
            format: 'lumek-scene', version: 1, duration: 4, fps: 25, view: { centre: [0, 0], height: 2 },
            shapes: [{ type: 'disc', centre: [0, 0], radius: 0.1, colour: '#ff8800', falloff: 1,
                       keys: [{ time: 0, centre: [-0.8, 0] }, { time: 4, centre: [0.8, 0] }] }],
        }));
        await (await second.$('#ed-open')).uploadFile(orbitFile);
        await second.waitForFunction(() => /Opened orbit/.test(document.getElementById('ed-message').textContent));
        const framesBefore = await second.evaluate(() => window.lumekEditorStats.frames);
        await second.$eval('#ed-play', (e) => e.click());
        await new Promise((r) => setTimeout(r, 1500));
        await second.$eval('#ed-play', (e) => e.click());
        await check('an animated scene plays: the timeline moves and pictures follow', async () => {
            assert.strictEqual(await second.$eval('#ed-timeline', (e) => e.hidden), false);
            const frame = Number(await second.$eval('#ed-time', (e) => e.value));
            assert.ok(frame > 10 && frame < 100, `at frame ${frame}`);
            assert.ok(await second.evaluate(() => window.lumekEditorStats.frames) - framesBefore > 3);
            assert.strictEqual(await second.$eval('#ed-play', (e) => e.textContent), 'play');
            const said = await message(second);
            assert.notStrictEqual(said.fault, '1', said.text);
        });
        await settle(second);
        await shoot(second, 'animation');

        // ---- Keys set in the page: the file holds them, frames match -record's ----
        const setField = (id, value) => second.$eval(id, (e, v) => {
            e.value = v;
            e.dispatchEvent(new Event(e.type === 'range' ? 'input' : 'change'));
        }, value);
        const click = (id) => second.$eval(id, (e) => e.click());
        await second.select('#ed-start', 'empty');
        await setField('#ed-duration', '2');
        await click('input[name=ed-tool][value=disc]');
        await click('#ed-add');
        await setField('#ed-coords', '-0.5 0\n0.2');
        await second.select('#ed-key-what', 'centre');
        await click('#ed-key');
        await setField('#ed-time', '30');
        await setField('#ed-coords', '0.5 0.1\n0.2');
        await click('#ed-key');
        const keyed = [{ time: 0, centre: [-0.5, 0] }, { time: 1, centre: [0.5, 0.1] }];
        await check('two keys of a disc\'s centre set at 0 s and 1 s are exactly the file\'s keys', async () => {
            const now = await scene(second);
            assert.strictEqual(now.duration, 2);
            assert.strictEqual(now.fps, undefined);
            assert.deepStrictEqual(now.shapes.map((s) => s.keys), [keyed]);
            assert.strictEqual(await second.$$eval('#ed-keymarks button.mine', (m) => m.length), 2);
        });
        await click('#ed-undo');
        await check('undo takes the second key away, redo brings it back', async () => {
            assert.deepStrictEqual((await scene(second)).shapes[0].keys, keyed.slice(0, 1));
            await click('#ed-redo');
            assert.deepStrictEqual((await scene(second)).shapes[0].keys, keyed);
        });
        await click('#ed-unkey');
        await check('removing the key at 1 s leaves the one at 0 s; undo restores it', async () => {
            assert.deepStrictEqual((await scene(second)).shapes[0].keys, keyed.slice(0, 1));
            await click('#ed-undo');
            assert.deepStrictEqual((await scene(second)).shapes[0].keys, keyed);
        });
        await setField('#ed-time', '15');
        await check('at 0.5 s the outline stands half way', async () =>
            assert.deepStrictEqual((await scene(second)).shapes[0].centre, [0, 0.05]));
        // A key whose time falls between frames (0.5 s at 25 fps is frame
        // 12.5) is still the one its frame shows, to set and to remove.
        await click('#ed-key');
        await setField('#ed-rate', '25');
        await setField('#ed-time', '13');
        await click('#ed-unkey');
        await check('a key between two frames is removed at the frame nearest it', async () => {
            const now = await scene(second);
            assert.strictEqual(now.fps, 25);
            assert.deepStrictEqual(now.shapes[0].keys, keyed, (await message(second)).text);
        });
        // Two keys in one frame (0.5 s, and 29/60 s set at 60 fps): the
        // one at the frame's own moment is the one removed.
        await setField('#ed-rate', '30');
        await setField('#ed-time', '15');
        await click('#ed-key');
        await setField('#ed-rate', '60');
        await setField('#ed-time', '29');
        await click('#ed-key');
        await setField('#ed-rate', '30');
        await setField('#ed-time', '15');
        await click('#ed-unkey');
        await check('of two keys in one frame, the one at the frame\'s own time is removed', async () =>
            assert.deepStrictEqual((await scene(second)).shapes[0].keys.map((k) => k.time), [0, 29 / 60, 1]));
        await setField('#ed-rate', '60');
        await setField('#ed-time', '29');
        await click('#ed-unkey');
        await setField('#ed-rate', '30');
        await setField('#ed-time', '15');
        const keyedFile = path.join(scratch, 'keyed.json');
        fs.writeFileSync(keyedFile, await second.evaluate(() => window.lumekEditor.saved()));
        await setField('#ed-export-width', '64');
        await setField('#ed-export-height', '48');
        await second.evaluate(() => { window.lumekLastExport = null; });
        await click('#ed-export');
        await second.waitForFunction(() => window.lumekLastExport && window.lumekLastExport.png, { timeout: 60000 })
            .catch(async (error) => { throw new Error(`${error.message}; the page says: ${(await message(second)).text}`); });
        const halfWay = Buffer.from(await second.evaluate(async () =>
            [...new Uint8Array(await window.lumekLastExport.png.arrayBuffer())]));
        await check('the frame at 0.5 s is the native picture at --time 0.5', async () => {
            const out = path.join(scratch, 'native-keyed.png');
            execFileSync(lumekExe, ['--scene', keyedFile, '-png', '--time', '0.5', '--size', '64x48', '--output', out],
                         { stdio: 'pipe' });
            const native = decodePng(fs.readFileSync(out)), here = decodePng(halfWay);
            assert.deepStrictEqual([here.width, here.height], [64, 48]);
            assert.ok(here.rgb.equals(native.rgb), 'the pixels differ');
            // The keys moved the disc: frame 0 is another picture.
            const first = path.join(scratch, 'native-keyed-0.png');
            execFileSync(lumekExe, ['--scene', keyedFile, '-png', '--time', '0', '--size', '64x48', '--output', first],
                         { stdio: 'pipe' });
            assert.ok(!decodePng(fs.readFileSync(first)).rgb.equals(native.rgb), 'the disc did not move');
        });
        await settle(second);
        await shoot(second, 'keys');
        // From the keyboard alone: Esc leaves the shape, K keys the view.
        await second.$eval('#ed-overlay', (e) => e.focus());
        await second.keyboard.press('Escape');
        await second.keyboard.press('k');
        await check('Esc then K keys the view at 0.5 s; Ctrl+Z takes it back', async () => {
            const now = await scene(second);
            assert.deepStrictEqual(now.view.keys, [{ time: 0.5, centre: [0, 0], height: 2, rotation: 0 }]);
            assert.deepStrictEqual(now.shapes[0].keys, keyed);
            await second.keyboard.down('Control');
            await second.keyboard.press('z');
            await second.keyboard.up('Control');
            assert.strictEqual((await scene(second)).view.keys, undefined);
        });

        // ---- 390 pixels wide ----
        await second.setViewport({ width: 390, height: 844 });
        await second.$eval('#ed-stage', (e) => e.classList.remove('pinned'));
        await check('at 390 pixels wide nothing runs off the side', async () => {
            const wide = await second.evaluate(() => document.documentElement.scrollWidth);
            assert.ok(wide <= 390, `${wide} pixels wide`);
            const stage = await second.$eval('#ed-stage', (e) => e.getBoundingClientRect().width);
            assert.ok(stage > 300 && stage <= 390, `the picture is ${stage} pixels wide`);
        });
        await shoot(second, 'phone');
        await second.setViewport({ width: 1400, height: 1000 });
        await shoot(second, 'desktop');

        await check('the console is clean', async () => assert.deepStrictEqual(problems, []));
    } finally {
        await chromium.close();
        server.close();
    }
    console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
    process.exit(failures ? 1 : 0);
})().catch((error) => {
    console.error(error);
    process.exit(1);
});

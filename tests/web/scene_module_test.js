// Scene documents in lumek.wasm under node, against the native program:
// the ten built-in scenes saved natively (--save-scenes) render in the
// module with the golden shots' bytes; a scene at a size that is no
// multiple of the tile edge, rendered in bands on the page's workers, is
// byte for byte the native `--scene FILE -shot --size 1000x563` picture;
// refused documents say where and why, as the desktop does, and leave the
// module usable.
//
//   node scene_module_test.js <build-web dir> <native lumek> <golden.h> <scratch dir>
'use strict';

const assert = require('assert');
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { Worker } = require('worker_threads');

const [webDir, lumekExe, goldenHeader, scratch] = process.argv.slice(2);
const Lumek = require(path.resolve(webDir, 'lumek.js'));

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

function rgbOf(rgba) {
    const rgb = Buffer.alloc((rgba.length / 4) * 3);
    for (let i = 0, o = 0; i < rgba.length; i += 4) {
        rgb[o++] = rgba[i];
        rgb[o++] = rgba[i + 1];
        rgb[o++] = rgba[i + 2];
    }
    return rgb;
}

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

let failures = 0;
function check(what, fn) {
    try {
        fn();
        console.log(`ok    ${what}`);
    } catch (error) {
        ++failures;
        console.log(`FAIL  ${what}\n      ${error.message.split('\n').join('\n      ')}`);
    }
}

// An animated scene with every kind of shape, a rotated view and keys.
const animated = {
    format: 'lumek-scene', version: 1, title: 'bands', seed: 77, duration: 2, fps: 10,
    view: { centre: [0.1, -0.2], height: 3, rotation: 17,
            keys: [{ time: 0, height: 3 }, { time: 2, height: 2.2 }] },
    shapes: [
        { type: 'disc', id: 'sun', centre: [-0.6, -0.3], radius: 0.25, colour: '#ffcc55',
          falloff: 0.8, keys: [{ time: 0, centre: [-0.6, -0.3] }, { time: 2, centre: [0.7, 0.2] }] },
        { type: 'segment', start: [-1, 0.5], end: [1, 0.45], colour: [0, 0, 0], falloff: 0 },
        { type: 'polygon', points: [[0, 0], [0.4, 0.1], [0.2, 0.5]], colour: '#3060ff', falloff: 2 },
        { type: 'polyline', points: [[-1, -1], [-0.5, -0.8], [0, -1.1]], colour: '#ff2020',
          falloff: 1.5 },
    ],
};

(async () => {
    const bytes = fs.readFileSync(path.resolve(webDir, 'lumek.wasm'));
    const one = await Lumek.load(bytes);
    fs.mkdirSync(scratch, { recursive: true });

    // The built-in scenes as the desktop saves them: the eight shot rows'
    // files give the golden pictures at their first frame.
    const saved = path.join(scratch, 'builtin');
    fs.rmSync(saved, { recursive: true, force: true });
    execFileSync(lumekExe, ['--save-scenes', saved]);
    const files = fs.readdirSync(saved).filter((f) => f.endsWith('.json')).sort();
    const golden = fs.readFileSync(goldenHeader, 'utf8');
    const shotTable = golden.slice(golden.indexOf('kGoldenShots'), golden.indexOf('kGoldenPngs'));
    const goldenHashes = [...shotTable.matchAll(/\{"(\w+)", "([0-9a-f]{64})"\}/g)].map((m) => m[2]);
    const made = new Set();
    check(`ten built-in scene files saved (${files.length})`, () => assert.strictEqual(files.length, 10));
    for (const file of files) {
        const text = fs.readFileSync(path.join(saved, file), 'utf8');
        const read = one.readScene(text);
        check(`${file} is read`, () => assert.ok(read.ok, read.error));
        if (!read.ok) continue;
        check(`${file} is written back byte for byte`, () =>
            assert.strictEqual(one.sceneCanonical(), text));
        const doc = JSON.parse(text);
        const [w, h] = doc.size || [1024, 768];
        assert.ok(one.scenePrepare(w, h, 0));
        made.add(sha256(rgbOf(one.sceneRows(0, h, w))));
    }
    const builtIn = one.builtinScenes();
    check('the module\'s built-in scene files are the native ones, byte for byte', () => {
        assert.deepStrictEqual(builtIn.map((f) => f.name).sort(), files);
        for (const f of builtIn) assert.strictEqual(f.text, fs.readFileSync(path.join(saved, f.name), 'utf8'), f.name);
    });
    check('every golden shot is the first frame of a saved built-in scene', () => {
        assert.strictEqual(goldenHashes.length, 8);
        for (const hash of goldenHashes) assert.ok(made.has(hash), `no file renders ${hash}`);
    });

    // 1000 x 563 at a moment of the animation: one module whole, the
    // page's workers in bands (several each, in any order), and the
    // native program.
    const text = JSON.stringify(animated, null, 1);
    const file = path.join(scratch, 'bands.json');
    fs.writeFileSync(file, text);
    const [W, H, T] = [1000, 563, 0.75];
    assert.ok(one.readScene(text).ok);
    assert.ok(one.scenePrepare(W, H, T));
    const whole = rgbOf(one.sceneRows(0, H, W));
    execFileSync(lumekExe, ['--scene', file, '-shot', '--size', `${W}x${H}`, '--time', String(T),
                            '--output', path.join(scratch, 'bands.raw')], { stdio: 'pipe' });
    const native = fs.readFileSync(path.join(scratch, 'bands.raw'));
    check(`${W} x ${H} at ${T} s: the module's picture is the native one`, () =>
        assert.ok(native.equals(whole), `${sha256(whole)} != ${sha256(native)}`));

    // The example scenes served with the page: the native pictures.
    for (const name of JSON.parse(fs.readFileSync(path.join(webDir, 'examples.json'), 'utf8'))) {
        const example = path.join(webDir, name);
        execFileSync(lumekExe, ['--scene', example, '-shot', '--size', '160x90',
                                '--output', path.join(scratch, 'example.raw')], { stdio: 'pipe' });
        const read = one.readScene(fs.readFileSync(example, 'utf8'));
        check(`${name}: the native picture at 160 x 90`, () => {
            assert.ok(read.ok, read.error);
            assert.ok(one.scenePrepare(160, 90, 0));
            assert.ok(fs.readFileSync(path.join(scratch, 'example.raw')).equals(rgbOf(one.sceneRows(0, 90, 160))));
        });
    }

    // Frames of the animation, as -record makes them, are the pictures
    // native -png gives at their times.
    assert.ok(one.readScene(text).ok);
    for (const frame of [5, 7, 19]) {
        const seconds = frame / animated.fps;
        execFileSync(lumekExe, ['--scene', file, '-shot', '--size', '96x54', '--time', String(seconds),
                                '--output', path.join(scratch, 'frame.raw')], { stdio: 'pipe' });
        assert.ok(one.scenePrepareFrame(96, 54, frame));
        const made = rgbOf(one.sceneRows(0, 54, 96));
        check(`frame ${frame} is the native picture at ${seconds} s`, () =>
            assert.ok(fs.readFileSync(path.join(scratch, 'frame.raw')).equals(made)));
    }
    check('no frame beyond the animation\'s last', () => assert.ok(!one.scenePrepareFrame(96, 54, 20)));

    for (const workers of [1, 3]) {
        const crew = new Lumek.Crew(workers, nodeWorker);
        await crew.load(bytes);
        const info = await crew.loadScene(text);
        let last = 0;
        const rgba = await crew.scenePicture(W, H, T, { rowsPerBand: 37, progress: (rows) => { last = rows; } });
        check(`${workers} worker(s) in bands of 37 rows: the native picture, progress to the end`, () => {
            assert.strictEqual(info.frames, 20);
            assert.ok(native.equals(rgbOf(rgba)));
            assert.strictEqual(last, H);
        });
        let asked = 0;
        const cancelled = await crew.scenePicture(W, H, T, { rowsPerBand: 16, cancelled: () => ++asked > 3 });
        check(`${workers} worker(s): a cancelled picture gives nothing`, () =>
            assert.strictEqual(cancelled, null));
        await crew.loadScene('{"format": "lumek-scene", "version": 1}').then(
            () => check('a document without a view is refused by the crew', () => assert.fail('read')),
            (error) => check('a document without a view is refused by the crew', () =>
                assert.match(error.message, /view/)));
        crew.close();
    }

    // Refused documents: the desktop's message (the place and the path),
    // and the module reads the next document as if nothing happened.
    const refusals = [
        ['{\n "format": "lumek-scene",\n "version": 9\n}', /^scene:3:13: version: .*newer/],
        ['{"format": "lumek-scene", "version": 1, "view": {"centre": [0, 0], "height": 1},\n' +
         ' "shapes": [{"type": "disc", "centre": [0, 0], "radius": 1, "colour": "#ff00ff", "falloff": 1, "radus": 2}]}',
         /^scene:2:.*shapes\[0\].*radius/],
        ['{"format": "lumek-scene", "version": 1, "view": {"centre": [0, 0], "height": "tall"}, "shapes": []}',
         /view.height/],
        ['not json', /parse error|syntax/],
    ];
    for (const [bad, expected] of refusals) {
        const read = one.readScene(bad);
        check(`refused with its place: ${read.error}`, () => {
            assert.strictEqual(read.ok, false);
            assert.match(read.error, expected);
        });
    }
    check('after refusals the module reads and renders again, the same bytes', () => {
        assert.ok(one.readScene(text).ok);
        assert.ok(one.scenePrepare(W, H, T));
        assert.ok(native.equals(rgbOf(one.sceneRows(0, H, W))));
    });

    console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
    process.exit(failures ? 1 : 0);
})().catch((error) => {
    console.error(error);
    process.exit(1);
});

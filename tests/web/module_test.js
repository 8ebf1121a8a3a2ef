// lumek.wasm under node, against the native build: the eight shot views at
// 1024 x 768 give the golden hashes, and the show's frames every quarter
// second at 64 x 64 are the native program's bytes.
//
//   node module_test.js <build-web dir> <native lumek_numbers> <golden.h>
'use strict';

const assert = require('assert');
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const [webDir, numbersExe, goldenHeader] = process.argv.slice(2);
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

async function main() {
    const bytes = fs.readFileSync(path.join(webDir, 'lumek.wasm'));
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

    // The benchmark's entry from the module.
    const bench = await Lumek.load(bytes);
    const { text, status } = bench.bench(new Date(2026, 11, 6, 9, 5));
    check('the benchmark gives the five-line entry and a passed check', () => {
        assert.match(text, new RegExp(
            '^Datum: 6\\.12\\.2026   Uhrzeit: 9:5\\n' +
            'Render Dauer: \\d+ ms   Rating: [0-9.e+]+|Infinity Tq7-Marks \\(=[0-9.e+]+|Infinity fps\\)\\n'));
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

    if (failures) {
        console.log(`${failures} check(s) failed`);
        process.exit(1);
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});

// The web tests' PNG reader.
'use strict';

const assert = require('assert');
const zlib = require('zlib');

// PNG pictures (Chromium's screenshots, the program's and the editor's
// exports): 8-bit RGB or RGBA, not interlaced, any row filter.
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

module.exports = { decodePng };

// PNG files of exported pictures: 8-bit RGB, every row unfiltered, the
// pixels deflated by the browser's own CompressionStream (zlib).
const crcTable = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
        let c = n;
        for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
    }
    return table;
})();

function crc32(bytes, crc = 0xffffffff) {
    for (let i = 0; i < bytes.length; ++i) crc = crcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
    return crc;
}

function chunk(type, data) {
    const out = new Uint8Array(12 + data.length);
    const view = new DataView(out.buffer);
    view.setUint32(0, data.length);
    for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i);
    out.set(data, 8);
    view.setUint32(8 + data.length, (crc32(out.subarray(4, 8 + data.length)) ^ 0xffffffff) >>> 0);
    return out;
}

// A Blob of the PNG of `rgba` (width x height, four bytes a pixel; the
// fourth is left out).
export async function encodePng(rgba, width, height) {
    const header = new Uint8Array(13);
    const view = new DataView(header.buffer);
    view.setUint32(0, width);
    view.setUint32(4, height);
    header.set([8, 2, 0, 0, 0], 8);  // 8 bits, RGB, deflate, no filter, no interlace
    // Rows go to the compressor one by one: a large picture is never held twice.
    const stream = new CompressionStream('deflate');
    const writer = stream.writable.getWriter();
    const packed = new Response(stream.readable).arrayBuffer();
    const row = new Uint8Array(1 + width * 3);
    for (let y = 0; y < height; ++y) {
        const line = new Uint8Array(row.length);
        for (let x = 0, i = y * width * 4, o = 1; x < width; ++x, i += 4) {
            line[o++] = rgba[i];
            line[o++] = rgba[i + 1];
            line[o++] = rgba[i + 2];
        }
        await writer.write(line);
    }
    await writer.close();
    const idat = new Uint8Array(await packed);
    return new Blob([new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
                     chunk('IDAT', idat), chunk('IEND', new Uint8Array(0))], { type: 'image/png' });
}

// A scene in a link, and the scene in progress kept across reloads.
//
// The link holds the scene's JSON, compressed with the browser's own raw
// deflate (CompressionStream) and base64url-encoded, after "#scene=". A link
// that cannot be read says why and never replaces the scene the page holds.

export const kLinkPrefix = '#scene=';
// Beyond these a link is refused before it is decoded or inflated: browsers
// keep addresses of a few megabytes, and a scene that large belongs in a file.
export const kMaxLinkChars = 2_000_000;
export const kMaxSceneChars = 16_000_000;
const kStoreKey = 'lumek-editor-scene';

function toBase64Url(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
        text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64Url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text)) throw new Error('the link holds characters base64url does not use');
    const plain = atob(text.replace(/-/g, '+').replace(/_/g, '/') + '==='.slice((text.length + 3) % 4));
    const bytes = new Uint8Array(plain.length);
    for (let i = 0; i < plain.length; ++i) bytes[i] = plain.charCodeAt(i);
    return bytes;
}

async function through(stream, bytes, limit = Infinity) {
    const reader = new Blob([bytes]).stream().pipeThrough(stream).getReader();
    const parts = [];
    let total = 0;
    for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        total += value.length;
        if (total > limit) {
            reader.cancel();
            throw new Error('too large');
        }
        parts.push(value);
    }
    const out = new Uint8Array(total);
    let at = 0;
    for (const part of parts) out.set(part, at), at += part.length;
    return out;
}

// The link's hash for a scene's JSON text.
export async function linkHash(text) {
    const packed = await through(new CompressionStream('deflate-raw'), new TextEncoder().encode(text));
    return kLinkPrefix + toBase64Url(packed);
}

// The scene's JSON text from a link's hash, or an Error saying, in words
// for a person, why it cannot be opened.
export async function sceneFromHash(hash) {
    if (!hash.startsWith(kLinkPrefix)) return null;
    const payload = hash.slice(kLinkPrefix.length);
    if (payload.length > kMaxLinkChars)
        throw new Error(`The link is too large to open (${payload.length} characters; at most ${kMaxLinkChars}).`);
    let bytes;
    try {
        bytes = fromBase64Url(payload);
    } catch (error) {
        throw new Error(`The link is damaged: ${error.message}.`);
    }
    let text;
    try {
        const plain = await through(new DecompressionStream('deflate-raw'), bytes, kMaxSceneChars);
        text = new TextDecoder('utf-8', { fatal: true }).decode(plain);
    } catch (error) {
        if (error.message === 'too large')
            throw new Error(`The link's scene is too large to open (more than ${kMaxSceneChars} bytes).`);
        throw new Error('The link is damaged: its scene cannot be unpacked (was it cut short?).');
    }
    let doc;
    try {
        doc = JSON.parse(text);
    } catch (error) {
        throw new Error(`The link is damaged: its scene is not JSON (${error.message}).`);
    }
    if (doc && typeof doc.version === 'number' && doc.version > 1 && doc.format === 'lumek-scene')
        throw new Error(`The link's scene is version ${doc.version}, from a newer Lumek; this page reads version 1.`);
    return text;
}

export function keep(text) {
    try {
        localStorage.setItem(kStoreKey, text);
    } catch (error) {
        // Storage full or refused (a private window): the scene stays on the page.
    }
}

export function kept() {
    try {
        return localStorage.getItem(kStoreKey);
    } catch (error) {
        return null;
    }
}

// The scene editor: a mode of the page (index.html?editor, or a share
// link) that draws a scene file's shapes with the mouse, touch or keyboard
// and shows their light at once, rendered on the page's workers by the very
// module the show uses. The document it edits is the scene file itself
// (format lumek-scene, version 1), so what is saved here opens natively.
import { drawOverlay, distanceTo, handles, toPicture, toScene } from './editor-view.js';
import { encodePng } from './editor-png.js';
import { importSvg } from './editor-svg.js';
import { keyable, pose, removeKey, setKey } from './editor-keys.js';
import { keep, kept, linkHash, sceneFromHash } from './share.js';

const $ = (id) => document.getElementById(id);
const kDisplayWidth = 960, kDisplayHeight = 540;  // the picture's area, 16:9
const kPauseMs = 300;  // no edit for this long: a finer picture

const emptyScene = () => ({ format: 'lumek-scene', version: 1, view: { centre: [0, 0], height: 2 }, shapes: [] });
// Coordinates from the pointer keep a thousandth of the view's height
// (and at least three decimals): tidy numbers at any scale.
const round = (v) => {
    const digits = Math.min(12, Math.max(3, 3 - Math.floor(Math.log10(doc.view.height))));
    return Number(v.toFixed(digits));
};
const clone = (v) => JSON.parse(JSON.stringify(v));

let doc = emptyScene();
let selected = -1;
let tool = 'select';
let drawing = null;      // the shape being drawn
let dragging = null;     // { kind: 'point' | 'shape' | 'pan', ... }
const undoStack = [], redoStack = [];
let crew = null, lumek = null;
let previewWidth = 128;
let builtIn = [];
// The animation: the frame shown (as -record writes it) and whether it plays.
let currentFrame = 0, playing = false, playStart = 0, playFrom = 0;
const frameCount = () => (doc.duration === undefined ? 1
    : Math.max(1, Math.round(doc.duration * (doc.fps || 30))));
const stats = window.lumekEditorStats = { frames: 0, fine: 0, dropped: 0, errors: 0, fps: 0, since: 0 };

// ---- The document and its history ----

function text() {
    return JSON.stringify(doc, null, 2) + '\n';
}

// Every change goes through here: the document before it is kept for undo.
function change(edit) {
    undoStack.push(text());
    if (undoStack.length > 500) undoStack.shift();
    redoStack.length = 0;
    edit();
    changed();
}

function changed() {
    keep(text());
    // The kept scene is now the newest: a reload must not bring back the
    // link's older one.
    if (location.hash.startsWith('#scene=')) history.replaceState(null, '', '#editor');
    refreshPanel();
    paintOverlay();
    renderSoon();
}

function restore(from, to) {
    if (!from.length) return;
    to.push(text());
    doc = JSON.parse(from.pop());
    if (selected >= doc.shapes.length) selected = doc.shapes.length - 1;
    changed();
}
const undo = () => restore(undoStack, redoStack);
const redo = () => restore(redoStack, undoStack);

// Opens a scene's text, replacing the document (an undoable change); a
// document the reader refuses says why and changes nothing.
async function open(sceneText, what) {
    let parsed;
    try {
        parsed = JSON.parse(sceneText);
    } catch (error) {
        return tell(`${what} is not JSON: ${error.message}`, true);
    }
    const read = lumek.readScene(sceneText);
    if (!read.ok) return tell(`${what} was not opened: ${read.error}`, true);
    change(() => { doc = parsed; selected = -1; });
    tell(`Opened ${what}: ${doc.shapes.length} shape${doc.shapes.length === 1 ? '' : 's'}.`);
    return true;
}

function tell(message, fault = false) {
    const box = $('ed-message');
    box.textContent = message;
    box.dataset.fault = fault ? '1' : '0';
    return false;
}

// ---- The picture ----

let rendering = false, wanted = null, pauseTimer = 0;
let renderDone = Promise.resolve();  // settles when the picture on the workers is done

// The time frame N shows, as -record renders it.
const frameTime = () => currentFrame / (doc.fps || 30);

// What a key is set on: the selected shape, else the view.
const keyOwner = () => (selected >= 0 ? doc.shapes[selected] : doc.view);

function showTimeline() {
    const frames = frameCount();
    if (currentFrame >= frames) currentFrame = frames - 1;
    $('ed-time').max = frames - 1;
    $('ed-time').value = currentFrame;
    $('ed-time').disabled = frames <= 1;
    $('ed-play').disabled = frames <= 1;
    const fps = doc.fps || 30;
    $('ed-time-label').textContent = `frame ${currentFrame} of ${frames} (${frameTime().toFixed(2)} s of ${doc.duration || 0} s at ${fps} fps)`;
    $('ed-play').textContent = playing ? 'pause' : 'play';
    for (const [id, value] of [['ed-duration', doc.duration ?? ''], ['ed-rate', fps]])
        if (document.activeElement !== $(id)) $(id).value = value;
    // The keys on the timeline: the owner's bright, every other one dim;
    // each a button to its frame.
    const owner = keyOwner();
    const last = Math.max(1, frames - 1);
    const marks = [];
    for (const o of [doc.view, ...doc.shapes])
        for (const key of o.keys || []) {
            const mine = o === owner;
            if (!mine && marks.some((m) => m.time === key.time)) continue;
            const at = Math.min(1, key.time * fps / last);
            marks.push({ time: key.time, mine, at });
        }
    $('ed-keymarks').replaceChildren(...marks.sort((a, b) => a.mine - b.mine).map(({ time, mine, at }) => {
        const mark = document.createElement('button');
        mark.type = 'button';
        mark.className = mine ? 'mine' : 'other';
        mark.style.left = `${at * 100}%`;
        mark.title = `${mine ? 'key' : 'another\'s key'} at ${time} s`;
        mark.setAttribute('aria-label', mark.title);
        mark.addEventListener('click', () => showFrame(Math.min(frames - 1, Math.round(time * fps))));
        return mark;
    }));
    const name = selected >= 0 ? `shape ${selected + 1}` : 'the view';
    const times = (owner.keys || []).map((k) => `${k.time} s`).join(', ');
    $('ed-key-owner').textContent = `keys of ${name}: ${times || 'none'}`;
    const what = $('ed-key-what');
    const fields = keyable(owner);
    if (what.dataset.fields !== fields.join()) {
        what.dataset.fields = fields.join();
        what.replaceChildren(new Option('all its numbers', ''), ...fields.map((f) => new Option(f, f)));
    }
}

// Moves to frame N: the outlines and the panel take the numbers the keys
// give there, and the picture follows.
function showFrame(frame) {
    currentFrame = Math.max(0, Math.min(frameCount() - 1, frame));
    const t = frameTime();
    pose(doc.view, t);
    for (const shape of doc.shapes) pose(shape, t);
    // While playing, the list and the fields are left alone (they are
    // brought up to date at the pause).
    if (playing) showTimeline();
    else refreshPanel();
    paintOverlay();
}

const keyFields = (owner) => (keyable(owner).includes($('ed-key-what').value) ? [$('ed-key-what').value] : keyable(owner));

// The key shown at the current frame: keys are found by frame, not by equal
// times, because a key's time need not fall on a frame (a file's, or one set
// before the frame rate changed).
// Of several keys in one frame, the one nearest the frame's time.
const keyAtFrame = (owner) => {
    const t = frameTime();
    return (owner.keys || []).filter((k) => Math.round(k.time * (doc.fps || 30)) === currentFrame)
        .reduce((best, k) => (!best || Math.abs(k.time - t) < Math.abs(best.time - t) ? k : best), undefined);
};

function keyHere() {
    const owner = keyOwner();
    const fields = keyFields(owner);
    const t = keyAtFrame(owner)?.time ?? frameTime();
    change(() => setKey(keyOwner(), t, fields, $('ed-easing').value));
    tell(`Key set at ${t} s on ${selected >= 0 ? `shape ${selected + 1}` : 'the view'}: ${fields.join(', ')}.`);
}

function unkeyHere() {
    const owner = keyOwner();
    const fields = keyFields(owner);
    const key = keyAtFrame(owner);
    if (!key || !fields.some((f) => key[f] !== undefined))
        return tell(`No key of ${fields.join(', ')} at ${frameTime()} s to remove.`, true);
    const t = key.time;
    change(() => removeKey(keyOwner(), t, fields));
    tell(`Key removed at ${t} s.`);
}

function setDuration() {
    const value = $('ed-duration').value.trim();
    if (value === '' || Number(value) === 0) {
        if (doc.duration !== undefined) change(() => { delete doc.duration; });
        return;
    }
    const seconds = Number(value);
    if (!(Number.isFinite(seconds) && seconds > 0 && seconds <= 86400))
        return tell('The duration is above 0 and at most 86400 seconds.', true);
    if (seconds !== doc.duration) change(() => { doc.duration = seconds; doc = ordered(doc); });
}

// The top-level fields in the order a canonical file gives them.
function ordered(scene) {
    const out = {};
    for (const field of ['format', 'version', 'title', 'size', 'seed', 'duration', 'fps', 'view', 'shapes'])
        if (scene[field] !== undefined) out[field] = scene[field];
    return { ...out, ...scene };
}

function setRate() {
    const fps = Number($('ed-rate').value);
    if (!(Number.isInteger(fps) && fps >= 1 && fps <= 1000))
        return tell('The frame rate is a whole number from 1 to 1000.', true);
    if (fps === (doc.fps || 30)) return;
    // The same moment stays on screen.
    const t = frameTime();
    change(() => {
        if (fps === 30) delete doc.fps;
        else doc.fps = fps;
        doc = ordered(doc);
    });
    // (A hair above, so that a moment on a frame of both rates is not put
    // one frame early by the product's rounding.)
    showFrame(Math.floor(t * fps + 1e-9));
}

// Playing: the frame the clock has reached, whenever the workers are free
// for the next picture (frames they cannot keep up with are passed over).
function tick(now) {
    if (!playing) return;
    const frames = frameCount();
    // An animation frame's time may be a little before the press of play.
    const passed = Math.max(0, Math.floor((now - playStart) / 1000 * (doc.fps || 30)));
    showFrame((playFrom + passed) % frames);
    if (!rendering) { wanted = 'preview'; pump(); }
    requestAnimationFrame(tick);
}

function play(on) {
    playing = on && frameCount() > 1;
    playStart = performance.now();
    playFrom = currentFrame;
    showTimeline();
    if (playing) requestAnimationFrame(tick);
    else { refreshPanel(); renderSoon(); }
}

function renderSoon() {
    wanted = 'preview';
    clearTimeout(pauseTimer);
    pauseTimer = setTimeout(() => { if (!playing) { wanted = 'fine'; pump(); } }, kPauseMs);
    pump();
}

// One picture at a time on the workers; an edit made meanwhile waits for
// it and then asks for the newest document only (stale ones are dropped).
async function pump() {
    if (rendering || !wanted || !crew) return;
    if (exporting) return;
    const kind = wanted;
    wanted = null;
    rendering = true;
    let finished;
    renderDone = new Promise((resolve) => { finished = resolve; });
    // The finer picture has the display's own pixels (at most 1920 wide).
    const shown = $('ed-overlay').getBoundingClientRect().width * (window.devicePixelRatio || 1);
    const width = kind === 'fine' ? Math.max(16, Math.min(1920, Math.round(shown) || kDisplayWidth)) : previewWidth;
    const height = Math.round(width * kDisplayHeight / kDisplayWidth);
    try {
        if (currentFrame >= frameCount()) currentFrame = 0;
        const rgba = await crew.scenePicture(width, height, { frame: currentFrame }, { text: text() });
        const canvas = $('ed-picture');
        canvas.width = width;
        canvas.height = height;
        canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer), width, height), 0, 0);
        ++stats.frames;
        if (kind === 'fine') ++stats.fine;
        const now = performance.now();
        if (!stats.since) stats.since = now;
        stats.recent = (stats.recent || []).filter((t) => now - t < 1000).concat(now);
        stats.fps = stats.recent.length;
        $('ed-fps').textContent = `${stats.fps} pictures a second at ${width} x ${height}`;
        $('ed-picture').dataset.rendered = kind;
    } catch (error) {
        ++stats.errors;
        tell(`The picture could not be rendered: ${error.message}`, true);
    } finally {
        rendering = false;
        finished();
        if (wanted) pump();
    }
}

// ---- Pointer: drawing, selecting, dragging, panning, zooming ----

function scenePoint(event) {
    const box = $('ed-overlay').getBoundingClientRect();
    const px = (event.clientX - box.left) / box.width * kDisplayWidth;
    const py = (event.clientY - box.top) / box.height * kDisplayHeight;
    return toScene(doc.view, kDisplayWidth, kDisplayHeight, px, py).map(round);
}

// How near (in scene units) counts as on a shape or a handle: 8 pixels.
const nearby = () => 8 * doc.view.height / kDisplayHeight * kDisplayHeight / $('ed-overlay').getBoundingClientRect().height;

function hitHandle(p) {
    if (selected < 0) return null;
    for (const [path, q] of handles(doc.shapes[selected]))
        if (Math.hypot(p[0] - q[0], p[1] - q[1]) <= nearby()) return path;
    return null;
}

function hitShape(p) {
    // The last drawn shape is on top of the outlines: looked for first.
    for (let i = doc.shapes.length - 1; i >= 0; --i) if (distanceTo(doc.shapes[i], p) <= nearby()) return i;
    return -1;
}

function setPoint(shape, path, p) {
    if (path[0] === 'radius') shape.radius = round(Math.hypot(p[0] - shape.centre[0], p[1] - shape.centre[1]));
    else if (path[0] === 'points') shape.points[path[1]] = p;
    else shape[path[0]] = p;
}

function moveShape(shape, dx, dy) {
    const by = (q) => [round(q[0] + dx), round(q[1] + dy)];
    if (shape.type === 'disc') shape.centre = by(shape.centre);
    else if (shape.type === 'segment') { shape.start = by(shape.start); shape.end = by(shape.end); }
    else shape.points = shape.points.map(by);
}

function newShape(type, p) {
    const colour = $('ed-new-colour').value;
    if (type === 'disc') return { type, centre: p, radius: 0, colour, falloff: 2 };
    if (type === 'segment') return { type, start: p, end: p, colour, falloff: 2 };
    return { type, points: [p, p], colour, falloff: 2 };
}

function finishDrawing() {
    if (!drawing) return;
    const shape = drawing;
    drawing = null;
    if (shape.points) shape.points.pop();  // the point that followed the pointer
    const enough = shape.type === 'polygon' ? 3 : 2;
    if (shape.points && shape.points.length < enough) return paintOverlay();
    change(() => { doc.shapes.push(shape); selected = doc.shapes.length - 1; });
}

function pointerDown(event) {
    if (event.button !== 0 && event.pointerType === 'mouse') return;
    $('ed-overlay').setPointerCapture(event.pointerId);
    const p = scenePoint(event);
    if (tool === 'polyline' || tool === 'polygon') {
        // The last point follows the pointer; a press puts it down and
        // starts the next (touch, which has no hover, alike). The second
        // press of a double-click ends the shape.
        if (!drawing) drawing = newShape(tool, p);
        else if (event.detail >= 2) return finishDrawing();
        else {
            drawing.points[drawing.points.length - 1] = p;
            drawing.points.push(p);
        }
        paintOverlay();
        return;
    }
    if (tool === 'disc' || tool === 'segment') {
        drawing = newShape(tool, p);
        dragging = { kind: 'draw' };
        return;
    }
    const handle = hitHandle(p);
    if (handle) {
        undoStack.push(text()); redoStack.length = 0;
        dragging = { kind: 'point', path: handle };
        return;
    }
    const hit = hitShape(p);
    if (hit >= 0) {
        selected = hit;
        undoStack.push(text()); redoStack.length = 0;
        dragging = { kind: 'shape', from: p };
        refreshPanel();
        paintOverlay();
        return;
    }
    selected = -1;
    refreshPanel();
    undoStack.push(text()); redoStack.length = 0;
    dragging = { kind: 'pan', from: p };
    paintOverlay();
}

function pointerMove(event) {
    const p = scenePoint(event);
    if (drawing && !dragging && drawing.points) {
        drawing.points[drawing.points.length - 1] = p;
        return paintOverlay();
    }
    if (!dragging) return;
    if (dragging.kind === 'draw') {
        setPoint(drawing, drawing.type === 'disc' ? ['radius'] : ['end'], p);
        return paintOverlay();
    }
    if (dragging.kind === 'point') setPoint(doc.shapes[selected], dragging.path, p);
    else if (dragging.kind === 'shape') {
        moveShape(doc.shapes[selected], p[0] - dragging.from[0], p[1] - dragging.from[1]);
        dragging.from = p;
    } else {
        // The grabbed point stays under the pointer.
        doc.view.centre = [round(doc.view.centre[0] - (p[0] - dragging.from[0])),
                           round(doc.view.centre[1] - (p[1] - dragging.from[1]))];
    }
    dragging.moved = true;
    changed();
}

function pointerUp() {
    if (!dragging) return;
    if (dragging.kind === 'draw') {
        dragging = null;
        finishDrawing();
        return;
    }
    if (!dragging.moved) undoStack.pop();  // a click that changed nothing
    dragging = null;
    changed();
}

function wheel(event) {
    event.preventDefault();
    const p = scenePoint(event);
    const factor = Math.exp(Math.sign(event.deltaY) * 0.1);
    change(() => {
        // The point under the pointer stays where it is.
        doc.view.height = round(doc.view.height * factor) || doc.view.height;
        const q = scenePoint(event);
        doc.view.centre = [round(doc.view.centre[0] + p[0] - q[0]), round(doc.view.centre[1] + p[1] - q[1])];
    });
}

// ---- Overlay and panel ----

function paintOverlay() {
    const canvas = $('ed-overlay');
    drawOverlay(canvas.getContext('2d'), doc, kDisplayWidth, kDisplayHeight, selected, drawing);
}

const geometryText = (s) => (s.type === 'disc' ? `${s.centre[0]} ${s.centre[1]}\n${s.radius}`
    : (s.type === 'segment' ? [s.start, s.end] : s.points).map((p) => `${p[0]} ${p[1]}`).join('\n'));

function refreshPanel() {
    const list = $('ed-shapes');
    list.replaceChildren(...doc.shapes.map((s, i) => {
        const item = document.createElement('li');
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = `${i + 1}. ${s.type}${s.id ? ` "${s.id}"` : ''} ${typeof s.colour === 'string' ? s.colour : ''}`;
        button.setAttribute('aria-pressed', String(i === selected));
        button.addEventListener('click', () => { selected = i; refreshPanel(); paintOverlay(); });
        item.appendChild(button);
        return item;
    }));
    const shape = doc.shapes[selected];
    $('ed-shape').hidden = !shape;
    if (shape) {
        const hex = typeof shape.colour === 'string' ? shape.colour
            : '#' + shape.colour.map((c) => c.toString(16).padStart(2, '0')).join('');
        if (document.activeElement !== $('ed-hex')) $('ed-hex').value = hex;
        $('ed-colour').value = hex;
        if (document.activeElement !== $('ed-falloff')) $('ed-falloff').value = shape.falloff;
        if (document.activeElement !== $('ed-coords')) $('ed-coords').value = geometryText(shape);
        $('ed-coords-label').textContent = shape.type === 'disc' ? 'centre (x y), then radius' : 'points, one "x y" a line';
    }
    for (const [id, value] of [['ed-cx', doc.view.centre[0]], ['ed-cy', doc.view.centre[1]],
                               ['ed-height', doc.view.height], ['ed-rotation', doc.view.rotation || 0]])
        if (document.activeElement !== $(id)) $(id).value = value;
    $('ed-undo').disabled = !undoStack.length;
    $('ed-redo').disabled = !redoStack.length;
    showTimeline();
}

function applyCoordinates() {
    const shape = doc.shapes[selected];
    const rows = $('ed-coords').value.trim().split('\n').map((l) => l.trim().split(/[\s,]+/).map(Number));
    if (rows.some((r) => r.some((v) => !Number.isFinite(v)))) return tell('Coordinates must be numbers.', true);
    change(() => {
        if (shape.type === 'disc') { shape.centre = rows[0].slice(0, 2); shape.radius = rows[1] ? rows[1][0] : shape.radius; }
        else if (shape.type === 'segment') { shape.start = rows[0].slice(0, 2); shape.end = (rows[1] || rows[0]).slice(0, 2); }
        else shape.points = rows.map((r) => r.slice(0, 2));
    });
}

// ---- Commands ----

const commands = {
    delete() { if (selected >= 0) change(() => { doc.shapes.splice(selected, 1); selected = Math.min(selected, doc.shapes.length - 1); }); },
    duplicate() {
        if (selected < 0) return;
        change(() => {
            const copy = clone(doc.shapes[selected]);
            delete copy.id;  // ids are unique
            moveShape(copy, doc.view.height * 0.05, doc.view.height * 0.05);
            doc.shapes.splice(selected + 1, 0, copy);
            ++selected;
        });
    },
    earlier() { if (selected > 0) change(() => { const [s] = doc.shapes.splice(selected, 1); doc.shapes.splice(--selected, 0, s); }); },
    later() { if (selected >= 0 && selected < doc.shapes.length - 1) change(() => { const [s] = doc.shapes.splice(selected, 1); doc.shapes.splice(++selected, 0, s); }); },
    // The chosen tool's shape in the middle of the view, for the keyboard
    // alone (its numbers are then set in the panel).
    add() {
        const type = tool === 'select' ? 'disc' : tool;
        const [cx, cy] = doc.view.centre, h = doc.view.height;
        const at = (x, y) => [round(cx + x * h), round(cy + y * h)];
        const shape = newShape(type, at(0, 0));
        if (type === 'disc') shape.radius = round(0.1 * h);
        else if (type === 'segment') { shape.start = at(-0.2, 0); shape.end = at(0.2, 0); }
        else shape.points = type === 'polygon' ? [at(-0.15, 0.1), at(0.15, 0.1), at(0, -0.15)]
            : [at(-0.2, 0.1), at(0, -0.1), at(0.2, 0.1)];
        change(() => { doc.shapes.push(shape); selected = doc.shapes.length - 1; });
    },
    undo, redo,
};

function setTool(name) {
    tool = name;
    drawing = null;
    document.querySelector(`input[name=ed-tool][value=${name}]`).checked = true;
    paintOverlay();
}

function keyDown(event) {
    const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(event.target.tagName);
    const ctrl = event.ctrlKey || event.metaKey;
    if (ctrl && event.key.toLowerCase() === 'z') {
        if (typing) return;
        event.preventDefault();
        return event.shiftKey ? redo() : undo();
    }
    if (ctrl && event.key.toLowerCase() === 'y') { event.preventDefault(); return redo(); }
    if (typing) return;
    if (ctrl && event.key.toLowerCase() === 'd') { event.preventDefault(); return commands.duplicate(); }
    if (ctrl) return;
    const tools = { v: 'select', c: 'disc', s: 'segment', l: 'polyline', p: 'polygon' };
    if (tools[event.key]) return setTool(tools[event.key]);
    if (event.key === 'a') return commands.add();
    if (event.key === ' ' && frameCount() > 1) { event.preventDefault(); return play(!playing); }
    if (event.key === 'Delete' || event.key === 'Backspace') return commands.delete();
    if (event.key === 'Enter') return finishDrawing();
    if (event.key === 'k') return keyHere();
    if (event.key === 'K') return unkeyHere();
    if (event.key === ',' || event.key === '.') { play(false); return showFrame(currentFrame + (event.key === ',' ? -1 : 1)); }
    if (event.key === 'Escape') {
        // Esc drops the shape being drawn, else the selection (keys then go to the view).
        if (!drawing && selected >= 0) { selected = -1; refreshPanel(); showTimeline(); }
        drawing = null;
        return paintOverlay();
    }
    if (event.key === '[') return commands.earlier();
    if (event.key === ']') return commands.later();
    const arrows = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
    if (arrows[event.key] && selected >= 0) {
        event.preventDefault();
        const step = doc.view.height * (event.shiftKey ? 0.05 : 0.005);
        change(() => moveShape(doc.shapes[selected], arrows[event.key][0] * step, arrows[event.key][1] * step));
    }
}

function download(name, blob) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

let exporting = false, cancelExport = false;
async function exportPicture() {
    const width = Number($('ed-export-width').value), height = Number($('ed-export-height').value);
    if (!(Number.isInteger(width) && Number.isInteger(height) && width >= 1 && height >= 1 && width <= 16384 && height <= 16384))
        return tell('The picture is 1 to 16384 pixels each way.', true);
    exporting = true;
    cancelExport = false;
    // The workers hold one picture at a time: a preview still being
    // rendered finishes first (no new one starts while exporting).
    while (rendering) await renderDone;
    $('ed-export').disabled = true;
    $('ed-cancel').disabled = false;
    const bar = $('ed-progress');
    bar.max = height;
    bar.value = 0;
    try {
        const rgba = await crew.scenePicture(width, height, { frame: currentFrame }, { text: text(),
            // Each band costs a pass over the whole frame's tiles besides its
            // rows: four bands a worker keep that small and still show progress.
            rowsPerBand: Math.max(16, Math.ceil(height / (crew.count * 4))),
            progress: (rows) => { bar.value = rows; },
            cancelled: () => cancelExport,
        });
        if (!rgba) return tell('The export was cancelled.');
        window.lumekLastExport = { width, height, rgba };
        const png = await encodePng(rgba, width, height);
        window.lumekLastExport.png = png;
        download(`${(doc.title || 'scene').replace(/[^\w.-]+/g, '-')}-${width}x${height}.png`, png);
        tell(`Exported ${width} x ${height} (${png.size} bytes).`);
    } catch (error) {
        tell(`The export failed: ${error.message}`, true);
    } finally {
        exporting = false;
        $('ed-export').disabled = false;
        $('ed-cancel').disabled = true;
        renderSoon();
    }
}

function wire() {
    const overlay = $('ed-overlay');
    overlay.addEventListener('pointerdown', pointerDown);
    overlay.addEventListener('pointermove', pointerMove);
    overlay.addEventListener('pointerup', pointerUp);
    overlay.addEventListener('pointercancel', pointerUp);
    overlay.addEventListener('wheel', wheel, { passive: false });
    overlay.addEventListener('dblclick', finishDrawing);
    document.addEventListener('keydown', keyDown);
    for (const radio of document.querySelectorAll('input[name=ed-tool]'))
        radio.addEventListener('change', () => setTool(radio.value));
    $('ed-finish').addEventListener('click', finishDrawing);
    $('ed-play').addEventListener('click', () => play(!playing));
    $('ed-time').addEventListener('input', () => {
        showFrame(Number($('ed-time').value));
        play(false);
    });
    $('ed-duration').addEventListener('change', setDuration);
    $('ed-rate').addEventListener('change', setRate);
    $('ed-key').addEventListener('click', keyHere);
    $('ed-unkey').addEventListener('click', unkeyHere);
    for (const [id, command] of [['ed-add', 'add'], ['ed-delete', 'delete'], ['ed-duplicate', 'duplicate'], ['ed-earlier', 'earlier'],
                                 ['ed-later', 'later'], ['ed-undo', 'undo'], ['ed-redo', 'redo']])
        $(id).addEventListener('click', () => commands[command]());
    const colour = (value) => { if (/^#[0-9a-f]{6}$/i.test(value)) change(() => { doc.shapes[selected].colour = value.toLowerCase(); }); };
    $('ed-colour').addEventListener('change', () => colour($('ed-colour').value));
    $('ed-hex').addEventListener('change', () => colour($('ed-hex').value.trim()));
    $('ed-falloff').addEventListener('change', () => {
        const v = Number($('ed-falloff').value);
        if (Number.isFinite(v) && v >= 0) change(() => { doc.shapes[selected].falloff = v; });
    });
    $('ed-coords').addEventListener('change', applyCoordinates);
    for (const [id, set] of [['ed-cx', (v) => { doc.view.centre[0] = v; }], ['ed-cy', (v) => { doc.view.centre[1] = v; }],
                             ['ed-height', (v) => { if (v > 0) doc.view.height = v; }],
                             ['ed-rotation', (v) => { if (v) doc.view.rotation = v; else delete doc.view.rotation; }]])
        $(id).addEventListener('change', () => { const v = Number($(id).value); if (Number.isFinite(v)) change(() => set(v)); });
    $('ed-preview').addEventListener('change', () => { previewWidth = Number($('ed-preview').value); renderSoon(); });
    $('ed-start').addEventListener('change', async () => {
        const choice = $('ed-start').value;
        $('ed-start').value = '';
        if (choice === 'empty') change(() => { doc = emptyScene(); selected = -1; });
        else if (choice.startsWith('file:')) {
            const name = choice.slice(5);
            try {
                const response = await fetch(name);
                if (!response.ok) throw new Error(`HTTP ${response.status}`);
                await open(await response.text(), name);
            } catch (error) {
                tell(`${name} could not be fetched: ${error.message}`, true);
            }
        } else if (choice) {
            const scene = builtIn.find((f) => f.name === choice);
            await open(scene.text, choice);
        }
    });
    $('ed-open').addEventListener('change', async () => {
        const file = $('ed-open').files[0];
        if (file) await open(await file.text(), file.name);
        $('ed-open').value = '';
    });
    $('ed-save').addEventListener('click', () => {
        const read = lumek.readScene(text());
        if (!read.ok) return tell(`The scene cannot be saved: ${read.error}`, true);
        download(`${(doc.title || 'scene').replace(/[^\w.-]+/g, '-')}.json`,
                 new Blob([lumek.sceneCanonical()], { type: 'application/json' }));
    });
    $('ed-share').addEventListener('click', async () => {
        const hash = await linkHash(JSON.stringify(doc));
        const link = location.href.replace(/#.*$/, '') + hash;
        history.replaceState(null, '', hash);
        $('ed-link').value = link;
        tell(`The link holds the whole scene (${link.length} characters).`);
    });
    $('ed-svg').addEventListener('change', async () => {
        const file = $('ed-svg').files[0];
        $('ed-svg').value = '';
        if (!file) return;
        try {
            const { shapes, refused } = importSvg(await file.text(), doc.view, Number($('ed-tolerance').value) || 0.005);
            change(() => { doc.shapes.push(...shapes); selected = doc.shapes.length - 1; });
            tell(`Brought in ${shapes.length} shape${shapes.length === 1 ? '' : 's'} from ${file.name}.` +
                 (refused.length ? ` Not brought in: ${refused.join(', ')}.` : ''), refused.length > 0);
        } catch (error) {
            tell(`${file.name} could not be brought in: ${error.message}`, true);
        }
    });
    $('ed-export').addEventListener('click', exportPicture);
    $('ed-cancel').addEventListener('click', () => { cancelExport = true; });
}

// The editor's start: the module on the page's side (reading, saving,
// built-in scenes) and a crew of workers for the pictures; the scene from
// the link, else the one kept from the last visit, else an empty one.
export async function startEditor({ Lumek, workers }) {
    document.documentElement.classList.add('editing');
    $('editor').hidden = false;
    const wasm = await Lumek.compile('lumek.wasm');
    lumek = await Lumek.load(wasm);
    crew = new Lumek.Crew(workers, () => new Worker('lumek-worker.js'));
    await crew.load(wasm);
    wire();
    // The built-in scenes take the eight shots' renders to make: a worker
    // makes them while the editor is already in use.
    crew.ask(0, { kind: 'builtin' }).then(({ files }) => {
        builtIn = files;
        $('ed-start').append(...files.map(({ name }) => new Option(name.replace(/\.json$/, ''), name)));
    }, (error) => tell(`The built-in scenes could not be made: ${error.message}`, true));
    const saved = kept();
    // The example scene files the page is served with, if any.
    fetch('examples.json').then((r) => (r.ok ? r.json() : [])).then((names) => {
        $('ed-start').append(...names.map((name) => new Option(name.replace(/\.json$/, '').replace(/-/g, ': '), `file:${name}`)));
    }).catch(() => {});
    // The scene kept from the last visit, if the reader still takes it.
    if (saved && lumek.readScene(saved).ok) doc = JSON.parse(saved);
    try {
        const linked = await sceneFromHash(location.hash);
        if (linked !== null) await open(linked, 'the link\'s scene');
    } catch (error) {
        tell(error.message, true);
    }
    changed();
    // A link pasted into the address of the open page.
    window.addEventListener('hashchange', async () => {
        try {
            const linked = await sceneFromHash(location.hash);
            if (linked !== null && linked !== text()) await open(linked, 'the link\'s scene');
        } catch (error) {
            tell(error.message, true);
        }
    });
    // For people in the console and for the page's tests.
    window.lumekEditor = {
        scene: () => clone(doc),
        saved: () => (lumek.readScene(text()).ok ? lumek.sceneCanonical() : null),
        stats,
    };
}

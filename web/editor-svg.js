// Drawings brought in from SVG files, measured by the browser itself
// (SVGGeometryElement: getTotalLength, getPointAtLength, getCTM), so that
// paths, transforms and units are read the way the browser draws them.
//
// Circles become discs; lines, polylines, polygons and rectangles keep their
// corners; paths and ellipses are sampled into polylines (polygons when
// closed) with points no further than `tolerance` scene units from the curve.

const kShapes = 'path, line, polyline, polygon, rect, circle, ellipse';
const kRefused = { text: 'text', image: 'image', foreignObject: 'embedded HTML', use: 'reused element (use)',
                   linearGradient: 'gradient', radialGradient: 'gradient', pattern: 'pattern',
                   textPath: 'text', tspan: 'text' };

const hex = (n) => n.toString(16).padStart(2, '0');

function colourOf(style) {
    for (const paint of [style.stroke, style.fill]) {
        if (!paint || paint === 'none') continue;
        if (paint.startsWith('url(')) return { gradient: true };
        const m = paint.match(/rgba?\((\d+),\s*(\d+),\s*(\d+)/);
        if (m) return { colour: `#${hex(+m[1])}${hex(+m[2])}${hex(+m[3])}` };
    }
    return { colour: '#ffffff' };
}

// The shapes of the SVG text `source` placed in `view` (centre, height),
// filling 80 % of its height: { shapes, refused: [names of what did not
// come in] }. `tolerance` is in scene units.
export function importSvg(source, view, tolerance, host = document.body) {
    const holder = document.createElement('div');
    holder.style.cssText = 'position:absolute;left:-100000px;top:0;visibility:hidden';
    holder.innerHTML = source;
    const svg = holder.querySelector('svg');
    if (!svg) throw new Error('the file holds no <svg> element');
    for (const s of holder.querySelectorAll('script')) s.remove();
    host.appendChild(holder);
    try {
        const refused = new Map();
        for (const [tag, name] of Object.entries(kRefused))
            for (const _ of svg.getElementsByTagName(tag)) refused.set(name, (refused.get(name) || 0) + 1);
        const root = svg.getScreenCTM().inverse();
        const raw = [];  // in the SVG's own user units
        for (const el of svg.querySelectorAll(kShapes)) {
            if (el.closest('defs, clipPath, mask, pattern, symbol, marker')) continue;
            const style = getComputedStyle(el);
            if (style.display === 'none') continue;
            const paint = colourOf(style);
            if (paint.gradient) {
                refused.set('gradient fill', (refused.get('gradient fill') || 0) + 1);
                continue;
            }
            const m = root.multiply(el.getScreenCTM());
            const at = (x, y) => [m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f];
            const tag = el.tagName.toLowerCase();
            const base = { colour: paint.colour, scale: Math.sqrt(Math.abs(m.a * m.d - m.b * m.c)) };
            if (tag === 'circle') {
                raw.push({ ...base, type: 'disc', centre: at(el.cx.baseVal.value, el.cy.baseVal.value),
                           radius: el.r.baseVal.value * base.scale });
            } else if (tag === 'line') {
                raw.push({ ...base, type: 'segment', points: [at(el.x1.baseVal.value, el.y1.baseVal.value),
                                                            at(el.x2.baseVal.value, el.y2.baseVal.value)] });
            } else if (tag === 'polyline' || tag === 'polygon') {
                const points = [...el.points].map((p) => at(p.x, p.y));
                raw.push({ ...base, type: tag, points });
            } else if (tag === 'rect') {
                const [x, y, w, h] = ['x', 'y', 'width', 'height'].map((k) => el[k].baseVal.value);
                raw.push({ ...base, type: 'polygon', points: [at(x, y), at(x + w, y), at(x + w, y + h), at(x, y + h)] });
            } else {
                raw.push({ ...base, type: 'sampled', element: el, at,
                           closed: tag === 'ellipse' || /z\s*$/i.test(el.getAttribute('d') || '') });
            }
        }
        // Where the drawing lies, from its straight shapes and its curves'
        // bounding boxes, to place it in the view.
        let minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
        const grow = ([x, y], r = 0) => {
            minX = Math.min(minX, x - r); maxX = Math.max(maxX, x + r);
            minY = Math.min(minY, y - r); maxY = Math.max(maxY, y + r);
        };
        for (const s of raw) {
            if (s.type === 'disc') grow(s.centre, s.radius);
            else if (s.points) s.points.forEach((p) => grow(p));
            else {
                const b = s.element.getBBox();
                [[b.x, b.y], [b.x + b.width, b.y + b.height], [b.x + b.width, b.y], [b.x, b.y + b.height]]
                    .forEach(([x, y]) => grow(s.at(x, y)));
            }
        }
        const extent = Math.max(maxY - minY, (maxX - minX) * 9 / 16, 1e-9);
        const k = view.height * 0.8 / extent;
        const cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
        const place = ([x, y]) => [round(view.centre[0] + (x - cx) * k), round(view.centre[1] + (y - cy) * k)];
        const shapes = [];
        for (const s of raw) {
            const common = { colour: s.colour, falloff: 2 };
            if (s.type === 'disc') {
                shapes.push({ type: 'disc', centre: place(s.centre), radius: round(s.radius * k), ...common });
            } else if (s.type === 'segment') {
                shapes.push({ type: 'segment', start: place(s.points[0]), end: place(s.points[1]), ...common });
            } else if (s.points) {
                const least = s.type === 'polygon' ? 3 : 2;
                if (s.points.length >= least) shapes.push({ type: s.type, points: s.points.map(place), ...common });
            } else {
                const points = sample(s.element, s.at, tolerance / k, s.scale).map(place);
                if (s.closed && points.length > 3) points.pop();  // the end is the start again
                if (points.length >= (s.closed ? 3 : 2))
                    shapes.push({ type: s.closed ? 'polygon' : 'polyline', points, ...common });
            }
        }
        return { shapes, refused: [...refused].map(([name, n]) => `${n} ${name}${n === 1 ? '' : 's'}`) };
    } finally {
        holder.remove();
    }
}

const round = (v) => Math.round(v * 10000) / 10000;

// Points along the element, in its user units, refined where the chord
// between neighbours strays more than `tolerance` (in drawing units) from
// the curve's midpoint.
function sample(el, at, tolerance, scale) {
    const length = el.getTotalLength();
    const tol = tolerance / Math.max(scale, 1e-12);
    const point = (s) => { const p = el.getPointAtLength(s); return [p.x, p.y]; };
    const out = [at(...point(0))];
    const walk = (s0, p0, s1, p1, depth) => {
        const sm = (s0 + s1) / 2, pm = point(sm);
        const chordMid = [(p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2];
        if (depth < 14 && (depth < 3 || Math.hypot(pm[0] - chordMid[0], pm[1] - chordMid[1]) > tol)) {
            walk(s0, p0, sm, pm, depth + 1);
            walk(sm, pm, s1, p1, depth + 1);
        } else {
            out.push(at(...p1));
        }
    };
    const pieces = Math.max(1, Math.ceil(length / Math.max(tol * 40, length / 64)));
    let s0 = 0, p0 = point(0);
    for (let i = 1; i <= pieces; ++i) {
        const s1 = length * i / pieces, p1 = point(s1);
        walk(s0, p0, s1, p1, 0);
        s0 = s1; p0 = p1;
    }
    return out;
}

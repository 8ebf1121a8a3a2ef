// Where scene points lie on the picture, and the handles and outlines
// drawn over it on a canvas of their own (never into the picture).

// The view's axes as the renderer makes them: x along (cos r, sin r), y
// along (-sin r, cos r), r in degrees.
export function axes(view) {
    const r = (view.rotation || 0) * Math.PI / 180;
    return { ax: [Math.cos(r), Math.sin(r)], ay: [-Math.sin(r), Math.cos(r)] };
}

// Picture pixels (0 .. width, 0 .. height, y down) to scene points and back.
export function toScene(view, width, height, px, py) {
    const { ax, ay } = axes(view);
    const unit = view.height / height;
    const u = (px - width / 2) * unit, v = (py - height / 2) * unit;
    return [view.centre[0] + u * ax[0] + v * ay[0], view.centre[1] + u * ax[1] + v * ay[1]];
}

export function toPicture(view, width, height, [x, y]) {
    const { ax, ay } = axes(view);
    const dx = x - view.centre[0], dy = y - view.centre[1];
    const scale = height / view.height;
    return [width / 2 + (dx * ax[0] + dy * ax[1]) * scale, height / 2 + (dx * ay[0] + dy * ay[1]) * scale];
}

// The points a shape's handles sit on: [path in the shape, point].
export function handles(shape) {
    if (shape.type === 'disc') {
        return [[['centre'], shape.centre], [['radius'], [shape.centre[0] + shape.radius, shape.centre[1]]]];
    }
    if (shape.type === 'segment') return [[['start'], shape.start], [['end'], shape.end]];
    return shape.points.map((p, i) => [['points', i], p]);
}

function distanceToSegment([px, py], [ax, ay], [bx, by]) {
    const dx = bx - ax, dy = by - ay;
    const len = dx * dx + dy * dy;
    const t = len > 0 ? Math.max(0, Math.min(1, ((px - ax) * dx + (py - ay) * dy) / len)) : 0;
    return Math.hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// How far a scene point is from the shape (0 inside a disc or a polygon).
export function distanceTo(shape, p) {
    if (shape.type === 'disc') return Math.max(0, Math.hypot(p[0] - shape.centre[0], p[1] - shape.centre[1]) - shape.radius);
    const points = shape.type === 'segment' ? [shape.start, shape.end] : shape.points;
    let best = Infinity;
    for (let i = 0; i + 1 < points.length; ++i) best = Math.min(best, distanceToSegment(p, points[i], points[i + 1]));
    if (shape.type === 'polygon') {
        best = Math.min(best, distanceToSegment(p, points[points.length - 1], points[0]));
        let inside = false;
        for (let i = 0, j = points.length - 1; i < points.length; j = i++) {
            const [xi, yi] = points[i], [xj, yj] = points[j];
            if ((yi > p[1]) !== (yj > p[1]) && p[0] < (xj - xi) * (p[1] - yi) / (yj - yi) + xi) inside = !inside;
        }
        if (inside) return 0;
    }
    return best;
}

// Outlines of every shape (the selected one brighter, with its handles),
// the shape being drawn, and each shape's place in the order.
export function drawOverlay(context, doc, width, height, selected, drawing) {
    context.clearRect(0, 0, width, height);
    const at = (p) => toPicture(doc.view, width, height, p);
    const outline = (shape) => {
        context.beginPath();
        if (shape.type === 'disc') {
            const [x, y] = at(shape.centre);
            context.arc(x, y, Math.max(1, shape.radius * height / doc.view.height), 0, 2 * Math.PI);
        } else {
            const points = shape.type === 'segment' ? [shape.start, shape.end] : shape.points;
            points.forEach((p, i) => (i ? context.lineTo(...at(p)) : context.moveTo(...at(p))));
            if (shape.type === 'polygon') context.closePath();
        }
        context.stroke();
    };
    context.lineWidth = 1;
    context.font = '11px system-ui, sans-serif';
    doc.shapes.forEach((shape, i) => {
        context.strokeStyle = i === selected ? 'rgba(255,255,255,0.95)' : 'rgba(160,200,255,0.45)';
        context.setLineDash(i === selected ? [] : [4, 3]);
        outline(shape);
        const [x, y] = at(handles(shape)[0][1]);
        context.fillStyle = 'rgba(0,0,0,0.6)';
        context.fillRect(x + 4, y - 14, 18, 13);
        context.fillStyle = '#ddd';
        context.fillText(String(i + 1), x + 6, y - 4);
    });
    context.setLineDash([]);
    if (selected >= 0 && doc.shapes[selected]) {
        for (const [, p] of handles(doc.shapes[selected])) {
            const [x, y] = at(p);
            context.fillStyle = '#fff';
            context.strokeStyle = '#000';
            context.fillRect(x - 4, y - 4, 8, 8);
            context.strokeRect(x - 4, y - 4, 8, 8);
        }
    }
    if (drawing) {
        context.strokeStyle = '#e8b92d';
        outline(drawing);
    }
}

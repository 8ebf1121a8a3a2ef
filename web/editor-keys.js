// Keyframes in the scene document: setting and removing a key of a shape or
// the view at a time, and the values the keys give at a time (for the
// outlines and the panel; the picture itself comes from the module).

// The numbers a key may set, by what it belongs to.
export function keyable(owner) {
    if (!owner.type) return ['centre', 'height', 'rotation'];
    if (owner.type === 'disc') return ['centre', 'radius', 'colour', 'falloff'];
    if (owner.type === 'segment') return ['start', 'end', 'colour', 'falloff'];
    return ['points', 'colour', 'falloff'];
}

const copy = (v) => JSON.parse(JSON.stringify(v));

// The owner's own value of a field (a view's missing rotation is 0).
const own = (owner, field) => (field === 'rotation' && owner[field] === undefined ? 0 : owner[field]);

// Sets a key at `time` holding the owner's own values of `fields`, joining a
// key already at that time (its other values stay); keys stay in order.
export function setKey(owner, time, fields, easing = 'linear') {
    const keys = owner.keys || [];
    let key = keys.find((k) => k.time === time);
    if (!key) {
        key = { time };
        keys.splice(keys.filter((k) => k.time < time).length, 0, key);
    }
    for (const field of fields) key[field] = copy(own(owner, field));
    if (easing === 'linear') delete key.easing;
    else key.easing = easing;
    // The order a canonical file gives a key: time, the values, easing.
    const tidy = { time };
    for (const field of keyable(owner)) if (key[field] !== undefined) tidy[field] = key[field];
    if (key.easing) tidy.easing = key.easing;
    keys[keys.indexOf(key)] = tidy;
    owner.keys = keys;
}

// Removes `fields` from the key at `time` (the whole key when it sets
// nothing else). Returns whether there was such a key.
export function removeKey(owner, time, fields) {
    const keys = owner.keys || [];
    const index = keys.findIndex((k) => k.time === time);
    if (index < 0 || !fields.some((f) => keys[index][f] !== undefined)) return false;
    for (const field of fields) delete keys[index][field];
    if (!keyable(owner).some((f) => keys[index][f] !== undefined)) keys.splice(index, 1);
    if (!keys.length) delete owner.keys;
    return true;
}

const easings = {
    linear: (u) => u,
    in: (u) => u * u,
    out: (u) => 1 - (1 - u) * (1 - u),
    'in-out': (u) => u * u * (3 - 2 * u),
    step: () => 0,
};

const rgb = (c) => (typeof c === 'string' ? [1, 3, 5].map((i) => parseInt(c.slice(i, i + 2), 16)) : c);
const hex = (c) => '#' + c.map((v) => v.toString(16).padStart(2, '0')).join('');

function mix(a, b, f, field) {
    if (field === 'colour') return hex(rgb(a).map((v, i) => Math.floor(v + (rgb(b)[i] - v) * f + 0.5)));
    if (Array.isArray(a)) return a.map((v, i) => mix(v, b[i], f));
    return a + (b - a) * f;
}

// The value of one field at time t: the keys that set it, else the owner's own.
export function valueAt(owner, field, t) {
    const keys = (owner.keys || []).filter((k) => k[field] !== undefined);
    if (!keys.length) return own(owner, field);
    const after = keys.findIndex((k) => k.time > t);
    if (after === 0) return copy(keys[0][field]);
    if (after < 0) return copy(keys[keys.length - 1][field]);
    const a = keys[after - 1], b = keys[after];
    const f = easings[b.easing || 'linear']((t - a.time) / (b.time - a.time));
    return mix(a[field], b[field], f, field);
}

// Puts every keyed value of the owner where its keys have it at t, so the
// outlines and the panel show the picture's numbers. Values that keys set
// never reach the picture from the owner's own fields, so this changes no
// frame of the scene.
export function pose(owner, t) {
    if (!owner.keys) return;
    for (const field of keyable(owner)) {
        if (!owner.keys.some((k) => k[field] !== undefined)) continue;
        const value = valueAt(owner, field, t);
        if (field === 'rotation' && value === 0) delete owner.rotation;
        else owner[field] = value;
    }
}

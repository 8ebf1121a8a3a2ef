// The benchmark off the page's thread: a fresh module each time, so its
// generator starts where a fresh program's does.
'use strict';
importScripts('lumek.js');

onmessage = async () => {
    const lumek = await Lumek.load('lumek.wasm');
    postMessage(lumek.bench(new Date()));
};

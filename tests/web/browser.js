// What the page's test and its speed measurement share: a static server
// for a build folder and Debian's chromium, headless, driven by
// puppeteer-core (which downloads no browser).
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const puppeteer = require('puppeteer-core');

// Serves the files of `dir` by their base name, with wasm's own type, on
// 127.0.0.1. `override(name)`, if given, may return other bytes for a file
// (a broken module), or null to serve the file itself.
function serve(dir, override = () => null) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    const server = http.createServer((request, response) => {
        const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
        const file = path.join(dir, name);
        const replaced = override(name);
        if (replaced === null && !fs.existsSync(file)) {
            response.writeHead(404);
            response.end();
            return;
        }
        response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'text/plain' });
        response.end(replaced !== null ? replaced : fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Chromium with a new empty profile; `close()` ends it and removes the
// profile.
async function launch() {
    const profile = fs.mkdtempSync('/tmp/lumek-chromium-');
    const browser = await puppeteer.launch({
        executablePath: '/usr/bin/chromium',
        headless: true,
        userDataDir: profile,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
               '--disable-backgrounding-occluded-windows'],
    });
    return {
        browser,
        async close() {
            await browser.close();
            fs.rmSync(profile, { recursive: true, force: true });
        },
    };
}

module.exports = { serve, launch };

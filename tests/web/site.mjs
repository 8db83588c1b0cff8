// Helpers of the browser tests: a static server for a site folder on a free local port,
// Debian's chromium through puppeteer-core, and the native movie tool's frames.
// kOtherHost names the same server as a host that is not this machine (the browser
// resolves it to 127.0.0.1): a page from it over http is not a secure context.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { execFileSync } from 'node:child_process';
import { extname, join, normalize } from 'node:path';
import { createRequire } from 'node:module';

const kTypes = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.png': 'image/png',
};

export const kOtherHost = 'tilsen.test';

// Serves root at http://127.0.0.1:<port>/; resolves to { url, close }. Isolated, the pages
// are cross-origin isolated (as a host that sends these two headers makes them), which gives
// their clock microseconds where Chromium otherwise rounds it to a tenth of a millisecond.
export function serve(root, { isolated = false } = {}) {
  const isolation = isolated
    ? { 'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' }
    : {};
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = normalize(join(root, path === '/' ? 'index.html' : path));
    if (!file.startsWith(root)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, {
        'Content-Type': kTypes[extname(file)] || 'application/octet-stream', ...isolation,
      });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      otherHostUrl: `http://${kOtherHost}:${server.address().port}/`,
      close: () => new Promise((done) => server.close(done)),
    }));
  });
}

// The engine the tests drive: TILSEN_BROWSER=firefox for Debian's Firefox ESR (through
// WebDriver BiDi), else Debian's chromium.
export const kEngine = process.env.TILSEN_BROWSER === 'firefox' ? 'firefox' : 'chromium';

// puppeteer-core from the build tree's npm install (WEB_NODE_DIR), driving kEngine.
export async function launchChromium() {
  const require = createRequire(join(process.env.WEB_NODE_DIR, 'package.json'));
  const puppeteer = require('puppeteer-core');
  if (kEngine === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: process.env.FIREFOX || '/usr/lib/firefox-esr/firefox-esr',
      headless: true,
      protocolTimeout: 120000,
      extraPrefsFirefox: {
        'media.autoplay.default': 0,
        // No sound device here: without this the audio output's start takes the tab down.
        'media.cubeb.force_null_context': true,
        'full-screen-api.allow-trusted-requests-only': false,
        'full-screen-api.transition-duration.enter': '0 0',
        'full-screen-api.transition-duration.leave': '0 0',
      },
    });
  }
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    protocolTimeout: 120000,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required',
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows', '--window-size=960,720',
      `--host-resolver-rules=MAP ${kOtherHost} 127.0.0.1`],
  });
}

// Opens the page, collecting console errors and page errors (errors) and every console
// line (messages).
export async function openPage(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  const messages = [];
  page.on('console', (message) => {
    messages.push(message.text());
    if (message.type() === 'error') {
      errors.push(message.text());
    }
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('requestfailed', (request) => errors.push(`request failed: ${request.url()}`));
  await page.setViewport({ width: 960, height: 720 });
  await page.goto(url, { waitUntil: 'load', timeout: 60000 });
  return { page, errors, messages };
}

// Waits until the start screen offers to play (its play button enabled).
export async function waitReady(page) {
  await page.waitForFunction(() => document.getElementById('start').dataset.state === 'ready'
    && !document.getElementById('play').disabled, { timeout: 60000 });
}

// openPage, then waits until the start screen offers to play.
export async function openShow(browser, url) {
  const opened = await openPage(browser, url);
  await waitReady(opened.page);
  return opened;
}

export async function state(page) {
  return page.evaluate(() => window.tilsenPage.state());
}

// The canvas's pixels with the state they belong to (one synchronous read: no frame can
// be presented in between).
export async function capture(page) {
  const shot = await page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let binary = '';
    for (let i = 0; i < data.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    }
    return { state: window.tilsenPage.state(), rgba: btoa(binary) };
  });
  return { state: shot.state, rgba: Buffer.from(shot.rgba, 'base64') };
}

// Frame `index` of a movie file as drawn by the native tool: 0xAARRGGBB little-endian words.
export function nativeFrame(mvz, movie, index, workDir) {
  execFileSync(mvz, ['render', movie, workDir, '--frames', '1', '--skip', String(index), '--raw']);
  return readFile(join(workDir, 'frame000000.raw'));
}

export async function waitFor(page, predicate, arg, timeoutMs) {
  await page.waitForFunction(predicate, { timeout: timeoutMs, polling: 50 }, arg);
}

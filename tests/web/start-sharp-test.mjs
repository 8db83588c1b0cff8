// The start screen and sharp frames, checked by what the page shows:
// - loading: while the music is still on its way, the play button is disabled and the bar
//   says how much of the data and music has come;
// - ready: the canvas holds the title picture, the opening movie's frame 80 as the native
//   tool draws it, drawn by the page's own wasm; the keys are listed; play is offered;
// - a missing movie: a line names it and play is still offered;
// - sharp at devicePixelRatio 2: ?sharp in the address, the canvas's backing store is its
//   CSS size times two (1280x960 for 640x480), and the S key turns it off and on mid-show
//   (and the address with it);
// - step-down: with a forced slow frame (?slowdraw, nanoseconds per pixel) the page says
//   once that the size could not be drawn within the tick and draws a smaller one, never
//   below 320x200.
// Screenshots of the start screen and of a sharp scene go to OUTDIR.
//     node start-sharp-test.mjs SITE MVZ OUTDIR     (WEB_NODE_DIR: the npm install with puppeteer-core)
import assert from 'node:assert/strict';
import { cpSync, mkdirSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import {
  capture, kEngine, launchChromium, nativeFrame, openPage, openShow, serve, state, waitFor, waitReady,
} from './site.mjs';

const [site, mvz, outDir] = process.argv.slice(2);
mkdirSync(outDir, { recursive: true });
const kTitleFrame = 80;

// A proxy of the site that holds music.xm back until release() is called.
function serveHolding(url) {
  let release = null;
  const held = new Promise((resolve) => { release = resolve; });
  const server = createServer(async (request, response) => {
    if (request.url.endsWith('music.xm')) {
      await held;
    }
    const answer = await fetch(new URL(request.url, url));
    const headers = { 'Content-Type': answer.headers.get('Content-Type') || 'application/octet-stream' };
    response.writeHead(answer.status, headers);
    response.end(Buffer.from(await answer.arrayBuffer()));
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      release,
      close: () => new Promise((done) => { release(); server.close(done); }),
    }));
  });
}

// The canvas as 0xAARRGGBB little-endian words with alpha 255, as the native tool writes.
function canvasWords(rgba) {
  const words = Buffer.alloc(rgba.length);
  for (let i = 0; i < rgba.length; i += 4) {
    words.writeUInt32LE(((0xff << 24) | (rgba[i] << 16) | (rgba[i + 1] << 8) | rgba[i + 2]) >>> 0, i);
  }
  return words;
}

const withoutMovie = join(outDir, 'site-without-tavo');
rmSync(withoutMovie, { recursive: true, force: true });
cpSync(site, withoutMovie, { recursive: true });
rmSync(join(withoutMovie, 'tavo01.mvz.gz'));

const server = await serve(site);
const missingServer = await serve(withoutMovie);
const holding = await serveHolding(server.url);
const browser = await launchChromium();
let failed = false;
try {
  // Loading, then ready.
  const loading = await openPage(browser, holding.url);
  await waitFor(loading.page, () => /of [\d.]+ MiB/.test(document.getElementById('loading-text').textContent),
    null, 60000);
  const during = await loading.page.evaluate(() => ({
    state: document.getElementById('start').dataset.state,
    play: document.getElementById('play').disabled,
    bar: !document.getElementById('loading').hidden,
  }));
  assert.deepEqual(during, { state: 'loading', play: true, bar: true }, 'loading: no play, a bar');
  holding.release();
  await waitReady(loading.page);
  assert.equal((await state(loading.page)).simd, true, 'the wasm SIMD build, which both engines run');
  const ready = await loading.page.evaluate(() => ({
    bar: document.getElementById('loading').hidden,
    keys: document.getElementById('keys').textContent.replace(/\s+/g, ' '),
    message: document.getElementById('message').hidden,
  }));
  assert.equal(ready.bar, true, 'ready: the bar is gone');
  assert.equal(ready.message, true, 'ready: nothing to say');
  assert.match(ready.keys, /Escape or Q.*F11.*S or the sharp button/);
  const title = await capture(loading.page);
  const native = await nativeFrame(mvz, join(site, 'presents.mvz.gz'), kTitleFrame, outDir);
  assert.ok(canvasWords(title.rgba).equals(native), 'the title picture is the native frame');
  await loading.page.screenshot({ path: join(outDir, `start-screen-${kEngine}.png`) });
  const loadingErrors = loading.errors;
  await loading.page.close();
  console.log('start screen: loading with a bar, then the title picture (native frame) and play');

  // A missing movie is said on the start screen; play stays.
  const missing = await openShow(browser, missingServer.url);
  const line = await missing.page.$eval('#message', (e) => (e.hidden ? null : e.textContent));
  assert.match(line, /^tilsen: tavo01\.mvz\.gz could not be loaded; the show plays on without them\./);
  await missing.page.close();
  console.log('a missing movie is named on the start screen');

  // Sharp at devicePixelRatio 2, kept there however slow this machine is (?stepdown=0).
  const sharp = await openPage(browser, `${server.url}?sharp&stepdown=0`);
  await sharp.page.setViewport({ width: 640, height: 480, deviceScaleFactor: 2 });
  await waitReady(sharp.page);
  await waitFor(sharp.page, () => document.getElementById('screen').width === 1280, null, 20000);
  assert.equal(await sharp.page.$eval('#screen', (e) => e.height), 960, 'a sharp title at 1280x960');
  await sharp.page.screenshot({ path: join(outDir, `start-screen-sharp-${kEngine}.png`) });
  assert.deepEqual(loadingErrors, [], 'no console errors on the start screen');
  await sharp.page.click('#start');
  await waitFor(sharp.page, () => {
    const s = window.tilsenPage.state();
    return s.scene > 3 || (s.scene === 3 && s.movieFrame >= 40);
  }, null, 240000);
  const shown = await state(sharp.page);
  assert.deepEqual([shown.frameWidth, shown.frameHeight], [1280, 960], 'sharp: 640x480 CSS pixels at 2x');
  await sharp.page.screenshot({ path: join(outDir, `sharp-scene-${kEngine}.png`) });
  await sharp.page.keyboard.press('s');
  await waitFor(sharp.page, () => window.tilsenPage.state().frameWidth === 320, null, 20000);
  assert.equal((await state(sharp.page)).frameHeight, 200, 'S: back to the 320x200 show');
  assert.equal(new URL(sharp.page.url()).searchParams.has('sharp'), false, 'the address follows');
  await sharp.page.keyboard.press('s');
  await waitFor(sharp.page, () => window.tilsenPage.state().frameWidth === 1280, null, 20000);
  await sharp.page.keyboard.press('Escape');
  await waitFor(sharp.page, () => !window.tilsenPage.state().running, null, 20000);
  assert.deepEqual(sharp.errors, [], 'no console errors');
  await sharp.page.close();
  console.log('sharp: 1280x960 at devicePixelRatio 2; S turns it off and on');

  // Step-down on a forced slow frame: 200 ns a pixel is 138 ms for 960x720, twice scene 1's
  // 66 ms tick.
  const slow = await openShow(browser, `${server.url}?sharp&slowdraw=200`);
  await slow.page.click('#start');
  await waitFor(slow.page, () => window.tilsenPage.state().steppedDown !== null, null, 120000);
  const stepped = await state(slow.page);
  const noticed = await slow.page.$eval('#notice', (e) => e.textContent);
  assert.equal(noticed, stepped.steppedDown);
  assert.match(noticed, /^tilsen: sharp 960x720 took [\d.]+ ms a frame here, longer than the \d+ ms tick: drawing \d+x\d+ instead\.$/);
  await waitFor(slow.page, () => window.tilsenPage.state().frameWidth < 960, null, 20000);
  const after = await state(slow.page);
  assert.ok(after.frameWidth >= 320 && after.frameHeight >= 200, `never below 320x200: ${after.frameWidth}x${after.frameHeight}`);
  await slow.page.keyboard.press('Escape');
  await waitFor(slow.page, () => !window.tilsenPage.state().running, null, 20000);
  // Said once: later step-downs go to the console only.
  assert.equal((await slow.page.$eval('#notice', (e) => e.textContent)), noticed);
  assert.deepEqual(slow.errors, [], 'no console errors');
  console.log(`step-down: ${noticed}`);
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  await Promise.all([server.close(), missingServer.close(), holding.close()]);
}
process.exit(failed ? 1 : 0);

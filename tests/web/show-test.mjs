// The whole show in headless Chromium or Firefox ESR (site.mjs's kEngine): the page loads
// without console errors, the music's play time advances after the start click (in Firefox,
// which has no sound device here, the page's silent clock), the eight scenes follow in order
// and each lasts what the script gives it (its frame count or picture length in its ticks)
// within one tick, a frame of the tavo movie on the canvas equals the native tool's drawing
// of that frame (with the logo over it) bit for bit, and the page shows its end.
//     node show-test.mjs SITE MVZ OUTDIR     (WEB_NODE_DIR: the npm install with puppeteer-core)
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { capture, launchChromium, nativeFrame, openShow, serve, state, waitFor } from './site.mjs';

const [site, mvz, outDir] = process.argv.slice(2);
mkdirSync(outDir, { recursive: true });

function frameCount(movie) {
  const info = execFileSync(mvz, ['info', join(site, movie)], { encoding: 'utf8' });
  return Number(/frame count:\s+(\d+)/.exec(info)[1]);
}

// Each scene's tick length and the last frame index it shows (the script's table).
const kTicks = [66, 16, 40, 100, 16, 16, 16, 16];
const ends = [frameCount('presents.mvz.gz'), 300, frameCount('tavo01.mvz.gz'),
  frameCount('main02.mvz.gz'), 300, 600, 600, 480];
const expectedMs = ends.map((end, i) => (end + 1) * kTicks[i]);
const showMs = expectedMs.reduce((a, b) => a + b, 0);

// The show's surface as the canvas holds it: RGB of 0x00RRGGBB, alpha 255.
function composeTavoFrame(movieWords, logoRgb) {
  const rgba = Buffer.alloc(320 * 200 * 4);
  for (let i = 0; i < 320 * 200; ++i) {
    const logo = (logoRgb[i * 3] << 16) | (logoRgb[i * 3 + 1] << 8) | logoRgb[i * 3 + 2];
    const word = logo !== 0 ? logo : movieWords.readUInt32LE(i * 4);
    rgba[i * 4] = (word >> 16) & 255;
    rgba[i * 4 + 1] = (word >> 8) & 255;
    rgba[i * 4 + 2] = word & 255;
    rgba[i * 4 + 3] = 255;
  }
  return rgba;
}

function firstDifference(a, b) {
  for (let i = 0; i < a.length; ++i) {
    if (a[i] !== b[i]) {
      const p = Math.floor(i / 4);
      const hex = (buf) => buf.readUInt32BE(p * 4).toString(16).padStart(8, '0');
      return `pixel (${p % 320}, ${Math.floor(p / 320)}): canvas RGBA 0x${hex(a)}, native 0x${hex(b)}`;
    }
  }
  return null;
}

const server = await serve(site);
const browser = await launchChromium();
let failed = false;
try {
  const { page, errors } = await openShow(browser, server.url);
  assert.equal(await page.title(), 'Morvane TILSEN');
  await page.click('#start');

  const first = await state(page);
  await waitFor(page, (t) => window.tilsenPage.state().playTime > t + 1000, first.playTime, 30000);

  // A frame of the second movie, some way in.
  await waitFor(page, () => {
    const s = window.tilsenPage.state();
    return s.scene > 3 || (s.scene === 3 && s.movieFrame >= 60);
  }, null, showMs + 60000);
  const shot = await capture(page);
  await page.screenshot({ path: join(outDir, 'screenshot.png') });
  assert.equal(shot.state.scene, 3, 'the capture must fall in the tavo scene');
  const native = await nativeFrame(mvz, join(site, 'tavo01.mvz.gz'), shot.state.movieFrame, outDir);
  const expected = composeTavoFrame(native, readFileSync(join(site, 'logo.raw')));
  const difference = firstDifference(shot.rgba, expected);
  assert.equal(difference, null, `tavo frame ${shot.state.movieFrame}: ${difference}`);
  console.log(`tavo frame ${shot.state.movieFrame} on the canvas equals the native frame`);

  await waitFor(page, () => !window.tilsenPage.state().running, null, showMs + 60000);
  const end = await state(page);
  assert.equal(await page.$eval('#end', (e) => !e.hidden), true, 'the end overlay shows');
  const scenes = end.sceneLog.map((e) => e.scene);
  assert.deepEqual(scenes, [1, 2, 3, 4, 5, 6, 7, 8], 'scenes in order, each once');
  // A late frame realigns the ticks to the clock's grid (less than a tick either way), and
  // a scene's last frame, when late, carries it past its end by the ticks it missed.
  for (let i = 0; i + 1 < end.sceneLog.length; ++i) {
    const took = end.sceneLog[i + 1].tickStart - end.sceneLog[i].tickStart;
    const late = end.sceneLog[i + 1].skipped;
    console.log(`scene ${i + 1}: ${took} ms (script: ${expectedMs[i]} ms, last frame missed ${late})`);
    assert.ok(Math.abs(took - expectedMs[i]) <= kTicks[i] * (1 + late),
      `scene ${i + 1} lasted ${took} ms, the script gives ${expectedMs[i]} ms (tick ${kTicks[i]})`);
  }
  assert.deepEqual(errors, [], 'no console errors');
  const times = end.drawMilliseconds.map((ms) => ms.toFixed(2));
  console.log(`page frame time (mean of steps that drew): ${times[0]} ms; by scene ${times.slice(1).join(' ')}`);
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  await server.close();
}
process.exit(failed ? 1 : 0);

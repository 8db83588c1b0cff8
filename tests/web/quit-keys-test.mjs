// Quit keys on the page. A flood of other keys (more than the show's queue holds, as a held
// key makes) ahead of Escape: the show ends without presenting another frame. A first
// movie whose frames take many seconds each: the tab still answers while such a frame is
// drawn, and Escape pressed then ends the show long before the frame could have been
// finished, with the frame never shown.
//     node quit-keys-test.mjs SITE MVZ OUTDIR     (WEB_NODE_DIR: the npm install with puppeteer-core)
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { launchChromium, openShow, serve, state, waitFor } from './site.mjs';

const [site, mvz, outDir] = process.argv.slice(2);
mkdirSync(outDir, { recursive: true });

// Full-screen rectangles: close to the most cells a frame may make, so that the whole
// frame takes seconds even natively and far longer in the browser.
const kRects = 80000;
const heavy = join(outDir, 'site-with-heavy-movie');
rmSync(heavy, { recursive: true, force: true });
cpSync(site, heavy, { recursive: true });
const rect = 'path\nmove 0 0\nline 320 0\nline 320 200\nline 0 200\nclose\n';
writeFileSync(join(outDir, 'heavy.mvt'),
  `movie 0x00000000 2\n${`frame\nshape 0x08080402\n${rect.repeat(kRects)}`.repeat(2)}`);
execFileSync(mvz, ['encode', join(outDir, 'heavy.mvt'), join(heavy, 'presents.mvz.gz')]);
rmSync(join(outDir, 'heavy.mvt'));

// Quit is asked for this long at most after the key; a heavy frame takes several times it.
const kPromptMs = 10000;

const server = await serve(site);
const heavyServer = await serve(heavy);
const browser = await launchChromium();
let failed = false;
try {
  const { page, errors } = await openShow(browser, server.url);
  await page.click('#start');
  await waitFor(page, () => window.tilsenPage.state().scene === 2, null, 60000);
  // All the keys in one task: no step can run between them.
  const before = await page.evaluate(() => {
    for (let i = 0; i < 100; ++i) {
      document.dispatchEvent(new KeyboardEvent('keydown', { key: 'a', keyCode: 65, repeat: i > 0 }));
    }
    document.dispatchEvent(new KeyboardEvent('keydown', { key: 'Escape', keyCode: 27 }));
    return window.tilsenPage.state();
  });
  await waitFor(page, () => !window.tilsenPage.state().running, null, 20000);
  const after = await state(page);
  assert.equal(after.presented, before.presented, 'no frame is presented after the quit key');
  assert.equal(after.scene, before.scene);
  assert.equal(await page.$eval('#end-text', (e) => e.textContent), 'the end');
  assert.deepEqual(errors, [], 'no console errors');
  console.log(`Escape behind 100 other keys ended the show in scene ${after.scene} at once`);

  const show = await openShow(browser, heavyServer.url);
  await show.page.click('#start');
  // Only a step that hands the tab back while it draws can be seen half-way.
  await waitFor(show.page, () => {
    const s = window.tilsenPage.state();
    return s.stepping && s.presented === 0;
  }, null, 60000).catch(() => {
    throw new Error('the page never answered while the first heavy frame was drawn');
  });
  const answered = await state(show.page);
  assert.equal(answered.scene, 1);
  const pressed = Date.now();
  await show.page.keyboard.press('Escape');
  await waitFor(show.page, () => !window.tilsenPage.state().running, null, kPromptMs);
  const ended = await state(show.page);
  console.log(`mid-way through a heavy frame, Escape ended the show after ${Date.now() - pressed} ms`);
  assert.equal(ended.presented, 0, 'the heavy frame cut short is never shown');
  assert.equal(ended.stepping, false);
  assert.equal(await show.page.$eval('#end-text', (e) => e.textContent), 'the end');
  assert.deepEqual(show.errors, [], 'no console errors');
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  await server.close();
  await heavyServer.close();
}
process.exit(failed ? 1 : 0);

// A site without the first movie: the show still plays the scenes after it (the missing
// movie's scene lasts one frame, as in the native show); double-click, Alt+Enter and F11
// toggle fullscreen; Escape then ends the show, the page shows "the end" with "play
// again", and playing again starts a new show, which Q ends. The console names the missing
// movie as the show's own message, with the page's word on where it should be.
//     node quit-test.mjs SITE OUTDIR     (WEB_NODE_DIR: the npm install with puppeteer-core)
import assert from 'node:assert/strict';
import { cpSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { launchChromium, openShow, serve, state, waitFor, waitReady } from './site.mjs';

const [site, outDir] = process.argv.slice(2);
const kMissing = 'presents.mvz.gz';
const copy = join(outDir, 'site-without-movie');
rmSync(copy, { recursive: true, force: true });
cpSync(site, copy, { recursive: true });
rmSync(join(copy, kMissing));

const server = await serve(copy);
const browser = await launchChromium();
let failed = false;
try {
  const { page, errors, messages } = await openShow(browser, server.url);
  await page.click('#start');
  await waitFor(page, () => window.tilsenPage.state().scene === 2, null, 60000);
  const fullscreen = (on) => waitFor(page, (want) => (document.fullscreenElement !== null) === want, on, 10000);
  await page.mouse.click(480, 360, { count: 2 });
  await fullscreen(true);
  await page.keyboard.down('Alt');
  await page.keyboard.press('Enter');
  await page.keyboard.up('Alt');
  await fullscreen(false);
  await page.keyboard.press('F11');
  await fullscreen(true);
  await page.mouse.click(480, 360, { count: 2 });
  await fullscreen(false);
  await waitFor(page, () => {
    const s = window.tilsenPage.state();
    return s.scene === 3 && s.movieFrame >= 5;
  }, null, 60000);
  await page.keyboard.press('Escape');
  await waitFor(page, () => !window.tilsenPage.state().running, null, 20000);
  const end = await state(page);
  assert.deepEqual(end.sceneLog.map((e) => e.scene), [1, 2, 3]);
  assert.equal(end.scene, 3, 'Escape ends the show in the scene it was pressed in');
  assert.equal(await page.$eval('#end', (e) => !e.hidden), true);
  assert.match(await page.$eval('#end', (e) => e.textContent), /the end[\s\S]*play again/);
  // The only error the console may show is the failed request of the missing file.
  const others = errors.filter((e) => !/404/.test(e) && !e.includes(kMissing));
  assert.deepEqual(others, [], 'no console errors besides the missing file');
  const aboutMissing = messages.filter((m) => m.includes(kMissing));
  assert.ok(aboutMissing.some((m) => m.startsWith(`tilsen: ${kMissing}: No such file or directory`)),
    `the show names the missing movie: ${JSON.stringify(aboutMissing)}`);
  assert.ok(aboutMissing.some((m) => m.startsWith(`tilsen: ${kMissing}: the server answered 404`)
    && m.includes('Copy it beside index.html')), 'the page says where it should be');

  await page.click('#again');
  await waitReady(page);
  await page.click('#start');
  await waitFor(page, () => window.tilsenPage.state().scene === 2, null, 60000);
  await page.keyboard.press('q');
  await waitFor(page, () => !window.tilsenPage.state().running, null, 20000);
  assert.equal((await state(page)).scene, 2);
  assert.equal(await page.$eval('#end', (e) => !e.hidden), true);
  console.log('the show without its first movie played on, ended on Escape, played again and ended on Q');
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  await server.close();
}
process.exit(failed ? 1 : 0);

// What the page says when the show cannot play, on the page and on the console, each
// message starting "tilsen:" and saying what to do: a music player whose worklet does not
// load, a page over plain http from another machine (no audio worklet there), a missing
// music file, and a music file that is not a module.
//     node messages-test.mjs SITE OUTDIR     (WEB_NODE_DIR: the npm install with puppeteer-core)
import assert from 'node:assert/strict';
import { cpSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { launchChromium, openPage, openShow, serve, state } from './site.mjs';

const [site, outDir] = process.argv.slice(2);

function siteCopy(name, change) {
  const copy = join(outDir, name);
  rmSync(copy, { recursive: true, force: true });
  cpSync(site, copy, { recursive: true });
  change(copy);
  return copy;
}

const noWorklet = siteCopy('site-without-worklet',
  (copy) => rmSync(join(copy, 'chiptune3', 'chiptune3.worklet.js')));
const noMusic = siteCopy('site-without-music', (copy) => rmSync(join(copy, 'music.xm')));
const badMusic = siteCopy('site-with-bad-music',
  (copy) => writeFileSync(join(copy, 'music.xm'), Buffer.from('not a module at all')));

const overlayText = (page, id) => page.$eval(id, (e) => (e.hidden ? null : e.textContent));
const endText = (page) => overlayText(page, '#end-text');

async function endAfterClick(url) {
  const { page, messages } = await openShow(browser, url);
  await page.click('#start');
  await page.waitForFunction(() => !document.getElementById('end').hidden, { timeout: 60000 });
  assert.equal((await state(page)).running, false, 'no show without its music');
  return { text: await endText(page), messages };
}

async function startText(url) {
  const { page, messages } = await openPage(browser, url);
  await page.waitForFunction(() => document.getElementById('message').textContent.startsWith('tilsen:'),
    { timeout: 60000 });
  assert.equal(await page.$eval('#play', (e) => e.hidden), true, 'no play button');
  return { text: await overlayText(page, '#message'), messages };
}

// The message is on the page and on the console, as it is.
function said(outcome, pattern) {
  assert.match(outcome.text, pattern);
  assert.ok(outcome.messages.includes(outcome.text), `the console says "${outcome.text}" too`);
}

const servers = await Promise.all([site, noWorklet, noMusic, badMusic].map(serve));
const [plain, withoutWorklet, withoutMusic, withBadMusic] = servers;
const browser = await launchChromium();
let failed = false;
try {
  said(await endAfterClick(withoutWorklet.url),
    /^tilsen: the music player \(chiptune3\/chiptune3\.worklet\.js\) did not load: .*Copy the chiptune3 folder/);
  console.log('a worklet that does not load is named, with what to copy');

  said(await startText(plain.otherHostUrl),
    /^tilsen: the music needs a secure page, and http:\/\/tilsen\.test:\d+ is not one: .*https.*localhost/);
  console.log('a page over plain http from another machine says to use https or localhost');

  said(await startText(withoutMusic.url),
    /^tilsen: music\.xm: the server answered 404 Not Found\. The show needs its music: copy it/);
  said(await endAfterClick(withBadMusic.url), /^tilsen: music\.xm: Unknown file format\. /);
  console.log('a missing and a broken music file are named, with what to do');
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  await Promise.all(servers.map((server) => server.close()));
}
process.exit(failed ? 1 : 0);

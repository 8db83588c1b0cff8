// The page's own frame timer in headless Chromium: the show played to the end of its movie
// scenes (1 to 4) in each configuration (wasm SIMD or scalar; 320x200, sharp 1280x960 at
// devicePixelRatio 1, sharp 1920x1440 at devicePixelRatio 2, with the step-down rule off),
// then the median and worst time of a drawing step, movie by movie and over all three. The
// pages are cross-origin isolated, so that their clock has microseconds, not tenths of a
// millisecond.
//     node web-frames.mjs SITE     (WEB_NODE_DIR: the npm install with puppeteer-core)
import { launchChromium, openShow, serve, waitFor } from '../tests/web/site.mjs';

const [site] = process.argv.slice(2);
const kConfigs = [
  { name: '320x200', query: '', viewport: { width: 960, height: 720, deviceScaleFactor: 1 } },
  { name: 'sharp 1280x960', query: '&sharp', viewport: { width: 1280, height: 960, deviceScaleFactor: 1 } },
  { name: 'sharp 1920x1440', query: '&sharp', viewport: { width: 960, height: 720, deviceScaleFactor: 2 } },
];
// The movie scenes and the movie each plays.
const kMovies = [{ scene: 1, name: 'presents' }, { scene: 3, name: 'tavo01' }, { scene: 4, name: 'main02' }];
const kMovieScenes = new Set(kMovies.map((m) => m.scene));

function summary(ms) {
  const sorted = ms.slice().sort((a, b) => a - b);
  return { median: sorted[Math.floor(sorted.length / 2)], worst: sorted[sorted.length - 1], steps: sorted.length };
}

const server = await serve(site, { isolated: true });
const browser = await launchChromium();
try {
  console.log('| size | movie | wasm SIMD: median / worst ms | scalar: median / worst ms | steps (SIMD, scalar) |');
  console.log('|---|---|---|---|---|');
  for (const config of kConfigs) {
    const runs = [];
    for (const simd of ['1', '0']) {
      const { page } = await openShow(browser, `${server.url}?simd=${simd}&stepdown=0${config.query}`);
      if (!await page.evaluate(() => self.crossOriginIsolated)) {
        throw new Error('the page is not cross-origin isolated: its clock is coarse');
      }
      await page.setViewport(config.viewport);
      await page.click('#start');
      await waitFor(page, () => window.tilsenPage.state().scene >= 5, null, 300000);
      await page.keyboard.press('Escape');
      const log = await page.evaluate(() => window.tilsenPage.drawLog());
      const drawn = log.filter((e) => kMovieScenes.has(e.scene));
      const sizes = [...new Set(drawn.map((e) => `${e.width}x${e.height}`))];
      if (sizes.length !== 1) {
        throw new Error(`${config.name}: drawn at ${sizes.join(', ')}`);
      }
      runs.push({ drawn, size: sizes[0] });
      await page.close();
    }
    const cell = (r) => `${r.median.toFixed(2)} / ${r.worst.toFixed(2)}`;
    for (const movie of [...kMovies, { name: 'all three' }]) {
      const [simd, scalar] = runs.map((run) => summary(run.drawn
        .filter((e) => movie.scene === undefined || e.scene === movie.scene).map((e) => e.ms)));
      console.log(`| ${runs[0].size} | ${movie.name} | ${cell(simd)} | ${cell(scalar)} | ${simd.steps}, ${scalar.steps} |`);
    }
  }
} finally {
  await browser.close();
  await server.close();
}

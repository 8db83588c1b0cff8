// The page's own frame timer in headless Chromium: the show played to the end of its movie
// scenes (1 to 4) in each configuration (wasm SIMD or scalar; 320x200, sharp 1280x960 at
// devicePixelRatio 1, sharp 1920x1440 at devicePixelRatio 2, with the step-down rule off),
// then the median and worst time of a drawing step over the movie scenes' steps.
//     node web-frames.mjs SITE     (WEB_NODE_DIR: the npm install with puppeteer-core)
import { launchChromium, openShow, serve, waitFor } from '../tests/web/site.mjs';

const [site] = process.argv.slice(2);
const kConfigs = [
  { name: '320x200', query: '', viewport: { width: 960, height: 720, deviceScaleFactor: 1 } },
  { name: 'sharp 1280x960', query: '&sharp', viewport: { width: 1280, height: 960, deviceScaleFactor: 1 } },
  { name: 'sharp 1920x1440', query: '&sharp', viewport: { width: 960, height: 720, deviceScaleFactor: 2 } },
];
const kMovieScenes = new Set([1, 3, 4]);

function summary(ms) {
  const sorted = ms.slice().sort((a, b) => a - b);
  return { median: sorted[Math.floor(sorted.length / 2)], worst: sorted[sorted.length - 1], steps: sorted.length };
}

const server = await serve(site);
const browser = await launchChromium();
try {
  console.log('| size | wasm SIMD: median / worst ms | scalar: median / worst ms | steps (SIMD, scalar) |');
  console.log('|---|---|---|---|');
  for (const config of kConfigs) {
    const row = [];
    for (const simd of ['1', '0']) {
      const { page } = await openShow(browser, `${server.url}?simd=${simd}&stepdown=0${config.query}`);
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
      row.push({ ...summary(drawn.map((e) => e.ms)), size: sizes[0] });
      await page.close();
    }
    const cell = (r) => `${r.median.toFixed(2)} / ${r.worst.toFixed(2)}`;
    console.log(`| ${row[0].size} | ${cell(row[0])} | ${cell(row[1])} | ${row[0].steps}, ${row[1].steps} |`);
  }
} finally {
  await browser.close();
  await server.close();
}

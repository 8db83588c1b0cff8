// The show's page: loads the wasm show (with wasm SIMD where the engine has it, else the
// scalar build; ?simd=0 asks for the scalar one) and the data files into its file system,
// showing how much has come; draws the title picture with the show's own code; starts the
// music on the visitor's click and then the show, one step per animation frame.
//
// Sharp (the sharp button, the S key, or ?sharp in the address): the canvas's backing store
// follows its CSS size times devicePixelRatio, 4:3, and the show draws at that size, as
// `tilsen --sharp` does. When the movie scenes' drawing steps take longer than their tick
// (the median of the last few), the page says so once and steps down to the size its
// measured time per pixel says fits, never below the 320x200 show. A step may
// yield to the page while it draws a long frame; the next one starts only when it has
// returned. The music plays in chiptune3's audio worklet (libopenmpt compiled to wasm); its
// play time is counted in the worklet's blocks (heard-time.js). Whatever stops the show is
// said on the page and on the console, starting "tilsen:", with what to do about it.
import { ChiptuneJsPlayer } from './chiptune3/chiptune3.js';
import { HeardTime } from './heard-time.js';

const kDataFiles = ['morvane.raw', 'pelu.raw', 'greets.raw', 'logo.raw', 'credits.raw',
  'presents.mvz.gz', 'tavo01.mvz.gz', 'main02.mvz.gz'];
const kMusicFile = 'music.xm';
const kWorklet = 'chiptune3/chiptune3.worklet.js';
// Long enough for a slow machine to load the player and render its first block.
const kMusicStartMs = 30000;
// An audio output that has not started running this long after the click never will (an
// engine with no sound device): the show then plays silently on the page's clock.
const kSoundOpenMs = 5000;
const kFullVolume = 256;
const kKeys = { Escape: 27, q: 81, Q: 81 };
// The scenes whose drawing depends on the size (the vector movies).
const kMovieScenes = new Set([1, 3, 4]);
// Drawing steps of a movie scene judged together, and the share of the tick a stepped-down
// size is meant to take.
const kJudgedSteps = 5;
const kStepDownShare = 0.8;
const kSmallest = { width: 320, height: 240 };
// A tiny module with one SIMD instruction: it validates only where the engine has wasm SIMD.
const kSimdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1,
  0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
// And one with memory.fill: the SIMD build also uses bulk memory, which every engine with
// wasm SIMD has; checked all the same rather than assumed.
const kBulkMemoryProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 4, 1, 96, 0, 0, 3, 2, 1, 0,
  5, 3, 1, 0, 0, 10, 13, 1, 11, 0, 65, 0, 65, 0, 65, 0, 252, 11, 0, 11]);

const params = new URLSearchParams(location.search);
const canvas = document.getElementById('screen');
const context = canvas.getContext('2d');
const startOverlay = document.getElementById('start');
const endOverlay = document.getElementById('end');
const playButton = document.getElementById('play');
const sharpButton = document.getElementById('sharp');
const messageLine = document.getElementById('message');
const notice = document.getElementById('notice');
// For tests: extra drawing time in nanoseconds per pixel of each frame (a forced slow frame).
const slowDraw = Number(params.get('slowdraw')) || 0;
// For benchmarks: ?stepdown=0 keeps the sharp size however long it takes.
const stepDown = params.get('stepdown') !== '0';
const simd = params.get('simd') !== '0' && WebAssembly.validate(kSimdProbe) &&
  WebAssembly.validate(kBulkMemoryProbe);

let sharp = params.has('sharp') && params.get('sharp') !== '0';
// Largest frame width the step-down rule allows (Infinity: the fitted size), or 0 once even
// the smallest sharp size was too slow (the 320x200 show).
let sharpCap = Infinity;
let steppedDown = null;
const recentDraws = [];
// Every step that drew: its scene, time and frame size (for the page's frame-time figures).
const drawLog = [];

let module = null;
let titleDrawn = false;
let player = null;
const heardTime = new HeardTime();
let running = false;
// A step has started and not yet returned (it may be waiting in a yield).
let stepping = false;
let presented = 0;
// The last frame presented, as an image over the module's memory.
let frameImage = null;
// For the page's tests and the curious: each scene's first frame, with the play time heard
// then, the tick boundary the scene began on and the ticks the frame before it missed.
const sceneLog = [];

// The device pixels the show should draw for (0 x 0: the 320x200 show).
function shownSize() {
  if (!sharp || sharpCap === 0) {
    return { width: 0, height: 0 };
  }
  const ratio = window.devicePixelRatio || 1;
  let width = Math.round(parseFloat(canvas.style.width) * ratio);
  let height = Math.round(parseFloat(canvas.style.height) * ratio);
  if (width > sharpCap) {
    height = Math.round(height * sharpCap / width);
    width = sharpCap;
  }
  return { width, height };
}

function applySize() {
  if (module) {
    const { width, height } = shownSize();
    module._tilsen_set_shown_size(width, height);
    if (!running && titleDrawn) {
      drawTitle();
    }
  }
  canvas.classList.toggle('sharp', sharp && sharpCap !== 0);
}

function fitCanvas() {
  const width = Math.min(window.innerWidth, window.innerHeight * 4 / 3);
  canvas.style.width = `${Math.floor(width)}px`;
  canvas.style.height = `${Math.floor(width * 3 / 4)}px`;
  applySize();
}

function setSharp(on) {
  sharp = on;
  sharpButton.setAttribute('aria-pressed', String(on));
  sharpButton.textContent = on ? 'sharp: on' : 'sharp: off';
  // The address says it too, so that a link shares it.
  const url = new URL(location.href);
  if (on) {
    url.searchParams.set('sharp', '');
  } else {
    url.searchParams.delete('sharp');
  }
  history.replaceState(null, '', url.href.replace('sharp=&', 'sharp&').replace(/sharp=$/, 'sharp'));
  recentDraws.length = 0;
  applySize();
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// After each drawing step of a sharp show: too slow for the tick, a smaller size.
function judgeDraw(scene, ms, width, height) {
  if (!stepDown || !sharp || sharpCap === 0 || !kMovieScenes.has(scene)
    || (width === 320 && height === 200)) {
    return;
  }
  recentDraws.push(ms);
  if (recentDraws.length > kJudgedSteps) {
    recentDraws.shift();
  }
  const tick = module._tilsen_tick_milliseconds();
  const typical = median(recentDraws);
  if (recentDraws.length < kJudgedSteps || typical <= tick) {
    return;
  }
  // Drawing time grows with the pixels: the width whose area the measured time per pixel
  // fits in kStepDownShare of the tick.
  const fits = Math.floor(width * Math.sqrt(kStepDownShare * tick / typical));
  sharpCap = fits < kSmallest.width ? 0 : fits;
  recentDraws.length = 0;
  applySize();
  const now = sharpCap === 0 ? '320x200' : `${shownSize().width}x${shownSize().height}`;
  const text = `tilsen: sharp ${width}x${height} took ${typical.toFixed(1)} ms a frame here, `
    + `longer than the ${tick} ms tick: drawing ${now} instead.`;
  console.info(text);
  if (!steppedDown) {
    steppedDown = text;
    notice.textContent = text;
    notice.hidden = false;
    setTimeout(() => { notice.hidden = true; }, 8000);
  }
}

function toggleFullscreen() {
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
  } else {
    document.documentElement.requestFullscreen().catch(() => {});
  }
}

// The page's clock time the silent show started, when sound could not start.
let silentSince = null;

function playTime() {
  if (silentSince !== null) {
    heardTime.heard = Math.max(heardTime.heard, Math.floor(performance.now() - silentSince));
    return heardTime.heard;
  }
  return player ? heardTime.read(player.context.sampleRate, player.context.outputLatency)
    : heardTime.heard;
}

function showEnd(text) {
  running = false;
  document.getElementById('end-text').textContent = text;
  endOverlay.hidden = false;
}

// A failure the visitor must act on: on the page (the start overlay before the show, the
// end overlay after the click) and on the console.
function fail(overlay, message) {
  const text = `tilsen: ${message}`;
  console.warn(text);
  if (overlay === startOverlay) {
    startOverlay.dataset.state = 'failed';
    playButton.hidden = true;
    document.getElementById('loading').hidden = true;
    messageLine.textContent = text;
    messageLine.hidden = false;
  } else {
    startOverlay.hidden = true;
    showEnd(text);
  }
}

window.tilsenPage = {
  present(rgba, width, height) {
    if (slowDraw > 0) {
      const until = performance.now() + width * height * slowDraw / 1e6;
      while (performance.now() < until) {
        // A forced slow frame (tests).
      }
    }
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    // The module's own bytes, seen as an image without a copy. The view is made again when
    // the module's memory has moved (it grows by a new buffer) or the frame has.
    if (!frameImage || frameImage.data.buffer !== rgba.buffer
      || frameImage.data.byteOffset !== rgba.byteOffset || frameImage.width !== width
      || frameImage.height !== height) {
      frameImage = new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, rgba.length),
        width, height);
    }
    context.putImageData(frameImage, 0, 0);
    if (!running) {
      return;
    }
    ++presented;
    const scene = module._tilsen_scene();
    if (sceneLog.length === 0 || sceneLog[sceneLog.length - 1].scene !== scene) {
      sceneLog.push({
        scene,
        playTime: heardTime.heard,
        tickStart: module._tilsen_tick_start() >>> 0,
        skipped: module._tilsen_skip_count(),
      });
    }
  },
  close() {},
  error(message) {
    fail(endOverlay, message);
  },
  playTime,
  musicStop() {
    if (player) {
      player.stop();
      player.context.suspend().catch(() => {});
    }
  },
  musicVolume(volume) {
    if (player) {
      player.setVol(volume / kFullVolume);
    }
  },
  ended() {
    // After a display error the show ends too; its message stays.
    if (endOverlay.hidden) {
      showEnd('the end');
    }
  },
  // What the show is doing now; the frame on the canvas is the one presented last.
  state() {
    if (!module) {
      return { loaded: false };
    }
    return {
      loaded: true,
      running,
      stepping,
      presented,
      simd,
      sharp,
      frameWidth: canvas.width,
      frameHeight: canvas.height,
      steppedDown,
      scene: module._tilsen_scene(),
      frameIndex: module._tilsen_frame_index(),
      movieFrame: module._tilsen_movie_frame(),
      origin: module._tilsen_clock_origin(),
      playTime: heardTime.heard,
      // Mean time of a drawing step: in any scene, then scene by scene.
      drawMilliseconds: [0, 1, 2, 3, 4, 5, 6, 7, 8].map((i) => module._tilsen_draw_milliseconds(i)),
      sceneLog: sceneLog.slice(),
    };
  },
  // Every drawing step's { scene, ms, width, height }, in order.
  drawLog() {
    return drawLog.slice();
  },
};

// What has come of the data and the music, on the loading bar.
const loading = { expected: new Map(), received: new Map() };

function showLoading() {
  let expected = 0;
  let received = 0;
  loading.expected.forEach((bytes) => { expected += bytes; });
  loading.received.forEach((bytes) => { received += bytes; });
  const mib = (bytes) => (bytes / 1048576).toFixed(1);
  const share = expected > 0 ? Math.min(1, received / expected) : 0;
  document.getElementById('bar-fill').style.width = `${(share * 100).toFixed(1)}%`;
  document.getElementById('loading-text').textContent = expected > 0
    ? `data and music: ${mib(received)} of ${mib(expected)} MiB` : 'loading the show';
}

// A file of the show: { bytes } or { reason } (why it could not be had, in words).
async function fetchFile(name) {
  try {
    const response = await fetch(name);
    if (!response.ok) {
      return { reason: `the server answered ${response.status} ${response.statusText}`.trim() };
    }
    const length = Number(response.headers.get('Content-Length')) || 0;
    if (!response.body || length === 0) {
      const bytes = new Uint8Array(await response.arrayBuffer());
      loading.expected.set(name, bytes.length);
      loading.received.set(name, bytes.length);
      showLoading();
      return { bytes };
    }
    loading.expected.set(name, length);
    const reader = response.body.getReader();
    const chunks = [];
    let got = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) {
        break;
      }
      chunks.push(value);
      got += value.length;
      loading.received.set(name, got);
      showLoading();
    }
    const bytes = new Uint8Array(got);
    let at = 0;
    chunks.forEach((chunk) => {
      bytes.set(chunk, at);
      at += chunk.length;
    });
    return { bytes };
  } catch (error) {
    return { reason: `it could not be fetched (${error.message})` };
  }
}

// The show's module script: with wasm SIMD where the engine runs it, else the scalar build.
function loadScript(src) {
  return new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = src;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`${src} did not load`));
    document.head.appendChild(script);
  });
}

function drawTitle() {
  titleDrawn = module._tilsen_title() !== 0;
}

function insecurePageMessage() {
  return `the music needs a secure page, and ${location.origin} is not one: `
    + 'a browser gives no audio worklet to a page served over plain http from another machine. '
    + 'Serve the show over https, or open it on the machine that serves it as http://localhost.';
}

// The player's own loading swallows a worklet that fails (it only logs it), so the page
// loads the worklet first, into a context it hands the player, and knows why.
async function makeAudio() {
  if (!window.isSecureContext) {
    throw new Error(insecurePageMessage());
  }
  const context = new AudioContext();
  if (!context.audioWorklet) {
    throw new Error('this browser has no audio worklet, which the music needs: '
      + 'open the show in a current browser.');
  }
  try {
    await context.audioWorklet.addModule(new URL(kWorklet, location.href));
  } catch (error) {
    context.close().catch(() => {});
    throw new Error(`the music player (${kWorklet}) did not load: ${error.message || error}. `
      + 'Copy the chiptune3 folder of the build beside index.html and reload the page.');
  }
  return context;
}

function startMusic(music, context) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(
      `the music did not start within ${kMusicStartMs / 1000} s. Reload the page to try again.`)),
    kMusicStartMs);
    const settle = (done) => (value) => {
      clearTimeout(timer);
      done(value);
    };
    player = new ChiptuneJsPlayer({ repeatCount: -1, context });
    player.gain.connect(context.destination);
    // The worklet reports a module it cannot read as 'ptr'.
    player.onError((error) => settle(reject)(new Error(error.type === 'ptr'
      ? `${kMusicFile}: Unknown file format. Replace it with the show's own music file.`
      : `${kMusicFile}: the music player failed (${error.type}). Reload the page to try again.`)));
    player.onProgress(() => {
      heardTime.blockRendered();
      if (heardTime.blocks === 1) {
        settle(resolve)();
      }
    });
    player.onInitialized(() => {
      context.resume().catch(() => {});
      player.play(music.slice().buffer);
    });
  });
}

async function runSteps() {
  stepping = true;
  let goesOn = 0;
  try {
    const before = presented;
    goesOn = await module.ccall('tilsen_step', 'number', [], [], { async: true });
    if (presented !== before) {
      const scene = module._tilsen_scene();
      const ms = module._tilsen_last_draw_milliseconds();
      drawLog.push({ scene, ms, width: canvas.width, height: canvas.height });
      judgeDraw(scene, ms, canvas.width, canvas.height);
    }
  } catch (error) {
    console.error(error);
    window.tilsenPage.musicStop();
    fail(endOverlay, `the show stopped: ${error.message || error}. Reload the page to try again.`);
  }
  stepping = false;
  if (goesOn && running) {
    requestAnimationFrame(runSteps);
  }
}

async function start(music) {
  if (startOverlay.dataset.state !== 'ready') {
    return;
  }
  startOverlay.dataset.state = 'started';
  startOverlay.hidden = true;
  try {
    const audio = await makeAudio();
    const silent = new Promise((resolve) => {
      setTimeout(() => resolve(audio.state !== 'running'), kSoundOpenMs);
    });
    const started = startMusic(music, audio).then(() => false);
    // Once the show plays silently, a late failure of the music has nothing left to stop.
    started.catch(() => {});
    if (await Promise.race([started, silent.then((quiet) => (quiet ? true : started))])) {
      silentSince = performance.now();
      const text = 'tilsen: the sound could not start here (the browser opened no audio output); '
        + 'the show plays without it.';
      console.warn(text);
      notice.textContent = text;
      notice.hidden = false;
      setTimeout(() => { notice.hidden = true; }, 8000);
    }
  } catch (error) {
    fail(endOverlay, error.message);
    return;
  }
  running = true;
  applySize();
  if (module._tilsen_start()) {
    requestAnimationFrame(runSteps);
  }
}

async function createModule() {
  await loadScript(simd ? 'tilsen.js' : 'tilsen-scalar.js');
  // The show's own messages (a missing picture or movie) name it as the desktop's do.
  return createTilsen({ thisProgram: 'tilsen' });
}

async function load() {
  setSharp(sharp);
  fitCanvas();
  window.addEventListener('resize', fitCanvas);
  const [created, music, ...files] = await Promise.all([
    createModule(), fetchFile(kMusicFile), ...kDataFiles.map(fetchFile)]);
  module = created;
  module.FS.mkdir('/data');
  const missing = [];
  kDataFiles.forEach((name, i) => {
    // A missing file stays missing: the show plays on without it, as on the desktop, and
    // says so when it does not find it.
    if (files[i].bytes) {
      module.FS.writeFile(`/data/${name}`, files[i].bytes);
    } else {
      missing.push(name);
      console.warn(`tilsen: ${name}: ${files[i].reason}; the show plays on without it. `
        + 'Copy it beside index.html to see its scene.');
    }
  });
  module.FS.chdir('/data');
  applySize();
  drawTitle();
  document.getElementById('loading').hidden = true;
  if (missing.length > 0) {
    messageLine.textContent = `tilsen: ${missing.join(', ')} could not be loaded; `
      + 'the show plays on without them. Copy them beside index.html to see their scenes.';
    messageLine.hidden = false;
  }
  // Nothing can play: say so before offering to start.
  if (!window.isSecureContext) {
    fail(startOverlay, insecurePageMessage());
    return;
  }
  if (!music.bytes) {
    fail(startOverlay, `${kMusicFile}: ${music.reason}. The show needs its music: `
      + 'copy it beside index.html and reload the page.');
    return;
  }
  playButton.textContent = 'play';
  playButton.disabled = false;
  startOverlay.dataset.state = 'ready';
  playButton.focus();
  startOverlay.addEventListener('click', (event) => {
    if (event.target !== sharpButton) {
      start(music.bytes);
    }
  });
}

document.addEventListener('keydown', (event) => {
  if (event.key === 'F11' || (event.key === 'Enter' && event.altKey)) {
    event.preventDefault();
    toggleFullscreen();
    return;
  }
  if (event.key === 's' || event.key === 'S') {
    setSharp(!sharp);
    return;
  }
  if (running) {
    module._tilsen_key(kKeys[event.key] || event.keyCode || 1);
  }
});
sharpButton.addEventListener('click', () => setSharp(!sharp));
document.addEventListener('dblclick', toggleFullscreen);
document.getElementById('again').addEventListener('click', () => window.location.reload());

load().catch((error) => {
  console.error(error);
  fail(startOverlay, `the show did not load: ${error.message || error}. `
    + 'Check that tilsen.js and tilsen.wasm are beside index.html and reload the page.');
});

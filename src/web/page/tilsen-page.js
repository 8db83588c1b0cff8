// The show's page: loads the wasm show and the data files into its file system, starts the
// music on the visitor's click and then the show, one step per animation frame. A step may
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
const kFullVolume = 256;
const kKeys = { Escape: 27, q: 81, Q: 81 };

const canvas = document.getElementById('screen');
const context = canvas.getContext('2d');
const image = context.createImageData(canvas.width, canvas.height);
const startOverlay = document.getElementById('start');
const endOverlay = document.getElementById('end');

let module = null;
let player = null;
const heardTime = new HeardTime();
let running = false;
// A step has started and not yet returned (it may be waiting in a yield).
let stepping = false;
let presented = 0;
// For the page's tests and the curious: each scene's first frame, with the play time heard
// then, the tick boundary the scene began on and the ticks the frame before it missed.
const sceneLog = [];

function fitCanvas() {
  const width = Math.min(window.innerWidth, window.innerHeight * 4 / 3);
  canvas.style.width = `${Math.floor(width)}px`;
  canvas.style.height = `${Math.floor(width * 3 / 4)}px`;
}

function toggleFullscreen() {
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
  } else {
    document.documentElement.requestFullscreen().catch(() => {});
  }
}

function playTime() {
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
    startOverlay.textContent = text;
  } else {
    startOverlay.hidden = true;
    showEnd(text);
  }
}

window.tilsenPage = {
  present(rgba) {
    ++presented;
    image.data.set(rgba);
    context.putImageData(image, 0, 0);
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
};

// A file of the show: { bytes } or { reason } (why it could not be had, in words).
async function fetchFile(name) {
  try {
    const response = await fetch(name);
    if (!response.ok) {
      return { reason: `the server answered ${response.status} ${response.statusText}`.trim() };
    }
    return { bytes: new Uint8Array(await response.arrayBuffer()) };
  } catch (error) {
    return { reason: `it could not be fetched (${error.message})` };
  }
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
    goesOn = await module.ccall('tilsen_step', 'number', [], [], { async: true });
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
  startOverlay.hidden = true;
  try {
    await startMusic(music, await makeAudio());
  } catch (error) {
    fail(endOverlay, error.message);
    return;
  }
  running = true;
  if (module._tilsen_start()) {
    requestAnimationFrame(runSteps);
  }
}

async function load() {
  fitCanvas();
  window.addEventListener('resize', fitCanvas);
  // The show's own messages (a missing picture or movie) name it as the desktop's do.
  const [created, music, ...files] = await Promise.all([
    createTilsen({ thisProgram: 'tilsen' }), fetchFile(kMusicFile), ...kDataFiles.map(fetchFile)]);
  module = created;
  module.FS.mkdir('/data');
  kDataFiles.forEach((name, i) => {
    // A missing file stays missing: the show plays on without it, as on the desktop, and
    // says so when it does not find it.
    if (files[i].bytes) {
      module.FS.writeFile(`/data/${name}`, files[i].bytes);
    } else {
      console.warn(`tilsen: ${name}: ${files[i].reason}; the show plays on without it. `
        + 'Copy it beside index.html to see its scene.');
    }
  });
  module.FS.chdir('/data');
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
  startOverlay.textContent = 'click to start';
  startOverlay.addEventListener('click', () => start(music.bytes), { once: true });
}

document.addEventListener('keydown', (event) => {
  if (event.key === 'F11' || (event.key === 'Enter' && event.altKey)) {
    event.preventDefault();
    toggleFullscreen();
    return;
  }
  if (running) {
    module._tilsen_key(kKeys[event.key] || event.keyCode || 1);
  }
});
document.addEventListener('dblclick', toggleFullscreen);
document.getElementById('again').addEventListener('click', () => window.location.reload());

load().catch((error) => {
  console.error(error);
  fail(startOverlay, `the show did not load: ${error.message || error}. `
    + 'Check that tilsen.js and tilsen.wasm are beside index.html and reload the page.');
});

// The show's page: loads the wasm show and the data files into its file system, starts the
// music on the visitor's click and then the show, one step per animation frame. A step may
// yield to the page while it draws a long frame; the next one starts only when it has
// returned. The music plays in chiptune3's audio worklet (libopenmpt compiled to wasm); its
// play time is counted in the worklet's blocks (heard-time.js).
import { ChiptuneJsPlayer } from './chiptune3/chiptune3.js';
import { HeardTime } from './heard-time.js';

const kDataFiles = ['morvane.raw', 'pelu.raw', 'greets.raw', 'logo.raw', 'credits.raw',
  'presents.mvz.gz', 'tavo01.mvz.gz', 'main02.mvz.gz'];
const kMusicFile = 'music.xm';
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
    console.warn(`Morvane TILSEN: ${message}`);
    showEnd(message);
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
    showEnd('the end');
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

async function fetchBytes(name) {
  try {
    const response = await fetch(name);
    return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
  } catch {
    return null;
  }
}

function startMusic(music) {
  return new Promise((resolve, reject) => {
    player = new ChiptuneJsPlayer({ repeatCount: -1 });
    // The worklet reports a module it cannot read as 'ptr'.
    player.onError((error) => reject(new Error(
      `${kMusicFile}: ${error.type === 'ptr' ? 'Unknown file format' : `cannot play (${error.type})`}`)));
    player.onProgress(() => {
      heardTime.blockRendered();
      if (heardTime.blocks === 1) {
        resolve();
      }
    });
    player.onInitialized(() => {
      player.context.resume().catch(() => {});
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
    showEnd(`the show stopped: ${error.message || error}`);
  }
  stepping = false;
  if (goesOn && running) {
    requestAnimationFrame(runSteps);
  }
}

async function start(music) {
  startOverlay.hidden = true;
  try {
    await startMusic(music);
  } catch (error) {
    showEnd(error.message);
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
  const [created, music, ...files] = await Promise.all([
    createTilsen(), fetchBytes(kMusicFile), ...kDataFiles.map(fetchBytes)]);
  module = created;
  module.FS.mkdir('/data');
  kDataFiles.forEach((name, i) => {
    // A missing file stays missing: the show plays on without it, as on the desktop.
    if (files[i]) {
      module.FS.writeFile(`/data/${name}`, files[i]);
    }
  });
  module.FS.chdir('/data');
  if (!music) {
    startOverlay.textContent = `${kMusicFile}: File not found`;
    return;
  }
  startOverlay.textContent = 'click to start';
  startOverlay.addEventListener('click', () => start(music), { once: true });
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
  startOverlay.textContent = `cannot load the show: ${error.message}`;
  console.error(error);
});

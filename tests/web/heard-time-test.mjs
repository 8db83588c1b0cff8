// The page's play time: blocks of 128 frames rendered, less the output latency, in whole
// milliseconds, never below zero and never backwards.
//     node --test heard-time-test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { HeardTime } from '../../src/web/page/heard-time.js';

function after(blocks) {
  const time = new HeardTime();
  for (let i = 0; i < blocks; ++i) {
    time.blockRendered();
  }
  return time;
}

test('blocks rendered count as 128 frames each at the context rate', () => {
  for (const [blocks, rate, ms] of [[0, 48000, 0], [375, 48000, 1000], [1, 48000, 2],
    [3, 44100, 8], [344, 44100, 998], [1125, 48000, 3000]]) {
    assert.equal(after(blocks).read(rate, 0), ms, `${blocks} blocks at ${rate} Hz`);
  }
});

test('the output latency is taken off, and what is not yet heard is zero', () => {
  assert.equal(after(375).read(48000, 0.25), 750);
  assert.equal(after(375).read(48000, 0.0104), 989);
  assert.equal(after(3).read(48000, 0.05), 0);
});

test('a missing or nonsense latency counts as none', () => {
  for (const latency of [undefined, NaN, -1, Infinity]) {
    assert.equal(after(375).read(48000, latency), 1000, String(latency));
  }
});

test('a latency that grows never takes the time back', () => {
  const time = after(375);
  assert.equal(time.read(48000, 0.01), 990);
  assert.equal(time.read(48000, 0.2), 990);
  time.blockRendered();
  assert.equal(time.read(48000, 0.2), 990);
  for (let i = 0; i < 100; ++i) {
    time.blockRendered();
  }
  assert.equal(time.read(48000, 0.2), 1069);
});

// The music's play time as the listener hears it, in whole milliseconds. The audio worklet
// renders blocks of 128 frames and reports each one, so the blocks counted are the samples
// rendered; less the output latency the browser reports, that is what is heard. It never
// goes backwards, though the reported latency may grow while the music plays.
export const kBlockFrames = 128;

export class HeardTime {
  constructor() {
    this.blocks = 0;
    this.heard = 0;
  }

  blockRendered() {
    ++this.blocks;
  }

  read(sampleRate, latencySeconds) {
    const rendered = (this.blocks * kBlockFrames * 1000) / sampleRate;
    const latency = Number.isFinite(latencySeconds) && latencySeconds > 0 ? latencySeconds : 0;
    this.heard = Math.max(this.heard, Math.floor(rendered - latency * 1000));
    return this.heard;
  }
}

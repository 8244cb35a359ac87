// Plays the ring the module's audio thread fills (platform/host/web/audio.h, AudioRing), whose
// words come in this order; the interleaved 16-bit stereo frames lie where the module says.
// Indices count frames and wrap at 2^32.
const kWrite = 0, kPeak = 1, kSkipped = 2, kFlushTo = 3, kFlush = 4, kRead = 5, kMissed = 6, kStarved = 7;
// (Word 8, the silence of a pause, is for the page's account of picture and sound only.)

class VadurerRing extends AudioWorkletProcessor {
  constructor() {
    super();
    this.words = null;
    this.port.onmessage = (e) => {
      const { buffer, words, samples, capacity } = e.data;
      this.words = new Uint32Array(buffer, words, 8);
      this.pcm = new Int16Array(buffer, samples, capacity * 2);
      this.mask = capacity - 1;
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0], right = out[1] || out[0];
    const w = this.words;
    if (!w) {
      left.fill(0);
      right.fill(0);
      return true;
    }
    let read = Atomics.load(w, kRead);
    // The feeder found the output had stood still: what the ring holds was mixed for a time now
    // past. (Only ever forward: a second request may name the same place.)
    if (Atomics.exchange(w, kFlush, 0)) {
      const to = Atomics.load(w, kFlushTo);
      if (((to - read) | 0) > 0) read = to;
    }
    const n = Math.min((Atomics.load(w, kWrite) - read) >>> 0, left.length);
    for (let i = 0; i < n; ++i) {
      const p = ((read + i) & this.mask) * 2;
      left[i] = this.pcm[p] / 32768;
      right[i] = this.pcm[p + 1] / 32768;
    }
    left.fill(0, n);
    right.fill(0, n);
    Atomics.store(w, kRead, (read + n) >>> 0);
    // The silence played for want of sound is owed: the feeder skips as much, so that what is
    // heard stays with the production's clock.
    if (n < left.length) {
      Atomics.add(w, kMissed, left.length - n);
      Atomics.add(w, kStarved, 1);
    }
    return true;
  }
}
registerProcessor('vadurer-ring', VadurerRing);

// Plays the ring the module's audio thread fills (platform/host/web/web.cpp, AudioRing): words
// 0..3 are the write index, the read index, the peak and the count of short quanta; the
// interleaved 16-bit stereo frames follow. Indices count frames and wrap at 2^32.
class VadurerRing extends AudioWorkletProcessor {
  constructor() {
    super();
    this.words = null;
    this.port.onmessage = (e) => {
      const { buffer, ptr, capacity } = e.data;
      this.words = new Uint32Array(buffer, ptr, 4);
      this.pcm = new Int16Array(buffer, ptr + 16, capacity * 2);
      this.mask = capacity - 1;
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0], right = out[1] || out[0];
    left.fill(0);
    right.fill(0);
    if (!this.words) return true;
    const write = Atomics.load(this.words, 0), read = Atomics.load(this.words, 1);
    const queued = (write - read) >>> 0;
    const n = Math.min(queued, left.length);
    for (let i = 0; i < n; ++i) {
      const p = ((read + i) & this.mask) * 2;
      left[i] = this.pcm[p] / 32768;
      right[i] = this.pcm[p + 1] / 32768;
    }
    Atomics.store(this.words, 1, (read + n) >>> 0);
    if (n < left.length) Atomics.add(this.words, 3, 1);
    return true;
  }
}
registerProcessor('vadurer-ring', VadurerRing);

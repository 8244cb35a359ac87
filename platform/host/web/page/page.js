// The page around the production: the start and end screens, the canvas and its scaling, the
// input queue the host polls, the in-page message box, the audio node and the music's unpacking.
// The module (vadurer.js) calls window.VadurerPage from the host (platform/host/web/web.cpp).
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const canvas = $('screen');
  const gc = canvas.getContext('2d', { alpha: false });
  const kScreenW = 640, kScreenH = 480;

  // What a test or a curious visitor can read back (window.vadurerStats()).
  const stats = {
    state: 'loading', error: null, exitCode: null,
    clickAt: 0, firstFrameAt: 0, frames: 0, frameTimes: [], workMs: 0,
    // What handing the page its turn costs the module (ASYNCIFY): from the call to the page's
    // code running (the stack unwound), and from the page's answer to the module running again
    // (the stack rewound).
    waits: 0, unwindMs: 0, rewindMs: 0, lastAnswerAt: 0,
    paused: false, screenshots: [],
  };
  let image = null;
  let display = { on: false, w: kScreenW, h: kScreenH };
  const queue = [];
  let audio = null, node = null, ring = null;

  // The largest whole factor that fits, centred; the largest fit of the same shape where even
  // the image's own size does not.
  function fit() {
    const W = window.innerWidth, H = window.innerHeight, w = canvas.width, h = canvas.height;
    let k = Math.min(Math.floor(W / w), Math.floor(H / h));
    let cw, ch;
    if (k >= 1) { cw = w * k; ch = h * k; } else if (W * h <= H * w) { cw = W; ch = Math.floor(W * h / w); } else { ch = H; cw = Math.floor(H * w / h); }
    canvas.style.width = cw + 'px';
    canvas.style.height = ch + 'px';
    canvas.style.left = Math.floor((W - cw) / 2) + 'px';
    canvas.style.top = Math.floor((H - ch) / 2) + 'px';
    // The pause's mark over the frame's top left corner, at twice the frame's scale.
    const mark = $('paused');
    mark.style.left = Math.floor((W - cw) / 2 + 8 * cw / w) + 'px';
    mark.style.top = Math.floor((H - ch) / 2 + 8 * cw / w) + 'px';
    mark.style.fontSize = Math.max(8, Math.round(14 * cw / w)) + 'px';
  }
  window.addEventListener('resize', fit);
  fit();

  // Input, as the host's events: [type, vk, down, x, y, button] (host::EventType, host::Button).
  const kKey = 0, kMouseMove = 1, kMouseButton = 2, kFocus = 3, kClose = 4, kDisplay = 5;
  const kCodes = {
    Escape: 27, Enter: 13, NumpadEnter: 13, Space: 32, Backspace: 8, Tab: 9, ArrowLeft: 37,
    ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Home: 36, End: 35, PageUp: 33, PageDown: 34,
    Insert: 45, Delete: 46, Pause: 19, CapsLock: 20, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18,
  };
  function virtualKey(code) {
    let m;
    if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
    if ((m = /^Digit([0-9])$/.exec(code))) return 48 + Number(m[1]);
    if ((m = /^F([0-9]+)$/.exec(code)) && Number(m[1]) <= 12) return 111 + Number(m[1]);
    return kCodes[code] || 0;
  }
  const running = () => stats.state === 'running' && $('dialog').hidden;
  function onKey(e) {
    if (!running()) return;
    const vk = virtualKey(e.code);
    if (!vk) return;
    e.preventDefault();
    // The last field: a held key's repeat, which the host's controls (F11, F12, P) let pass.
    queue.push([kKey, vk, e.type === 'keydown' ? 1 : 0, 0, 0, e.repeat ? 1 : 0]);
  }
  window.addEventListener('keydown', onKey);
  window.addEventListener('keyup', onKey);
  function imagePoint(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * canvas.width / r.width),
      Math.floor((e.clientY - r.top) * canvas.height / r.height)];
  }
  canvas.addEventListener('mousemove', (e) => {
    if (running()) queue.push([kMouseMove, 0, 0, ...imagePoint(e), 0]);
  });
  for (const type of ['mousedown', 'mouseup']) {
    canvas.addEventListener(type, (e) => {
      if (!running() || e.button > 2) return;
      const button = [0, 2, 1][e.button];  // the page's middle is 1, the host's is 2
      queue.push([kMouseButton, 0, type === 'mousedown' ? 1 : 0, ...imagePoint(e), button]);
    });
  }
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  window.addEventListener('focus', () => running() && queue.push([kFocus, 0, 1, 0, 0, 0]));
  window.addEventListener('blur', () => running() && queue.push([kFocus, 0, 0, 0, 0, 0]));
  document.addEventListener('visibilitychange', () => {
    if (running() && display.on) queue.push([kDisplay, 0, document.hidden ? 0 : 1, 0, 0, 0]);
  });
  window.addEventListener('pagehide', () => running() && queue.push([kClose, 0, 0, 0, 0, 0]));

  $('fullscreen').addEventListener('click', () => document.documentElement.requestFullscreen().catch(() => {}));

  // The viewer's controls: the host (platform/host/viewer.h) tells a pause, a screenshot (F12: the
  // canvas, which holds the frame shown at 640 × 480 in its own colours) and fullscreen (F11).
  const viewer = {
    paused(on) {
      stats.paused = on;
      $('paused').hidden = !on;
    },
    screenshot() {
      const t = new Date(), two = (n) => String(n).padStart(2, '0');
      const name = `vadurer-${t.getFullYear()}-${two(t.getMonth() + 1)}-${two(t.getDate())}-` +
        `${two(t.getHours())}${two(t.getMinutes())}${two(t.getSeconds())}.png`;
      canvas.toBlob((blob) => {
        if (!blob) return;
        stats.screenshots.push({ name, bytes: blob.size });
        const a = document.createElement('a');
        a.href = URL.createObjectURL(blob);
        a.download = name;
        a.click();
        setTimeout(() => URL.revokeObjectURL(a.href), 10000);
      }, 'image/png');
    },
    fullscreen() {
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      else document.documentElement.requestFullscreen().catch(() => {});
    },
  };

  // The host's side.
  window.VadurerPage = {
    ...viewer,
    present(heap, ptr, w, h) {
      if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w; canvas.height = h; image = null; fit();
      }
      if (!image) image = gc.createImageData(w, h);
      image.data.set(heap.subarray(ptr, ptr + w * h * 4));
      gc.putImageData(image, 0, 0);
    },
    frameEnded(n, workMs, resumedAt) {
      if (stats.lastAnswerAt && resumedAt >= stats.lastAnswerAt) {
        stats.rewindMs += resumedAt - stats.lastAnswerAt;
        ++stats.waits;
      }
      stats.lastAnswerAt = 0;
      const now = performance.now();
      if (n === 1) {
        stats.firstFrameAt = now;
        console.log(`vadurer: first frame ${(now - stats.clickAt).toFixed(0)} ms after the click`);
      }
      stats.frames = n;
      stats.workMs += workMs;
      stats.frameTimes.push(Math.round(now - stats.clickAt));
    },
    // Resolves with the time of the first display refresh due by dueMs (a quarter frame's room
    // for the refreshes' jitter; 0: the next one); a hidden page gets no refreshes, so a timer
    // stands in for them there.
    nextFrame(dueMs, calledAt) {
      stats.unwindMs += performance.now() - calledAt;
      return new Promise((resolve) => {
        let done = false;
        const finish = (t) => { if (!done) { done = true; stats.lastAnswerAt = performance.now(); resolve(t); } };
        const tick = (t) => { if (done) return; if (t >= dueMs - 4) finish(t); else requestAnimationFrame(tick); };
        requestAnimationFrame(tick);
        setTimeout(() => finish(performance.now()), Math.max(0, dueMs - performance.now()) + 100);
      });
    },
    pause(ms) { return new Promise((resolve) => setTimeout(resolve, ms)); },
    poll() { return queue.shift(); },
    display(on, w, h) {
      display = { on, w, h };
      canvas.hidden = false;
    },
    cursor(visible) { canvas.style.cursor = visible ? 'auto' : 'none'; },
    dialog(caption, text, buttons, isError) {
      return new Promise((resolve) => {
        $('dialog-caption').textContent = caption;
        $('dialog-text').textContent = text;
        $('dialog-box').classList.toggle('error', isError);
        const row = $('dialog-buttons');
        row.textContent = '';
        for (const spec of buttons.split('|')) {
          const [label, code] = spec.split(':');
          const b = document.createElement('button');
          b.textContent = label;
          b.addEventListener('click', () => { $('dialog').hidden = true; resolve(Number(code)); });
          row.appendChild(b);
        }
        $('dialog').hidden = false;
        row.firstChild.focus();
      });
    },
    openAudio(buffer, ptr, capacity, rate, channels) {
      if (!audio || audio.sampleRate !== rate || channels !== 2) return false;
      node = new AudioWorkletNode(audio, 'vadurer-ring', { numberOfInputs: 0, outputChannelCount: [2] });
      node.port.postMessage({ buffer, ptr, capacity });
      node.connect(audio.destination);
      ring = new Uint32Array(buffer, ptr, 4);
      return true;
    },
    closeAudio() {
      if (node) node.disconnect();
      node = null;
    },
  };

  window.vadurerStats = () => ({
    state: stats.state, error: stats.error, exitCode: stats.exitCode,
    crossOriginIsolated: window.crossOriginIsolated,
    frames: stats.frames, firstFrameMs: stats.firstFrameAt ? stats.firstFrameAt - stats.clickAt : null,
    frameTimes: stats.frameTimes, workMs: stats.workMs,
    waits: stats.waits, unwindMs: stats.unwindMs, rewindMs: stats.rewindMs,
    audioState: audio ? audio.state : 'none', audioRate: audio ? audio.sampleRate : 0,
    audioWritten: ring ? Atomics.load(ring, 0) : 0, audioRead: ring ? Atomics.load(ring, 1) : 0,
    audioPeak: ring ? Atomics.load(ring, 2) : 0, audioStarved: ring ? Atomics.load(ring, 3) : 0,
    paused: stats.paused, screenshots: stats.screenshots,
  });

  // The music travels compressed (music.json says how) and is restored here into the very WAVE
  // file the production opens, before it starts.
  async function unpackMusic() {
    const desc = await (await fetch('music.json')).json();
    const coded = await (await fetch(desc.coded)).arrayBuffer();
    const decoder = new OfflineAudioContext(2, 1, desc.rate);
    const pcm = await decoder.decodeAudioData(coded);
    const head = Uint8Array.from(atob(desc.head), (c) => c.charCodeAt(0));
    const tail = Uint8Array.from(atob(desc.tail), (c) => c.charCodeAt(0));
    const bytes = new Uint8Array(head.length + desc.frames * 4 + tail.length);
    bytes.set(head, 0);
    const samples = new Int16Array(bytes.buffer, head.length, desc.frames * 2);
    const left = pcm.getChannelData(0), right = pcm.getChannelData(pcm.numberOfChannels > 1 ? 1 : 0);
    const n = Math.min(desc.frames, pcm.length);  // a coded stream may end a few frames short
    const q = (v) => Math.max(-32768, Math.min(32767, Math.round(v * 32768)));
    for (let i = 0; i < n; ++i) { samples[2 * i] = q(left[i]); samples[2 * i + 1] = q(right[i]); }
    bytes.set(tail, head.length + desc.frames * 4);
    return { name: desc.name, bytes };
  }

  function fail(what) {
    stats.state = 'failed';
    stats.error = String(what);
    console.error('vadurer: ' + what);
    $('cover').hidden = true;
    $('end-text').textContent = 'The production stopped: ' + what;
    $('end').hidden = false;
  }

  function ended(code) {
    if (stats.state !== 'running') return;
    stats.state = 'ended';
    stats.exitCode = code;
    console.log(`vadurer: ended with ${code} after ${stats.frames} frames`);
    if (audio) audio.close();
    $('end-text').textContent = 'The end.';
    $('end').hidden = false;
  }

  // exit() ends the runtime by throwing ExitStatus up through whatever runs the module; at the
  // end of a run that is the promise that resumed it after its last frame. It is the normal end,
  // reported through onExit, not a fault.
  window.addEventListener('unhandledrejection', (e) => {
    if (e.reason && e.reason.name === 'ExitStatus') e.preventDefault();
  });

  let started = false;
  async function start(byGesture) {
    if (started) return;
    started = true;
    $('cover').hidden = true;
    stats.clickAt = performance.now();
    try {
      // The mixer's own rate: the production's sounds are copied straight, never converted.
      audio = new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
      await audio.audioWorklet.addModule('audio-worklet.js');
      // Without a gesture (played again after the reload) the browser may keep the sound off:
      // then the visitor is asked for the click after all.
      const resumed = audio.resume();
      if (!byGesture) await Promise.race([resumed, new Promise((r) => setTimeout(r, 500))]);
      else await resumed;
      if (audio.state !== 'running') {
        audio.close();
        audio = null;
        started = false;
        $('cover').hidden = false;
        return;
      }
      stats.state = 'running';
      window.Module.callMain([]);
    } catch (e) {
      if (e && e.name === 'ExitStatus') return;  // the run ended during its first step
      fail(e && e.message ? e.message : e);
    }
  }

  window.Module = {
    canvas,
    print: (line) => console.log(line),
    printErr: (line) => console.warn(line),
    preRun: [() => {
      const M = window.Module;
      M.addRunDependency('music');
      unpackMusic().then(({ name, bytes }) => {
        M.FS.writeFile('/' + name, bytes);
        M.removeRunDependency('music');
      }, (e) => fail('the music could not be unpacked: ' + e));
    }],
    onRuntimeInitialized() {
      stats.state = 'ready';
      $('cover-text').textContent = 'Stop The Vadurer';
      $('start').hidden = false;
      if (sessionStorage.getItem('vadurer-again')) {
        sessionStorage.removeItem('vadurer-again');
        start(false);
      }
    },
    onExit: (code) => ended(code),
    onAbort: (what) => fail(what),
  };
  $('cover').addEventListener('click', () => stats.state === 'ready' && start(true));
  $('again').addEventListener('click', () => {
    sessionStorage.setItem('vadurer-again', '1');
    location.reload();
  });

  const script = document.createElement('script');
  script.src = 'vadurer.js';
  script.onerror = () => fail('vadurer.js did not load');
  document.body.appendChild(script);
})();

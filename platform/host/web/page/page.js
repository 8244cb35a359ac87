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
    clickAt: 0, firstFrameAt: 0, frames: 0, workMs: 0,
    handedAt: [],  // the refresh that took each frame
    // What handing the page its turn costs the module (ASYNCIFY): from the call to the page's
    // code running (the stack unwound), and from the page's answer to the module running again
    // (the stack rewound).
    waits: 0, unwindMs: 0, rewindMs: 0, lastAnswerAt: 0,
    paused: false, screenshots: [],
  };
  let image = null;
  let display = { on: false, w: kScreenW, h: kScreenH };
  const queue = [];
  let audio = null, node = null;
  let ring = null, audioClock = 0;  // the feeder's words (audio-worklet.js), the clock as the sound began

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

  // The keyboard, in one place. The page's own keys (pressed alone, without Alt, Control, Shift or
  // Meta) act here and never reach the production, in every state but the message box; every other
  // key goes to the production while it runs, as its virtual key.
  const kPageKeys = {
    KeyF: toggleFullscreen,
  };
  function onKey(e) {
    const own = kPageKeys[e.code];
    if (own && !(e.altKey || e.ctrlKey || e.shiftKey || e.metaKey) && $('dialog').hidden) {
      e.preventDefault();
      if (e.type === 'keydown' && !e.repeat) own();
      return;
    }
    if (!running()) return;
    const vk = virtualKey(e.code);
    if (!vk) return;
    e.preventDefault();
    // The last field: a held key's repeat, which the host's controls (F11, F12, P) let pass.
    queue.push([kKey, vk, e.type === 'keydown' ? 1 : 0, 0, 0, e.repeat ? 1 : 0]);
  }
  window.addEventListener('keydown', onKey);
  window.addEventListener('keyup', onKey);

  // Fullscreen (the button, or F): the whole page over the whole screen, the canvas at the largest
  // whole factor with black around it (fit, on the resize). Escape stays the production's key
  // there: while the production runs in fullscreen the page asks the browser to hand it Escape
  // (Keyboard Lock), so that one press ends the run as it does on Windows, and the browser's own
  // way out becomes holding Escape down (or F). A browser without Keyboard Lock keeps its first
  // Escape for leaving fullscreen; the next one ends the run.
  function toggleFullscreen() {
    if (!document.fullscreenEnabled) return;  // a phone's browser, or a frame not allowed it
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
      return;
    }
    document.documentElement.requestFullscreen({ navigationUI: 'hide' }).then(keepEscape, () => {});
  }
  function keepEscape() {
    const keyboard = navigator.keyboard;
    if (!keyboard || !keyboard.lock) return;
    if (document.fullscreenElement && stats.state === 'running') keyboard.lock(['Escape']).catch(() => {});
    else keyboard.unlock();
  }
  document.addEventListener('fullscreenchange', keepEscape);
  $('fullscreen').hidden = !document.fullscreenEnabled;
  $('fullscreen').addEventListener('click', (e) => {
    e.currentTarget.blur();  // or the production's Enter and Space would press it again
    toggleFullscreen();
  });
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
    pacing.last = 0;  // no refreshes came while hidden
    // A browser may stop a hidden page's sound. The production goes on by its clock meanwhile,
    // and so does the mix (audio.h): the sound resumes where the picture is.
    if (!document.hidden && audio && audio.state === 'suspended' && stats.state === 'running')
      audio.resume().catch(() => {});
  });
  window.addEventListener('pagehide', () => running() && queue.push([kClose, 0, 0, 0, 0, 0]));

  // The display's refreshes. While the production runs the page watches every one: their
  // interval, measured, says how many refreshes a frame lasts, and a finished frame is handed to
  // the browser in the callback of the refresh it is due at, so that frames follow the display's
  // own clock rather than a timer that drifts against it. A hidden page gets no refreshes: a
  // timer stands in for them there (and nothing is drawn).
  const kFrameMs = 1000 / 60;
  const pacing = {
    watching: false, last: 0, intervals: [], interval: kFrameMs,
    due: 0,         // when the next frame is due, on the refreshes' clock (0: at the next one)
    waiter: null,   // the module's wait for its turn: { resolve, frame, timer }
    pending: false, // an image the browser has not been handed yet
    pendingClock: 0, shownClock: 0,
  };
  // The median of the last second's intervals: a refresh missed now and then (the page busy)
  // does not move it.
  function measureRefresh(t) {
    if (pacing.last) {
      pacing.intervals.push(t - pacing.last);
      if (pacing.intervals.length > 60) pacing.intervals.shift();
      const sorted = [...pacing.intervals].sort((a, b) => a - b);
      if (sorted.length >= 8) pacing.interval = sorted[sorted.length >> 1];
    }
    pacing.last = t;
  }
  // Whether a frame is due at the refresh at t. A display at 60 Hz or a whole multiple of it
  // (59.94, 120, 240) shows a frame every so many of its refreshes, counted from the last frame's,
  // so that the two clocks never drift apart; any other rate gets 60 a second on an absolute
  // schedule, started again from the refresh after a stall rather than caught up in a burst.
  function frameDue(t) {
    const r = pacing.interval, k = Math.round(kFrameMs / r);
    if (pacing.due === 0 || t - pacing.due > 2 * kFrameMs) pacing.due = t;
    if (t < pacing.due - r / 2) return false;
    pacing.due = k >= 1 && Math.abs(k * r - kFrameMs) <= 0.02 * kFrameMs ? t + k * r : pacing.due + kFrameMs;
    return true;
  }
  // Draws what the module made last (a hidden page keeps it for when it shows again).
  function draw() {
    if (!pacing.pending || document.hidden) return;
    gc.putImageData(image, 0, 0);
    pacing.pending = false;
    pacing.shownClock = pacing.pendingClock;
  }
  function hand(t) {
    draw();
    const w = pacing.waiter;
    pacing.waiter = null;
    clearTimeout(w.timer);
    stats.lastAnswerAt = performance.now();
    if (w.frame && stats.handedAt.push(t) === 1) {
      stats.firstFrameAt = performance.now();
      console.log(`vadurer: first frame ${(stats.firstFrameAt - stats.clickAt).toFixed(0)} ms after the click`);
    }
    w.resolve(t);
  }
  function onRefresh(t) {
    if (pacing.watching) {
      requestAnimationFrame(onRefresh);
      measureRefresh(t);
    }
    if (pacing.waiter) {
      if (!pacing.waiter.frame || frameDue(t)) hand(t);
    } else {
      // An image replaced outside a frame's end (a palette change, a picture held on the
      // screen) shows at the next refresh.
      draw();
    }
  }
  function watchRefreshes(on) {
    if (on === pacing.watching) return;
    pacing.watching = on;
    pacing.last = 0;
    pacing.due = 0;
    if (on) requestAnimationFrame(onRefresh);
  }

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
    fullscreen: toggleFullscreen,
  };

  // The host's side.
  window.VadurerPage = {
    ...viewer,
    // The image the next refresh shows (copied now: the module's buffer changes on).
    present(heap, ptr, w, h, clockMs) {
      if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w; canvas.height = h; image = null; fit();
      }
      if (!image) image = gc.createImageData(w, h);
      image.data.set(heap.subarray(ptr, ptr + w * h * 4));
      pacing.pending = true;
      pacing.pendingClock = clockMs;
      if (!pacing.watching) onRefresh(performance.now());
    },
    frameEnded(n, workMs, resumedAt) {
      if (stats.lastAnswerAt && resumedAt >= stats.lastAnswerAt) {
        stats.rewindMs += resumedAt - stats.lastAnswerAt;
        ++stats.waits;
      }
      stats.lastAnswerAt = 0;
      stats.frames = n;
      stats.workMs += workMs;
    },
    // Resolves once the frame just ended (frame: 1) has been handed to the browser, with the time
    // of the refresh that took it; for a look at the input that gives the page its turn (frame:
    // 0), at the next refresh. Where no refresh comes (a hidden page, a browser that holds them
    // back), a timer hands it a little after it was due.
    nextFrame(frame, calledAt) {
      stats.unwindMs += performance.now() - calledAt;
      return new Promise((resolve) => {
        const late = document.hidden ? kFrameMs : Math.max(0, pacing.due - performance.now()) + 100;
        pacing.waiter = { resolve, frame, timer: setTimeout(() => pacing.waiter && hand(performance.now()), late) };
        if (!pacing.watching) requestAnimationFrame(onRefresh);
      });
    },
    pause(ms) { return new Promise((resolve) => setTimeout(resolve, ms)); },
    poll() { return queue.shift(); },
    display(on, w, h) {
      display = { on, w, h };
      canvas.hidden = false;
      watchRefreshes(on);
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
    openAudio(buffer, words, samples, capacity, rate, channels, clockMs) {
      if (!audio || audio.sampleRate !== rate || channels !== 2) return false;
      node = new AudioWorkletNode(audio, 'vadurer-ring', { numberOfInputs: 0, outputChannelCount: [2] });
      node.port.postMessage({ buffer, words, samples, capacity });
      node.connect(audio.destination);
      ring = new Uint32Array(buffer, words, 9);
      audioClock = clockMs;
      return true;
    },
    closeAudio() {
      if (node) node.disconnect();
      node = null;
    },
  };

  // The sound as the feeder's words tell it, and how far the picture shown and the sound heard lie
  // apart: the production's clock when the frame on the screen was made, and the frames the output
  // has played (as sound, as silence owed or skipped past, but not the silence of a pause) less
  // what still lies between it and the speakers, both counted from the sound's start.
  function soundStats() {
    if (!ring) return { audioWritten: 0, audioRead: 0, audioPeak: 0, audioStarved: 0 };
    const w = (i) => Atomics.load(ring, i);
    const played = (w(5) + w(6) + w(2) - w(8)) >>> 0, latency = audio.baseLatency + (audio.outputLatency || 0);
    const soundMs = played * 1000 / audio.sampleRate - 1000 * latency, pictureMs = pacing.shownClock - audioClock;
    return {
      audioWritten: w(0), audioRead: w(5), audioPeak: w(1), audioStarved: w(7), audioMissed: w(6),
      audioSkipped: w(2), audioHeld: w(8), soundMs, pictureMs, pictureLeadsMs: pictureMs - soundMs,
    };
  }

  window.vadurerStats = () => ({
    state: stats.state, error: stats.error, exitCode: stats.exitCode,
    crossOriginIsolated: window.crossOriginIsolated,
    frames: stats.frames, firstFrameMs: stats.firstFrameAt ? stats.firstFrameAt - stats.clickAt : null,
    handedAt: stats.handedAt.map((t) => t - stats.clickAt), workMs: stats.workMs,
    waits: stats.waits, unwindMs: stats.unwindMs, rewindMs: stats.rewindMs,
    audioState: audio ? audio.state : 'none', audioRate: audio ? audio.sampleRate : 0,
    ...soundStats(),
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
    watchRefreshes(false);
    keepEscape();
    console.error('vadurer: ' + what);
    $('cover').hidden = true;
    $('end-text').textContent = 'The production stopped: ' + what;
    $('end').hidden = false;
  }

  function ended(code) {
    if (stats.state !== 'running') return;
    stats.state = 'ended';
    stats.exitCode = code;
    watchRefreshes(false);
    keepEscape();
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
      keepEscape();
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

  // The module's threads need shared memory, which the browser gives only to a cross-origin
  // isolated page, one whose answers carry two headers. A host that sends them (make serve) isolates
  // the page at once. On any other the page's own service worker (isolation-worker.js) adds them,
  // and the page loads once more under it, before the module and its data are fetched. It never
  // loads itself twice in a row: where the page is still not isolated after that, or cannot run the
  // worker at all, it says what the host must do instead.
  const kReloadedToIsolate = 'vadurer-reloaded-to-isolate';
  const kHeaders = 'Cross-Origin-Opener-Policy: same-origin and Cross-Origin-Embedder-Policy: require-corp';
  const kFromFiles = 'This page cannot run from files on the disk: its threads need it served over the web. ' +
    'Run make serve to serve it on this machine (at http://127.0.0.1:8015/), or put the folder on any static host.';
  const kNeedsHttps = 'This page needs cross-origin isolation for its threads, and over plain http from this ' +
    'address it cannot give it to itself. Serve it over https (it then isolates itself), or have the server ' +
    `send ${kHeaders} with every file, as make serve does.`;
  const kNeedsHeaders = 'This page needs cross-origin isolation for its threads, and its own service worker ' +
    `could not give it here. Have the server send ${kHeaders} with every file, as make serve does.`;
  function refuse(text) {
    stats.state = 'unisolated';
    stats.error = text;
    console.warn('vadurer: ' + text);
    $('cover-text').textContent = text;
    return false;
  }
  async function isolate() {
    if (window.crossOriginIsolated) {
      sessionStorage.removeItem(kReloadedToIsolate);
      return true;
    }
    if (location.protocol === 'file:') return refuse(kFromFiles);
    // Service workers run only in secure contexts: https, or this machine's own addresses.
    if (!window.isSecureContext || !navigator.serviceWorker) return refuse(kNeedsHttps);
    if (sessionStorage.getItem(kReloadedToIsolate)) {
      sessionStorage.removeItem(kReloadedToIsolate);
      return refuse(kNeedsHeaders);
    }
    try {
      await navigator.serviceWorker.register('isolation-worker.js');
      await navigator.serviceWorker.ready;
    } catch (e) {
      return refuse(`${kNeedsHeaders} (${e && e.message ? e.message : e})`);
    }
    sessionStorage.setItem(kReloadedToIsolate, '1');
    location.reload();
    return false;
  }

  isolate().then((ok) => {
    if (!ok) return;
    const script = document.createElement('script');
    script.src = 'vadurer.js';
    script.onerror = () => fail('vadurer.js did not load');
    document.body.appendChild(script);
  });
})();

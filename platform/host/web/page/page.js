// The page around the production: the start and end screens, the picture and its scaling, the
// page's own controls, the input queue the host polls, the in-page message box, the audio node,
// the loading of the release and the sounds' unpacking. The module (vadurer.js) calls
// window.VadurerPage from the host (platform/host/web/web.cpp).
'use strict';

(() => {
  const kRelease = null; // the release (scripts/web-release.mjs)
  const $ = (id) => document.getElementById(id);
  // The production's frames land in #screen, 640 × 480, in their own colours (what F12 saves). Where
  // the picture shows at a whole number of screen pixels per pixel, #screen itself is shown,
  // scaled by the browser without smoothing; elsewhere #view shows it, #screen drawn into it at the
  // largest whole factor below the size and smoothed by the browser from there, so that each pixel
  // stays a crisp block with at most a soft edge.
  const canvas = $('screen');
  const gc = canvas.getContext('2d', { alpha: false });
  const view = $('view');
  const vc = view.getContext('2d', { alpha: false });
  const kScreenW = 640, kScreenH = 480;
  const touchScreen = matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0;

  // What a test or a curious visitor can read back (window.vadurerStats()).
  const stats = {
    state: 'loading', error: null, exitCode: null,
    sound: 'none', soundMissing: false,  // 'playing' once the output runs, 'missing' where it never started
    clickAt: 0, firstFrameAt: 0, soundAt: 0, frames: 0, workMs: 0,
    handedAt: [],  // the refresh that took each frame
    // What handing the page its turn costs the module (ASYNCIFY): from the call to the page's
    // code running (the stack unwound), and from the page's answer to the module running again
    // (the stack rewound).
    waits: 0, unwindMs: 0, rewindMs: 0, lastAnswerAt: 0,
    paused: false, screenshots: [], layout: null,
    marks: [],  // [what, milliseconds since the navigation] as the page loads
  };
  const mark = (what) => stats.marks.push([what, Math.round(performance.now())]);
  mark('page.js');
  let image = null;
  let display = { on: false, w: kScreenW, h: kScreenH };
  const queue = [];

  // ---- The picture's place -------------------------------------------------------------------

  // The picture as large as the window allows in its own shape, centred on black; the page's
  // controls beside it (a wide window) or below it (a tall one), never over it, and none in
  // fullscreen: in the margin where there is room, else the picture a little smaller for them.
  // Sizes in the screen's own pixels, so that a whole factor is whole on a dense screen too.
  const layoutState = { twoStep: false, k: 1 };
  const kGap = 8;
  function layout() {
    const dpr = window.devicePixelRatio || 1;
    const W = document.documentElement.clientWidth, H = document.documentElement.clientHeight;
    const w = canvas.width, h = canvas.height;
    const controls = $('controls');
    controls.hidden = !!document.fullscreenElement || stats.state === 'loading' ||
      ![...controls.children].some((b) => !b.hidden);
    // Their room: a column beside the picture, a row below it.
    const room = (beside) => {
      controls.classList.toggle('beside', beside);
      return beside ? controls.offsetWidth + 2 * kGap : controls.offsetHeight + 2 * kGap;
    };
    const bw = controls.hidden ? 0 : room(true), bh = controls.hidden ? 0 : room(false);
    const fitIn = (aw, ah) => {
      const scale = Math.min(aw * dpr / w, ah * dpr / h);  // screen pixels per pixel
      return { cw: Math.floor(w * scale) / dpr, ch: Math.floor(h * scale) / dpr };
    };
    let { cw, ch } = fitIn(W, H);
    let side = 'below';
    if (bw && (H - ch) / 2 < bh && (W - cw) / 2 < bw) {
      // No margin holds them: the picture gives up the room, where it loses the least.
      const below = fitIn(W, H - bh), beside = fitIn(W - bw, H);
      ({ cw, ch } = below.cw >= beside.cw ? below : beside);
      side = below.cw >= beside.cw ? 'below' : 'beside';
    } else if (bw && (H - ch) / 2 < bh) {
      side = 'beside';
    }
    // Centred in what is left beside or below the controls where they took room, else in the window.
    const x = Math.floor(side === 'beside' && W - cw < 2 * bw ? (W - bw - cw) / 2 : (W - cw) / 2);
    const y = Math.floor(side === 'below' && H - ch < 2 * bh ? (H - bh - ch) / 2 : (H - ch) / 2);
    const k = Math.floor(cw * dpr / w + 1e-6);
    const whole = k >= 1 && Math.abs(cw * dpr - w * k) < 0.5;
    layoutState.twoStep = !whole;
    layoutState.k = Math.max(1, k);
    canvas.hidden = !whole;
    view.hidden = whole;
    if (!whole && (view.width !== w * layoutState.k || view.height !== h * layoutState.k)) {
      view.width = w * layoutState.k;
      view.height = h * layoutState.k;
    }
    for (const c of [canvas, view]) {
      c.style.width = cw + 'px';
      c.style.height = ch + 'px';
      c.style.left = x + 'px';
      c.style.top = y + 'px';
    }
    if (!whole) copyToView();
    if (!controls.hidden) {
      controls.classList.toggle('beside', side === 'beside');
      controls.style.left = (side === 'beside' ? x + cw + kGap : Math.floor((W - controls.offsetWidth) / 2)) + 'px';
      controls.style.top = (side === 'beside' ? Math.floor((H - controls.offsetHeight) / 2) : y + ch + kGap) + 'px';
    }
    // The pause's mark and the notices over the frame's top left corner, at the frame's scale.
    const scale = cw / w;
    for (const [id, row] of [['paused', 0], ['notice', 1]]) {
      const e = $(id);
      e.style.left = Math.floor(x + 8 * scale) + 'px';
      e.style.top = Math.floor(y + 8 * scale + row * 24 * Math.max(0.6, scale)) + 'px';
      e.style.fontSize = Math.max(10, Math.round(14 * scale)) + 'px';
      e.style.maxWidth = Math.floor(cw - 16 * scale) + 'px';
    }
    const r = controls.hidden ? null : controls.getBoundingClientRect();
    stats.layout = { W, H, dpr, x, y, w: cw, h: ch, side, whole, k: layoutState.k, shown: whole ? 'screen' : 'view',
      controls: r && { x: r.left, y: r.top, w: r.width, h: r.height } };
  }
  function copyToView() {
    vc.imageSmoothingEnabled = false;
    vc.drawImage(canvas, 0, 0, view.width, view.height);
  }
  window.addEventListener('resize', layout);
  if (window.visualViewport) window.visualViewport.addEventListener('resize', layout);
  window.addEventListener('orientationchange', layout);
  // A screen of another density (the window moved to another monitor, the page zoomed).
  function watchDensity() {
    const m = matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`);
    m.addEventListener('change', () => { layout(); watchDensity(); }, { once: true });
  }
  watchDensity();

  // One line over the frame for a while: the F12's result, the sound that did not start.
  let noticeTimer = 0;
  function notice(text, ms) {
    const e = $('notice');
    e.textContent = text;
    e.hidden = !text;
    clearTimeout(noticeTimer);
    if (text && ms) noticeTimer = setTimeout(() => { e.hidden = true; }, ms);
  }

  // ---- Input -----------------------------------------------------------------------------------

  // As the host's events: [type, vk, down, x, y, button] (host::EventType, host::Button).
  const kKey = 0, kMouseMove = 1, kMouseButton = 2, kFocus = 3, kClose = 4, kDisplay = 5;
  const kCodes = {
    Escape: 27, Enter: 13, NumpadEnter: 13, Space: 32, Backspace: 8, Tab: 9, ArrowLeft: 37,
    ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Home: 36, End: 35, PageUp: 33, PageDown: 34,
    Insert: 45, Delete: 46, Pause: 19, CapsLock: 20, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18,
  };
  const kEscape = 27;
  function virtualKey(code) {
    let m;
    if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
    if ((m = /^Digit([0-9])$/.exec(code))) return 48 + Number(m[1]);
    if ((m = /^F([0-9]+)$/.exec(code)) && Number(m[1]) <= 12) return 111 + Number(m[1]);
    return kCodes[code] || 0;
  }
  const dialogShown = () => !$('dialog').hidden;
  const running = () => stats.state === 'running' && !dialogShown();

  // The keyboard, in one place. The page's own keys (pressed alone, without Alt, Control, Shift or
  // Meta) act here and never reach the production, in every state but the message box, which
  // takes Return and Escape for its buttons; every other key goes to the production while it
  // runs, as its virtual key.
  const kPageKeys = {
    KeyF: toggleFullscreen,
  };
  function onKey(e) {
    if (dialogShown()) {
      dialogKey(e);
      return;
    }
    const own = kPageKeys[e.code];
    if (own && !(e.altKey || e.ctrlKey || e.shiftKey || e.metaKey)) {
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

  // The mouse reaches the production as its mouse, a left click on the picture ending the run as
  // it does on Windows. A touch is not a mouse: a finger resting on a phone's screen, or tapping it
  // to see the page's controls, would otherwise end the run by accident; on a touch screen the
  // stop button ends it instead (the production's Escape).
  function imagePoint(e) {
    const r = e.currentTarget.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * kScreenW / r.width), Math.floor((e.clientY - r.top) * kScreenH / r.height)];
  }
  for (const c of [canvas, view]) {
    c.addEventListener('pointermove', (e) => {
      if (running() && e.pointerType === 'mouse') queue.push([kMouseMove, 0, 0, ...imagePoint(e), 0]);
    });
    for (const type of ['pointerdown', 'pointerup']) {
      c.addEventListener(type, (e) => {
        if (!running() || e.pointerType !== 'mouse' || e.button > 2) return;
        const button = [0, 2, 1][e.button];  // the page's middle is 1, the host's is 2
        queue.push([kMouseButton, 0, type === 'pointerdown' ? 1 : 0, ...imagePoint(e), button]);
      });
    }
    c.addEventListener('contextmenu', (e) => e.preventDefault());
  }
  $('stop').hidden = !touchScreen;
  $('stop').addEventListener('click', (e) => {
    e.currentTarget.blur();
    if (running()) queue.push([kKey, kEscape, 1, 0, 0, 0], [kKey, kEscape, 0, 0, 0, 0]);
  });
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

  // ---- Fullscreen ------------------------------------------------------------------------------

  // Fullscreen (the button, or F): the whole page over the whole screen, the picture as large as
  // it fits, a phone turned to landscape where the browser lets the page ask. Escape stays the
  // production's key there: while the production runs in fullscreen the page asks the browser to
  // hand it Escape (Keyboard Lock), so that one press ends the run as it does on Windows, and the
  // browser's own way out becomes holding Escape down (or F). A browser without Keyboard Lock
  // keeps its first Escape for leaving fullscreen; the next one ends the run.
  function toggleFullscreen() {
    if (!document.fullscreenEnabled) return;  // an iPhone's browser, or a frame not allowed it
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
      return;
    }
    document.documentElement.requestFullscreen({ navigationUI: 'hide' }).then(() => {
      keepEscape();
      const o = screen.orientation;
      if (touchScreen && o && o.lock) o.lock('landscape').catch(() => {});
    }, (e) => console.warn('vadurer: no fullscreen: ' + describe(e)));
  }
  function keepEscape() {
    const keyboard = navigator.keyboard;
    if (!keyboard || !keyboard.lock) return;
    if (document.fullscreenElement && stats.state === 'running') keyboard.lock(['Escape']).catch(() => {});
    else keyboard.unlock();
  }
  document.addEventListener('fullscreenchange', () => {
    keepEscape();
    layout();
  });
  $('fullscreen').hidden = !document.fullscreenEnabled;
  $('fullscreen').addEventListener('click', (e) => {
    e.currentTarget.blur();  // or the production's Enter and Space would press it again
    toggleFullscreen();
  });

  // ---- The display's refreshes -----------------------------------------------------------------

  // While the production runs the page watches every refresh: their interval, measured, says how
  // many refreshes a frame lasts, and a finished frame is handed to the browser in the callback of
  // the refresh it is due at, so that frames follow the display's own clock rather than a timer
  // that drifts against it. A hidden page gets no refreshes: a timer stands in for them there (and
  // nothing is drawn).
  const kFrameMs = 1000 / 60;
  const pacing = {
    watching: false, last: 0, intervals: [], interval: kFrameMs,
    due: 0,         // when the next frame is due, on the refreshes' clock (0: at the next one)
    waiter: null,   // the module's wait for its turn: { wake, frame, timer }
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
    if (layoutState.twoStep) copyToView();
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
    w.wake();
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

  // ---- The viewer's controls -------------------------------------------------------------------

  // The host (platform/host/viewer.h) tells a pause, a screenshot (F12: the frame shown at 640 × 480
  // in its own colours) and fullscreen (F11).
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
        if (!blob) {
          notice('no screenshot: the browser could not make the picture', 2000);
          return;
        }
        stats.screenshots.push({ name, bytes: blob.size });
        const a = document.createElement('a');
        a.href = URL.createObjectURL(blob);
        a.download = name;
        a.click();
        setTimeout(() => URL.revokeObjectURL(a.href), 10000);
        notice(`saved to ${name}`, 2000);
      }, 'image/png');
    },
    fullscreen: toggleFullscreen,
  };

  // ---- The host's side -------------------------------------------------------------------------

  // The module waits for the page (a refresh, a timer, the message box) with its stack unwound
  // (ASYNCIFY), and goes on when woken. The run's end comes out of that as the runtime's ExitStatus,
  // thrown up through whatever woke it: the normal end, reported through onExit, not a fault.
  function waker(wakeUp) {
    return (value) => {
      try {
        wakeUp(value);
      } catch (e) {
        if (!(e && e.name === 'ExitStatus')) fail(describe(e));
      }
    };
  }
  window.VadurerPage = {
    ...viewer,
    // The image the next refresh shows (copied now: the module's buffer changes on).
    present(heap, ptr, w, h, clockMs) {
      if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w; canvas.height = h; image = null; layout();
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
    // Wakes the module once the frame just ended (frame: 1) has been handed to the browser; for a
    // look at the input that gives the page its turn (frame: 0), at the next refresh. Where no
    // refresh comes (a hidden page, a browser that holds them back), a timer hands it a little
    // after it was due.
    nextFrame(frame, calledAt, wakeUp) {
      stats.unwindMs += performance.now() - calledAt;
      const late = document.hidden ? kFrameMs : Math.max(0, pacing.due - performance.now()) + 100;
      pacing.waiter = { wake: waker(wakeUp), frame, timer: setTimeout(() => pacing.waiter && hand(performance.now()), late) };
      if (!pacing.watching) requestAnimationFrame(onRefresh);
    },
    pause(ms, wakeUp) { setTimeout(waker(wakeUp), ms); },
    poll() { return queue.shift(); },
    display(on, w, h) {
      display = { on, w, h };
      watchRefreshes(on);
    },
    cursor(visible) { for (const c of [canvas, view]) c.style.cursor = visible ? 'auto' : 'none'; },
    // buttons: "label:answer[:default][:cancel]|…". Return chooses the default button, Escape the
    // cancel one (the button that stops).
    dialog(caption, text, buttons, isError, wakeUp) {
      const wake = waker(wakeUp);
      $('dialog-caption').textContent = caption;
      $('dialog-text').textContent = text;
      $('dialog-box').classList.toggle('error', isError);
      const row = $('dialog-buttons');
      row.textContent = '';
      dialogAnswers = {};
      for (const spec of buttons.split('|')) {
        const [label, code, ...marks] = spec.split(':');
        const b = document.createElement('button');
        b.textContent = label;
        b.addEventListener('click', () => {
          $('dialog').hidden = true;
          dialogAnswers = null;
          layout();
          wake(Number(code));
        });
        row.appendChild(b);
        for (const m of marks) dialogAnswers[m] = b;
      }
      $('dialog').hidden = false;
      (dialogAnswers.default || row.firstChild).focus();
    },
    openAudio(buffer, words, samples, capacity, rate, channels, clockMs) {
      if (!audio || audio.sampleRate !== rate || channels !== 2) return false;
      ring = { buffer, words, samples, capacity, view: new Uint32Array(buffer, words, 9) };
      audioClock = clockMs;
      connectAudio();
      return true;
    },
    closeAudio() {
      if (node) node.disconnect();
      node = null;
      if (ring) ring.closed = true;  // its words stay readable for the run's account
    },
  };
  let dialogAnswers = null;
  function dialogKey(e) {
    const answer = { Enter: 'default', NumpadEnter: 'default', Escape: 'cancel' }[e.code];
    if (!answer || !dialogAnswers || !dialogAnswers[answer]) return;
    e.preventDefault();
    if (e.type === 'keydown' && !e.repeat) dialogAnswers[answer].click();
  }

  // ---- The sound -------------------------------------------------------------------------------

  // The audio context is made, and its worklet loaded, while the page loads, so that the click
  // only has to start it. Some browsers take a second or two to start their output after that;
  // the production does not wait for it: the host's feeder mixes up to the production's clock
  // once the output runs (audio.h), so that the sound joins the picture in step. Where the output
  // has not started a few seconds after the click (no sound device), the production plays on
  // without it and says so.
  let audio = null, node = null, worklet = null;
  let ring = null, audioClock = 0;  // the feeder's words (audio-worklet.js), the clock as the sound began
  const kSoundWaitMs = 4000;
  function prepareAudio() {
    try {
      // The mixer's own rate: the production's sounds are copied straight, never converted.
      audio = new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
      worklet = audio.audioWorklet.addModule('audio-worklet.js').then(() => true, (e) => {
        console.warn('vadurer: the sound\'s worklet did not load: ' + describe(e));
        return false;
      });
      audio.addEventListener('statechange', soundStarted);
    } catch (e) {
      console.warn('vadurer: no sound: ' + describe(e));
      audio = null;
    }
  }
  function connectAudio() {
    if (!audio || !worklet) return;
    worklet.then((ok) => {
      if (!ok || !ring || ring.closed || node) return;
      node = new AudioWorkletNode(audio, 'vadurer-ring', { numberOfInputs: 0, outputChannelCount: [2] });
      node.port.postMessage({ buffer: ring.buffer, words: ring.words, samples: ring.samples, capacity: ring.capacity });
      node.connect(audio.destination);
    });
  }
  function soundStarted() {
    if (!audio || audio.state !== 'running' || stats.state !== 'running' || stats.soundAt) return;
    stats.soundAt = performance.now();
    stats.sound = 'playing';
    console.log(`vadurer: the sound started ${(stats.soundAt - stats.clickAt).toFixed(0)} ms after the click`);
    if (stats.soundMissing) notice('', 0);
  }
  function checkSound() {
    soundStarted();
    if (stats.soundAt || stats.state !== 'running') return;
    stats.sound = 'missing';
    stats.soundMissing = true;
    const why = !audio ? 'this browser has no Web Audio' : 'the browser\'s sound output did not start (no sound device?)';
    console.warn(`vadurer: playing without sound: ${why}`);
    notice(`Playing without sound: ${why}.`, 0);
  }

  // The output's latency is asked only by a caller that wants it (make bench, in Chromium), and
  // then once, a second after the sound started: Firefox answers outputLatency under a lock its
  // audio thread takes too, and a page that asked it, on a busy machine or again and again while
  // the output started, was seen to stop there for good (its main thread waiting inside the
  // question).
  let outputLatency = null;

  // The sound as the feeder's words tell it, and how far the picture shown and the sound heard lie
  // apart: the production's clock when the frame on the screen was made, and the frames the output
  // has played (as sound, as silence owed or skipped past, but not the silence of a pause) less
  // what still lies between it and the speakers, both counted from the sound's start.
  function soundStats(withLatency) {
    if (!ring) return { audioWritten: 0, audioRead: 0, audioPeak: 0, audioStarved: 0, audioMissed: 0, audioSkipped: 0 };
    const w = (i) => Atomics.load(ring.view, i);
    if (withLatency && outputLatency === null && stats.soundAt && performance.now() - stats.soundAt > 1000) {
      outputLatency = audio.outputLatency || 0;
    }
    const played = (w(5) + w(6) + w(2) - w(8)) >>> 0, latency = audio.baseLatency + (outputLatency || 0);
    const soundMs = played * 1000 / audio.sampleRate - 1000 * latency, pictureMs = pacing.shownClock - audioClock;
    return {
      audioWritten: w(0), audioRead: w(5), audioPeak: w(1), audioStarved: w(7), audioMissed: w(6),
      audioSkipped: w(2), audioHeld: w(8), soundMs, pictureMs, pictureLeadsMs: pictureMs - soundMs,
    };
  }

  window.vadurerStats = (withLatency = false) => ({
    state: stats.state, error: stats.error, exitCode: stats.exitCode, sound: stats.sound,
    release: kRelease && kRelease.id, loaded: counted.loaded, readyMs: stats.readyAt || null, marks: stats.marks,
    crossOriginIsolated: window.crossOriginIsolated,
    frames: stats.frames, firstFrameMs: stats.firstFrameAt ? stats.firstFrameAt - stats.clickAt : null,
    handedAt: stats.handedAt.map((t) => t - stats.clickAt), workMs: stats.workMs,
    waits: stats.waits, unwindMs: stats.unwindMs, rewindMs: stats.rewindMs,
    audioState: audio ? audio.state : 'none', audioRate: audio ? audio.sampleRate : 0,
    ...soundStats(withLatency), soundStartMs: stats.soundAt ? stats.soundAt - stats.clickAt : null,
    paused: stats.paused, screenshots: stats.screenshots, layout: stats.layout,
  });

  // The sounds travel Opus-coded (sounds.json says how) and are restored here into the very WAVE
  // files the production opens, before it starts. A long one comes in parts, each decoded as it
  // arrives and put in its place; a part starts with a little of what comes before it, coded so
  // that the decoder has settled at the seam, which is dropped.
  async function unpackSound(desc) {
    const head = Uint8Array.from(atob(desc.head), (c) => c.charCodeAt(0));
    const tail = Uint8Array.from(atob(desc.tail), (c) => c.charCodeAt(0));
    const bytes = new Uint8Array(head.length + desc.frames * 4 + tail.length);
    bytes.set(head, 0);
    bytes.set(tail, head.length + desc.frames * 4);
    const samples = new Int16Array(bytes.buffer, head.length, desc.frames * 2);
    const q = (v) => Math.max(-32768, Math.min(32767, Math.round(v * 32768)));
    await Promise.all(desc.parts.map(async (part) => {
      const coded = await fetchCounted(part.coded);
      const pcm = await new OfflineAudioContext(2, 1, desc.rate).decodeAudioData(coded.buffer);
      const left = pcm.getChannelData(0), right = pcm.getChannelData(pcm.numberOfChannels > 1 ? 1 : 0);
      // (A coded stream may end a few frames short.)
      const n = Math.min(part.frames, pcm.length - part.skip);
      for (let i = 0, o = 2 * part.at; i < n; ++i, o += 2) {
        samples[o] = q(left[part.skip + i]);
        samples[o + 1] = q(right[part.skip + i]);
      }
      mark(`${part.coded} decoded`);
    }));
    return bytes;
  }

  // ---- Start and end ---------------------------------------------------------------------------

  const kConsole = 'The browser\'s console has the details (Ctrl+Shift+J; on a Mac \u2325\u2318J, or in Safari ' +
    '\u2325\u2318C with the Develop menu on).';
  function describe(e) {
    if (e && e.message) return e.message;
    try { return typeof e === 'object' ? JSON.stringify(e) : String(e); } catch (x) { return String(e); }
  }
  // Said on the page, never only on the console: what went wrong, what the visitor can do, where
  // the details are.
  function fail(what) {
    if (stats.state === 'failed') return;
    const before = stats.state;
    stats.state = 'failed';
    stats.error = String(what);
    watchRefreshes(false);
    keepEscape();
    console.error('vadurer: ' + what);
    $('cover').hidden = true;
    $('dialog').hidden = true;
    $('end-text').textContent = `${before === 'running' ? 'The production stopped' : 'The production could not start'}: ` +
      `${what}. Reload the page to try again. ${kConsole}`;
    $('end').hidden = false;
    layout();
  }
  // A script error or a rejected promise before the production runs would otherwise leave the
  // page on its cover for ever.
  window.addEventListener('error', (e) => {
    if (['loading', 'ready', 'starting'].includes(stats.state)) fail(describe(e.error || e.message));
  });
  window.addEventListener('unhandledrejection', (e) => {
    if (['loading', 'ready', 'starting'].includes(stats.state)) fail(describe(e.reason));
  });

  function ended(code) {
    if (stats.state !== 'running') return;
    stats.state = 'ended';
    stats.exitCode = code;
    watchRefreshes(false);
    keepEscape();
    notice('', 0);
    console.log(`vadurer: ended with ${code} after ${stats.frames} frames`);
    if (audio) audio.close().catch(() => {});
    $('end-text').textContent = 'The end.';
    $('end').hidden = false;
    layout();
  }

  let started = false;
  const kAgainWaitMs = 1000;  // a replay's wait for the sound before it asks for a click
  function start(byGesture) {
    if (started) return;
    started = true;
    $('cover').hidden = true;
    stats.clickAt = performance.now();
    stats.state = 'starting';
    // Started within the click, where the browser allows it; not waited for.
    const resumed = audio ? audio.resume() : Promise.resolve();
    if (!byGesture && audio) {
      // Played again after the reload: without a click the browser may keep the sound off. The
      // run starts as soon as the sound does; where it has not within a moment (Firefox may take
      // a second or two where it allows it) the visitor is asked for the click meanwhile, and
      // whichever comes first starts the run.
      const ask = setTimeout(() => {
        if (stats.state !== 'starting') return;
        started = false;
        stats.state = 'ready';
        $('cover').hidden = false;
      }, kAgainWaitMs);
      resumed.then(() => {
        if (audio.state !== 'running' || !['starting', 'ready'].includes(stats.state)) return;
        clearTimeout(ask);
        started = true;
        $('cover').hidden = true;
        run();
      }, () => {});
      return;
    }
    resumed.catch((e) => console.warn('vadurer: the sound did not start: ' + describe(e)));
    run();
  }
  function run() {
    stats.state = 'running';
    layout();
    keepEscape();
    soundStarted();  // a browser that lets sound start without a click may run it already
    setTimeout(checkSound, kSoundWaitMs);
    try {
      window.Module.callMain([]);
    } catch (e) {
      if (!(e && e.name === 'ExitStatus')) fail(describe(e));  // else the run ended in its first step
    }
  }

  // What the module reads, fetched as soon as the page may (see loadModule below): the pictures'
  // pack written into its files before it runs, and unpacked there as soon as it can; the sounds
  // written as they are restored. The start waits for both.
  const files = { wasm: null, pictures: null, sounds: null };
  window.Module = {
    canvas,
    print: (line) => console.log(line),
    printErr: (line) => console.warn(line),
    // The module compiled as it arrives, from the page's own fetch of it (counted in the progress).
    instantiateWasm(imports, receive) {
      files.wasm.then(async (response) => {
        const { instance, module } = await (WebAssembly.instantiateStreaming
          ? WebAssembly.instantiateStreaming(response, imports)
          : WebAssembly.instantiate(await response.arrayBuffer(), imports));
        mark('compiled');
        receive(instance, module);
      }).catch((e) => fail(`the module did not start (${describe(e)})`));
      return {};
    },
    preRun: [() => {
      const M = window.Module;
      M.addRunDependency('pictures');
      files.pictures.then((pictures) => {
        M.FS.writeFile('/pictures.lzma', pictures);
        M.removeRunDependency('pictures');
      });
    }],
    onRuntimeInitialized() {
      mark('runtime');
      // The pictures, restored in the module to the very files the asset maker wrote.
      const error = window.Module.ccall('vadurer_unpack', 'string', ['string'], ['/pictures.lzma']);
      if (error) return fail(`the pictures could not be unpacked (${error})`);
      mark('pictures unpacked');
      files.sounds.then((sounds) => {
        for (const { name, bytes } of sounds) window.Module.FS.writeFile('/' + name, bytes);
        becomeReady();
      });
    },
    onExit: (code) => ended(code),
    onAbort: (what) => fail(describe(what)),
  };
  function becomeReady() {
    showProgress(null);
    keepForNextVisit();
    stats.state = 'ready';
    stats.readyAt = performance.now();
    $('cover-text').textContent = 'Stop The Vadurer';
    $('start').hidden = false;
    $('cover-hint').hidden = false;
    if (sessionStorage.getItem('vadurer-again')) {
      sessionStorage.removeItem('vadurer-again');
      start(false);
    }
  }
  if (touchScreen) $('start').textContent = 'tap to start';
  $('cover-hint').textContent = touchScreen
    ? 'It runs about 69 seconds with sound. On this touch screen the stop button beside the picture ends it early.'
    : 'It runs about 69 seconds with sound. Escape or a click on the picture ends it early.';
  $('cover').addEventListener('click', () => stats.state === 'ready' && start(true));
  $('licence').addEventListener('click', (e) => e.stopPropagation());  // it opens the text, not the run
  $('again').addEventListener('click', () => {
    sessionStorage.setItem('vadurer-again', '1');
    location.reload();
  });

  // ---- Loading ---------------------------------------------------------------------------------

  // The bytes loaded against the release's total, as a bar on the cover: on a slow network the
  // wait is long.
  function showProgress(p) {
    const bar = $('progress');
    bar.hidden = !p;
    if (!p) return;
    const mb = (n) => (n / 1e6).toFixed(1);
    bar.value = p.loaded;
    bar.max = p.total;
    $('cover-text').textContent = `Loading\u2026 ${mb(p.loaded)} of ${mb(p.total)} MB`;
  }
  // A fetch of one of the release's files, its bytes counted as they come.
  const counted = { loaded: 0, total: 0 };
  async function fetchCountedResponse(name) {
    const response = await fetch(name);
    if (!response.ok) throw new Error(`${name} did not load (${response.status} ${response.statusText})`);
    const counter = new TransformStream({
      transform(chunk, controller) {
        counted.loaded += chunk.length;
        showProgress(counted);
        controller.enqueue(chunk);
      },
      flush() { mark(name); },
    });
    return new Response(response.body.pipeThrough(counter), { headers: response.headers });
  }
  const fetchCounted = async (name) => new Uint8Array(await (await fetchCountedResponse(name)).arrayBuffer());
  function loadModule() {
    const size = (f) => (kRelease && kRelease.files[f]) || 0;
    const desc = fetch('sounds.json').then((r) => {
      if (!r.ok) throw new Error(`sounds.json did not load (${r.status})`);
      return r.json();
    });
    counted.total = size('vadurer.wasm') + size('vadurer.js') + size('vadurer.worker.js') + size('pictures.lzma');
    files.sounds = desc.then((list) => {
      for (const d of list) counted.total += d.parts.reduce((n, part) => n + size(part.coded), 0);
      return Promise.all(list.map(async (d) => ({ name: d.name, bytes: await unpackSound(d) })));
    });
    files.pictures = fetchCounted('pictures.lzma');
    files.wasm = fetchCountedResponse('vadurer.wasm');
    // (Unhandled until the module waits for them: a failure is said once, here.)
    for (const p of Object.values(files)) p.catch((e) => fail(describe(e)));
    // The module's script and its threads' script fetched first, and handed to the module and its
    // threads from memory: the threads then start without a request of their own, which on a slow
    // network would wait behind the big files.
    const script = (name) => fetchCounted(name).then((bytes) => new Blob([bytes], { type: 'text/javascript' }));
    Promise.all([script('vadurer.js'), script('vadurer.worker.js')]).then(([main, thread]) => {
      const threadUrl = URL.createObjectURL(thread);
      window.Module.locateFile = (name) => (name === 'vadurer.worker.js' ? threadUrl : new URL(name, location.href).href);
      window.Module.mainScriptUrlOrBlob = main;
      const element = document.createElement('script');
      element.src = URL.createObjectURL(main);
      element.onerror = () => fail('vadurer.js did not start');
      document.body.appendChild(element);
    }, (e) => fail(describe(e)));
  }

  // The page's service worker keeps its files (a second visit loads nothing that has not changed,
  // and one without the network plays all the same), and makes the page cross-origin isolated on a
  // host that does not send the two headers the module's threads need (shared memory). A host that
  // sends them (make serve) isolates the page at once: the first visit loads from the network and
  // only then has the worker keep what it loaded (from the browser's cache, where the host says it
  // is still good). Elsewhere the first visit waits while the worker fetches the release into its
  // cache, then loads once more, isolated. (A release newer than the one in charge, fetched during
  // a visit, takes charge at a visit once no tab shows the page.) It never loads itself twice in
  // a row: where the page is still not isolated after that, or cannot run the worker at all, it
  // says what the host must do instead.
  const kReloaded = 'vadurer-reloaded';
  const kHeaders = 'Cross-Origin-Opener-Policy: same-origin and Cross-Origin-Embedder-Policy: require-corp';
  const kFromFiles = 'This page cannot run from files on the disk: its threads need it served over the web. ' +
    'Run make serve to serve it on this machine (at http://127.0.0.1:8015/), or put the folder on any static host.';
  const kNeedsHttps = 'This page needs cross-origin isolation for its threads, and over plain http from this ' +
    'address it cannot give it to itself. Serve it over https (it then isolates itself), or have the server ' +
    `send ${kHeaders} with every file, as make serve does.`;
  const kNeedsHeaders = 'This page needs cross-origin isolation for its threads, and its own service worker ' +
    `could not give it here. Have the server send ${kHeaders} with every file, as make serve does.`;
  const kNoSharedMemory = 'This browser does not let the page share its memory with its threads (SharedArrayBuffer), ' +
    'which the production needs to play its music beside the picture. It plays in current versions of Chrome, Edge, ' +
    'Firefox and Safari (15.2 or later). Browsers built on WebKitGTK (GNOME Web, MiniBrowser) have it switched off: ' +
    'started with JSC_useSharedArrayBuffer=1 in their environment, they play it too.';
  function refuse(state, text) {
    sessionStorage.removeItem(kReloaded);  // a later visit tries again
    stats.state = state;
    stats.error = text;
    showProgress(null);
    console.warn('vadurer: ' + text);
    $('cover-text').textContent = text;
    return false;
  }
  function reloadOnce() {
    if (sessionStorage.getItem(kReloaded)) return false;
    sessionStorage.setItem(kReloaded, '1');
    location.reload();
    return true;
  }
  const changedController = () => new Promise((r) => navigator.serviceWorker.addEventListener('controllerchange', r, { once: true }));
  const canHaveWorker = () => location.protocol !== 'file:' && window.isSecureContext && !!navigator.serviceWorker;
  // Resolves once the worker is in charge of the page (true), or where it cannot be (false).
  async function takeWorker() {
    navigator.serviceWorker.addEventListener('message', (e) => {
      if (e.data && e.data.type === 'progress' && stats.state === 'loading') showProgress(e.data);
    });
    let registration;
    try {
      registration = await navigator.serviceWorker.register('service-worker.js');
    } catch (e) {
      console.warn('vadurer: no service worker: ' + describe(e));
      return false;
    }
    if (navigator.serviceWorker.controller) return true;
    // Loaded past the worker (a hard reload): it is in charge of the next load, whether or not a
    // newer one is on its way.
    if (registration.active) return true;
    const installing = registration.installing || registration.waiting;
    if (!installing) return false;
    // The first visit: the worker fetches the release, then takes charge; or fails.
    const failed = new Promise((resolve) => installing.addEventListener('statechange', () => {
      if (installing.state === 'redundant') resolve(false);
    }));
    return Promise.race([changedController().then(() => true), failed]);
  }
  // Once the page has what it needs: the worker keeps it for the next visit.
  function keepForNextVisit() {
    if (!canHaveWorker() || navigator.serviceWorker.controller) return;
    navigator.serviceWorker.register('service-worker.js').catch((e) => console.warn('vadurer: no service worker: ' + describe(e)));
  }
  async function boot() {
    if (window.crossOriginIsolated) {
      sessionStorage.removeItem(kReloaded);
      return true;
    }
    if (location.protocol === 'file:') return refuse('unisolated', kFromFiles);
    // Service workers run only in secure contexts: https, or this machine's own addresses.
    if (!canHaveWorker()) return refuse('unisolated', kNeedsHttps);
    if (!await takeWorker()) return refuse('unisolated', kNeedsHeaders);
    // In charge now, the worker isolates the page's next load.
    if (!reloadOnce()) return refuse('unisolated', kNeedsHeaders);
    return false;
  }
  // Isolated, the page has shared memory; whether a worker can be handed it is the engine's
  // choice, and the module cannot start a thread without.
  function canShareMemory() {
    try {
      const memory = new WebAssembly.Memory({ initial: 1, maximum: 1, shared: true });
      if (typeof SharedArrayBuffer !== 'function' || !(memory.buffer instanceof SharedArrayBuffer)) return false;
      new MessageChannel().port1.postMessage(memory.buffer);
      return true;
    } catch (e) {
      return false;
    }
  }

  // An isolated page loads at once, while the worker is seen to (a newer release taking over
  // loads the page anew, from its own files); any other once it is isolated.
  function go() {
    if (!canShareMemory()) return refuse('unsupported', kNoSharedMemory);
    prepareAudio();
    loadModule();
  }
  layout();
  const early = window.crossOriginIsolated;
  if (early) go();
  boot().then((ok) => {
    mark('booted');
    if (ok && !early) go();
  });
})();

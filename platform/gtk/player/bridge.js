// The bridge page's half of the movie player: it hosts one Ruffle player at a
// time for the host program's player control that owns the page (a
// "session"), hands the movie's external calls and load events to the host,
// and runs the host's calls into the movie.
//
// Each host player has a page of its own, which goes with it; every movie
// it loads gets a fresh Ruffle player element (fresh instance, fresh
// settings, no callbacks of an older movie). A page made ahead of the first
// player is warmed up (warmUp), so that Ruffle's module is compiled already.
//
// When the movie cannot be loaded (not found, not a movie) or Ruffle fails,
// the page shows its own notice in place of Ruffle's error screen (which is
// in English, points at Ruffle's project and asks for bug reports).
//
// Written against Ruffle 0.6.0 (see package.json); the places that
// depend on its inner workings are marked "Ruffle 0.6.0".
"use strict";

(() => {
  const MAX_DEPTH = 64;
  const MAX_ITEMS = 1 << 20;

  function post(message) {
    try {
      window.webkit.messageHandlers.tessaryPlayer.postMessage(message);
    } catch (e) {
      // No host (the page opened on its own): nothing to tell.
    }
  }

  // Ruffle's log lines and the page's own errors go to the host's debug log.
  let calling = false;
  let callbackFailed = false;
  for (const level of ["log", "info", "warn", "error"]) {
    const original = console[level];
    console[level] = function (...parts) {
      const text = parts.map(String).join(" ");
      // Ruffle 0.6.0 reports a movie callback that threw only in its log.
      if (calling && text.includes("Error in AVM2 external interface callback")) callbackFailed = true;
      post({ session: 0, kind: "log", level, text });
      return original.apply(console, parts);
    };
  }
  window.addEventListener("error", (event) =>
    post({ session: 0, kind: "log", level: "error", text: String(event.message) }));
  window.addEventListener("unhandledrejection", (event) =>
    post({ session: 0, kind: "log", level: "error", text: String(event.reason) }));

  // A copy made only of what the player's call form knows: undefined, null,
  // booleans, numbers, strings, arrays and plain objects, nested at most
  // MAX_DEPTH deep and MAX_ITEMS long (beyond that, and anything else,
  // becomes null).
  function plain(value, depth) {
    if (value === undefined || value === null) return value;
    const type = typeof value;
    if (type === "boolean" || type === "number" || type === "string") return value;
    if (type !== "object" || depth >= MAX_DEPTH) return null;
    if (Array.isArray(value)) {
      if (value.length > MAX_ITEMS) return null;
      const out = [];
      for (let i = 0; i < value.length; i++) out.push(plain(value[i], depth + 1));
      return out;
    }
    const out = {};
    for (const key of Object.keys(value)) {
      Object.defineProperty(out, key, {
        value: plain(value[key], depth + 1), enumerable: true, writable: true, configurable: true,
      });
    }
    return out;
  }

  // An object from [key, value] pairs, every key a plain own property.
  function object(pairs) {
    const out = {};
    for (const [key, value] of pairs) {
      Object.defineProperty(out, key, { value, enumerable: true, writable: true, configurable: true });
    }
    return out;
  }

  let session = 0;
  let element = null;
  let wantPlaying = true;

  // While the host's window is minimised or hidden the page counts as
  // hidden, whatever the web view thinks: Ruffle then ticks the movie from a
  // worker (its scripts, timers and sockets go on, below), its drawing is
  // skipped (below) and the view has nothing to paint. Shown again, Ruffle
  // draws the current frame at the next animation frame.
  // Ruffle's listeners hear only real changes of the page's state.
  let hiddenByHost = false;
  const nativeHidden = Object.getOwnPropertyDescriptor(Document.prototype, "hidden");
  const nativeState = Object.getOwnPropertyDescriptor(Document.prototype, "visibilityState");
  Object.defineProperty(document, "hidden", {
    configurable: true, get: () => hiddenByHost || nativeHidden.get.call(document),
  });
  Object.defineProperty(document, "visibilityState", {
    configurable: true, get: () => (hiddenByHost ? "hidden" : nativeState.get.call(document)),
  });
  let lastHidden = document.hidden;
  document.addEventListener("visibilitychange", (event) => {
    if (document.hidden === lastHidden) event.stopImmediatePropagation();
    lastHidden = document.hidden;
  }, true);
  function announceVisibility(always) {
    if (always) lastHidden = !document.hidden;
    document.dispatchEvent(new Event("visibilitychange"));
  }

  // Ruffle 0.6.0 ticks a hidden page's movie from a worker but still draws
  // every frame. While the page is hidden its drawing onto the canvas is
  // skipped: draws into the canvas and into the buffers whose picture ends
  // up there. Ruffle 0.6.0 draws the stage into a multisampled buffer,
  // resolves that into a texture's buffer and draws the texture onto the
  // canvas; so a buffer that was blitted into and whose texture is drawn
  // onto the canvas is the canvas's, and so is the one blitted into it.
  // Draws into other textures (BitmapData.draw and the like) are part of
  // the movie's state and go on.
  const canvasBuffers = new WeakSet();
  const bufferOfTexture = new WeakMap();  // texture -> the framebuffer it is attached to
  const blittedFrom = new WeakMap();      // framebuffer -> the one last blitted into it
  function skipping(gl) {
    return document.hidden && (!gl.tessaryDrawBuffer || canvasBuffers.has(gl.tessaryDrawBuffer));
  }
  // Notes the buffers whose textures a draw onto the canvas samples.
  function noteCanvasSources(gl) {
    if (gl.tessaryDrawBuffer || !gl.tessaryTextures) return;
    for (const texture of gl.tessaryTextures.values()) {
      const buffer = texture && bufferOfTexture.get(texture);
      if (!buffer || !blittedFrom.has(buffer) || canvasBuffers.has(buffer)) continue;
      canvasBuffers.add(buffer);
      canvasBuffers.add(blittedFrom.get(buffer));
    }
  }
  for (const Context of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
    if (!Context) continue;
    const proto = Context.prototype;
    const bind = proto.bindFramebuffer;
    proto.bindFramebuffer = function (target, buffer) {
      if (target === this.FRAMEBUFFER || target === this.DRAW_FRAMEBUFFER) this.tessaryDrawBuffer = buffer;
      if (target === this.FRAMEBUFFER || target === this.READ_FRAMEBUFFER) this.tessaryReadBuffer = buffer;
      return bind.call(this, target, buffer);
    };
    const attach = proto.framebufferTexture2D;
    proto.framebufferTexture2D = function (target, attachment, textarget, texture, level) {
      const buffer = target === this.READ_FRAMEBUFFER ? this.tessaryReadBuffer : this.tessaryDrawBuffer;
      if (texture && buffer) bufferOfTexture.set(texture, buffer);
      return attach.call(this, target, attachment, textarget, texture, level);
    };
    const active = proto.activeTexture;
    proto.activeTexture = function (unit) {
      this.tessaryUnit = unit;
      return active.call(this, unit);
    };
    const bindTexture = proto.bindTexture;
    proto.bindTexture = function (target, texture) {
      if (target === this.TEXTURE_2D) {
        if (!this.tessaryTextures) this.tessaryTextures = new Map();
        this.tessaryTextures.set(this.tessaryUnit || this.TEXTURE0, texture);
      }
      return bindTexture.call(this, target, texture);
    };
    if (proto.blitFramebuffer) {
      const blit = proto.blitFramebuffer;
      proto.blitFramebuffer = function (...args) {
        if (this.tessaryReadBuffer) {
          if (!this.tessaryDrawBuffer) canvasBuffers.add(this.tessaryReadBuffer);
          else blittedFrom.set(this.tessaryDrawBuffer, this.tessaryReadBuffer);
        }
        return skipping(this) ? undefined : blit.apply(this, args);
      };
    }
    for (const name of ["clear", "drawArrays", "drawElements", "drawArraysInstanced", "drawElementsInstanced",
      "drawRangeElements"]) {
      const draw = proto[name];
      if (!draw) continue;
      proto[name] = function (...args) {
        if (name !== "clear") noteCanvasSources(this);
        return skipping(this) ? undefined : draw.apply(this, args);
      };
    }
  }

  // Ruffle 0.6.0 ticks a hidden page's movie from a worker made from a
  // script text that holds its interval ("const intervalMs = ..."): one tick
  // a frame, each costing nearly what a drawn frame costs. Out of sight the
  // movie ticks every two seconds instead, as the Flash player slowed down
  // movies nobody saw to a few frames a second: each tick plays the frames
  // that fell due up to Ruffle's limit of five (so 2.5 frames a second; a
  // tick a second played five, and cost half as much again) and runs the
  // movie's timers and network events, so a game keeps its connection.
  const HIDDEN_TICK_MS = 2000;
  const TICK_INTERVAL = /const intervalMs = [^;\n]+;/;
  const NativeBlob = window.Blob;
  globalThis.Blob = new Proxy(NativeBlob, {
    construct(target, args, newTarget) {
      const parts = args[0];
      if (Array.isArray(parts) && parts.length === 1 && typeof parts[0] === "string" &&
          TICK_INTERVAL.test(parts[0]) && parts[0].includes("postMessage(\"tick\")")) {
        args = [[parts[0].replace(TICK_INTERVAL, "const intervalMs = " + HIDDEN_TICK_MS + ";")], ...args.slice(1)];
      }
      return Reflect.construct(target, args, newTarget);
    },
  });

  // Ruffle 0.6.0 feeds its audio context's output without pause, silence
  // included: the web engine's audio threads then cost a few percent of a
  // core even when the movie plays nothing. Out of sight, an output that has
  // played only silence for a while (every sample zero, in each buffer Ruffle
  // mixes and queues) is paused after a silent buffer, and set running again
  // at every hidden tick: a sound the movie starts meanwhile waits in Ruffle's
  // mixer and plays from the next buffer on, at most a tick late; then the
  // output runs on until it has been silent again for a while.
  const QUIET_BEFORE_PAUSE_S = 1;
  const quietSeconds = new WeakMap();  // audio context -> seconds of silence queued in a row
  const pausedContexts = new Set();     // paused here for silence
  function silent(buffer) {
    for (let channel = 0; channel < buffer.numberOfChannels; channel++) {
      const data = buffer.getChannelData(channel);
      for (let i = 0; i < data.length; i++) {
        if (data[i] !== 0) return false;
      }
    }
    return true;
  }
  // When Ruffle itself pauses or resumes the output (the host stopped or
  // played the movie), that pause is Ruffle's to end, not the page's.
  const nativeSuspend = window.AudioContext && AudioContext.prototype.suspend;
  const nativeResume = window.AudioContext && AudioContext.prototype.resume;
  if (nativeSuspend && nativeResume) {
    AudioContext.prototype.suspend = function () {
      pausedContexts.delete(this);
      return nativeSuspend.call(this);
    };
    AudioContext.prototype.resume = function () {
      pausedContexts.delete(this);
      return nativeResume.call(this);
    };
  }
  const nativeStart = nativeSuspend && window.AudioBufferSourceNode && AudioBufferSourceNode.prototype.start;
  if (nativeStart) AudioBufferSourceNode.prototype.start = function (...args) {
    const result = nativeStart.apply(this, args);
    const context = this.context;
    if (!hiddenByHost || !this.buffer || !(context instanceof AudioContext)) {
      quietSeconds.delete(context);
    } else if (!silent(this.buffer)) {
      quietSeconds.set(context, 0);
    } else {
      const quiet = (quietSeconds.get(context) || 0) + this.buffer.duration;
      quietSeconds.set(context, quiet);
      if (quiet >= QUIET_BEFORE_PAUSE_S && context.state === "running" && !pausedContexts.has(context)) {
        pausedContexts.add(context);
        nativeSuspend.call(context).catch(() => pausedContexts.delete(context));
      }
    }
    return result;
  };
  function resumePausedAudio() {
    for (const context of pausedContexts) {
      pausedContexts.delete(context);
      if (context.state !== "closed") nativeResume.call(context).catch(() => {});
    }
  }
  let audioWake = 0;

  function setHiddenByHost(hidden) {
    hiddenByHost = hidden;
    clearInterval(audioWake);
    audioWake = hidden ? setInterval(resumePausedAudio, HIDDEN_TICK_MS) : 0;
    if (!hidden) resumePausedAudio();
    announceVisibility(false);
  }

  // Ruffle 0.6.0 gives every player element a listener on the document for
  // the page's visibility and never takes it away: the listener keeps the
  // element, its canvas and its drawing buffers alive after the element has
  // left the page, at every reload. The listeners a player adds while it is
  // made are noted, and taken away once the player is gone.
  let noting = null;
  const nativeAddListener = document.addEventListener;
  document.addEventListener = function (type, listener, options) {
    if (noting && type === "visibilitychange") noting.push([listener, options]);
    return nativeAddListener.call(this, type, listener, options);
  };
  function createPlayer() {
    noting = [];
    try {
      const player = window.RufflePlayer.newest().createPlayer();
      player.tessaryListeners = noting;
      return player;
    } finally {
      noting = null;
    }
  }
  function forget(player) {
    for (const [listener, options] of player.tessaryListeners || []) {
      document.removeEventListener("visibilitychange", listener, options);
    }
    player.tessaryListeners = [];
  }

  // Ruffle 0.6.0 never closes the audio context of an instance it destroys:
  // the context goes on playing silence, a second or so of CPU a minute and
  // its memory, for every player the page ever had (the warm-up's, every
  // reload's). The context is taken from the player's instance before the
  // player leaves the page, and closed once it has.
  // Ruffle 0.6.0 keeps its inner player in a private field (a WeakMap of
  // the compiled script) that its public handle reads on every use: the
  // inner player is the value that map gives for the handle.
  function audioContextOf(player) {
    const get = WeakMap.prototype.get;
    let inner = null;
    try {
      const handle = player.ruffle();
      WeakMap.prototype.get = function (key) {
        const value = get.call(this, key);
        if (key === handle && value && typeof value === "object") inner = value;
        return value;
      };
      void handle.readyState;
    } catch (e) {
      // not a Ruffle player (any more)
    } finally {
      WeakMap.prototype.get = get;
    }
    try {
      const context = inner && inner.instance && inner.instance.audio_context();
      return context && typeof context.close === "function" ? context : null;
    } catch (e) {
      return null;
    }
  }
  // The WebGL context of an old player's canvas keeps its drawing buffers
  // (at the game's size, multisampled: tens of megabytes) until the page's
  // garbage collector happens to take the canvas, often several reloads
  // later. It is let go as soon as the player has left the page.
  const nativeGetContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
    const context = nativeGetContext.call(this, type, ...rest);
    if (context && String(type).startsWith("webgl")) this.tessaryGl = context;
    return context;
  };
  function glContextsOf(player) {
    const root = player.shadowRoot;
    return root ? Array.from(root.querySelectorAll("canvas"), (canvas) => canvas.tessaryGl).filter(Boolean) : [];
  }

  // Takes a player out of the page for good.
  function removePlayer(player) {
    const context = audioContextOf(player);
    const gls = glContextsOf(player);
    player.remove();  // Ruffle destroys its instance when the element leaves the page
    forget(player);
    if (context && context.state !== "closed") context.close().catch(() => {});
    for (const gl of gls) {
      const lose = gl.isContextLost() ? null : gl.getExtension("WEBGL_lose_context");
      if (lose) lose.loseContext();
    }
  }

  // Ruffle 0.6.0 performs the movie's ExternalInterface.call(name, ...args)
  // as  new Function(`return (${name})(...arguments);`)(...args),  that is,
  // it evaluates the name as script in the page, so only names that happen
  // to be defined here would get through. Every call must reach the host
  // with its name exactly as the movie wrote it, whatever the name holds:
  // the Function constructor is wrapped, and a body of exactly that shape
  // yields a function that hands the raw name and the arguments to the host.
  // Nothing of the name is ever evaluated. The movie gets null back (the
  // host never answers a call). Every other use of Function is untouched.
  const CALL_PREFIX = "return (";
  const CALL_SUFFIX = ")(...arguments);";
  const NativeFunction = Function;
  globalThis.Function = new Proxy(NativeFunction, {
    construct(target, args, newTarget) {
      const body = args.length === 1 ? args[0] : undefined;
      if (typeof body === "string" && body.length >= CALL_PREFIX.length + CALL_SUFFIX.length &&
          body.startsWith(CALL_PREFIX) && body.endsWith(CALL_SUFFIX)) {
        const name = body.slice(CALL_PREFIX.length, body.length - CALL_SUFFIX.length);
        const caller = session;
        return function () {
          post({ session: caller, kind: "call", name, args: plain(Array.from(arguments), 0) });
          return null;
        };
      }
      return Reflect.construct(target, args, newTarget);
    },
  });

  // Ruffle 0.6.0 destroys an instance when its element leaves the page, but
  // an element that leaves while its load is still on the way gets its
  // instance afterwards, and that one would play on unseen (and its calls
  // would reach whoever owns the page then). Such an element comes back for
  // a moment, unseen, and leaves again once its load is through.
  function discard(player) {
    player.classList.add("warming");
    document.body.appendChild(player);
    removePlayer(player);
  }

  function removeElement() {
    if (element) {
      removePlayer(element);
      element = null;
    }
    showFailure(false);
  }

  function showFailure(shown) {
    const notice = document.getElementById("failure");
    if (notice) notice.hidden = !shown;
  }

  // The movie of session id could not be played: its player goes, the
  // page's own notice takes its place.
  function fail(id, player, reason) {
    if (id !== session || element !== player) return;
    post({ session: 0, kind: "log", level: "error", text: "the movie could not be loaded: " + reason });
    removeElement();
    showFailure(true);
  }

  // Ruffle 0.6.0 reports a movie that could not be fetched or read, and any
  // failure of its own, only by replacing the player's content with its
  // error screen (an element "#panic" in the player's open shadow root);
  // the load promise has long resolved by then. The observer runs before
  // the page is drawn again, so that screen is never seen.
  function watchForPanic(id, player) {
    const root = player.shadowRoot;
    if (!root) return;
    const observer = new MutationObserver(() => {
      const panic = root.querySelector("#panic");
      if (!panic) return;
      observer.disconnect();
      const body = panic.querySelector("#panic-body");
      fail(id, player, (body ? body.textContent : "").trim() || "the player stopped");
    });
    observer.observe(root, { childList: true, subtree: true });
  }

  // A fresh Ruffle instance before any movie is asked for, so that the first
  // real load does not wait for the module to compile: an empty movie
  // (a version 10 header, FileAttributes with ActionScript 3, one frame).
  // It draws with Ruffle's canvas renderer: a WebGL context of its own cost
  // the waiting page some 40 MB (the software GL's compiled shaders and
  // buffers) and saved the first movie nothing measurable.
  const EMPTY_MOVIE = [
    0x46, 0x57, 0x53, 0x0a, 0x1f, 0x00, 0x00, 0x00, 0x78, 0x00, 0x03, 0xe8, 0x00, 0x00, 0x0b, 0xb8,
    0x00, 0x00, 0x1e, 0x01, 0x00, 0x44, 0x11, 0x08, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00,
  ];
  let warmer = null;
  function warmUp() {
    if (warmer || element || !window.RufflePlayer) return;
    warmer = createPlayer();
    warmer.className = "warming";
    document.body.appendChild(warmer);
    const done = () => {
      if (warmer) removePlayer(warmer);
      warmer = null;
      post({ session: 0, kind: "warm" });
    };
    warmer.addEventListener("loadeddata", done);
    warmer.ruffle().load({
      data: new Uint8Array(EMPTY_MOVIE), splashScreen: false, unmuteOverlay: "hidden", autoplay: "on",
      allowScriptAccess: false, logLevel: "error", warnOnUnsupportedContent: false, preferredRenderer: "canvas",
    }).catch(done);
  }

  window.tessaryPlayer = {
    object,

    // Compiles Ruffle's module ahead of the first movie (a page made for a
    // player right away has no use for it).
    warmUp() {
      warmUp();
      return true;
    },

    // The host's player `id` owns the page from now on; whatever an earlier
    // one left is gone.
    open(id) {
      removeElement();
      session = id;
      wantPlaying = true;
      setHiddenByHost(false);
      return true;
    },

    close(id) {
      if (id !== session) return false;
      removeElement();
      session = 0;
      return true;
    },

    // Loads a movie into a fresh Ruffle player; settings as Ruffle names them.
    load(id, settings) {
      if (id !== session || !window.RufflePlayer) return false;
      removeElement();
      const player = createPlayer();
      element = player;
      player.addEventListener("loadedmetadata", () => {
        if (element === player) post({ session: id, kind: "state", state: 3 });
      });
      player.addEventListener("loadeddata", () => {
        if (element === player) post({ session: id, kind: "state", state: 4 });
      });
      document.body.appendChild(player);
      watchForPanic(id, player);
      player.ruffle().load(Object.assign({
        autoplay: "on", splashScreen: false, unmuteOverlay: "hidden", upgradeToHttps: false,
        warnOnUnsupportedContent: false, showSwfDownload: false, logLevel: "error", polyfills: false,
        letterbox: "fullscreen", openUrlMode: "allow", allowNetworking: "all",
      }, settings)).then(() => {
        if (element !== player) {
          discard(player);
        } else if (!wantPlaying) {
          player.ruffle().suspend();
        } else if (document.hidden) {
          announceVisibility(true);  // a new player learns that the page is hidden
        }
      }, (error) => fail(id, player, String(error)));
      return true;
    },

    play(id) {
      if (id !== session) return false;
      wantPlaying = true;
      if (element) element.ruffle().resume();
      return true;
    },

    stop(id) {
      if (id !== session) return false;
      wantPlaying = false;
      if (element) element.ruffle().suspend();
      return true;
    },

    // The host's window is shown (true) or minimised or hidden (false).
    shown(id, shown) {
      if (id !== session) return false;
      setHiddenByHost(!shown);
      return true;
    },

    focus(id) {
      if (id === session && element) element.focus();
      return true;
    },

    // Calls a callback the current movie registered with
    // ExternalInterface.addCallback. Ruffle 0.6.0 makes each one an own
    // property of the player element; the element's own methods (play,
    // load ...) are not callbacks. found: the callback exists; failed: it
    // threw (Ruffle only logs that).
    call(id, name, args) {
      if (id !== session || !element || !Object.prototype.hasOwnProperty.call(element, name)) {
        return { found: false };
      }
      const callback = element[name];
      if (typeof callback !== "function") return { found: false };
      calling = true;
      callbackFailed = false;
      try {
        const value = plain(callback(...args), 0);
        return { found: true, failed: callbackFailed, value };
      } catch (e) {
        return { found: true, failed: true };
      } finally {
        calling = false;
      }
    },
  };

  window.RufflePlayer = window.RufflePlayer || {};
  // Ruffle's own WebGL renderer: over the software GL of most players'
  // machines its wgpu one draws a busy movie many times slower and keeps
  // far more memory.
  window.RufflePlayer.config = { polyfills: false, preferredRenderer: "webgl" };
})();

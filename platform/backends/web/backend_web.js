// The page's side of platform/backends/web/backend_web.cpp: the canvas, the page's events
// as window events, the message box dialog, and the turns the program gives
// back to the browser (Asyncify).  The page (site/page.js) supplies
// Module.canvas, Module.clientSize() and Module.dialog.
mergeInto(LibraryManager.library, {
  $RbWeb: {
    events: [],     // [kind, a, b, flags, key name], as backend::Event
    waiter: null,   // resumes a waiting GetMessageA
    image: null,    // the canvas's pixels
    image32: null,  // the same, a word a pixel
    heap32: null,   // the program's memory, a word at a time
    ctx: null,
    width: 0,
    height: 0,
    modal: false,
    channel: null,
    turns: [],
    // The browser collects its garbage in idle time, between one frame's
    // paint and the next, and a program whose next turn is always queued
    // leaves it none: its page grew for minutes until the heap's limit
    // forced a collection.  Once a second the next turn waits for the next
    // frame instead, which leaves that time free.
    idleEveryMs: 1000,
    nextIdle: 0,
    // Event kinds, as in backend.h.
    hiddenWaitMs: 250,
    kClose: 1, kResized: 6, kFocusGained: 7, kFocusLost: 8, kKey: 9, kHidden: 10, kShown: 11,

    push: function(kind, a, b, flags, key) {
      RbWeb.events.push([kind, a || 0, b || 0, flags || 0, key || '']);
      var waiter = RbWeb.waiter;
      RbWeb.waiter = null;
      if (waiter) waiter();
    },
    // A key's name in the layer's key table (platform/keys.h), from the
    // browser's name of the physical key; the layer drops names it lacks.
    keyName: function(code) {
      var named = {Enter: 'Return', ArrowLeft: 'Left', ArrowRight: 'Right', ArrowUp: 'Up',
                   ArrowDown: 'Down'};
      var side = /^(Alt|Control|Shift)(Left|Right)$/.exec(code);
      if (side) return side[2] + ' ' + (side[1] === 'Control' ? 'Ctrl' : side[1]);
      var m = /^(?:Key|Digit)(\w)$/.exec(code);
      return named[code] || (m ? m[1] : code);
    },
    key: function(e, down) {
      if (RbWeb.modal || !e.code) return;
      if (e.target && /^(INPUT|BUTTON|TEXTAREA)$/.test(e.target.tagName) && e.code !== 'Escape') return;
      var name = RbWeb.keyName(e.code);
      var flags = (down ? 1 : 0) | (e.repeat ? 2 : 0) | (e.altKey ? 4 : 0);
      RbWeb.push(RbWeb.kKey, 0, 0, flags, name);
      if (!/^F\d/.test(name)) e.preventDefault();  // no scrolling, no focus moves
    },
    resized: function() {
      var size = Module.clientSize();
      if (size[0] === RbWeb.width && size[1] === RbWeb.height) return;
      RbWeb.width = size[0];
      RbWeb.height = size[1];
      RbWeb.push(RbWeb.kResized, size[0], size[1], 0);
    },
    // The canvas takes a new size when the program learns of it, so what it
    // draws at the old size never lands on the new canvas.
    resizeCanvas: function(w, h) {
      var canvas = Module.canvas;
      if (canvas.width !== w) canvas.width = w;
      if (canvas.height !== h) canvas.height = h;
      RbWeb.ctx = canvas.getContext('2d');
      RbWeb.image = w > 0 && h > 0 ? RbWeb.ctx.createImageData(w, h) : null;
      RbWeb.image32 = RbWeb.image ? new Uint32Array(RbWeb.image.data.buffer) : null;
    },
    listen: function() {
      window.addEventListener('keydown', function(e) { RbWeb.key(e, true); });
      window.addEventListener('keyup', function(e) { RbWeb.key(e, false); });
      window.addEventListener('resize', RbWeb.resized);
      window.addEventListener('focus', function() { RbWeb.push(RbWeb.kFocusGained); });
      window.addEventListener('blur', function() { RbWeb.push(RbWeb.kFocusLost); });
      // A hidden page is a window nobody sees, not a minimised one: the
      // program rests (rb_web_yield, the layer's GetDC) and the canvas
      // keeps its pixels for its return.
      document.addEventListener('visibilitychange', function() {
        RbWeb.push(document.hidden ? RbWeb.kHidden : RbWeb.kShown);
      });
      if (Module.closeButton) {
        Module.closeButton.addEventListener('click', function() { RbWeb.push(RbWeb.kClose); });
      }
      // A message port runs the program's next turn without setTimeout's
      // clamp of 4 ms.
      RbWeb.channel = new MessageChannel();
      RbWeb.channel.port1.onmessage = function() {
        var turn = RbWeb.turns.shift();
        if (turn) turn();
      };
    },
    // The program's next turn, at once or (once a second) after a frame.  A
    // page hidden meanwhile gets no frames: a timer stands in, so the
    // program still hears that it is hidden.
    nextTurn: function(turn) {
      var now = performance.now();
      if (document.hidden || now < RbWeb.nextIdle) {
        RbWeb.turns.push(turn);
        RbWeb.channel.port2.postMessage(0);
        return;
      }
      RbWeb.nextIdle = now + RbWeb.idleEveryMs;
      var done = false;
      var once = function() {
        if (!done) done = true, turn();
      };
      requestAnimationFrame(once);
      setTimeout(once, 100);
    },
  },

  rb_web_open__deps: ['$RbWeb'],
  rb_web_open: function() {
    if (!Module.canvas || !Module.clientSize) return 0;
    RbWeb.listen();
    return 1;
  },

  rb_web_client_size: function(width, height) {
    var size = Module.clientSize();
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
  },

  rb_web_create_window__deps: ['$RbWeb'],
  rb_web_create_window: function(title, width, height) {
    document.title = UTF8ToString(title);
    if (Module.setTitle) Module.setTitle(document.title);
    RbWeb.width = width;
    RbWeb.height = height;
    RbWeb.resizeCanvas(width, height);
    RbWeb.resized();  // the page's size, when it is not the one asked for
    if (document.hidden) RbWeb.push(RbWeb.kHidden);  // opened behind another tab
  },

  rb_web_put__deps: ['$RbWeb'],
  rb_web_put: function(rgba, pitch, x, y, w, h) {
    var image = RbWeb.image;
    if (!image || x + w > image.width || y + h > image.height) return;
    // Copied out of the program's memory (a shared buffer cannot back an
    // ImageData) a pixel at a time, through views made once: a view made
    // for every row is garbage that the browser collects only in its idle
    // time, and a page whose program never idles grew by megabytes a minute.
    var from = RbWeb.heap32;
    if (!from || from.buffer !== HEAPU8.buffer) from = RbWeb.heap32 = new Uint32Array(HEAPU8.buffer);
    var to = RbWeb.image32, width = image.width;
    for (var row = y; row < y + h; ++row) {
      var s = (rgba >>> 2) + row * pitch + x, d = row * width + x;
      for (var i = 0; i < w; ++i) to[d + i] = from[s + i];
    }
    RbWeb.ctx.putImageData(image, 0, 0, x, y, w, h);
  },

  rb_web_poll__deps: ['$RbWeb'],
  rb_web_poll: function(out, key, keySize) {
    var e = RbWeb.events.shift();
    if (!e) return 0;
    if (e[0] === RbWeb.kResized) RbWeb.resizeCanvas(e[1], e[2]);
    for (var i = 0; i < 4; ++i) HEAP32[(out >> 2) + i] = e[i];
    stringToUTF8(e[4], key, keySize);
    return 1;
  },

  rb_web_yield__deps: ['$RbWeb'],
  rb_web_yield: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var next = function() { RbWeb.nextTurn(wakeUp); };
      // While nobody can see the page the program's next turn waits for an
      // event (the page being shown is one) instead of spinning.
      if (document.hidden && !RbWeb.events.length) RbWeb.waiter = next;
      else next();
    });
  },

  rb_web_wait__deps: ['$RbWeb'],
  rb_web_wait: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) {
      if (RbWeb.events.length) return RbWeb.turns.push(wakeUp), RbWeb.channel.port2.postMessage(0);
      var done = false;
      var resume = function() {
        if (done) return;
        done = true;
        RbWeb.waiter = null;
        wakeUp();
      };
      RbWeb.waiter = resume;
      // Nobody sees what a page that cannot be seen presents: it wakes less.
      setTimeout(resume, document.hidden ? Math.max(ms, RbWeb.hiddenWaitMs) : ms);
    });
  },

  rb_web_message_box__deps: ['$RbWeb'],
  rb_web_message_box: function(caption, text) {
    var dialog = Module.dialog;
    if (!dialog) return 0;
    caption = UTF8ToString(caption);
    text = UTF8ToString(text);
    return Asyncify.handleSleep(function(wakeUp) {
      console.log('MessageBox: ' + caption + ': ' + text);
      RbWeb.modal = true;
      dialog.querySelector('.caption').textContent = caption;
      dialog.querySelector('.text').textContent = text;
      dialog.addEventListener('close', function() {
        RbWeb.modal = false;
        wakeUp(1);
      }, {once: true});
      dialog.showModal();
    });
  },

  rb_web_now: function() {
    return performance.now();
  },
});

// One program's page: loads its picture into the program's folder, starts
// it on the canvas, and says when it has ended.  The window itself (canvas,
// keys, size, dialog) is the backend's, in platform/backends/web/backend_web.js.
(function() {
  'use strict';
  const program = document.body.dataset.program;
  const params = new URLSearchParams(location.search);
  const canvas = document.getElementById('canvas');
  const client = document.getElementById('client');
  const status = document.getElementById('status');
  const closeButton = document.getElementById('close');
  // The backdrop programs read these from their current folder.
  const fileName = {bitmap: 'wfall.bmp', photo: 'wfall.jpg'}[program];

  function say(text, restart) {
    status.hidden = false;
    status.textContent = text + ' ';
    if (restart) {
      const again = document.createElement('button');
      again.textContent = 'Start it again';
      again.onclick = () => location.reload();
      status.appendChild(again);
      again.focus();
    }
  }

  // ?size=WxH fixes the client size; otherwise the canvas fills the page.
  const match = /^(\d{1,5})x(\d{1,5})$/.exec(params.get('size') || '');
  const fixed = match && +match[1] > 0 && +match[2] > 0 ? [+match[1], +match[2]] : null;
  if (fixed) {
    document.body.classList.add('fixed');
    client.style.width = fixed[0] + 'px';
    client.style.height = fixed[1] + 'px';
  }
  function clientSize() {
    return fixed || [Math.max(1, client.clientWidth), Math.max(1, client.clientHeight)];
  }

  // A picture the person chose is kept in the browser until they choose
  // another, so the program can start again over it.  Done only once the
  // transaction has committed: a page that moves on before then aborts it,
  // and the program would start over the picture chosen before.
  function store(mode, work) {
    return new Promise((done, failed) => {
      const open = indexedDB.open('rainbow', 1);
      open.onupgradeneeded = () => open.result.createObjectStore('pictures');
      open.onerror = () => failed(open.error);
      open.onsuccess = () => {
        const db = open.result;
        const transaction = db.transaction('pictures', mode);
        const request = work(transaction.objectStore('pictures'));
        transaction.oncomplete = () => {
          db.close();
          done(request.result);
        };
        transaction.onabort = transaction.onerror = () => {
          db.close();
          failed(transaction.error || request.error);
        };
      };
    });
  }

  // The programs refuse a larger file before reading it (GlobalAlloc,
  // LoadImageA); the page does the same, in the program's words, before
  // reading or keeping it.  The number is the program's own, asked once its
  // runtime is up.
  let knowLimit;
  const pictureLimit = new Promise(known => { knowLimit = known; });
  const refusal = 'LoadImage: Not enough memory resources are available to process this command.';
  function megabytes(n) {
    return (n / 1048576).toFixed(n < 10485760 ? 1 : 0) + ' MiB';
  }
  async function usePicture(file) {
    if (!file) return;
    const limit = await pictureLimit;
    if (file.size > limit) {
      console.warn(refusal);
      say('"' + file.name + '" (' + megabytes(file.size) + ') was not loaded, the largest ' +
          'picture file is ' + megabytes(limit) + ': ' + refusal, false);
      return;
    }
    say('Keeping "' + file.name + '" (' + megabytes(file.size) + ') in the browser…', false);
    try {
      // The file itself: the browser copies it into its store without
      // this page holding its bytes.
      await store('readwrite', pictures => pictures.put(file, program));
    } catch (e) {
      say('"' + file.name + '" could not be kept in the browser (' + (e && e.name) + ': ' +
          (e && e.message) + '); the program goes on with the picture it has.', false);
      return;
    }
    params.set('picture', 'own');
    location.search = params.toString();
  }
  async function pictureBytes() {
    const which = params.get('picture');
    if (which === 'none') return null;
    if (which === 'own') {
      let own = null, why = 'it is no longer kept in this browser';
      try {
        own = await store('readonly', pictures => pictures.get(program));
        // Kept as the chosen file (a Blob), or by earlier pages as bytes.
        if (own instanceof Blob) own = new Uint8Array(await own.arrayBuffer());
      } catch (e) {
        own = null;
        why = 'it could not be read back (' + (e && e.name) + ')';
      }
      if (own) return own;
      say('The picture you chose is missing: ' + why + '. The program starts on its own ' +
          fileName + '.', false);
    }
    const response = await fetch(fileName);
    return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
  }
  if (fileName) {
    document.getElementById('picture').hidden = false;
    document.getElementById('choose').onchange = e => usePicture(e.target.files[0]);
    document.getElementById('original').onclick = () => {
      params.delete('picture');
      location.search = params.toString();
    };
    document.addEventListener('dragover', e => e.preventDefault());
    document.addEventListener('drop', e => {
      e.preventDefault();
      usePicture(e.dataTransfer.files[0]);
    });
  }

  // The site's service worker (service_worker.js) keeps the site for use
  // offline and makes rainbow_threaded's page cross-origin isolated (its
  // worker thread shares the program's memory).
  // The others start at once without it, and register it later
  // (registerLater), so its copy of the site does not slow their first visit.
  const threads = program === 'threaded';
  const workers = 'serviceWorker' in navigator && self.isSecureContext ? navigator.serviceWorker : null;
  const reloaded = 'rainbow-reloaded:' + location.pathname;
  function register() {
    return workers ? workers.register('service_worker.js').then(() => true, () => false)
                   : Promise.resolve(false);
  }
  // Installing the worker fetches and keeps the whole site, work that on a
  // small machine would share its cores with the program's first second.
  // A page that needs no isolation registers it two seconds on, or at
  // once when it is hidden (the person moves on).
  function registerLater() {
    if (!workers) return;
    let done = false;
    const once = () => {
      if (done) return;
      done = true;
      register();
    };
    setTimeout(once, 2000);
    document.addEventListener('visibilitychange', () => { if (document.hidden) once(); });
  }
  // A new build's worker took over from the one this page came from: the
  // page starts again from the new build (once), so it never runs with
  // files of two builds.  The worker deletes the old build's cache only
  // once the new one holds every file, and this page has all of its own by
  // the time the program runs.
  let restarting = false;
  if (workers) {
    const before = workers.controller;
    workers.addEventListener('controllerchange', () => {
      if (!before || restarting) return;
      restarting = true;
      location.reload();
    });
  }
  // Asks the server whether the site has a new build, beside the program's
  // start rather than before it.  The page reads the build's name from the
  // server's service_worker.js itself: Chromium leaves the browser's own
  // question (registration.update()) unanswered while a program runs in
  // the page, its answer waiting behind the program's turns.  Only when
  // there is a new build does the page end its program (as Close does),
  // then ask: the new build installs and takes over (above).  When it fails
  // to install, or nothing new comes, the page starts again as it was.
  // Offline the fetch fails and the kept build runs on.
  let updating = false, launched = false, exited = false, endedForUpdate;
  const programEnded = new Promise(done => { endedForUpdate = done; });
  async function newBuildOnServer() {
    const response = await fetch('service_worker.js', {cache: 'no-store'});
    const build = response.ok && /^const BUILD = '(\w+)'/m.exec(await response.text());
    return !!build && !(await caches.keys()).includes('rainbow-' + build[1]);
  }
  async function askForNewBuild() {
    if (!await newBuildOnServer().catch(() => false)) return;
    updating = true;
    say('A new version of the site is on its way…', false);
    if (launched && !exited) {
      // Close reaches the program once its window is open: asked until it ends.
      const asking = setInterval(() => closeButton.click(), 200);
      closeButton.click();
      await programEnded;
      clearInterval(asking);
    }
    // Without an answer within ten seconds (a network that hangs) the
    // kept build starts again.
    const registration = await workers.getRegistration();
    const asked = registration ?
        registration.update().then(() => registration.installing || registration.waiting, () => null) : null;
    const fresh = await Promise.race([asked, new Promise(done => setTimeout(done, 10000, null))]);
    if (fresh) {
      await new Promise(done => fresh.addEventListener('statechange', () => {
        if (fresh.state === 'redundant') done();
      }));
    }
    if (!restarting) location.reload();
  }

  // True when the program can start here; otherwise the page says why in
  // one sentence, and for rainbow_threaded links the page that draws the
  // same picture without threads.
  async function mayStart() {
    if (workers && workers.controller) askForNewBuild();
    if (location.protocol === 'file:') {
      refuse('This browser does not run the program from a file on this computer: ' +
             'open the site from a web server.');
      return false;
    }
    if (!threads) {
      registerLater();
      return true;
    }
    if (self.crossOriginIsolated) {
      sessionStorage.removeItem(reloaded);
      register();
      return true;
    }
    // The first visit: once the worker serves this page, a reload (one
    // only) makes it isolated.
    if (!sessionStorage.getItem(reloaded) && await register()) {
      if (!workers.controller) {
        // An active worker does not take a page loaded past it (a forced
        // reload) until asked.
        const changed = new Promise(done => workers.addEventListener('controllerchange', done, {once: true}));
        (await workers.ready).active.postMessage('claim');
        await changed;
      }
      sessionStorage.setItem(reloaded, '1');
      location.reload();
      return false;
    }
    refuse('This page needs a feature that this browser withholds here (memory shared ' +
           'between threads):', 'rainbow_plain draws the same picture', 'plain.html' + location.search);
    return false;
  }

  function refuse(text, linkText, href) {
    say(text, false);
    if (linkText) {
      const link = document.createElement('a');
      link.textContent = linkText;
      link.href = href;
      status.appendChild(link);
      status.appendChild(document.createTextNode('.'));
    }
    status.dataset.refused = 'true';
    canvas.hidden = true;
    closeButton.disabled = true;
  }

  // exit() unwinds the program with an exception the page need not show.
  window.addEventListener('error', e => {
    if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
  });

  function ended(code, why) {
    exited = true;
    if (updating) return endedForUpdate();
    closeButton.disabled = true;
    document.body.dataset.exitCode = code === null ? 'abort' : String(code);
    say(code === null ? 'rainbow_' + program + ' stopped: ' + why + '.'
                      : 'rainbow_' + program + ' has ended (exit code ' + code + ').', true);
  }

  async function start() {
    if (!await mayStart()) {
      knowLimit(Infinity);  // no program to refuse for
      return;
    }
    const bytes = fileName ? await pictureBytes() : null;
    if (updating) return;  // the page starts again from the new build
    // The program's script (loaded before this one) defines the factory.
    if (typeof RainbowProgram !== 'function') {
      knowLimit(Infinity);  // no program to refuse for: the next page tries again
      say('rainbow_' + program + '.js could not be loaded.', false);
      return;
    }
    // The settings become the running program's module: kept as
    // window.rainbow for the console and the benchmarks.
    const settings = window.rainbow = {
      canvas: canvas,
      clientSize: clientSize,
      closeButton: closeButton,
      dialog: document.getElementById('message'),
      setTitle: title => { document.getElementById('title').textContent = title; },
      // The folder takes the bytes as they are (canOwn), not a copy of them.
      preRun: [() => { if (bytes) settings.FS.writeFile(fileName, bytes, {canOwn: true}); }],
      // A debug line ends in the system text's "\r\n": the console's lines
      // need no carriage return.
      print: text => console.log(text.replace(/\r$/, '')),
      printErr: text => console.warn(text.replace(/\r$/, '')),
      onRuntimeInitialized: () => knowLimit(settings._rb_web_picture_limit()),
      onExit: code => ended(code),
      onAbort: why => ended(null, why),
    };
    launched = true;
    // A failure to start is told by onAbort; the promise need not tell it again.
    RainbowProgram(settings).catch(() => {});
    canvas.focus();
  }
  start();
})();

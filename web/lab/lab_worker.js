// The lab page's worker: runs the physical model (rainbow_lab.wasm) off the
// page's thread.  It traces rays in batches of about a frame's time, and
// whenever the page has shown the last picture it sends the next: the
// developed pixels and the profile, both transferred, not copied.  A run's
// first picture goes at once; later ones leave the tracing at least two
// thirds of the time, since developing a large picture takes longer than a
// batch.
//
// From the page: {type: 'run', run, settings} starts a run (a newer one
// replaces it at once), {type: 'shown'} says a picture is on the canvas,
// {type: 'pause', paused} stops and resumes the tracing (a hidden page).
// To the page: {type: 'working', run} (tables that take
// a while), {type: 'frame', run, rays, raysPerSecond, width, height,
// pixels, profile}, {type: 'problem', run, text}.
'use strict';
importScripts('rainbow_lab.js');

const BATCH_MS = 30;             // the tracing between two looks at the page's messages
const FIRST_BATCH = 20000;       // a first picture within a few milliseconds
const MOST_RAYS = 200000000;     // where a run stops: long past any visible grain

let lab = null;
let wanted = null;    // the newest run asked for and not yet set up
let current = null;   // {run, width, height, rays, shownRays}
let batch = FIRST_BATCH;
let rate = 0;         // rays per second of the last batches
let pictureOut = false;
let nextPicture = 0;  // performance.now() of the earliest next one
let paused = false;
let timer = 0;

function schedule() {
  if (!timer && lab && !paused) timer = setTimeout(step, 0);
}

function setUp(request) {
  const s = request.settings;
  current = null;
  pictureOut = false;
  if (s.optics !== 'rays') postMessage({type: 'working', run: request.run});
  const optics = {rays: 0, airy: 1, mie: 2}[s.optics];
  const ok = lab._lab_setup(s.width, s.height, s.sunElevation, s.dropRadius,
                            optics === undefined ? -1 : optics, s.polarizer ? 1 : 0,
                            s.polarizerAngle);
  if (!ok) {
    postMessage({type: 'problem', run: request.run, text: lab.UTF8ToString(lab._lab_problem())});
    return;
  }
  current = {run: request.run, width: s.width, height: s.height, rays: 0, shownRays: 0};
  batch = FIRST_BATCH;
  nextPicture = 0;
}

// The picture and profile of the rays so far, if the page is ready for them
// and it is time (or the run's last rays have landed).
function show() {
  if (!current || pictureOut || current.rays === current.shownRays) return;
  const start = performance.now();
  if (start < nextPicture && current.rays < MOST_RAYS) return;
  const at = lab._lab_develop();
  const bytes = current.width * current.height * 4;
  // Memory may have grown during the calls: views are taken afterwards.
  const pixels = lab.HEAPU8.slice(at, at + bytes).buffer;
  const bins = lab._lab_profile_bins();
  const profileAt = lab._lab_profile();
  const profile = lab.HEAPU8.slice(profileAt, profileAt + bins * 3 * 8).buffer;
  current.shownRays = current.rays;
  pictureOut = true;
  const end = performance.now();
  nextPicture = end + 2 * (end - start);
  postMessage({type: 'frame', run: current.run, rays: current.rays, raysPerSecond: rate,
               width: current.width, height: current.height, pixels: pixels, profile: profile},
              [pixels, profile]);
}

function step() {
  timer = 0;
  if (wanted) {
    const request = wanted;
    wanted = null;
    setUp(request);
  }
  if (!current || paused) return;
  if (current.rays < MOST_RAYS) {
    const count = Math.min(batch, MOST_RAYS - current.rays);
    const start = performance.now();
    current.rays = lab._lab_trace(count);
    const took = performance.now() - start;
    if (took > 0) {
      rate = count / took * 1000;
      // Toward a batch of BATCH_MS, at most doubling at a time.
      batch = Math.max(1000, Math.min(2 * batch, Math.round(rate * BATCH_MS / 1000)));
    } else {
      batch *= 2;
    }
  }
  show();
  if (current.rays < MOST_RAYS) schedule();
}

onmessage = event => {
  const m = event.data;
  if (m.type === 'run') {
    wanted = m;
    schedule();
  } else if (m.type === 'shown') {
    pictureOut = false;
    if (lab) show();  // the last picture of a finished run
  } else if (m.type === 'pause') {
    paused = m.paused;
    schedule();
  }
};

RainbowLab().then(module => {
  lab = module;
  schedule();
}, error => postMessage({type: 'problem', run: -1, text: 'cannot start the model: ' + error}));

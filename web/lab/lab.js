// The lab page: its controls start a run of the physical model in a worker
// (lab_worker.js), whose pictures are drawn on the canvas as they come, and
// whose profile is plotted beside it.  Each shown picture raises a
// 'labframe' event on the document, each run a 'labrun' (tests, benchmarks).
(function() {
  'use strict';
  const RADII = [5, 10, 20, 30, 50, 100, 150, 200, 300, 500, 750, 1000, 1500, 2000];  // µm
  const MOST_PIXELS = 1200000;  // the model's picture, whatever the screen's density
  const $ = id => document.getElementById(id);
  const sky = $('sky'), plot = $('plot'), status = $('status');
  const controls = {sun: $('sun'), optics: $('optics'), radius: $('radius'),
                    polarizer: $('polarizer'), angle: $('angle')};

  let worker = null;
  let run = 0;          // the newest run asked for
  let settings = null;  // its settings
  let latest = null;    // a picture not yet drawn
  let drawing = 0;

  function say(text, problem) {
    status.textContent = text;
    status.classList.toggle('problem', !!problem);
  }

  function millions(n) {
    return n >= 1e6 ? (n / 1e6).toFixed(n >= 1e8 ? 0 : 1) + ' M' : Math.round(n / 1e3) + ' k';
  }

  function read() {
    const optics = controls.optics.value;
    controls.radius.disabled = optics === 'rays';
    controls.angle.disabled = !controls.polarizer.checked;
    $('sun-value').textContent = controls.sun.value + '°';
    $('radius-value').textContent = RADII[+controls.radius.value] + ' µm';
    $('angle-value').textContent = controls.angle.value + '°';
    return {sunElevation: +controls.sun.value, optics: optics,
            dropRadius: RADII[+controls.radius.value], polarizer: controls.polarizer.checked,
            polarizerAngle: +controls.angle.value};
  }

  // The picture's size in pixels: the canvas's width on the page, 4:3, at
  // the screen's density up to two and MOST_PIXELS in all.
  function pictureSize() {
    const css = Math.max(1, sky.parentElement.clientWidth);
    let density = Math.min(2, Math.max(1, window.devicePixelRatio || 1));
    density = Math.min(density, Math.sqrt(MOST_PIXELS / (css * css * 0.75)));
    const width = Math.max(64, Math.round(css * density));
    return [width, Math.round(width * 3 / 4)];
  }

  function start() {
    const s = read();
    const [width, height] = pictureSize();
    s.width = width;
    s.height = height;
    if (sky.width !== width || sky.height !== height) {
      sky.width = width;
      sky.height = height;
    }
    settings = s;
    latest = null;
    ++run;
    document.body.dataset.run = run;
    sky.style.opacity = '';
    document.dispatchEvent(new CustomEvent('labrun', {detail: {run: run, time: performance.now()}}));
    if (worker) worker.postMessage({type: 'run', run: run, settings: s});
  }

  // The profile on a logarithmic scale, four decades below its highest.
  function drawPlot(profile) {
    const width = plot.width, height = plot.height;
    const g = plot.getContext('2d');
    const left = 34, right = 14, top = 16, bottom = 24;
    const from = 120, to = 180, decades = 4;
    g.fillStyle = '#101010';
    g.fillRect(0, 0, width, height);
    const bins = profile.length / 3;
    let highest = 0;
    for (let k = 0; k < bins; ++k) highest = Math.max(highest, profile[3 * k + 1] + profile[3 * k + 2]);
    const x = angle => left + (angle - from) / (to - from) * (width - left - right);
    const y = value => top + Math.min(1, Math.log10(highest / value) / decades) * (height - top - bottom);
    g.font = '10px system-ui, sans-serif';
    g.fillStyle = g.strokeStyle = '#777';
    g.lineWidth = 1;
    g.textAlign = 'center';
    for (let a = from; a <= to; a += 10) {
      g.fillRect(Math.round(x(a)), height - bottom, 1, 4);
      g.fillText(a + '°', x(a), height - bottom + 14);
    }
    g.textAlign = 'right';
    for (let d = 0; d <= decades; ++d) {
      const at = top + d / decades * (height - top - bottom);
      g.fillRect(left - 4, Math.round(at), 4, 1);
      g.fillText(d ? '10⁻' + '¹²³⁴'[d - 1] : '1', left - 6, at + 3);
    }
    g.strokeRect(left + 0.5, top + 0.5, width - left - right - 1, height - top - bottom - 1);
    g.textAlign = 'left';
    g.fillText('scattering angle', left + 4, top - 4);
    if (!(highest > 0)) return;
    const lines = [['#e8e8e8', k => profile[3 * k + 1] + profile[3 * k + 2], 'both'],
                   ['#f9a', k => profile[3 * k + 1], 'perpendicular'],
                   ['#6cf', k => profile[3 * k + 2], 'parallel']];
    let legend = width - right - 4;
    g.textAlign = 'right';
    for (const [colour, value, name] of lines.slice().reverse()) {
      g.fillStyle = colour;
      g.fillText(name, legend, top - 4);
      legend -= g.measureText(name).width + 10;
    }
    g.save();
    g.beginPath();
    g.rect(left, top, width - left - right, height - top - bottom);
    g.clip();
    for (const [colour, value] of lines) {
      g.strokeStyle = colour;
      g.beginPath();
      let on = false;
      for (let k = 0; k < bins; ++k) {
        const v = value(k);
        if (!(v > 0)) {
          on = false;  // no light landed there yet
          continue;
        }
        const px = x(profile[3 * k]), py = y(v);
        if (on) g.lineTo(px, py);
        else g.moveTo(px, py);
        on = true;
      }
      g.stroke();
    }
    g.restore();
  }

  function draw() {
    drawing = 0;
    const m = latest;
    latest = null;
    if (!m || m.run !== run) return;
    if (sky.width !== m.width || sky.height !== m.height) {
      sky.width = m.width;
      sky.height = m.height;
    }
    sky.getContext('2d').putImageData(
        new ImageData(new Uint8ClampedArray(m.pixels), m.width, m.height), 0, 0);
    drawPlot(new Float64Array(m.profile));
    document.body.dataset.rays = m.rays;
    document.body.dataset.shownRun = m.run;
    say(millions(m.rays) + ' rays' +
        (m.raysPerSecond > 0 ? ', ' + millions(m.raysPerSecond) + ' rays a second' : ''));
    worker.postMessage({type: 'shown', run: m.run});
    document.dispatchEvent(new CustomEvent('labframe', {
      detail: {run: m.run, rays: m.rays, raysPerSecond: m.raysPerSecond, time: performance.now()}}));
  }

  function received(event) {
    const m = event.data;
    if (m.type === 'frame') {
      if (m.run !== run) return;
      latest = m;
      if (!drawing) drawing = requestAnimationFrame(draw);
    } else if (m.type === 'working') {
      if (m.run === run)
        say('Working out the ' + (settings.optics === 'mie' ? 'Lorenz-Mie' : 'Airy') +
            ' tables for drops of ' + settings.dropRadius + ' µm…');
    } else if (m.type === 'problem') {
      if (m.run !== run && m.run !== -1) return;
      sky.style.opacity = '0.3';
      say(m.text.charAt(0).toUpperCase() + m.text.slice(1) + '.', true);
    }
  }

  function save() {
    const s = settings;
    let name = 'rainbow-lab-sun' + s.sunElevation + '-' + s.optics;
    if (s.optics !== 'rays') name += '-' + s.dropRadius + 'um';
    if (s.polarizer) name += '-filter' + s.polarizerAngle;
    // The canvas as it is at the click, whatever lands after it.
    sky.toBlob(blob => {
      if (!blob) return say('The browser made no PNG of the picture.', true);
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name + '.png';
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    }, 'image/png');
  }

  for (const control of Object.values(controls)) control.addEventListener('input', start);
  $('save').addEventListener('click', save);
  // A new width of the page is a new picture; a new height (a phone's bar
  // of addresses folding away) is not.
  let width = sky.parentElement.clientWidth, resized = 0;
  new ResizeObserver(() => {
    if (sky.parentElement.clientWidth === width) return;
    width = sky.parentElement.clientWidth;
    clearTimeout(resized);
    resized = setTimeout(start, 150);
  }).observe(sky.parentElement);
  document.addEventListener('visibilitychange', () => {
    if (worker) worker.postMessage({type: 'pause', paused: document.hidden});
  });

  if (!window.Worker || !window.WebAssembly) {
    say('This browser runs no WebAssembly in a worker, which the lab needs.', true);
    return;
  }
  worker = new Worker('lab_worker.js');
  worker.onmessage = received;
  worker.onerror = event => say('The model stopped: ' + (event.message || 'an error') + '.', true);
  start();
  // The site's service worker, where the site has one, keeps the lab for
  // use offline too.
  if ('serviceWorker' in navigator && self.isSecureContext) {
    window.addEventListener('load', () => navigator.serviceWorker.register('service_worker.js')
                                              .catch(() => {}));
  }
})();

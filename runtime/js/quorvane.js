/* Tarvik's prefetch loader. Finds the page's fetch file (the ID of the page's "Quorvane" applet
 * element, or the page's entry in the agent directory's index.qvf for a page that carries only
 * this script) and, once the page has loaded, fetches the listed files into the browser's cache
 * during idle time: in list order, two at a time, each once, same origin only. Defines
 * startQuorvane(). A missing or malformed file ends it with one console line, never an error. */
(() => {
  'use strict';
  const W = window, D = document, L = location;
  const own = D.currentScript && D.currentScript.src;
  let started = false;
  const note = (line) => { try { console.log('Quorvane: ' + line); } catch (e) { /* none */ } };
  const at = (ref, base) => new URL(ref, base || L.href);
  const idle = (f) => W.requestIdleCallback ? requestIdleCallback(f, { timeout: 2000 }) : setTimeout(f, 50);

  // The lines of an instruction file; null when it is cut short. Text form: each line ends with
  // LF. Scrambled form: "{{", four key bytes, then lines each ended by ";", every byte XORed with
  // the key byte of a position that runs on, modulo 4, across the whole file.
  const decode = (buffer) => {
    let b = new Uint8Array(buffer), key = null, end = 10, i = 0, p = 0;
    if (b[0] === 123 && b[1] === 123) {
      if (b.length < 6) return null;
      key = b.slice(2, 6);
      b = b.slice();
      end = 59;
      i = 6;
    }
    const lines = [], text = new TextDecoder();
    let from = i;
    for (; i < b.length; i++) {
      if ((key ? (b[i] ^= key[p++ & 3]) : b[i]) === end) {
        lines.push(text.decode(b.subarray(from, i)));
        from = i + 1;
      }
    }
    return from === b.length ? lines : null;
  };

  const load = async (url) => {
    const r = await fetch(url, { credentials: 'same-origin' });
    if (!r.ok) throw new Error(url + ' answered ' + r.status);
    const lines = decode(await r.arrayBuffer());
    if (!lines || !lines.length) throw new Error(url + ' is malformed');
    return lines;
  };

  // The agent directory and the page's first fetch file ("@@" for none): from the applet
  // element, else from index.qvf beside this script (names compared without regard to case,
  // escaped or not, with or without the query; a directory address finds its index page).
  const find = async () => {
    for (const a of D.getElementsByName('Quorvane')) {
      if (a.tagName !== 'APPLET') continue;
      for (const p of a.getElementsByTagName('param')) {
        if ((p.getAttribute('name') || '').toUpperCase() === 'ID') {
          return [at((a.getAttribute('codebase') || '.').replace(/\/?$/, '/')),
            p.getAttribute('value') || '@@'];
        }
      }
    }
    if (!own) throw new Error('no applet element on the page');
    const base = at('.', own), path = L.pathname, q = L.search;
    let dir = path;
    try { dir = decodeURIComponent(path); } catch (e) { /* kept escaped */ }
    const names = [path + q, path, dir + q, dir].map((n) => n.toLowerCase());
    dir = dir.endsWith('/') ? dir.toLowerCase() : null;
    const lines = await load(at('index.qvf', base).href);
    for (let i = 0; i + 1 < lines.length; i += 2) {
      const name = lines[i].toLowerCase();
      if (names.includes(name) || (dir && name.startsWith(dir) &&
          /^(index|default)\.[^/]*$/.test(name.slice(dir.length)))) {
        return [base, lines[i + 1]];
      }
    }
    throw new Error('index.qvf names no ' + path);
  };

  const fetchFiles = (urls, show) => {
    let next = 0, busy = 0;
    const byLink = D.createElement('link').relList.supports('prefetch');
    const get = (url) => {
      let over = false, link = null;
      const done = () => {
        if (over) return;
        over = true;
        busy--;
        if (link) link.remove();
        idle(pump);
      };
      if (show) note('prefetch ' + url);
      if (byLink) {
        link = D.createElement('link');
        link.rel = 'prefetch';
        link.href = url;
        link.onload = link.onerror = done;
        D.head.appendChild(link);
      } else {
        fetch(url, { credentials: 'same-origin', priority: 'low' }).then(done, done);
      }
      setTimeout(done, 30000);
    };
    const pump = () => {
      try {
        while (!D.hidden && busy < 2 && next < urls.length) {
          busy++;
          get(urls[next++]);
        }
      } catch (e) {
        note(e.message);
      }
    };
    D.addEventListener('visibilitychange', () => D.hidden || idle(pump));
    idle(pump);
  };

  const run = async () => {
    try {
      const c = navigator.connection;
      if (c && (c.saveData || /2g$/.test(c.effectiveType))) return;
      const [base, first] = await find();
      const entries = [], seen = new Set();
      // Each part names the next one in its first line, the last one "@@".
      for (let part = first; part !== '@@';) {
        const url = at(part).href;
        if (seen.has(url)) throw new Error(url + ' repeats');
        seen.add(url);
        const lines = await load(url);
        entries.push(...lines.slice(1));
        part = lines[0];
      }
      if (!entries.length) return;
      const props = await load(at('quorvane.properties', base).href);
      const urls = [];
      seen.clear();
      for (const e of entries) {
        const u = at(e.replace(/^#/, ''));
        u.hash = '';
        if (u.origin === L.origin && !seen.has(u.href)) {
          seen.add(u.href);
          urls.push(u.href);
        }
      }
      fetchFiles(urls, props.some((l) => /^\s*ShowPrefetch\s*=\s*yes\s*$/i.test(l)));
    } catch (e) {
      note(e.message);
    }
  };

  // Called by the page's onLoad; a page that carries only this script starts it itself.
  W.startQuorvane = () => {
    try {
      if (started) return;
      started = true;
      if (D.readyState === 'complete') idle(run);
      else W.addEventListener('load', () => idle(run));
    } catch (e) {
      note(e.message);
    }
  };
  W.startQuorvane();
})();

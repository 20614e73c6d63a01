// The browser-side loader in a real Chromium: small sites processed by the built tarvik (both
// instruction-file forms, and a dynamic site whose pages carry only the script tag), served by
// nginx on 127.0.0.1, opened headless. Run by ctest as `node loader.test.mjs`; exits 77 (skipped)
// only when Chromium cannot start here.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import net from 'node:net';
import { spawn, execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
// Playwright from the folder scripts/install-deps fills (build/e2e-node).
const playwright = createRequire(path.join(process.env.TARVIK_E2E_NODE, 'package.json'))('playwright-core');

const tarvikExe = process.env.TARVIK_EXE;
const runtimeDir = process.env.TARVIK_RUNTIME_DIR;
const appletFiles = ['qvan.zip', 'qvan.cab', 'qvan.jar', 'quorvane.class', 'a.class', 'b.class'];

let browser;
try {
  browser = await playwright.chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox'],
  });
} catch (e) {
  console.log('SKIPPED: Chromium cannot start: ' + String(e.message).split('\n')[0]);
  process.exit(77);
}

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-e2e-'));
fs.chmodSync(tmp, 0o755);  // nginx's workers run as nobody when the tests run as root
const at = (...parts) => path.join(tmp, ...parts);
const write = (file, text) => {
  fs.mkdirSync(path.dirname(file), { recursive: true, mode: 0o755 });
  fs.writeFileSync(file, text, { mode: 0o644 });
};
const page = (body, attrs = '') =>
  `<html>\r\n<head><title>t</title></head>\r\n<body${attrs}>\r\n${body}\r\n</body>\r\n</html>\r\n`;

// The working directory: the loader and the applet files (from the built runtime folder when it
// holds them, small stand-ins otherwise).
for (const name of ['quorvane.js', ...appletFiles]) {
  const built = path.join(runtimeDir, name);
  write(at('work', name), fs.existsSync(built) ? fs.readFileSync(built) : 'stand-in ' + name);
}

// Two copies of one static site, processed into the scrambled and the text form.
const hubLinks = Array.from({ length: 30 }, (_, i) => `<a href="p/${i}.html">${i}</a>`).join('\n');
for (const form of ['scrambled', 'text']) {
  write(at(form, 'index.html'), page('<a href="a.html">A</a> <a href="b.html">B</a>\r\n' +
    '<a href="hub.html">Hub</a>', ' onLoad="window.ownOnLoad = (window.ownOnLoad || 0) + 1"'));
  write(at(form, 'a.html'), page('<img src="images/pic.png">'));
  write(at(form, 'b.html'), page('<script>window.pageScript = 1</script><a href="a.html">A</a>'));
  write(at(form, 'hub.html'), page(hubLinks));
  write(at(form, 'images/pic.png'), 'not really a picture');
  for (let i = 0; i < 30; i++) write(at(form, 'p', `${i}.html`), page(`page ${i}`));
}
// A dynamic site: the run writes the instruction files and leaves the pages alone.
write(at('dynamic', 'shop', 'item.html'),
  page('<script src="/tarvik/quorvane.js"></script><a href="../cart.html">Cart</a>'));
write(at('dynamic', 'index.html'), page('<a href="shop/item.html">Item</a>'));
write(at('dynamic', 'cart.html'), page('<img src="images/cart.png">'));
write(at('dynamic', 'images', 'cart.png'), 'not really a picture');
// A site whose pages are linked as directories, processed with CleanUrls on.
write(at('clean', 'index.html'), page('<a id="toBlog" href="/blog/">Blog</a>'));
write(at('clean', 'blog', 'index.html'), page('<a href="/">Home</a>'));
// The text form is switched on for every agent of a settings file by a value of the product key.
write(at('text.reg'), 'Windows Registry Editor Version 5.00\n\n' +
  '[HKEY_CURRENT_USER\\Software\\Quorvane\\Tarvik\\1.0B]\n"AsciiPrefetch"="on"\n\n');

// The lines of instruction files, through tarvik decode; and the form it names.
const decode = (file) => tarvik('scrambled.reg', 'decode', file).split('\n').slice(1, -1);
const formOf = (file) => /\((\w+) form/.exec(tarvik('scrambled.reg', 'decode', file))[1];
const fetchFileOf = (site, name) => {
  const lines = decode(at(site, 'tarvik', 'index.qvf'));
  return lines[lines.indexOf(name) + 1];
};

// One nginx, one server and access log per site.
const freePort = () => new Promise((resolve) => {
  const s = net.createServer().listen(0, '127.0.0.1', () => {
    const { port } = s.address();
    s.close(() => resolve(port));
  });
});
const sites = ['scrambled', 'text', 'dynamic', 'clean'];
const ports = {};
for (const site of sites) ports[site] = await freePort();
write(at('nginx', 'nginx.conf'), `${process.getuid() === 0 ? 'user nobody nogroup;' : ''}
worker_processes 1; daemon off; pid ${at('nginx', 'pid')}; error_log ${at('nginx', 'error.log')};
events { worker_connections 64; }
http {
  types { text/html html; image/png png; application/javascript js; }
  default_type application/octet-stream;
  log_format short '$request_method $uri $status';
  client_body_temp_path ${at('nginx')}; proxy_temp_path ${at('nginx')};
  fastcgi_temp_path ${at('nginx')}; uwsgi_temp_path ${at('nginx')}; scgi_temp_path ${at('nginx')};
${sites.map((s) => `  server { listen 127.0.0.1:${ports[s]}; root ${at(s)};
    access_log ${at('nginx', s + '.log')} short; }`).join('\n')}
}
`);
const nginx = spawn('/usr/sbin/nginx', ['-p', at('nginx'), '-c', at('nginx', 'nginx.conf'),
  '-e', at('nginx', 'error.log')], { stdio: 'inherit' });
process.on('exit', () => nginx.kill('SIGQUIT'));  // also when the set-up below fails
const until = async (check, ms = 20000) => {
  for (const end = Date.now() + ms; Date.now() < end; await new Promise((r) => setTimeout(r, 100))) {
    if (await check()) return true;
  }
  return false;
};
assert.ok(await until(() => fetch(`http://127.0.0.1:${ports.dynamic}/cart.html`).then(
  (r) => r.ok, () => false)), 'nginx did not start');
const tarvik = (registry, ...args) => execFileSync(tarvikExe,
  ['--registry', at(registry), '--workdir', at('work'), ...args],
  { env: { ...process.env, HOME: tmp, TZ: 'UTC' }, encoding: 'utf8' });
const addAndRun = (registry, name, ...settings) => {
  tarvik(registry, 'add', 'Description=' + name, 'DomainName=127.0.0.1', 'ignoreLogFile=true',
    'IsBackup=false', 'IsScriptPrefetch=true', '--create-dirs', ...settings);
  tarvik(registry, 'run', name);
};
addAndRun('scrambled.reg', 'Scrambled', 'RootDirectory=' + at('scrambled'));
addAndRun('text.reg', 'Text', 'RootDirectory=' + at('text'));
// The dynamic site is read through its server.
addAndRun('scrambled.reg', 'Dynamic', 'DomainName=127.0.0.1:' + ports.dynamic,
  'IsDynamicSite=true', 'FilesDirectory=' + at('dynamic', 'tarvik'));
addAndRun('scrambled.reg', 'Clean', 'RootDirectory=' + at('clean'), 'CleanUrls=true');

const logOf = (site) => (fs.existsSync(at('nginx', site + '.log')) ?
  fs.readFileSync(at('nginx', site + '.log'), 'utf8').split('\n').filter(Boolean) : []);

after(async () => {
  await browser.close();
  nginx.kill('SIGQUIT');
  if (process.env.TARVIK_E2E_KEEP) console.log('kept ' + tmp);
  else fs.rmSync(tmp, { recursive: true, force: true });
});

// Opens url in a fresh browser context (an empty cache) and records the requests it makes.
async function open(site, pagePath, init) {
  const context = await browser.newContext();
  if (init) await context.addInitScript(init);
  const tab = await context.newPage();
  const seen = [], notes = [], errors = [], load = { now: 0, most: 0 };
  tab.on('request', (r) => {
    seen.push(new URL(r.url()).pathname);
    load.most = Math.max(load.most, ++load.now);
  });
  for (const end of ['requestfinished', 'requestfailed']) tab.on(end, () => load.now--);
  tab.on('console', (m) => notes.push(m.text()));
  tab.on('pageerror', (e) => errors.push(e.message));
  const skip = logOf(site).length;
  await tab.goto(`http://127.0.0.1:${ports[site]}${pagePath}`, { waitUntil: 'load' });
  return { context, tab, seen, notes, errors, load, served: () => logOf(site).slice(skip) };
}
// What the loader should fetch for a page: the entries of its parts, without markers, once each.
const entriesOf = (site, pageDir, parts) => [...new Set(parts.flatMap((p) => decode(at(site, p))
  .slice(1).map((e) => path.posix.join(pageDir, e.replace(/^#/, '')))))];
// Waits for the last expected request to have been served, then a little longer for extra ones.
async function settle(run, expected) {
  const last = 'GET ' + expected[expected.length - 1] + ' ';
  assert.ok(await until(() => run.served().some((l) => l.startsWith(last))), 'never served: ' + last);
  await new Promise((r) => setTimeout(r, 1000));
}
const paths = (lines) => lines.map((l) => l.split(' ')[1]).filter((p) => p !== '/favicon.ico');

test('the home page fetches its fetch file, then its list in order, nothing else', async (t) => {
  // The last row: a browser without idle callbacks and link prefetch (fetch does the work).
  const bare = () => {
    window.requestIdleCallback = undefined;
    DOMTokenList.prototype.supports = () => false;
  };
  for (const [site, init] of [['scrambled'], ['text'], ['text', bare]]) {
    await t.test(site + (init ? ', bare browser' : ''), async () => {
      const fetchFile = fetchFileOf(site, '/index.html');
      assert.equal(formOf(at(site, fetchFile)), site);
      const entries = entriesOf(site, '/', [fetchFile]);
      assert.deepEqual(entries, ['/a.html', '/b.html', '/hub.html']);
      const expected = ['/index.html', '/tarvik/quorvane.js', fetchFile,
        '/tarvik/quorvane.properties', ...entries];
      const run = await open(site, '/', init);
      await settle(run, expected);
      assert.deepEqual(run.seen.map((p) => (p === '/' ? '/index.html' : p)), expected);
      assert.deepEqual(paths(run.served()).map((p) => (p === '/' ? '/index.html' : p)).sort(),
        [...expected].sort());
      assert.equal(await run.tab.evaluate(() => window.ownOnLoad), 1);
      assert.deepEqual(run.errors, []);
      await run.context.close();
    });
  }
});

test('a list of two parts is followed to its last part', async () => {
  const first = fetchFileOf('scrambled', '/hub.html');
  const second = first.replace('x0.qvf', 'x1.qvf');
  assert.equal(decode(at('scrambled', first))[0], second.slice(1));
  const entries = entriesOf('scrambled', '/', [first, second]);
  assert.equal(entries.length, 30);
  const run = await open('scrambled', '/hub.html');
  await settle(run, entries);
  assert.deepEqual(run.seen, ['/hub.html', '/tarvik/quorvane.js', first, second,
    '/tarvik/quorvane.properties', ...entries]);
  assert.equal(run.load.most, 2);  // requests at a time
  await run.context.close();
});

test('with saveData on nothing is prefetched', async () => {
  const run = await open('text', '/', () => Object.defineProperty(navigator, 'connection',
    { value: { saveData: true, effectiveType: '4g' } }));
  await new Promise((r) => setTimeout(r, 2000));
  assert.deepEqual(run.seen, ['/', '/tarvik/quorvane.js']);
  assert.equal(await run.tab.evaluate(() => window.ownOnLoad), 1);
  await run.context.close();
});

test('a dynamic page with only the script tag finds its list through index.qvf', async () => {
  assert.ok(!fs.readFileSync(at('dynamic', 'shop', 'item.html'), 'utf8').includes('applet'));
  const fetchFile = fetchFileOf('dynamic', '/shop/item.html');
  const entries = entriesOf('dynamic', '/shop', [fetchFile]);
  assert.deepEqual(entries, ['/cart.html']);
  const run = await open('dynamic', '/shop/item.html');
  await settle(run, entries);
  assert.deepEqual(run.seen, ['/shop/item.html', '/tarvik/quorvane.js', '/tarvik/index.qvf',
    fetchFile, '/tarvik/quorvane.properties', ...entries]);
  await run.context.close();
});

test('a malformed fetch file leaves the page working and prefetches nothing', async () => {
  const fetchFile = fetchFileOf('text', '/b.html');
  write(at('text', fetchFile), '{{ab');  // ends inside the scrambled header
  const run = await open('text', '/b.html');
  const url = `http://127.0.0.1:${ports.text}${fetchFile}`;
  assert.ok(await until(() => run.notes.length > 0));
  await new Promise((r) => setTimeout(r, 1000));
  assert.deepEqual(run.notes, [`Quorvane: ${url} is malformed`]);
  assert.deepEqual(run.seen, ['/b.html', '/tarvik/quorvane.js', fetchFile]);
  assert.equal(await run.tab.evaluate(() => window.pageScript), 1);
  assert.deepEqual(run.errors, []);
  await run.context.close();
});

test('with clean URLs a click on /blog/ takes the prefetched response, no second request', async () => {
  const run = await open('clean', '/');
  // The server logs the file a directory name is served from.
  await settle(run, ['/blog/index.html']);
  assert.ok(run.seen.includes('/blog/'), run.seen.join(' '));
  await Promise.all([run.tab.waitForURL('**/blog/'), run.tab.click('#toBlog')]);
  await new Promise((r) => setTimeout(r, 1000));
  assert.equal(await run.tab.evaluate(() => document.body.innerHTML.includes('Home')), true);
  // A revalidation (304) may follow; the body is the prefetched one.
  assert.deepEqual(run.served().filter((l) => l.startsWith('GET /blog/') && !l.endsWith(' 304')),
    ['GET /blog/index.html 200']);
  await run.context.close();
});

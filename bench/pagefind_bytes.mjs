// The bytes Pagefind's own search script loads for queries on a site it
// indexed (SITE/pagefind/), run under Node with its fetch served from disk:
// for each query on standard input, what a header query loads (the search
// and the first eight results' data) and what a search page quoting twenty
// results loads. Prints JSON lines {"q", "hits", "header", "searchPage"}.
//   node pagefind_bytes.mjs SITE < queries
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const site = process.argv[2];
let loaded = 0;
globalThis.window = globalThis;
globalThis.location = { href: 'http://localhost/', origin: 'http://localhost' };
globalThis.document = { currentScript: null, querySelector() { return null; } };
globalThis.fetch = async (url) => {
  const file = path.join(site, new URL(String(url), 'http://localhost/').pathname);
  const bytes = fs.readFileSync(file);
  loaded += bytes.length;
  return new Response(bytes, { headers: { 'content-type': file.endsWith('.json') ? 'application/json' : file.endsWith('.wasm') ? 'application/wasm' : 'application/octet-stream' } });
};
const lines = fs.readFileSync(0, 'utf8').split('\n').filter((l) => l.trim());
for (const q of lines) {
  // A fresh module each time: nothing loaded yet.
  const pagefind = await import(pathToFileURL(path.join(site, 'pagefind/pagefind.js')).href + '?q=' + encodeURIComponent(q));
  await pagefind.options({ basePath: 'http://localhost/pagefind/' });
  loaded = 0;
  await pagefind.init();
  const search = await pagefind.search(q);
  await Promise.all(search.results.slice(0, 8).map((r) => r.data()));
  const header = loaded;
  await Promise.all(search.results.slice(8, 20).map((r) => r.data()));
  console.log(JSON.stringify({ q, hits: search.results.length, header, searchPage: loaded }));
}

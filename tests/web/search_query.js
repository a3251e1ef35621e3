// Runs the pages' own search (help.js) under Node on a built site, for
// queries given on standard input (one per line), and prints each query's
// hits as JSON lines: {"q": ..., "hits": [page file, ...], "corrected": ...}.
// With --bytes, each line says instead the bytes the query loaded in the
// header's field (its index parts and the names of the hits it lists) and
// on the search page (with the texts the first twenty hits quote):
// {"q": ..., "hits": N, "header": BYTES, "searchPage": BYTES}.
//   node search_query.js SITE_DIR [--bytes] < queries
'use strict';
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const site = process.argv[2];
const bytes = process.argv[3] === '--bytes';
let loaded = 0;
const context = {
  window: { location: { search: '' }, addEventListener() {} },
  console,
};
context.document = {
  documentElement: { className: '' },
  addEventListener() {},
  getElementById() { return null; },
  querySelector() { return null; },
  querySelectorAll() { return []; },
  getElementsByTagName() { return [{ appendChild(s) { s.load(); } }]; },
  createElement() {
    const s = {
      load() {
        const file = path.join(site, s.src);
        if (fs.existsSync(file)) {
          loaded += fs.statSync(file).size;
          vm.runInContext(fs.readFileSync(file, 'utf8'), context);
        }
        (s.onload || (() => {}))();
      },
    };
    return s;
  },
};
vm.createContext(context);
vm.runInContext(fs.readFileSync(path.join(site, 'help.js'), 'utf8'), context);
const lines = fs.readFileSync(0, 'utf8').split('\n').filter((l) => l.trim());
for (const q of lines) {
  context.__q = q;
  if (bytes) {
    // A fresh page each time: nothing loaded yet.
    vm.runInContext('SEARCH = { meta: null, parts: {}, pages: {}, texts: {}, loading: {} }; STEMMERS = {};', context);
    loaded = 0;
    vm.runInContext('query(__q, function (r) { __r = r; })', context);
    const header = loaded;
    vm.runInContext('if (__r) withPages(__r.hits.slice(0, 20).map(function (h) { return h[0]; }), true, function () {})', context);
    console.log(JSON.stringify({ q, hits: context.__r ? context.__r.hits.length : 0, header, searchPage: loaded }));
    continue;
  }
  vm.runInContext(`query(__q, function (r) { __r = r; })`, context);
  const r = context.__r;
  // Every hit's name (a list shows the first ones; the set checks them all).
  if (r) vm.runInContext('withPages(__r.hits.map(function (h) { return h[0]; }), false, function () {})', context);
  const hits = r ? r.hits.map((h) => vm.runInContext(`pageAt(${h[0]})[0]`, context)) : [];
  const corrected = r && r.corrected && r.corrected.length ? vm.runInContext('correctedQuery(__r)', context) : '';
  console.log(JSON.stringify({ q, hits, corrected }));
}

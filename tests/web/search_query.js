// Runs the pages' own search (help.js) under Node on a built site, for
// queries given on standard input (one per line), and prints each query's
// hits as JSON lines: {"q": ..., "hits": [page file, ...], "corrected": ...}.
//   node search_query.js SITE_DIR < queries
'use strict';
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const site = process.argv[2];
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
        if (fs.existsSync(file)) vm.runInContext(fs.readFileSync(file, 'utf8'), context);
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
  vm.runInContext(`query(__q, function (r) { __r = r; })`, context);
  const r = context.__r;
  const hits = r ? r.hits.map((h) => context.SEARCH.meta.pages[h[0]][0]) : [];
  const corrected = r && r.corrected && r.corrected.length ? vm.runInContext('correctedQuery(__r)', context) : '';
  console.log(JSON.stringify({ q, hits, corrected }));
}

function each(list, f) {
  for (var i = 0; i < list.length; ++i) f(list[i]);
}
// The pop-up open, and the link that opened it (focus goes back there).
var openBox = null, openLink = null;
function closePopup(refocus) {
  if (!openBox) return;
  openBox.style.display = 'none';
  if (openLink.setAttribute) openLink.setAttribute('aria-expanded', 'false');
  if (refocus && openLink.focus) openLink.focus();
  openBox = openLink = null;
}
function popup(link, id) {
  var box = document.getElementById('box-' + id);
  if (!box) return false;
  var again = box === openBox;
  closePopup(false);
  if (!again) {
    var r = link.nodeName === 'AREA' ? areaRect(link) : link.getBoundingClientRect();
    box.style.display = 'block';
    var left = Math.max(0, Math.min(r.left, document.documentElement.clientWidth - box.offsetWidth - 4));
    box.style.left = (window.pageXOffset + left) + 'px';
    box.style.top = (window.pageYOffset + r.bottom + 4) + 'px';
    layTabs(box);
    openBox = box; openLink = link;
    link.setAttribute('aria-expanded', 'true');
    box.focus();
  }
  return false;
}
// Escape closes the pop-up (the keyboard back on its link) and the list
// of search hits; a click anywhere outside closes them too.
document.addEventListener('keydown', function (e) {
  var escape = e.key === 'Escape' || e.key === 'Esc' || e.keyCode === 27;
  if (escape && openBox) closePopup(true);
  else if (escape) showFound(null);
});
document.addEventListener('mousedown', function (e) {
  var inBox = false, inFind = false;
  for (var n = e.target; n; n = n.parentNode) {
    if (openBox && (n === openBox || n === openLink)) inBox = true;
    if (n.className === 'find') inFind = true;
  }
  if (openBox && !inBox) closePopup(false);
  if (!inFind) showFound(null);
});
// Where an area of an image map is on the screen.
function areaRect(area) {
  var image = document.querySelector('img[usemap="#' + area.parentNode.name + '"]');
  var r = image.getBoundingClientRect(), c = area.coords.split(',');
  return { left: r.left + parseFloat(c[0]), bottom: r.top + parseFloat(c[3]) };
}
// Tabs reach the paragraph's next tab stop (data-tabs, in points from the
// left margin), else the next half inch, as in the help viewer. Laid out in
// order, each measured once those before it are placed.
function layTabs(root) {
  var tabs = root.querySelectorAll('span.tab');
  each(tabs, function (t) { t.style.width = '0px'; });
  each(tabs, function (t) {
    var p = t.parentNode;
    while (p && p.nodeName !== 'P' && p.nodeName !== 'H1') p = p.parentNode;
    if (!p || p.offsetParent === null) return;
    var stops = (p.getAttribute('data-tabs') || '').split(',');
    var origin = p.getBoundingClientRect().left - parseFloat(window.getComputedStyle(p).marginLeft);
    var x = t.getBoundingClientRect().left - origin, next = null;
    for (var i = 0; i < stops.length && next === null; ++i)
      if (stops[i] !== '' && parseFloat(stops[i]) * 4 / 3 > x + 0.5) next = parseFloat(stops[i]) * 4 / 3;
    if (next === null) next = (Math.floor(x / 48 + 0.01) + 1) * 48;
    t.style.width = (next - x) + 'px';
  });
}
window.addEventListener('load', function () { layTabs(document); });
window.addEventListener('resize', function () { layTabs(document); });
// A value of the page's address (page.html?name=value).
function parameter(name) {
  var pairs = window.location.search.replace(/^\?/, '').split('&');
  for (var i = 0; i < pairs.length; ++i) {
    var eq = pairs[i].indexOf('=');
    if (eq > 0 && decodeURIComponent(pairs[i].slice(0, eq)) === name)
      return decodeURIComponent(pairs[i].slice(eq + 1).replace(/\+/g, ' '));
  }
  return null;
}
// This page's file name, as the contents name it.
function pageName(href) {
  var name = href.split('#')[0].split('?')[0];
  name = name.slice(name.lastIndexOf('/') + 1);
  try { name = decodeURIComponent(name); } catch (e) {}
  return name.toLowerCase();
}
// The contents tree beside the page (TOC: level, text, page), books
// folded except those that lead to this page, which is marked and shown.
function buildPane() {
  var pane = document.getElementById('pane');
  if (!pane || typeof TOC === 'undefined') return;
  var here = pageName(window.location.pathname), current = null;
  var root = document.createElement('ul'), lists = [root], last = null;
  for (var i = 0; i < TOC.length; ++i) {
    var level = Math.max(1, TOC[i][0]);
    while (lists.length < level) {
      if (!last) { last = document.createElement('li'); lists[lists.length - 1].appendChild(last); }
      var sub = document.createElement('ul');
      last.appendChild(sub);
      lists.push(sub);
      last = null;
    }
    while (lists.length > level) lists.pop();
    var li = document.createElement('li'), entry;
    if (TOC[i][2]) {
      entry = document.createElement('a');
      entry.href = TOC[i][2];
      if (!current && pageName(TOC[i][2]) === here) { current = entry; entry.setAttribute('aria-current', 'page'); }
    } else {
      entry = document.createElement('span');
      entry.className = 'book';
    }
    entry.appendChild(document.createTextNode(TOC[i][1]));
    li.appendChild(entry);
    lists[lists.length - 1].appendChild(li);
    last = li;
  }
  // Books: a button folds or unfolds what they hold.
  each(root.querySelectorAll('li'), function (li) {
    var sub = li.lastChild;
    if (!sub || sub.nodeName !== 'UL') return;
    var twist = document.createElement('button');
    twist.type = 'button';
    twist.className = 'twist';
    twist.setAttribute('aria-label', li.firstChild.textContent || '');
    li.insertBefore(twist, li.firstChild);
    foldBook(twist, true);
    twist.onclick = function () { foldBook(twist, twist.getAttribute('aria-expanded') === 'true'); };
  });
  for (var n = current; n && n !== root; n = n.parentNode)
    if (n.nodeName === 'LI' && n.firstChild.className === 'twist') foldBook(n.firstChild, false);
  pane.appendChild(root);
  if (current) pane.scrollTop = Math.max(0, current.offsetTop - pane.clientHeight / 3);
}
function foldBook(twist, folded) {
  twist.setAttribute('aria-expanded', folded ? 'false' : 'true');
  twist.innerHTML = folded ? '&#9656;' : '&#9662;';
  twist.parentNode.lastChild.style.display = folded ? 'none' : '';
}
// On a narrow screen the contents fold behind a button.
function toggleMenu(button) {
  var pane = document.getElementById('pane');
  var open = pane.className.indexOf('open') < 0;
  pane.className = open ? 'pane open' : 'pane';
  button.setAttribute('aria-expanded', open ? 'true' : 'false');
  if (open) { var a = pane.querySelector('[aria-current]') || pane.querySelector('a'); if (a) a.focus(); }
}
// The search. The index (search/) is read as scripts, so that it loads
// from disk too: meta.js names the pages, each w<N>.js holds the terms
// that start alike, t<N>.js the pages' texts the results quote.
var WORD;
try { WORD = new RegExp('[\\p{L}\\p{N}]+', 'gu'); }
catch (e) { WORD = /[0-9A-Za-z\u00aa\u00b5\u00ba\u00c0-\u00d6\u00d8-\u00f6\u00f8-\u02af\u0370-\u03ff\u0400-\u052f\u0590-\u06ff\u0e00-\u0e7f\u3040-\u30ff\u3400-\u9fff\uac00-\ud7af\uf900-\ufaff]+/g; }
var FOLD = {'\u00df': 'ss', '\u00e6': 'ae', '\u0153': 'oe', '\u00f8': 'o', '\u0142': 'l', '\u0111': 'd', '\u00f0': 'd', '\u00fe': 'th', '\u0131': 'i'};
function isCjk(c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F);
}
// Lower case, without accents, as the index has its terms.
function fold(s) {
  s = s.toLowerCase();
  if (s.normalize) s = s.normalize('NFD').replace(/[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]/g, '');
  return s.replace(/[\u00df\u00e6\u0153\u00f8\u0142\u0111\u00f0\u00fe\u0131]/g, function (c) { return FOLD[c]; });
}
// A word's stem in the help's language, when the page knows its stemmer.
var STEMMERS = {};
function stem(word) {
  var s = SEARCH.meta && STEMMERS[SEARCH.meta.stemmer];
  return s ? s(word) : word;
}
// The terms of a text: stems folded; Chinese, Japanese and Korean by pairs
// of characters.
function terms(text) {
  var out = [], runs = text.match(WORD) || [];
  each(runs, function (run) {
    for (var i = 0, j; i < run.length; i = j) {
      var cjk = isCjk(run.charCodeAt(i));
      for (j = i; j < run.length && isCjk(run.charCodeAt(j)) === cjk; ++j) {}
      var part = run.slice(i, j);
      if (!cjk) { var t = fold(stem(part.toLowerCase())); if (t) out.push(t); }
      else if (part.length === 1) out.push(part);
      else for (var k = 0; k + 1 < part.length; ++k) out.push(part.substr(k, 2));
    }
  });
  return out;
}
var SEARCH = { meta: null, parts: {}, texts: {}, loading: {} };
function searchMeta(m) { SEARCH.meta = m; }
function searchPart(n, t) { SEARCH.parts[n] = t; }
function searchTexts(n, t) { SEARCH.texts[n] = t; }
// The scripts named (each once), then ready().
function withScripts(names, ready) {
  var left = 0;
  function one() { if (--left === 0) ready(); }
  each(names, function (name) {
    if (SEARCH.loading[name] === true) return;
    ++left;
    if (SEARCH.loading[name]) { SEARCH.loading[name].push(one); return; }
    SEARCH.loading[name] = [one];
    var s = document.createElement('script');
    s.src = name;
    s.onload = s.onerror = function () { var w = SEARCH.loading[name]; SEARCH.loading[name] = true; each(w, function (f) { f(); }); };
    document.getElementsByTagName('head')[0].appendChild(s);
  });
  if (left === 0) ready();
}
function partOf(term) {
  var key = isCjk(term.charCodeAt(0)) ? 1 : 2, h = 0;
  for (var i = 0; i < key && i < term.length; ++i) h = (h * 31 + term.charCodeAt(i)) % 4294967296;
  return h % SEARCH.meta.parts;
}
// The pages that have every word of q (a term that starts with it, or
// the stem it starts with), best first: the title, then the keywords, then
// the text, more occurrences first.
function query(q, done) {
  withScripts(['search/meta.js', 'search/stem.js'], function () {
    if (!SEARCH.meta) { done(null); return; }
    var words = [];
    each(terms(q), function (t) { if ((t.length > 1 || isCjk(t.charCodeAt(0))) && words.indexOf(t) < 0) words.push(t); });
    if (!words.length) { done(null); return; }
    var names = [];
    each(words, function (w) { names.push('search/w' + partOf(w) + '.js'); });
    withScripts(names, function () {
      var total = null, marks = [];
      each(words, function (w) {
        var part = SEARCH.parts[partOf(w)] || {}, found = {}, best = '';
        function add(t, weight) {
          for (var list = part[t], i = 0, page = 0; i < list.length; i += 2) {
            page += list[i];
            found[page] = (found[page] || 0) + list[i + 1] * weight;
          }
          marks.push(t);
        }
        for (var t in part) {
          if (!part.hasOwnProperty(t)) continue;
          if (t.indexOf(w) === 0) add(t, t === w ? 2 : 1);
          else if (w.indexOf(t) === 0 && t.length * 2 >= w.length && t.length > best.length) best = t;
        }
        if (best) add(best, 2);
        if (total === null) total = found;
        else for (var p in total) if (total.hasOwnProperty(p)) { if (found[p]) total[p] += found[p]; else delete total[p]; }
      });
      var hits = [];
      for (var p in total) if (total.hasOwnProperty(p)) hits.push([+p, total[p]]);
      hits.sort(function (a, b) { return b[1] - a[1] || a[0] - b[0]; });
      done({ hits: hits, marks: marks });
    });
  });
}
// Where the marks are in a text: [start, end] of each word that starts
// with one (or whose stem is one), and of each pair of characters.
function markRanges(text, marks) {
  var out = [], m;
  WORD.lastIndex = 0;
  while ((m = WORD.exec(text)) !== null) {
    var f = fold(m[0]), s = fold(stem(m[0].toLowerCase()));
    for (var i = 0; i < marks.length; ++i) {
      if (isCjk(marks[i].charCodeAt(0))) {
        for (var at = m[0].indexOf(marks[i]); at >= 0; at = m[0].indexOf(marks[i], at + 1)) out.push([m.index + at, m.index + at + marks[i].length]);
      } else if (f.indexOf(marks[i]) === 0 || s === marks[i]) { out.push([m.index, m.index + m[0].length]); break; }
    }
  }
  return out;
}
// The text into parent, the marked ranges in <mark>.
function appendMarked(parent, text, ranges) {
  var at = 0;
  each(ranges, function (r) {
    if (r[0] < at) return;
    parent.appendChild(document.createTextNode(text.slice(at, r[0])));
    var mk = document.createElement('mark');
    mk.appendChild(document.createTextNode(text.slice(r[0], r[1])));
    parent.appendChild(mk);
    at = r[1];
  });
  parent.appendChild(document.createTextNode(text.slice(at)));
}
// The hits as a list: each page's name, leading to it with the words to
// mark, and the passage where they first are.
function showHits(list, result, limit) {
  list.innerHTML = '';
  if (!result) return;
  if (!result.hits.length) {
    var none = document.createElement('li');
    none.className = 'none';
    none.appendChild(document.createTextNode(LABELS.noHit));
    list.appendChild(none);
    return;
  }
  var hits = result.hits.slice(0, limit), names = [];
  each(hits, function (h) { var n = 'search/t' + Math.floor(h[0] / SEARCH.meta.texts) + '.js'; if (names.indexOf(n) < 0) names.push(n); });
  withScripts(names, function () {
    list.innerHTML = '';
    each(hits, function (h) {
      var page = SEARCH.meta.pages[h[0]], li = document.createElement('li'), a = document.createElement('a');
      a.href = page[0] + '?hl=' + encodeURIComponent(result.marks.join(' '));
      a.appendChild(document.createTextNode(page[1]));
      li.appendChild(a);
      var texts = SEARCH.texts[Math.floor(h[0] / SEARCH.meta.texts)];
      var text = texts ? texts[h[0] % SEARCH.meta.texts] : '';
      if (text) {
        var ranges = markRanges(text, result.marks), from = ranges.length ? Math.max(0, ranges[0][0] - 60) : 0;
        while (from > 0 && /\S/.test(text.charAt(from - 1))) --from;
        var piece = text.substr(from, 200), small = document.createElement('small');
        appendMarked(small, (from ? '\u2026' : '') + piece + (from + 200 < text.length ? '\u2026' : ''),
                     markRanges((from ? '\u2026' : '') + piece, result.marks));
        li.appendChild(small);
      }
      list.appendChild(li);
    });
  });
}
// The header's field: hits as the reader types; Enter opens the search page.
function showFound(result) {
  var list = document.getElementById('found');
  if (!list) return;
  if (!result) { list.style.display = 'none'; list.innerHTML = ''; return; }
  list.style.display = 'block';
  showHits(list, result, 8);
}
function find(form) {
  window.location.href = 'search.html?q=' + encodeURIComponent(form.q.value);
  return false;
}
function search(form) {
  query(form.q.value, function (result) { showHits(document.getElementById('hits'), result || { hits: [], marks: [] }, 200); });
  return false;
}
// The words a search found, marked in the page it opened.
function markPage(marks) {
  var main = document.getElementById('main'), nodes = [], first = null;
  if (!main || !marks.length) return;
  var walk = function (n) {
    for (var c = n.firstChild; c; c = c.nextSibling)
      if (c.nodeType === 3) nodes.push(c);
      else if (c.nodeType === 1 && c.nodeName !== 'SCRIPT' && c.nodeName !== 'STYLE') walk(c);
  };
  walk(main);
  each(nodes, function (t) {
    var ranges = markRanges(t.nodeValue, marks);
    if (!ranges.length) return;
    var span = document.createElement('span');
    appendMarked(span, t.nodeValue, ranges);
    if (!first) first = span.getElementsByTagName('mark')[0];
    t.parentNode.replaceChild(span, t);
  });
  if (first && first.scrollIntoView) first.scrollIntoView(false);
}
function startSearch() {
  var field = document.querySelector('.find input'), timer = null;
  if (field) {
    var live = function () {
      clearTimeout(timer);
      timer = setTimeout(function () {
        if (field.value.replace(/\s/g, '').length < 2) { showFound(null); return; }
        query(field.value, showFound);
      }, 120);
    };
    field.addEventListener('input', live);
    field.addEventListener('keydown', function (e) {
      if (e.key === 'ArrowDown' || e.keyCode === 40) {
        var a = document.querySelector('#found a');
        if (a) { a.focus(); e.preventDefault(); }
      }
    });
  }
  var form = document.getElementById('q');
  var q = parameter('q');
  if (form) form.addEventListener('input', function () { search(form.form); });
  if (form && q) { form.value = q; search(form.form); }
  var hl = parameter('hl');
  if (hl) withScripts(['search/meta.js', 'search/stem.js'], function () { markPage(hl.split(' ')); });
}
// context.html?id=NUMBER (decimal or 0x...) or ?name=CONTEXT: the page a
// program asks for, from the table of context.js.
function openContext() {
  if (typeof CONTEXTS === 'undefined') return;
  var id = parameter('id'), name = parameter('name'), target = null;
  if (id !== null && /^\s*(0x[0-9a-f]+|-?[0-9]+)\s*$/i.test(id)) {
    var n = /0x/i.test(id) ? parseInt(id, 16) : parseInt(id, 10);
    if (CONTEXTS.ids.hasOwnProperty(String(n >>> 0))) target = CONTEXTS.ids[String(n >>> 0)];
  }
  if (!target && name !== null && CONTEXTS.names.hasOwnProperty(name.toUpperCase())) target = CONTEXTS.names[name.toUpperCase()];
  if (target) { window.location.replace(target); return; }
  var p = document.getElementById('context');
  if (p) p.appendChild(document.createTextNode(LABELS.noContext.replace('%1', id !== null ? id : (name || ''))));
}
window.addEventListener('DOMContentLoaded', function () {
  openContext();
  buildPane();
  startSearch();
  var p = parameter('popup');
  var link = p && /^[0-9]+$/.test(p) && document.querySelector('a.popup[data-popup="' + p + '"]');
  if (link) popup(link, p);
});

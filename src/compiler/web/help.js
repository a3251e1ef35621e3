// The reader's choice of a light or dark theme, kept in this browser:
// taken before the page is drawn.
var THEMES = ['', 'light', 'dark'];
function chosenTheme() {
  try { var t = window.localStorage.getItem('kivhelp-theme'); return t === 'light' || t === 'dark' ? t : ''; } catch (e) { return ''; }
}
function applyTheme(theme) {
  var root = document.documentElement;
  root.className = (' ' + root.className + ' ').replace(/ (light|dark) /g, ' ').replace(/^\s+|\s+$/g, '') + (theme ? ' ' + theme : '');
}
applyTheme(chosenTheme());
// The header's button: the system's scheme, light, dark, in turn.
function cycleTheme(button) {
  var next = THEMES[(THEMES.indexOf(chosenTheme()) + 1) % THEMES.length];
  try { if (next) window.localStorage.setItem('kivhelp-theme', next); else window.localStorage.removeItem('kivhelp-theme'); } catch (e) {}
  applyTheme(next);
  nameTheme(button);
}
function nameTheme(button) {
  var said = button && button.querySelector('.sr');
  if (said) said.textContent = LABELS.theme.replace('%1', LABELS.themes[THEMES.indexOf(chosenTheme())]);
}
function each(list, f) {
  for (var i = 0; i < list.length; ++i) f(list[i], i);
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
// A value of the address's query (?name=value); a malformed escape (a lone
// "%") is read as it is written.
function decoded(s) {
  try { return decodeURIComponent(s); } catch (e) { return s; }
}
function parameter(name) {
  var pairs = window.location.search.replace(/^\?/, '').split('&');
  for (var i = 0; i < pairs.length; ++i) {
    var eq = pairs[i].indexOf('=');
    if (eq > 0 && decoded(pairs[i].slice(0, eq)) === name)
      return decoded(pairs[i].slice(eq + 1).replace(/\+/g, ' '));
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
// The contents tree beside the page, books folded except those that lead
// to this page, which is marked and shown. TOC holds the top level (level,
// text, page, part): a book's lines are in toc/PART.js, loaded with the
// page when it is in that book, else when the book is opened.
var TOCPARTS = {};
function tocPart(n, base, lines) { TOCPARTS[n] = { base: base, lines: lines }; }
function buildPane() {
  var pane = document.getElementById('pane');
  if (!pane || typeof TOC === 'undefined') return;
  var part = pane.getAttribute('data-toc');
  if (part) withScripts(['toc/' + part + '.js'], function () { fillPane(pane); });
  else fillPane(pane);
}
// The lines under LIST (each [level, text, page]), at their depth below
// BASE; the entry of this page, if it is there.
function addLines(list, lines, base, here) {
  var lists = [list], last = null, current = null;
  for (var i = 0; i < lines.length; ++i) {
    var level = Math.max(1, lines[i][0] - base);
    while (lists.length < level) {
      if (!last) { last = document.createElement('li'); lists[lists.length - 1].appendChild(last); }
      var sub = document.createElement('ul');
      last.appendChild(sub);
      lists.push(sub);
      last = null;
    }
    while (lists.length > level) lists.pop();
    var li = document.createElement('li'), entry;
    if (lines[i][2]) {
      entry = document.createElement('a');
      entry.href = lines[i][2];
      if (!current && pageName(lines[i][2]) === here) { current = entry; entry.setAttribute('aria-current', 'page'); }
    } else {
      entry = document.createElement('span');
      entry.className = 'book';
    }
    entry.appendChild(document.createTextNode(lines[i][1]));
    li.appendChild(entry);
    if (lines[i][3]) { li.setAttribute('data-part', lines[i][3]); li.appendChild(document.createElement('ul')); }
    lists[lists.length - 1].appendChild(li);
    last = li;
  }
  return current;
}
// Books: a button folds or unfolds what they hold (loaded the first time).
function addTwists(root) {
  each(root.querySelectorAll('li'), function (li) {
    var sub = li.lastChild;
    if (!sub || sub.nodeName !== 'UL' || li.firstChild.className === 'twist') return;
    var twist = document.createElement('button');
    twist.type = 'button';
    twist.className = 'twist';
    twist.setAttribute('aria-label', li.firstChild.textContent || '');
    li.insertBefore(twist, li.firstChild);
    foldBook(twist, true);
    twist.onclick = function () {
      var part = li.getAttribute('data-part');
      if (part && !sub.firstChild)
        withScripts(['toc/' + part + '.js'], function () { fillBook(li); foldBook(twist, false); });
      else foldBook(twist, twist.getAttribute('aria-expanded') === 'true');
    };
  });
}
function fillBook(li) {
  var p = TOCPARTS[li.getAttribute('data-part')], sub = li.lastChild;
  if (!p || sub.firstChild) return null;
  var current = addLines(sub, p.lines, p.base, pageName(window.location.pathname));
  addTwists(sub);
  return current;
}
function fillPane(pane) {
  var here = pageName(window.location.pathname), root = document.createElement('ul');
  var current = addLines(root, TOC, 0, here);
  var part = pane.getAttribute('data-toc');
  if (part) each(root.querySelectorAll('li[data-part="' + part + '"]'), function (li) { current = fillBook(li) || current; });
  addTwists(root);
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
// from disk too: meta.js says how the index is split, each w<N>.js holds
// the terms that start alike, p<N>.js the pages' files and titles, t<N>.js
// the texts the results quote: a query loads the parts of its words, then
// the names and texts of the hits it shows.
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
var SEARCH = { meta: null, parts: {}, pages: {}, texts: {}, loading: {} };
function searchMeta(m) { SEARCH.meta = m; }
function searchPart(n, t) { SEARCH.parts[n] = t; }
function searchPages(n, p) { SEARCH.pages[n] = p; }
function searchTexts(n, t) { SEARCH.texts[n] = t; }
// A page's file and title (once its names are loaded), and its text.
function pageAt(p) {
  var names = SEARCH.pages[Math.floor(p / SEARCH.meta.names)];
  return (names && names[p % SEARCH.meta.names]) || ['', ''];
}
// The first page of each texts' file (meta.js gives how many pages each
// has, one digit each).
function textStarts() {
  if (!SEARCH.starts) {
    SEARCH.starts = [];
    for (var k = 0, first = 0; k < SEARCH.meta.texts.length; ++k) {
      SEARCH.starts.push(first);
      first += parseInt(SEARCH.meta.texts.charAt(k), 36);
    }
  }
  return SEARCH.starts;
}
function textShard(p) {
  var t = textStarts(), lo = 0, hi = t.length - 1;
  while (lo < hi) { var mid = (lo + hi + 1) >> 1; if (t[mid] <= p) lo = mid; else hi = mid - 1; }
  return lo;
}
function textAt(p) {
  var k = textShard(p), texts = SEARCH.texts[k];
  return texts ? texts[p - textStarts()[k]] || '' : '';
}
// The names (and with TEXTS, the texts) of the pages listed, then ready().
function withPages(pages, texts, ready) {
  var names = [];
  each(pages, function (p) {
    var n = 'search/p' + Math.floor(p / SEARCH.meta.names) + '.js';
    if (names.indexOf(n) < 0) names.push(n);
    if (texts) { n = 'search/t' + textShard(p) + '.js'; if (names.indexOf(n) < 0) names.push(n); }
  });
  withScripts(names, ready);
}
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
// A term's pages and scores (pairs of numbers), read from the part's
// string the first time.
function postings(part, t) {
  if (typeof part[t] === 'string') {
    var list = part[t].split(',');
    for (var i = 0; i < list.length; ++i) list[i] = parseInt(list[i], 36);
    part[t] = list;
  }
  return part[t];
}
function partOf(term) {
  var key = isCjk(term.charCodeAt(0)) ? 1 : 2, h = 0;
  for (var i = 0; i < key && i < term.length; ++i) h = (h * 31 + term.charCodeAt(i)) % 4294967296;
  return h % SEARCH.meta.parts;
}
// Words of each stemmer's language that say little of a page: left out of
// the scoring unless the query has nothing else.
var STOPWORDS = {
  french: 'a au aux avec ce ces dans de des du elle en est et il ils je la le les leur lui ma mais me mes moi mon ne nos notre nous on ou par pas pour qu que qui sa se ses son sont sur ta te tes toi ton tu un une vos votre vous y',
  english: 'a an and are as at be but by for from has have he her his how i if in into is it its me my no not of on or our she so than that the their them then there these they this to was we were what when which who will with you your',
  german: 'aber als am an auch auf aus bei bin bis das dass dem den der des die ein eine einem einen einer es für hat ich ihr im in ist ja mit nach nicht noch nur oder sie sind so um und uns von vor war was wie wir zu zum zur',
  spanish: 'a al como con de del el en es la las le lo los mas mi no o para pero por que se si su sus un una y ya',
  italian: 'a al alla con da dal de dei del della di e gli ha i il in la le lo ma mi non o per che se si su un una uno',
  portuguese: 'a ao as com da das de do dos e em na nas no nos o os para por que se sem um uma',
  dutch: 'aan als bij dat de den der die dit een en er het hij in is je met na naar niet of om op te van voor wat ze zijn',
  russian: '\u0438 \u0432 \u0432\u043e \u043d\u0435 \u0447\u0442\u043e \u043e\u043d \u043d\u0430 \u044f \u0441 \u0441\u043e \u043a\u0430\u043a \u0430 \u0442\u043e \u0432\u0441\u0435 \u043e\u043d\u0430 \u0442\u0430\u043a \u0435\u0433\u043e \u043d\u043e \u0434\u0430 \u0442\u044b \u043a \u0443 \u0436\u0435 \u0432\u044b \u0437\u0430 \u0431\u044b \u043f\u043e \u043e\u0442 \u0434\u043b\u044f \u0438\u0437 \u0438\u043b\u0438'
};
function stopTerms() {
  if (SEARCH.stop) return SEARCH.stop;
  SEARCH.stop = {};
  var list = SEARCH.meta && STOPWORDS[SEARCH.meta.stemmer];
  if (list) each(list.split(' '), function (w) { each(terms(w), function (t) { SEARCH.stop[t] = true; }); });
  return SEARCH.stop;
}
// The words one typing slip away from the word (a letter left out, added,
// replaced, or two neighbours swapped), its first two letters kept (they
// name the part of the index it is in); LETTERS: the alphabet to try.
function slips(word, letters) {
  var out = [], i, k;
  for (i = 2; i < word.length; ++i) out.push(word.slice(0, i) + word.slice(i + 1));
  for (i = 2; i + 1 < word.length; ++i) out.push(word.slice(0, i) + word.charAt(i + 1) + word.charAt(i) + word.slice(i + 2));
  for (i = 2; i <= word.length; ++i)
    for (k = 0; k < letters.length; ++k) {
      out.push(word.slice(0, i) + letters.charAt(k) + word.slice(i));
      if (i < word.length) out.push(word.slice(0, i) + letters.charAt(k) + word.slice(i + 1));
    }
  return out;
}
// The pages that have every word of q, best first. A word matches its
// own term (best), the stem it starts with when that stem is at least four
// letters and three quarters of it, and the longer terms that start with
// it; a word of five letters or more that matches nothing takes the terms
// one typing slip away in titles and keywords (result.corrected says
// which). A page's title counts above its keywords, its keywords above its
// text; more occurrences rank higher.
function query(q, done) {
  withScripts(['search/meta.js', 'search/stem.js'], function () {
    if (!SEARCH.meta) { done(null); return; }
    var words = [], typed = {}, m;
    each(terms(q), function (t) { if ((t.length > 1 || isCjk(t.charCodeAt(0))) && words.indexOf(t) < 0) words.push(t); });
    // Each term's word as typed (lower case, without accents).
    WORD.lastIndex = 0;
    while ((m = WORD.exec(q)) !== null) typed[fold(stem(m[0].toLowerCase()))] = fold(m[0].toLowerCase());
    var stop = stopTerms(), scored = [];
    each(words, function (w) { if (!stop[w]) scored.push(w); });
    if (scored.length) words = scored;
    if (!words.length) { done(null); return; }
    var names = [];
    each(words, function (w) { names.push('search/w' + partOf(w) + '.js'); });
    withScripts(names, function () {
      var total = null, marks = [], corrected = [], titled = {};
      each(words, function (w) {
        var part = SEARCH.parts[partOf(w)] || {}, found = {}, best = '', any = false, inTitle = {};
        // FIELDS: 1 for every place, 100 for titles and keywords alone.
        function add(t, weight, fields) {
          for (var list = postings(part, t), i = 0, page = 0; i < list.length; i += 2) {
            page += list[i];
            var score = list[i + 1] - list[i + 1] % fields;
            if (score) { found[page] = (found[page] || 0) + score * weight; any = true; }
            if (score >= 10000) inTitle[page] = true;
          }
          marks.push(t);
        }
        for (var t in part) {
          if (!part.hasOwnProperty(t)) continue;
          if (t === w) add(t, 4, 1);
          else if (t.indexOf(w) === 0) add(t, 1, 1);
          else if (w.indexOf(t) === 0 && t.length >= 4 && t.length * 4 >= w.length * 3 && t.length > best.length) best = t;
        }
        if (best) add(best, 2, 1);
        var word = typed[w];
        if (!any && word && word.length >= 5 && !isCjk(w.charCodeAt(0))) {
          var letters = '', tried = {};
          for (var v in part) if (part.hasOwnProperty(v)) for (var c = 0; c < v.length; ++c) if (letters.indexOf(v.charAt(c)) < 0) letters += v.charAt(c);
          each(slips(word, letters), function (slip) {
            var u = fold(stem(slip));
            if (tried[u] || u === w || u.length < 4 || stop[u] || !part.hasOwnProperty(u)) return;
            tried[u] = true;
            var before = any;
            add(u, 1, 100);
            if (any && !before) corrected.push([w, u]);
          });
        }
        if (total === null) total = found;
        else for (var p in total) if (total.hasOwnProperty(p)) { if (found[p]) total[p] += found[p]; else delete total[p]; }
        for (var t in inTitle) if (inTitle.hasOwnProperty(t)) titled[t] = (titled[t] || 0) + 1;
      });
      // Among pages whose titles have the words, the titles most made of
      // them first ("Toolbar" before "View Toolbar command").
      var hits = [];
      for (var p in total)
        if (total.hasOwnProperty(p)) {
          var score = total[p];
          if (score >= 10000)
            score += Math.round(9999 * (titled[p] || 0) / Math.max(1, parseInt(SEARCH.meta.titles.charAt(+p), 36) || 1));
          hits.push([+p, score]);
        }
      hits.sort(function (a, b) { return b[1] - a[1] || a[0] - b[0]; });
      // The names of the first hits: what a list shows, and the words a
      // typing slip was taken for.
      var first = [];
      each(hits.slice(0, 20), function (h) { first.push(h[0]); });
      withPages(first, false, function () {
        // Among them, a title that has the words as typed, in their order,
        // little words too, first ("guardar como").
        var phrase = ' ' + (fold(q).match(WORD) || []).join(' ') + ' ';
        if (phrase.split(' ').length > 3) {
          each(hits.slice(0, 20), function (h) {
            if ((' ' + (fold(pageAt(h[0])[1]).match(WORD) || []).join(' ') + ' ').indexOf(phrase) >= 0) h[1] += 20000;
          });
          var top = hits.slice(0, 20).sort(function (a, b) { return b[1] - a[1] || a[0] - b[0]; });
          hits = top.concat(hits.slice(20));
        }
        done({ hits: hits, marks: marks, corrected: hits.length ? corrected : [], query: q });
      });
    });
  });
}
// The query as the search took it: each word it corrected replaced by the
// word of a hit's title whose term it took.
function correctedQuery(result) {
  var out = result.query;
  each(result.corrected, function (c) {
    var shown = null;
    each(result.hits.slice(0, 20), function (h) {
      var title = pageAt(h[0])[1], m;
      WORD.lastIndex = 0;
      while (!shown && (m = WORD.exec(title)) !== null) if (fold(stem(m[0].toLowerCase())) === c[1]) shown = m[0];
    });
    WORD.lastIndex = 0;
    var m;
    while ((m = WORD.exec(out)) !== null)
      if (fold(stem(m[0].toLowerCase())) === c[0]) {
        out = out.slice(0, m.index) + (shown || c[1]) + out.slice(m.index + m[0].length);
        break;
      }
  });
  return out;
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
  var said = document.getElementById('said');
  if (said) said.textContent = '';
  if (!result) return;
  // How many pages, and the words taken for a typing slip.
  if (said && result.hits.length) {
    said.textContent = (result.corrected.length ? LABELS.resultsFor.replace('%1', correctedQuery(result)) + ' \u2014 ' : '')
                       + LABELS.hitCount.replace('%1', result.hits.length);
  }
  if (!result.hits.length) {
    var none = document.createElement('li');
    none.className = 'none';
    none.appendChild(document.createTextNode(LABELS.noHit));
    list.appendChild(none);
    return;
  }
  // The first twenty with the passage where the words are, the others by
  // their titles alone: a long list loads only their names.
  var hits = result.hits.slice(0, limit), pages = [], quoted = [];
  each(hits, function (h, i) { (i < 20 ? quoted : pages).push(h[0]); });
  withPages(quoted, true, function () { withPages(pages, false, function () {
    list.innerHTML = '';
    each(hits, function (h, i) {
      var page = pageAt(h[0]), li = document.createElement('li'), a = document.createElement('a');
      a.href = page[0] + '?hl=' + encodeURIComponent(result.marks.join(' '));
      a.appendChild(document.createTextNode(page[1]));
      li.appendChild(a);
      var text = i < 20 ? textAt(h[0]) : '';
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
    // The header's short list leads to the search page, which lists them all.
    if (result.hits.length > limit || (result.corrected.length && list.id === 'found')) {
      var all = document.createElement('li'), link = document.createElement('a');
      all.className = 'all';
      link.href = 'search.html?q=' + encodeURIComponent(result.query);
      link.appendChild(document.createTextNode(LABELS.allPages + ' (' + result.hits.length + ')'));
      all.appendChild(link);
      list.appendChild(all);
    }
  }); });
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
  query(form.q.value, function (result) { showHits(document.getElementById('hits'), result || { hits: [], marks: [], corrected: [], query: '' }, 200); });
  return false;
}
// The words a search found, marked in the page it opened.
function markPage(marks) {
  // In the page's own text: not its path, nor the pages before and after.
  var texts = document.querySelectorAll('#main .nsr, #main .text'), nodes = [], first = null;
  if (!texts.length || !marks.length) return;
  var walk = function (n) {
    for (var c = n.firstChild; c; c = c.nextSibling)
      if (c.nodeType === 3) nodes.push(c);
      else if (c.nodeType === 1 && c.nodeName !== 'SCRIPT' && c.nodeName !== 'STYLE') walk(c);
  };
  each(texts, walk);
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
// The keyword index's box: the entries that hold what is typed stay, with
// the second levels of a main entry that holds it.
function startFilter() {
  var box = document.getElementById('kwfilter'), list = document.getElementById('kwlist');
  if (!box || !list) return;
  box.addEventListener('input', function () {
    var want = fold(box.value.replace(/^\s+|\s+$/g, ''));
    each(list.getElementsByTagName('li'), function (li) {
      var parent = li.parentNode.parentNode, label = parent && parent.nodeName === 'LI' ? fold(parent.firstChild.nodeValue || '') : '';
      li.style.display = !want || fold(li.textContent).indexOf(want) >= 0 || label.indexOf(want) >= 0 ? '' : 'none';
    });
  });
}
window.addEventListener('DOMContentLoaded', function () {
  openContext();
  startFilter();
  nameTheme(document.querySelector('.theme'));
  buildPane();
  startSearch();
  var p = parameter('popup');
  var link = p && /^[0-9]+$/.test(p) && document.querySelector('a.popup[data-popup="' + p + '"]');
  if (link) popup(link, p);
});

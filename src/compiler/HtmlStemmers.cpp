#include "compiler/HtmlSite.h"

namespace Hlp {

namespace {

// Snowball's French and English algorithms in the pages' script (ES5):
// they give the stems libstemmer gives the index (checked word for word
// against it on the French dictionary's 146,000 forms and 33,000 English
// ones; the browser test checks every word of the sites it builds).
const char kFrench[] = R"JS(STEMMERS.french = (function () {
  var V = 'aeiouy\u00e2\u00e0\u00eb\u00e9\u00ea\u00e8\u00ef\u00ee\u00f4\u00fb\u00f9';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  // The longest of `list` that `w` ends with, starting at or after `limit`.
  function ending(w, list, limit) {
    var best = '';
    for (var i = 0; i < list.length; ++i) {
      var s = list[i];
      if (s.length > best.length && w.length - s.length >= limit && w.slice(w.length - s.length) === s) best = s;
    }
    return best;
  }
  function ends(w, s, limit) { return w.length - s.length >= limit && w.slice(w.length - s.length) === s; }
  function split(s) { return s.split(' '); }
  var STEP1 = split('ance iqUe isme able iste eux ances iqUes ismes ables istes atrice ateur ation atrices ateurs ations logie logies ' +
                    'usion ution usions utions ence ences ement ements it\u00e9 it\u00e9s if ive ifs ives eaux aux euse euses issement issements amment emment ment ments');
  var I_VERB = split('\u00eemes \u00eet \u00eetes i ie ies ir ira irai iraIent irais irait iras irent irez iriez irions irons iront is issaIent ' +
                     'issais issait issant issante issantes issants isse issent isses issez issiez issions issons it');
  var VERB = split('ions \u00e9 \u00e9e \u00e9es \u00e9s \u00e8rent er era erai eraIent erais erait eras erez eriez erions erons eront ez iez ' +
                   '\u00e2mes \u00e2t \u00e2tes a ai aIent ais ait ant ante antes ants as asse assent asses assiez assions');
  var RESIDUAL = split('ion ier i\u00e8re Ier I\u00e8re e');
  return function (word) {
    // Prelude: u, i between vowels, y next to a vowel and u after q are
    // consonants; ë and ï are written He, Hi.
    var a = word.split('');
    for (var i = 0; i < a.length; ++i) {
      var c = a[i], n = i + 1 < a.length ? a[i + 1] : '', nn = i + 2 < a.length ? a[i + 2] : '';
      if (v(c) && ((n === 'u' || n === 'i') && v(nn) || n === 'y')) a[i + 1] = n === 'u' ? 'U' : n === 'i' ? 'I' : 'Y';
      else if (c === '\u00eb') a.splice(i, 1, 'H', 'e');
      else if (c === '\u00ef') a.splice(i, 1, 'H', 'i');
      else if (c === 'y' && v(n)) a[i] = 'Y';
      else if (c === 'q' && n === 'u') a[i + 1] = 'U';
    }
    var w = a.join(''), len = w.length;
    // Regions.
    var pV = len, p1 = len, p2 = len, k;
    if (len >= 2 && v(w.charAt(0)) && v(w.charAt(1))) pV = Math.min(3, len);
    else if (/^(par|col|tap)/.test(w)) pV = 3;
    else { for (k = 1; k < len; ++k) if (v(w.charAt(k))) { pV = k + 1; break; } }
    for (k = 1; k < len; ++k) if (v(w.charAt(k - 1)) && !v(w.charAt(k))) { p1 = k + 1; break; }
    for (k = p1 + 1; k < len; ++k) if (v(w.charAt(k - 1)) && !v(w.charAt(k))) { p2 = k + 1; break; }
    function cut(s) { w = w.slice(0, w.length - s.length); }
    function put(s, t) { w = w.slice(0, w.length - s.length) + t; }
    // Step 1: standard suffixes.
    function standard() {
      var s = ending(w, STEP1, 0), t;
      if (!s) return false;
      var at = w.length - s.length;
      switch (s) {
        case 'ance': case 'iqUe': case 'isme': case 'able': case 'iste': case 'eux':
        case 'ances': case 'iqUes': case 'ismes': case 'ables': case 'istes':
          if (at < p2) return false; cut(s); return true;
        case 'atrice': case 'ateur': case 'ation': case 'atrices': case 'ateurs': case 'ations':
          if (at < p2) return false; cut(s);
          if (ends(w, 'ic', 0)) { if (w.length - 2 >= p2) cut('ic'); else put('ic', 'iqU'); }
          return true;
        case 'logie': case 'logies': if (at < p2) return false; put(s, 'log'); return true;
        case 'usion': case 'ution': case 'usions': case 'utions': if (at < p2) return false; put(s, 'u'); return true;
        case 'ence': case 'ences': if (at < p2) return false; put(s, 'ent'); return true;
        case 'ement': case 'ements':
          if (at < pV) return false; cut(s);
          t = ending(w, ['iv', 'eus', 'abl', 'iqU', 'i\u00e8r', 'I\u00e8r'], 0);
          if (t === 'iv') { if (w.length - 2 >= p2) { cut('iv'); if (ends(w, 'at', p2)) cut('at'); } }
          else if (t === 'eus') { if (w.length - 3 >= p2) cut('eus'); else if (w.length - 3 >= p1) put('eus', 'eux'); }
          else if (t === 'abl' || t === 'iqU') { if (w.length - 3 >= p2) cut(t); }
          else if (t) { if (w.length - 3 >= pV) put(t, 'i'); }
          return true;
        case 'it\u00e9': case 'it\u00e9s':
          if (at < p2) return false; cut(s);
          t = ending(w, ['abil', 'ic', 'iv'], 0);
          if (t === 'abil') { if (w.length - 4 >= p2) cut(t); else put(t, 'abl'); }
          else if (t === 'ic') { if (w.length - 2 >= p2) cut(t); else put(t, 'iqU'); }
          else if (t === 'iv') { if (w.length - 2 >= p2) cut(t); }
          return true;
        case 'if': case 'ive': case 'ifs': case 'ives':
          if (at < p2) return false; cut(s);
          if (ends(w, 'at', p2)) { cut('at'); if (ends(w, 'ic', 0)) { if (w.length - 2 >= p2) cut('ic'); else put('ic', 'iqU'); } }
          return true;
        case 'eaux': put(s, 'eau'); return true;
        case 'aux': if (at < p1) return false; put(s, 'al'); return true;
        case 'euse': case 'euses':
          if (at >= p2) { cut(s); return true; }
          if (at >= p1) { put(s, 'eux'); return true; }
          return false;
        case 'issement': case 'issements':
          if (at < p1 || at < 1 || v(w.charAt(at - 1))) return false; cut(s); return true;
        case 'amment': if (at >= pV) put(s, 'ant'); return false;
        case 'emment': if (at >= pV) put(s, 'ent'); return false;
        default: // ment, ments: after a vowel in RV
          if (at >= 1 && v(w.charAt(at - 1)) && at - 1 >= pV) cut(s);
          return false;
      }
    }
    // Step 2a: verb suffixes in i, after a consonant, all in RV.
    function iVerb() {
      var s = ending(w, I_VERB, pV);
      if (!s) return false;
      var at = w.length - s.length;
      if (at - 1 < pV || w.charAt(at - 1) === 'H' || v(w.charAt(at - 1))) return false;
      cut(s);
      return true;
    }
    // Step 2b: other verb suffixes in RV.
    function verb() {
      var s = ending(w, VERB, pV);
      if (!s) return false;
      if (s === 'ions') { if (w.length - 4 < p2) return false; cut(s); return true; }
      cut(s);
      if (/^(\u00e2mes|\u00e2t|\u00e2tes|a|ai|aIent|ais|ait|ant|ante|antes|ants|as|asse|assent|asses|assiez|assions)$/.test(s) && ends(w, 'e', pV)) cut('e');
      return true;
    }
    if (standard() || iVerb() || verb()) {
      if (ends(w, 'Y', 0)) put('Y', 'i');
      else if (ends(w, '\u00e7', 0)) put('\u00e7', 'c');
    } else {
      // Step 4: residual suffixes.
      if (ends(w, 's', 0) && w.length >= 2) {
        var b = w.charAt(w.length - 2);
        if (ends(w.slice(0, -1), 'Hi', 0) || 'aiou\u00e8s'.indexOf(b) < 0) cut('s');
      }
      var r = ending(w, RESIDUAL, pV);
      if (r === 'ion') { if (w.length - 3 >= p2 && w.length - 4 >= pV && /[st]/.test(w.charAt(w.length - 4))) cut(r); }
      else if (r === 'e') cut(r);
      else if (r) put(r, 'i');
    }
    // Step 5: undouble; step 6: unaccent.
    if (/(enn|onn|ett|ell|eill)$/.test(w)) w = w.slice(0, -1);
    var m = /[\u00e9\u00e8]([^aeiouy\u00e2\u00e0\u00eb\u00e9\u00ea\u00e8\u00ef\u00ee\u00f4\u00fb\u00f9]+)$/.exec(w);
    if (m) w = w.slice(0, m.index) + 'e' + m[1];
    // Postlude.
    return w.replace(/He/g, '\u00eb').replace(/Hi/g, '\u00ef').replace(/H/g, '').replace(/I/g, 'i').replace(/U/g, 'u').replace(/Y/g, 'y');
  };
})();
)JS";

const char kEnglish[] = R"JS(STEMMERS.english = (function () {
  function v(c) { return c !== '' && 'aeiouy'.indexOf(c) >= 0; }
  function ending(w, list) {
    var best = null;
    for (var i = 0; i < list.length; ++i)
      if ((best === null || list[i].length > best.length) && w.length >= list[i].length && w.slice(w.length - list[i].length) === list[i]) best = list[i];
    return best;
  }
  function hasVowel(s) { for (var i = 0; i < s.length; ++i) if (v(s.charAt(i))) return true; return false; }
  // A short syllable at the end of `w`.
  function shortv(w) {
    var n = w.length, c = w.charAt(n - 1), b = w.charAt(n - 2);
    if (n >= 3 && !v(c) && 'wxY'.indexOf(c) < 0 && v(b) && !v(w.charAt(n - 3))) return true;
    return n === 2 && !v(c) && v(b);
  }
  var EXCEPTIONS = { skis: 'ski', skies: 'sky', dying: 'die', lying: 'lie', tying: 'tie', idly: 'idl', gently: 'gentl', ugly: 'ugli',
                     early: 'earli', only: 'onli', singly: 'singl', sky: 'sky', news: 'news', howe: 'howe', atlas: 'atlas',
                     cosmos: 'cosmos', bias: 'bias', andes: 'andes' };
  var AFTER_1A = ['inning', 'outing', 'canning', 'herring', 'earring', 'proceed', 'exceed', 'succeed'];
  var STEP2 = { tional: 'tion', enci: 'ence', anci: 'ance', abli: 'able', entli: 'ent', izer: 'ize', ization: 'ize', ational: 'ate',
                ation: 'ate', ator: 'ate', alism: 'al', aliti: 'al', alli: 'al', fulness: 'ful', ousli: 'ous', ousness: 'ous',
                iveness: 'ive', iviti: 'ive', biliti: 'ble', bli: 'ble', ogi: 'og', fulli: 'ful', lessli: 'less', li: '' };
  var STEP3 = { tional: 'tion', ational: 'ate', alize: 'al', icate: 'ic', iciti: 'ic', ical: 'ic', ful: '', ness: '', ative: '' };
  var STEP4 = ['al', 'ance', 'ence', 'er', 'ic', 'able', 'ible', 'ant', 'ement', 'ment', 'ent', 'ism', 'ate', 'iti', 'ous', 'ive', 'ize', 'ion'];
  function keys(o) { var out = []; for (var k in o) if (o.hasOwnProperty(k)) out.push(k); return out; }
  var STEP2_KEYS = keys(STEP2), STEP3_KEYS = keys(STEP3);
  return function (word) {
    if (EXCEPTIONS.hasOwnProperty(word)) return EXCEPTIONS[word];
    if (word.length < 3) return word;
    var w = word.replace(/^'/, ''), i;
    // y as a consonant: at the start, after a vowel.
    if (w.charAt(0) === 'y') w = 'Y' + w.slice(1);
    for (i = 1; i < w.length; ++i) if (w.charAt(i) === 'y' && v(w.charAt(i - 1))) w = w.slice(0, i) + 'Y' + w.slice(i + 1);
    // Regions.
    var p1 = w.length, p2 = w.length, m = /^(gener|commun|arsen)/.exec(w);
    if (m) p1 = m[0].length;
    else for (i = 1; i < w.length; ++i) if (v(w.charAt(i - 1)) && !v(w.charAt(i))) { p1 = i + 1; break; }
    for (i = p1 + 1; i < w.length; ++i) if (v(w.charAt(i - 1)) && !v(w.charAt(i))) { p2 = i + 1; break; }
    function put(s, t) { w = w.slice(0, w.length - s.length) + t; }
    function at(s) { return w.length - s.length; }
    // Step 1a.
    var s = ending(w, ["'", "'s", "'s'"]);
    if (s) put(s, '');
    s = ending(w, ['sses', 'ied', 'ies', 's', 'us', 'ss']);
    if (s === 'sses') put(s, 'ss');
    else if (s === 'ied' || s === 'ies') put(s, at(s) > 1 ? 'i' : 'ie');
    else if (s === 's' && hasVowel(w.slice(0, w.length - 2))) put(s, '');
    if (AFTER_1A.indexOf(w) < 0) {
      // Step 1b.
      s = ending(w, ['eed', 'eedly', 'ed', 'edly', 'ing', 'ingly']);
      if (s === 'eed' || s === 'eedly') { if (at(s) >= p1) put(s, 'ee'); }
      else if (s && hasVowel(w.slice(0, at(s)))) {
        put(s, '');
        var t = ending(w, ['at', 'bl', 'iz', 'bb', 'dd', 'ff', 'gg', 'mm', 'nn', 'pp', 'rr', 'tt']);
        if (t === 'at' || t === 'bl' || t === 'iz') w += 'e';
        else if (t) w = w.slice(0, -1);
        else if (w.length === p1 && shortv(w)) w += 'e';
      }
      // Step 1c.
      var last = w.charAt(w.length - 1);
      if ((last === 'y' || last === 'Y') && w.length > 2 && !v(w.charAt(w.length - 2))) put(last, 'i');
      // Step 2.
      s = ending(w, STEP2_KEYS);
      if (s && at(s) >= p1) {
        if (s === 'ogi') { if (w.charAt(at(s) - 1) === 'l') put(s, 'og'); }
        else if (s === 'li') { if ('cdeghkmnrt'.indexOf(w.charAt(at(s) - 1)) >= 0 && at(s) > 0) put(s, ''); }
        else put(s, STEP2[s]);
      }
      // Step 3.
      s = ending(w, STEP3_KEYS);
      if (s && at(s) >= p1 && (s !== 'ative' || at(s) >= p2)) put(s, STEP3[s]);
      // Step 4.
      s = ending(w, STEP4);
      if (s && at(s) >= p2) {
        if (s !== 'ion') put(s, '');
        else if (at(s) > 0 && /[st]/.test(w.charAt(at(s) - 1))) put(s, '');
      }
      // Step 5.
      last = w.charAt(w.length - 1);
      if (last === 'e' && (at('e') >= p2 || (at('e') >= p1 && !shortv(w.slice(0, -1))))) put('e', '');
      else if (last === 'l' && at('l') >= p2 && w.charAt(w.length - 2) === 'l') put('l', '');
    }
    return w.replace(/Y/g, 'y');
  };
})();
)JS";

} // namespace

QByteArray stemmerScript(const QString &algorithm)
{
    if (algorithm == QLatin1String("french"))
        return kFrench;
    if (algorithm == QLatin1String("english"))
        return kEnglish;
    return "// No stemmer in the page for this language: words are found by their start.\n";
}

} // namespace Hlp

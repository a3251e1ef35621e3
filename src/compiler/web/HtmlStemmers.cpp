// Word stems for the web search, in the languages the pages' script knows.
#include "compiler/web/HtmlSite.h"

#include <QHash>

namespace Hlp {

namespace {

// Snowball's algorithms in the pages' script (ES5): they give the stems
// libstemmer gives the index, checked word for word against it on the
// Hunspell dictionaries' words and their inflected forms (French 146,000,
// Italian 187,000, German 215,000, Spanish 240,000, Portuguese 212,000,
// Dutch 276,000, Russian 302,000; English 33,000 from help texts); the
// browser test checks every word of the sites it builds. Polish has no
// algorithm in libstemmer: its words are indexed whole.
const char kCommon[] = R"JS(// What Snowball's algorithms share.
var SNOWBALL = {
  // The longest of `list` that `w` ends with, starting at or after `limit`.
  ending: function (w, list, limit) {
    var best = '';
    for (var i = 0; i < list.length; ++i)
      if (list[i].length > best.length && w.length - list[i].length >= (limit || 0) && w.slice(w.length - list[i].length) === list[i]) best = list[i];
    return best;
  },
  ends: function (w, s, limit) { return w.length - s.length >= (limit || 0) && w.slice(w.length - s.length) === s; },
  split: function (s) { return s.split(' '); },
  // R1 and R2: past a vowel and a consonant, once, then again.
  regions: function (w, v) {
    var len = w.length, p1 = len, p2 = len, k;
    for (k = 1; k < len; ++k) if (v(w.charAt(k - 1)) && !v(w.charAt(k))) { p1 = k + 1; break; }
    for (k = p1 + 1; k < len; ++k) if (v(w.charAt(k - 1)) && !v(w.charAt(k))) { p2 = k + 1; break; }
    return [p1, p2];
  },
  // RV of the Romance languages: after the next vowel when the second
  // letter is a consonant, after the next consonant when the word starts
  // with two vowels, else after the third letter.
  rv: function (w, v) {
    var len = w.length, j;
    if (len < 2) return len;
    if (!v(w.charAt(0)) && v(w.charAt(1))) return len >= 3 ? 3 : len;
    if (v(w.charAt(0)) && v(w.charAt(1))) { for (j = 2; j < len; ++j) if (!v(w.charAt(j))) return j + 1; return len; }
    for (j = 2; j < len; ++j) if (v(w.charAt(j))) return j + 1;
    return len;
  }
};
)JS";

const char kFrench[] = R"JS(STEMMERS.french = (function () {
  var V = 'aeiouy\u00e2\u00e0\u00eb\u00e9\u00ea\u00e8\u00ef\u00ee\u00f4\u00fb\u00f9';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending, ends = SNOWBALL.ends, split = SNOWBALL.split;
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
    var r12 = SNOWBALL.regions(w, v);
    p1 = r12[0]; p2 = r12[1];
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
  var ending = SNOWBALL.ending;
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

const char kItalian[] = R"JS(STEMMERS.italian = (function () {
  var V = 'aeiou\u00e0\u00e8\u00ec\u00f2\u00f9';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending, ends = SNOWBALL.ends, split = SNOWBALL.split;
  var PRONOUNS = split('ci gli la le li lo mi ne si ti vi sene gliela gliele glieli glielo gliene mela mele meli melo mene ' +
                       'tela tele teli telo tene cela cele celi celo cene vela vele veli velo vene');
  var STANDARD = split('anza anze ico ici ica ice iche ichi ismo ismi abile abili ibile ibili ista iste isti ist\u00e0 ist\u00e8 ist\u00ec ' +
                       'oso osi osa ose mente atrice atrici ante anti azione azioni atore atori logia logie uzione uzioni usione usioni ' +
                       'enza enze amento amenti imento imenti amente it\u00e0 ivo ivi iva ive');
  var VERB = split('ammo ando ano are arono asse assero assi assimo ata ate ati ato ava avamo avano avate avi avo emmo enda ende endi ' +
                   'endo er\u00e0 erai eranno ere erebbe erebbero erei eremmo eremo ereste eresti erete er\u00f2 erono essero ete eva ' +
                   'evamo evano evate evi evo Yamo iamo immo ir\u00e0 irai iranno ire irebbe irebbero irei iremmo iremo ireste iresti ' +
                   'irete ir\u00f2 irono isca iscano isce isci isco iscono issero ita ite iti ito iva ivamo ivano ivate ivi ivo ar ir ono uta ute uti uto');
  var GRAVE = { '\u00e1': '\u00e0', '\u00e9': '\u00e8', '\u00ed': '\u00ec', '\u00f3': '\u00f2', '\u00fa': '\u00f9' };
  return function (word) {
    var w = word.replace(/[\u00e1\u00e9\u00ed\u00f3\u00fa]/g, function (c) { return GRAVE[c]; }).replace(/qu/g, 'qU'), i;
    var a = w.split('');
    for (i = 0; i + 2 < a.length; ++i)
      if (v(a[i]) && (a[i + 1] === 'u' || a[i + 1] === 'i') && v(a[i + 2])) a[i + 1] = a[i + 1] === 'u' ? 'U' : 'I';
    w = a.join('');
    var pV = SNOWBALL.rv(w, v), r12 = SNOWBALL.regions(w, v), p1 = r12[0], p2 = r12[1];
    function cut(s) { w = w.slice(0, w.length - s.length); }
    function put(s, t) { w = w.slice(0, w.length - s.length) + t; }
    // Attached pronouns after a gerund or an infinitive.
    var p = ending(w, PRONOUNS, 0);
    if (p) {
      var before = w.slice(0, w.length - p.length), g = ending(before, ['ando', 'endo', 'ar', 'er', 'ir'], 0);
      if (g && before.length - g.length >= pV) put(p, g === 'ando' || g === 'endo' ? '' : 'e');
    }
    function standard() {
      var s = ending(w, STANDARD, 0), at = w.length - s.length, t;
      if (!s) return false;
      switch (s) {
        case 'azione': case 'azioni': case 'atore': case 'atori':
          if (at < p2) return false; cut(s); if (ends(w, 'ic', p2)) cut('ic'); return true;
        case 'logia': case 'logie': if (at < p2) return false; put(s, 'log'); return true;
        case 'uzione': case 'uzioni': case 'usione': case 'usioni': if (at < p2) return false; put(s, 'u'); return true;
        case 'enza': case 'enze': if (at < p2) return false; put(s, 'ente'); return true;
        case 'amento': case 'amenti': case 'imento': case 'imenti': if (at < pV) return false; cut(s); return true;
        case 'amente':
          if (at < p1) return false; cut(s);
          t = ending(w, ['iv', 'os', 'ic', 'abil'], 0);
          if (t && w.length - t.length >= p2) { cut(t); if (t === 'iv' && ends(w, 'at', p2)) cut('at'); }
          return true;
        case 'it\u00e0':
          if (at < p2) return false; cut(s);
          t = ending(w, ['abil', 'ic', 'iv'], 0);
          if (t && w.length - t.length >= p2) cut(t);
          return true;
        case 'ivo': case 'ivi': case 'iva': case 'ive':
          if (at < p2) return false; cut(s);
          if (ends(w, 'at', p2)) { cut('at'); if (ends(w, 'ic', p2)) cut('ic'); }
          return true;
        default: if (at < p2) return false; cut(s); return true;
      }
    }
    if (!standard()) { var vs = ending(w, VERB, pV); if (vs) cut(vs); }
    // Final vowels.
    if (w.length - 1 >= pV && 'aeio\u00e0\u00e8\u00ec\u00f2'.indexOf(w.charAt(w.length - 1)) >= 0 && w.length) {
      w = w.slice(0, -1);
      if (ends(w, 'i', pV)) w = w.slice(0, -1);
    }
    if (/[cg]h$/.test(w) && w.length - 2 >= pV) w = w.slice(0, -1);
    return w.replace(/I/g, 'i').replace(/U/g, 'u');
  };
})();
)JS";

const char kGerman[] = R"JS(STEMMERS.german = (function () {
  var V = 'aeiouy\u00e4\u00f6\u00fc';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending;
  return function (word) {
    var a = word.replace(/\u00df/g, 'ss').split(''), i;
    for (i = 1; i + 1 < a.length; ++i)
      if (v(a[i - 1]) && (a[i] === 'u' || a[i] === 'y') && v(a[i + 1])) a[i] = a[i] === 'u' ? 'U' : 'Y';
    var w = a.join(''), len = w.length, r12 = SNOWBALL.regions(w, v), p1 = r12[0], p2 = r12[1];
    if (p1 < 3 && len >= 3) p1 = 3;
    function at(s) { return w.length - s.length; }
    function cut(s) { w = w.slice(0, w.length - s.length); }
    // Step 1.
    var s = ending(w, ['em', 'ern', 'er', 'e', 'en', 'es', 's']);
    if (s && at(s) >= p1) {
      if (s === 's') { if ('bdfghklmnrt'.indexOf(w.charAt(at(s) - 1)) >= 0 && at(s) > 0) cut(s); }
      else {
        cut(s);
        if ((s === 'e' || s === 'en' || s === 'es') && /niss$/.test(w)) cut('s');
      }
    }
    // Step 2.
    s = ending(w, ['en', 'er', 'est', 'st']);
    if (s && at(s) >= p1) {
      if (s !== 'st') cut(s);
      else if (at(s) - 1 >= 3 && 'bdfghklmnt'.indexOf(w.charAt(at(s) - 1)) >= 0) cut(s);
    }
    // Step 3.
    s = ending(w, ['end', 'ung', 'ig', 'ik', 'isch', 'lich', 'heit', 'keit']);
    if (s && at(s) >= p2) {
      if (s === 'end' || s === 'ung') {
        cut(s);
        if (/ig$/.test(w) && at('ig') >= p2 && w.charAt(at('ig') - 1) !== 'e') cut('ig');
      } else if (s === 'ig' || s === 'ik' || s === 'isch') {
        if (w.charAt(at(s) - 1) !== 'e') cut(s);
      } else if (s === 'lich' || s === 'heit') {
        cut(s);
        var t = ending(w, ['er', 'en']);
        if (t && at(t) >= p1) cut(t);
      } else {
        cut(s);
        var u = ending(w, ['lich', 'ig']);
        if (u && at(u) >= p2) cut(u);
      }
    }
    return w.replace(/Y/g, 'y').replace(/U/g, 'u').replace(/\u00e4/g, 'a').replace(/\u00f6/g, 'o').replace(/\u00fc/g, 'u');
  };
})();
)JS";

const char kSpanish[] = R"JS(STEMMERS.spanish = (function () {
  var V = 'aeiou\u00e1\u00e9\u00ed\u00f3\u00fa\u00fc';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending, ends = SNOWBALL.ends, split = SNOWBALL.split;
  var PRONOUNS = split('me se sela selo selas selos la le lo las les los nos');
  var STANDARD = split('anza anzas ico ica icos icas ismo ismos able ables ible ibles ista istas oso osa osos osas amiento amientos ' +
                       'imiento imientos adora ador aci\u00f3n adoras adores aciones ante antes ancia ancias log\u00eda log\u00edas ' +
                       'uci\u00f3n uciones encia encias amente mente idad idades iva ivo ivas ivos');
  var Y_VERB = split('ya ye yan yen yeron yendo yo y\u00f3 yas yes yais yamos');
  var VERB = split('en es \u00e9is emos ar\u00edan ar\u00edas ar\u00e1n ar\u00e1s ar\u00edais ar\u00eda ar\u00e9is ar\u00edamos aremos ar\u00e1 ' +
                   'ar\u00e9 er\u00edan er\u00edas er\u00e1n er\u00e1s er\u00edais er\u00eda er\u00e9is er\u00edamos eremos er\u00e1 er\u00e9 ' +
                   'ir\u00edan ir\u00edas ir\u00e1n ir\u00e1s ir\u00edais ir\u00eda ir\u00e9is ir\u00edamos iremos ir\u00e1 ir\u00e9 aba ada ida ' +
                   '\u00eda ara iera ad ed id ase iese aste iste an aban \u00edan aran ieran asen iesen aron ieron ado ido ando iendo i\u00f3 ' +
                   'ar er ir as abas adas idas \u00edas aras ieras ases ieses \u00eds \u00e1is abais \u00edais arais ierais aseis ieseis ' +
                   'asteis isteis ados idos amos \u00e1bamos \u00edamos imos \u00e1ramos i\u00e9ramos i\u00e9semos \u00e1semos');
  var UNACCENT = { '\u00e1': 'a', '\u00e9': 'e', '\u00ed': 'i', '\u00f3': 'o', '\u00fa': 'u' };
  return function (word) {
    var w = word;
    var pV = SNOWBALL.rv(w, v), r12 = SNOWBALL.regions(w, v), p1 = r12[0], p2 = r12[1];
    function cut(s) { w = w.slice(0, w.length - s.length); }
    function put(s, t) { w = w.slice(0, w.length - s.length) + t; }
    // Attached pronouns after a gerund or an infinitive.
    var p = ending(w, PRONOUNS, 0);
    if (p) {
      var before = w.slice(0, w.length - p.length);
      var g = ending(before, ['i\u00e9ndo', '\u00e1ndo', '\u00e1r', '\u00e9r', '\u00edr', 'ando', 'iendo', 'ar', 'er', 'ir', 'yendo'], 0);
      if (g && before.length - g.length >= pV) {
        if (/^(i\u00e9ndo|\u00e1ndo|\u00e1r|\u00e9r|\u00edr)$/.test(g))
          w = before.slice(0, before.length - g.length) + g.replace(/[\u00e1\u00e9\u00ed]/, function (c) { return UNACCENT[c]; });
        else if (g !== 'yendo' || before.charAt(before.length - 6) === 'u') w = before;
      }
    }
    function standard() {
      var s = ending(w, STANDARD, 0), at = w.length - s.length, t;
      if (!s) return false;
      switch (s) {
        case 'adora': case 'ador': case 'aci\u00f3n': case 'adoras': case 'adores': case 'aciones': case 'ante': case 'antes':
        case 'ancia': case 'ancias':
          if (at < p2) return false; cut(s); if (ends(w, 'ic', p2)) cut('ic'); return true;
        case 'log\u00eda': case 'log\u00edas': if (at < p2) return false; put(s, 'log'); return true;
        case 'uci\u00f3n': case 'uciones': if (at < p2) return false; put(s, 'u'); return true;
        case 'encia': case 'encias': if (at < p2) return false; put(s, 'ente'); return true;
        case 'amente':
          if (at < p1) return false; cut(s);
          t = ending(w, ['iv', 'os', 'ic', 'ad'], 0);
          if (t && w.length - t.length >= p2) { cut(t); if (t === 'iv' && ends(w, 'at', p2)) cut('at'); }
          return true;
        case 'mente':
          if (at < p2) return false; cut(s);
          t = ending(w, ['ante', 'able', 'ible'], 0);
          if (t && w.length - t.length >= p2) cut(t);
          return true;
        case 'idad': case 'idades':
          if (at < p2) return false; cut(s);
          t = ending(w, ['abil', 'ic', 'iv'], 0);
          if (t && w.length - t.length >= p2) cut(t);
          return true;
        case 'iva': case 'ivo': case 'ivas': case 'ivos':
          if (at < p2) return false; cut(s); if (ends(w, 'at', p2)) cut('at'); return true;
        default: if (at < p2) return false; cut(s); return true;
      }
    }
    function yVerb() {
      var s = ending(w, Y_VERB, pV);
      if (!s || w.charAt(w.length - s.length - 1) !== 'u') return false;
      cut(s);
      return true;
    }
    function verb() {
      var s = ending(w, VERB, pV);
      if (!s) return false;
      cut(s);
      if ((s === 'en' || s === 'es' || s === '\u00e9is' || s === 'emos') && /gu$/.test(w)) w = w.slice(0, -1);
      return true;
    }
    if (!standard() && !yVerb()) verb();
    // Residual suffixes.
    var r = ending(w, ['os', 'a', 'o', '\u00e1', '\u00ed', '\u00f3', 'e', '\u00e9'], 0);
    if (r && w.length - r.length >= pV) {
      cut(r);
      if ((r === 'e' || r === '\u00e9') && /gu$/.test(w) && w.length - 1 >= pV) w = w.slice(0, -1);
    }
    return w.replace(/[\u00e1\u00e9\u00ed\u00f3\u00fa]/g, function (c) { return UNACCENT[c]; });
  };
})();
)JS";

const char kPortuguese[] = R"JS(STEMMERS.portuguese = (function () {
  var V = 'aeiou\u00e1\u00e9\u00ed\u00f3\u00fa\u00e2\u00ea\u00f4';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending, ends = SNOWBALL.ends, split = SNOWBALL.split;
  var STANDARD = split('eza ezas ico ica icos icas ismo ismos \u00e1vel \u00edvel ista istas oso osa osos osas amento amentos imento imentos ' +
                       'adora ador a\u00e7a~o adoras adores a\u00e7o~es ante antes \u00e2ncia log\u00eda log\u00edas u\u00e7a~o u\u00e7o~es ' +
                       '\u00eancia \u00eancias amente mente idade idades iva ivo ivas ivos ira iras');
  var VERB = split('ada ida ia aria eria iria ar\u00e1 ara er\u00e1 era ir\u00e1 ava asse esse isse aste este iste ei arei erei irei am iam ' +
                   'ariam eriam iriam aram eram iram avam em arem erem irem assem essem issem ado ido ando endo indo ara~o era~o ira~o ' +
                   'ar er ir as adas idas ias arias erias irias ar\u00e1s aras er\u00e1s eras ir\u00e1s avas es ardes erdes irdes ares eres ' +
                   'ires asses esses isses astes estes istes is ais eis \u00edeis ar\u00edeis er\u00edeis ir\u00edeis \u00e1reis areis ' +
                   '\u00e9reis ereis \u00edreis ireis \u00e1sseis \u00e9sseis \u00edsseis \u00e1veis ados idos \u00e1mos amos \u00edamos ' +
                   'ar\u00edamos er\u00edamos ir\u00edamos \u00e1ramos \u00e9ramos \u00edramos \u00e1vamos emos aremos eremos iremos ' +
                   '\u00e1ssemos \u00eassemos \u00edssemos imos armos ermos irmos eu iu ou ira iras');
  return function (word) {
    var w = word.replace(/\u00e3/g, 'a~').replace(/\u00f5/g, 'o~');
    var pV = SNOWBALL.rv(w, v), r12 = SNOWBALL.regions(w, v), p1 = r12[0], p2 = r12[1];
    function cut(s) { w = w.slice(0, w.length - s.length); }
    function put(s, t) { w = w.slice(0, w.length - s.length) + t; }
    function standard() {
      var s = ending(w, STANDARD, 0), at = w.length - s.length, t;
      if (!s) return false;
      switch (s) {
        case 'log\u00eda': case 'log\u00edas': if (at < p2) return false; put(s, 'log'); return true;
        case 'u\u00e7a~o': case 'u\u00e7o~es': if (at < p2) return false; put(s, 'u'); return true;
        case '\u00eancia': case '\u00eancias': if (at < p2) return false; put(s, 'ente'); return true;
        case 'amente':
          if (at < p1) return false; cut(s);
          t = ending(w, ['iv', 'os', 'ic', 'ad'], 0);
          if (t && w.length - t.length >= p2) { cut(t); if (t === 'iv' && ends(w, 'at', p2)) cut('at'); }
          return true;
        case 'mente':
          if (at < p2) return false; cut(s);
          t = ending(w, ['ante', 'avel', '\u00edvel'], 0);
          if (t && w.length - t.length >= p2) cut(t);
          return true;
        case 'idade': case 'idades':
          if (at < p2) return false; cut(s);
          t = ending(w, ['abil', 'ic', 'iv'], 0);
          if (t && w.length - t.length >= p2) cut(t);
          return true;
        case 'iva': case 'ivo': case 'ivas': case 'ivos':
          if (at < p2) return false; cut(s); if (ends(w, 'at', p2)) cut('at'); return true;
        case 'ira': case 'iras':
          if (at < pV || w.charAt(at - 1) !== 'e') return false; put(s, 'ir'); return true;
        default: if (at < p2) return false; cut(s); return true;
      }
    }
    function verb() { var s = ending(w, VERB, pV); if (!s) return false; cut(s); return true; }
    if (standard() || verb()) {
      if (/ci$/.test(w) && w.length - 1 >= pV) w = w.slice(0, -1);
    } else {
      var r = ending(w, ['os', 'a', 'i', 'o', '\u00e1', '\u00ed', '\u00f3'], 0);
      if (r && w.length - r.length >= pV) cut(r);
    }
    // Residual form.
    var f = ending(w, ['e', '\u00e9', '\u00ea', '\u00e7'], 0);
    if (f === '\u00e7') put(f, 'c');
    else if (f && w.length - 1 >= pV) {
      cut(f);
      if ((/gu$/.test(w) || /ci$/.test(w)) && w.length - 1 >= pV) w = w.slice(0, -1);
    }
    return w.replace(/a~/g, '\u00e3').replace(/o~/g, '\u00f5');
  };
})();
)JS";

const char kDutch[] = R"JS(STEMMERS.dutch = (function () {
  var V = 'aeiouy\u00e8';
  function v(c) { return c !== '' && V.indexOf(c) >= 0; }
  var PLAIN = { '\u00e4': 'a', '\u00e1': 'a', '\u00eb': 'e', '\u00e9': 'e', '\u00ef': 'i', '\u00ed': 'i', '\u00f6': 'o', '\u00f3': 'o', '\u00fc': 'u', '\u00fa': 'u' };
  return function (word) {
    var w = word.replace(/[\u00e4\u00e1\u00eb\u00e9\u00ef\u00ed\u00f6\u00f3\u00fc\u00fa]/g, function (c) { return PLAIN[c]; }), i;
    if (w.charAt(0) === 'y') w = 'Y' + w.slice(1);
    var a = w.split('');
    for (i = 0; i + 1 < a.length; ++i) {
      if (!v(a[i])) continue;
      if (a[i + 1] === 'i' && i + 2 < a.length && v(a[i + 2])) a[i + 1] = 'I';
      else if (a[i + 1] === 'y') a[i + 1] = 'Y';
    }
    w = a.join('');
    var len = w.length, r12 = SNOWBALL.regions(w, v), p1 = r12[0], p2 = r12[1];
    if (p1 < 3 && len >= 3) p1 = 3;
    var eFound = false;
    function ends(s) { return w.length >= s.length && w.slice(w.length - s.length) === s; }
    function at(s) { return w.length - s.length; }
    function cut(s) { w = w.slice(0, w.length - s.length); }
    function before(s) { return w.charAt(at(s) - 1); }
    function undouble() { if (/(kk|dd|tt)$/.test(w)) w = w.slice(0, -1); }
    function eEnding() {
      eFound = false;
      if (ends('e') && at('e') >= p1 && at('e') > 0 && !v(before('e'))) { cut('e'); eFound = true; undouble(); }
    }
    function enEnding(s) {
      if (at(s) >= p1 && at(s) > 0 && !v(before(s)) && w.slice(at(s) - 3, at(s)) !== 'gem') { cut(s); undouble(); }
    }
    // Step 1.
    if (ends('heden')) { if (at('heden') >= p1) w = w.slice(0, at('heden')) + 'heid'; }
    else if (ends('ene')) enEnding('ene');
    else if (ends('en')) enEnding('en');
    else if (ends('se')) { if (at('se') >= p1 && at('se') > 0 && !v(before('se')) && before('se') !== 'j') cut('se'); }
    else if (ends('s')) { if (at('s') >= p1 && at('s') > 0 && !v(before('s')) && before('s') !== 'j') cut('s'); }
    // Step 2.
    eEnding();
    // Step 3a.
    if (ends('heid') && at('heid') >= p2 && before('heid') !== 'c') { cut('heid'); if (ends('en')) enEnding('en'); }
    // Step 3b.
    if (ends('end') || ends('ing')) {
      var s = ends('end') ? 'end' : 'ing';
      if (at(s) >= p2) {
        cut(s);
        if (ends('ig') && at('ig') >= p2 && before('ig') !== 'e') cut('ig');
        else undouble();
      }
    } else if (ends('ig')) { if (at('ig') >= p2 && before('ig') !== 'e') cut('ig'); }
    else if (ends('lijk')) { if (at('lijk') >= p2) { cut('lijk'); eEnding(); } }
    else if (ends('baar')) { if (at('baar') >= p2) cut('baar'); }
    else if (ends('bar')) { if (at('bar') >= p2 && eFound) cut('bar'); }
    // Step 4: a consonant after a doubled vowel after a consonant.
    var n = w.length;
    if (n >= 4 && !v(w.charAt(n - 1)) && w.charAt(n - 1) !== 'I' && /^(aa|ee|oo|uu)$/.test(w.slice(n - 3, n - 1)) && !v(w.charAt(n - 4)))
      w = w.slice(0, n - 2) + w.charAt(n - 1);
    return w.replace(/Y/g, 'y').replace(/I/g, 'i');
  };
})();
)JS";

const char kRussian[] = R"JS(STEMMERS.russian = (function () {
  function v(c) { return c !== '' && '\u0430\u0435\u0438\u043e\u0443\u044b\u044d\u044e\u044f'.indexOf(c) >= 0; }
  var ending = SNOWBALL.ending, split = SNOWBALL.split;
  var GERUND_A = split('\u0432 \u0432\u0448\u0438 \u0432\u0448\u0438\u0441\u044c');
  var GERUND = split('\u0438\u0432 \u0438\u0432\u0448\u0438 \u0438\u0432\u0448\u0438\u0441\u044c \u044b\u0432 \u044b\u0432\u0448\u0438 \u044b\u0432\u0448\u0438\u0441\u044c');
  var ADJECTIVE = split('\u0435\u0435 \u0438\u0435 \u044b\u0435 \u043e\u0435 \u0438\u043c\u0438 \u044b\u043c\u0438 \u0435\u0439 \u0438\u0439 \u044b\u0439 ' +
                        '\u043e\u0439 \u0435\u043c \u0438\u043c \u044b\u043c \u043e\u043c \u0435\u0433\u043e \u043e\u0433\u043e \u0435\u043c\u0443 ' +
                        '\u043e\u043c\u0443 \u0438\u0445 \u044b\u0445 \u0443\u044e \u044e\u044e \u0430\u044f \u044f\u044f \u043e\u044e \u0435\u044e');
  var PARTICIPLE_A = split('\u0435\u043c \u043d\u043d \u0432\u0448 \u044e\u0449 \u0449');
  var PARTICIPLE = split('\u0438\u0432\u0448 \u044b\u0432\u0448 \u0443\u044e\u0449');
  var VERB_A = split('\u043b\u0430 \u043d\u0430 \u0435\u0442\u0435 \u0439\u0442\u0435 \u043b\u0438 \u0439 \u043b \u0435\u043c \u043d \u043b\u043e ' +
                     '\u043d\u043e \u0435\u0442 \u044e\u0442 \u043d\u044b \u0442\u044c \u0435\u0448\u044c \u043d\u043d\u043e');
  var VERB = split('\u0438\u043b\u0430 \u044b\u043b\u0430 \u0435\u043d\u0430 \u0435\u0439\u0442\u0435 \u0443\u0439\u0442\u0435 \u0438\u0442\u0435 ' +
                   '\u0438\u043b\u0438 \u044b\u043b\u0438 \u0435\u0439 \u0443\u0439 \u0438\u043b \u044b\u043b \u0438\u043c \u044b\u043c \u0435\u043d ' +
                   '\u0438\u043b\u043e \u044b\u043b\u043e \u0435\u043d\u043e \u044f\u0442 \u0443\u0435\u0442 \u0443\u044e\u0442 \u0438\u0442 \u044b\u0442 ' +
                   '\u0435\u043d\u044b \u0438\u0442\u044c \u044b\u0442\u044c \u0438\u0448\u044c \u0443\u044e \u044e');
  var NOUN = split('\u0430 \u0435\u0432 \u043e\u0432 \u0438\u0435 \u044c\u0435 \u0435 \u0438\u044f\u043c\u0438 \u044f\u043c\u0438 \u0430\u043c\u0438 ' +
                   '\u0435\u0438 \u0438\u0438 \u0438 \u0438\u0435\u0439 \u0435\u0439 \u043e\u0439 \u0438\u0439 \u0439 \u0438\u044f\u043c \u044f\u043c ' +
                   '\u0438\u0435\u043c \u0435\u043c \u0430\u043c \u043e\u043c \u043e \u0443 \u0430\u0445 \u0438\u044f\u0445 \u044f\u0445 \u044b \u044c ' +
                   '\u0438\u044e \u044c\u044e \u044e \u0438\u044f \u044c\u044f \u044f');
  return function (word) {
    var w = word.replace(/\u0451/g, '\u0435'), len = w.length, pV = len, p2 = len, k, s;
    for (k = 0; k < len; ++k) if (v(w.charAt(k))) { pV = k + 1; break; }
    // R2: past a vowel and a consonant, twice.
    if (pV < len) {
      var p1 = -1;
      for (k = pV; k < len; ++k) if (!v(w.charAt(k))) { p1 = k + 1; break; }
      if (p1 >= 0) {
        var q = -1;
        for (k = p1; k < len; ++k) if (v(w.charAt(k))) { q = k + 1; break; }
        if (q >= 0) for (k = q; k < len; ++k) if (!v(w.charAt(k))) { p2 = k + 1; break; }
      }
    }
    function cut(x) { w = w.slice(0, w.length - x.length); }
    // A suffix in RV; the "a" forms need а or я before them (in RV too).
    function remove(withA, plain) {
      var a = ending(w, withA, pV), b = ending(w, plain, pV);
      if (b.length >= a.length && b) { cut(b); return true; }
      if (a) {
        var c = w.charAt(w.length - a.length - 1);
        if ((c === '\u0430' || c === '\u044f') && w.length - a.length - 1 >= pV) { cut(a); return true; }
      }
      return false;
    }
    if (!remove(GERUND_A, GERUND)) {
      s = ending(w, ['\u0441\u044f', '\u0441\u044c'], pV);
      if (s) cut(s);
      s = ending(w, ADJECTIVE, pV);
      if (s) { cut(s); remove(PARTICIPLE_A, PARTICIPLE); }
      else if (!remove(VERB_A, VERB)) { s = ending(w, NOUN, pV); if (s) cut(s); }
    }
    if (ending(w, ['\u0438'], pV)) cut('\u0438');
    s = ending(w, ['\u043e\u0441\u0442', '\u043e\u0441\u0442\u044c'], pV);
    if (s && w.length - s.length >= p2) cut(s);
    s = ending(w, ['\u0435\u0439\u0448', '\u0435\u0439\u0448\u0435', '\u043d', '\u044c'], pV);
    if (s === '\u043d') { if (w.charAt(w.length - 2) === '\u043d' && w.length - 2 >= pV) cut(s); }
    else if (s === '\u044c') cut(s);
    else if (s) { cut(s); if (ending(w, ['\u043d\u043d'], pV)) cut('\u043d'); }
    return w;
  };
})();
)JS";

} // namespace

QByteArray stemmerScript(const QString &algorithm)
{
    static const QHash<QString, const char *> scripts{{QStringLiteral("french"), kFrench}, {QStringLiteral("english"), kEnglish}, {QStringLiteral("italian"), kItalian}, {QStringLiteral("german"), kGerman}, {QStringLiteral("spanish"), kSpanish}, {QStringLiteral("portuguese"), kPortuguese}, {QStringLiteral("dutch"), kDutch}, {QStringLiteral("russian"), kRussian}};
    const char *script = scripts.value(algorithm, nullptr);
    if (!script)
        return "// No stemmer in the page for this language: words are found whole and by their start.\n";
    return QByteArray(kCommon) + script;
}

} // namespace Hlp

STEMMERS.portuguese = (function () {
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

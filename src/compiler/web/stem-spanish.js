STEMMERS.spanish = (function () {
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

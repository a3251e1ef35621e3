STEMMERS.italian = (function () {
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

STEMMERS.russian = (function () {
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

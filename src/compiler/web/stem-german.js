STEMMERS.german = (function () {
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

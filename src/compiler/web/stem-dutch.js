STEMMERS.dutch = (function () {
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
    // R1 leaves at least three letters before it, which libstemmer (and so
    // the index) counts in UTF-8 bytes for this language: "\u00e8ben" is cut.
    var k = 0, bytes = 0;
    while (k < len && bytes < 3) {
      var c = w.charCodeAt(k++);
      bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c >= 0xd800 && c < 0xe000 ? 2 : 3;
    }
    if (bytes >= 3 && p1 < k) p1 = k;
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

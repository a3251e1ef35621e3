STEMMERS.english = (function () {
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

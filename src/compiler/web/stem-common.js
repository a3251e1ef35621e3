// What Snowball's algorithms share.
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

STEMMERS.french = (function () {
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

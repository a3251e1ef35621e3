#!/bin/bash
# The pages' stemmers (stem-<algorithm>.js) against libstemmer, which makes
# the search index: word for word on the Hunspell dictionaries' words and
# their inflected forms (at most 150,000 per language, spread over the
# list). A language whose dictionary is not installed is said and skipped.
#   stemmers.sh <folder of the .js files>
set -euo pipefail
web=$1
for tool in node stemwords unmunch python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: stemmers not checked"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/stem.js" <<'JS'
// node stem.js common.js algorithm.js name words: one stem per line.
var fs = require('fs'), vm = require('vm');
var box = {STEMMERS: {}};
vm.createContext(box);
vm.runInContext(fs.readFileSync(process.argv[2], 'utf8') + fs.readFileSync(process.argv[3], 'utf8'), box);
var stem = box.STEMMERS[process.argv[4]];
var words = fs.readFileSync(process.argv[5], 'utf8').split('\n');
if (words[words.length - 1] === '') words.pop();
process.stdout.write(words.map(function (w) { return stem(w); }).join('\n') + '\n');
JS
failed=0
checked=0
for pair in french:fr_FR english:en_US italian:it_IT german:de_DE spanish:es_ES portuguese:pt_PT dutch:nl russian:ru_RU; do
  algorithm=${pair%%:*}
  dic=/usr/share/hunspell/${pair#*:}
  if [ ! -e "$dic.dic" ]; then
    echo "$algorithm: no dictionary $dic.dic, not checked"
    continue
  fi
  # Some dictionaries expand to tens of millions of forms: a regular
  # sample of at most 5 million is read.
  forms=$(unmunch "$dic.dic" "$dic.aff" 2>/dev/null | wc -l)
  every=$(( (forms + 4999999) / 5000000 ))
  unmunch "$dic.dic" "$dic.aff" 2>/dev/null | awk -v n="$every" 'NR % n == 0' | python3 -c '
import sys, re
words = sorted({w.lower() for w in (l.strip() for l in sys.stdin.buffer.read().decode("utf-8", "replace").split("\n"))
                if re.fullmatch(r"[^\W\d_]{2,}", w)})
step = max(1, -(-len(words) // 150000))
sys.stdout.write("".join(w + "\n" for w in words[::step]))' > "$work/words"
  stemwords -l "$algorithm" -i "$work/words" -o "$work/expected"
  node "$work/stem.js" "$web/stem-common.js" "$web/stem-$algorithm.js" "$algorithm" "$work/words" > "$work/got"
  count=$(wc -l < "$work/words")
  differ=$(paste -d '\t' "$work/words" "$work/expected" "$work/got" | awk -F '\t' '$2 != $3' | tee "$work/differ" | wc -l)
  checked=$((checked + 1))
  if [ "$differ" -ne 0 ]; then
    echo "$algorithm: $differ of $count words stem otherwise than libstemmer (word, libstemmer, page):"
    head -n 10 "$work/differ"
    failed=1
  else
    echo "$algorithm: $count words, every stem as libstemmer's"
  fi
done
[ "$checked" -gt 0 ] || { echo "no dictionary installed: stemmers not checked"; exit 77; }
exit $failed

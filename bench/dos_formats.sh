#!/usr/bin/env bash
# kxpack beside the DOS packers: extraction speed against every peer that
# reads the format (arj, arc, nomarch, lhasa, unar), add speed and size
# against arj and arc, as ratios (below 1: kxpack is faster or smaller).
#
#   bench/dos_formats.sh BUILD_FOLDER
#
# The corpus is flat (arc keeps no folders and asks about names over 12
# bytes): 400 text files from /usr/share/doc, 150 programs from /usr/bin and
# 4 files of mixed text and random data, about 110 MB, made once in
# $KX_BENCH_DIR/dos-corpus. A peer that fails (arc on its own largest files,
# unar on some arj and arc archives) is timed anyway, marked "failed" and
# left out of "fastest".
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
cache=${KX_BENCH_DIR:-/tmp/kravix-bench}
kxpack="$build/bin/kxpack"
corpus=$cache/dos-corpus
mkdir -p "$cache"

if [ ! -d "$corpus" ]; then
  echo "making the DOS corpus in $corpus ..."
  mkdir -p "$corpus.part"
  python3 - "$corpus.part" <<'EOF'
import os, random, shutil, sys
out = sys.argv[1]
random.seed(11)
texts = []
for root, _, files in os.walk('/usr/share/doc'):
    for f in files:
        p = os.path.join(root, f)
        if os.path.isfile(p) and not os.path.islink(p) and os.path.getsize(p) > 2000:
            texts.append(p)
texts.sort()
for i, p in enumerate(texts[:400]):
    shutil.copyfile(p, os.path.join(out, 't%04d.txt' % i))
bins = sorted(os.path.join('/usr/bin', f) for f in os.listdir('/usr/bin'))
bins = [p for p in bins if os.path.isfile(p) and not os.path.islink(p) and os.path.getsize(p) > 20000]
for i, p in enumerate(bins[:150]):
    shutil.copyfile(p, os.path.join(out, 'b%04d.bin' % i))
words = open('/usr/share/common-licenses/GPL-3', encoding='utf-8').read().split()
for n in range(4):
    with open(os.path.join(out, 'mixed%d.dat' % n), 'wb') as f:
        for block in range(4):
            f.write(' '.join(random.choice(words) for _ in range(90000)).encode()[:524288])
            f.write(os.urandom(524288))
EOF
  mv "$corpus.part" "$corpus"
fi
echo "DOS corpus: $(ls "$corpus" | wc -l) files, $(( $(du -sb "$corpus" | cut -f1) / 1000000 )) MB"

declare -A took failed
# seconds NAME FOLDER COMMAND...: runs the command in FOLDER, keeps the time
# and whether it failed.
seconds() {
  local name=$1 folder=$2; shift 2
  local start end
  failed[$name]=""
  start=$(date +%s%N)
  (cd "$folder" && "$@" </dev/null >/dev/null 2>&1) || failed[$name]=" (failed)"
  end=$(date +%s%N)
  took[$name]=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
}
ratio() { python3 -c "import sys; a,b=sys.argv[1:]; print('%6.2f' % (float(a)/float(b)) if a!='nan' and b!='nan' and float(b)>0 else '   n/a')" "$1" "$2"; }
fresh() { rm -rf "$1"; mkdir -p "$1"; echo "$1"; }

work=$cache/dos-work
rm -rf "$work"; mkdir -p "$work"
names=$(cd "$corpus" && ls)

echo; echo "== add the corpus to a new archive (time, size)"
seconds arj-a    "$corpus" arj a -y -m1 "$work/p.arj" $names
seconds arc-a    "$corpus" arc a "$work/p.arc" $names
for ext in arj arc lzh zoo; do seconds "kxpack-a-$ext" "$corpus" "$kxpack" a "$work/k.$ext" -- $names; done
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
printf '%-14s %8s %10s   %s\n' work seconds bytes "kxpack ratio (time, size)"
printf '%-14s %8.2f %10d\n' "arj -m1" "${took[arj-a]}" "$(size "$work/p.arj")"
printf '%-14s %8.2f %10d   %s %s\n' "kxpack ARJ" "${took[kxpack-a-arj]}" "$(size "$work/k.arj")" \
  "$(ratio "${took[kxpack-a-arj]}" "${took[arj-a]}")" "$(ratio "$(size "$work/k.arj")" "$(size "$work/p.arj")")"
printf '%-14s %8.2f %10d\n' "arc" "${took[arc-a]}" "$(size "$work/p.arc")"
printf '%-14s %8.2f %10d   %s %s\n' "kxpack ARC" "${took[kxpack-a-arc]}" "$(size "$work/k.arc")" \
  "$(ratio "${took[kxpack-a-arc]}" "${took[arc-a]}")" "$(ratio "$(size "$work/k.arc")" "$(size "$work/p.arc")")"
printf '%-14s %8.2f %10d   (no LHA writer on Debian to compare)\n' "kxpack LHA" "${took[kxpack-a-lzh]}" "$(size "$work/k.lzh")"
printf '%-14s %8.2f %10d   (no ZOO writer on Debian to compare)\n' "kxpack ZOO" "${took[kxpack-a-zoo]}" "$(size "$work/k.zoo")"

echo; echo "== extract everything (goal: kxpack at most 1.00 of the fastest peer)"
# extract FORMAT ARCHIVE PEER-NAME:COMMAND...
extract() {
  local format=$1 archive=$2; shift 2
  local best="" bestName=""
  for peer in "$@"; do
    local name=${peer%%:*} cmd=${peer#*:}
    # shellcheck disable=SC2086
    seconds "$format-$name" "$(fresh "$work/x-$format-$name")" $cmd "$archive"
    if [ -z "${failed[$format-$name]}" ] && { [ -z "$best" ] || awk -v a="${took[$format-$name]}" -v b="$best" 'BEGIN{exit !(a<b)}'; }; then
      best=${took[$format-$name]}; bestName=$name
    fi
  done
  seconds "$format-kxpack" "$(fresh "$work/x-$format-kxpack")" "$kxpack" x "$archive"
  local peers=""
  for peer in "$@"; do peers+="${peer%%:*} ${took[$format-${peer%%:*}]} s${failed[$format-${peer%%:*}]}, "; done
  printf '%-4s kxpack %6.2f s%s   %s fastest %s: ratio %s\n' "$format" "${took[$format-kxpack]}" \
    "${failed[$format-kxpack]}" "$peers" "$bestName" \
    "$(ratio "${took[$format-kxpack]}" "${best:-nan}")"
}
extract ARJ "$work/p.arj" "arj:arj x -y" "unar:unar -q -o . -D"
extract ARC "$work/p.arc" "arc:arc x" "nomarch:nomarch" "unar:unar -q -o . -D"
extract LHA "$work/k.lzh" "lhasa:lhasa x" "unar:unar -q -o . -D"
extract ZOO "$work/k.zoo" "unar:unar -q -o . -D"

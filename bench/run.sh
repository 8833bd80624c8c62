#!/usr/bin/env bash
# Times Kravix's engine beside the peer programs on one corpus and prints each
# figure with its ratio to the peer (below 1: Kravix is faster).
#
#   bench/run.sh BUILD_FOLDER
#
# The corpus (a dereferenced copy of /usr/include and /usr/share/doc plus a
# few large files of mixed text and random data) and a 100,000-entry archive
# are made once in $KX_BENCH_DIR (default /tmp/kravix-bench) and reused.
# Then the Google Benchmark listings run (engine and window).
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
cache=${KX_BENCH_DIR:-/tmp/kravix-bench}
kx="$build/bin/kx_bench_tool"
mkdir -p "$cache"
cd "$cache"

corpus=$cache/corpus
if [ ! -d "$corpus" ]; then
  echo "making the corpus in $corpus ..."
  mkdir -p "$corpus.part/large"
  cp -rL /usr/include "$corpus.part/include" 2>/dev/null || true
  cp -rL /usr/share/doc "$corpus.part/doc" 2>/dev/null || true
  python3 - "$corpus.part/large" <<'EOF'
import os, random, sys
random.seed(7)
words = open('/usr/share/common-licenses/GPL-3', encoding='utf-8').read().split()
for n in range(3):
    with open(os.path.join(sys.argv[1], 'mixed-%d.bin' % n), 'wb') as f:
        for block in range(40):  # 40 x (0.5 MB text + 0.5 MB random) = 40 MB
            f.write(' '.join(random.choice(words) for _ in range(90000)).encode()[:524288])
            f.write(os.urandom(524288))
EOF
  mv "$corpus.part" "$corpus"
fi
files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)
echo "corpus: $files files, $((bytes / 1000000)) MB"

big=$cache/entries-100000.zip
[ -f "$big" ] || python3 - "$big" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1] + '.part', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        z.writestr('d%02d/f%06d.txt' % (i % 100, i), 'Eintrag %d\n' % i)
import os; os.replace(sys.argv[1] + '.part', sys.argv[1])
EOF

# seconds NAME COMMAND...: runs the command once, prints and returns the time.
declare -A took
seconds() {
  local name=$1; shift
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "FAILED: $name: $*" >&2; took[$name]=nan; return 0; }
  end=$(date +%s%N)
  took[$name]=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
}
ratio() { python3 -c "import sys; a,b=sys.argv[1:]; print('%6.2f' % (float(a)/float(b)) if a!='nan' and b!='nan' and float(b)>0 else '   n/a')" "$1" "$2"; }
size_mb() { [ -f "$1" ] && echo "$(( $(stat -c %s "$1") / 1000000 )) MB" || echo "-"; }
line() { printf '%-34s %8.2f s   %s\n' "$1" "${took[$1]}" "${2:-}"; }
compare() { printf '%-34s %8.2f s   ratio to %-10s %s\n' "$1" "${took[$1]}" "$2:" "$(ratio "${took[$1]}" "${took[$2]}")"; }

work=$cache/work
rm -rf "$work"; mkdir -p "$work"
sync

echo; echo "== create (level 6 / mittel-optimal)"
seconds zip    zip -q -r -6 "$work/zip.zip" corpus
seconds 7z     7zz a -tzip -mx5 "$work/7z.zip" corpus
seconds bsdtar bsdtar --format zip -cf "$work/bsdtar.zip" corpus
seconds kravix "$kx" create "$work/kx.zip" "$corpus" 3
line zip "$(size_mb "$work/zip.zip")"; line 7z "$(size_mb "$work/7z.zip")"; line bsdtar "$(size_mb "$work/bsdtar.zip")"
compare kravix zip; echo "  kravix archive: $(size_mb "$work/kx.zip")"

echo; echo "== list 100,000 entries"
seconds unzip-l unzip -l "$big"
seconds 7z-l 7zz l "$big"
seconds kravix-l "$kx" list "$big"
line unzip-l; line 7z-l; compare kravix-l unzip-l

echo; echo "== test"
seconds unzip-t unzip -tq "$work/zip.zip"
seconds 7z-t 7zz t "$work/zip.zip"
seconds kravix-t "$kx" test "$work/zip.zip"
line unzip-t; line 7z-t; compare kravix-t 7z-t

echo; echo "== extract"
seconds unzip-x unzip -q -o "$work/zip.zip" -d "$work/x-unzip"
seconds 7z-x 7zz x -y "-o$work/x-7z" "$work/zip.zip"
seconds kravix-x "$kx" extract "$work/zip.zip" "$work/x-kx"
line unzip-x; line 7z-x; compare kravix-x 7z-x
rm -rf "$work/x-unzip" "$work/x-7z" "$work/x-kx"

echo; echo "== delete ten entries"
mapfile -t victims < <(unzip -Z1 "$work/zip.zip" | grep -v '/$' | awk 'NR % 1000 == 0' | head -10)
cp "$work/zip.zip" "$work/del-zip.zip"; cp "$work/zip.zip" "$work/del-kx.zip"
seconds zip-d zip -q -d "$work/del-zip.zip" "${victims[@]}"
seconds kravix-d "$kx" delete "$work/del-kx.zip" "${victims[@]}"
line zip-d; compare kravix-d zip-d

echo; echo "== change the comment"
seconds zip-z bash -c "echo 'Neuer Kommentar' | zip -q -z '$work/zip.zip'"
seconds kravix-z "$kx" comment "$work/kx.zip" "Neuer Kommentar"
head -c 1000000 /dev/urandom > "$work/small-src.bin"
rm -f "$work/small.zip"
"$kx" create "$work/small.zip" "$work/small-src.bin" 1 >/dev/null
seconds kravix-z-1mb "$kx" comment "$work/small.zip" "Neuer Kommentar"
line zip-z; compare kravix-z zip-z; line kravix-z-1mb "(the same for 1 MB and $(size_mb "$work/kx.zip"))"

echo; echo "== the program: command line and archive window (offscreen)"
prog=$build/bin/kravix
win=$build/bin/window_work_tool
scratch=$work/home
mkdir -p "$scratch"
as_user() { env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" "$@"; }
seconds cli-add as_user "$prog" "$work/cli.zip" /zip "$corpus" -r -p
seconds window-add as_user "$win" add "$work/window.zip" "$corpus"
mkdir -p "$work/x-cli" "$work/x-window"
seconds cli-extract as_user "$prog" "$work/cli.zip" /unzip "$work/x-cli" -d -o
seconds window-extract as_user "$win" extract "$work/cli.zip" "$work/x-window"
line cli-add; compare window-add cli-add
line cli-extract; compare window-extract cli-extract
rm -rf "$work/x-cli" "$work/x-window"

echo; echo "== listing benchmarks"
[ -x "$build/bin/listing_bench" ] && "$build/bin/listing_bench" --benchmark_counters_tabular=true
[ -x "$build/bin/window_listing_bench" ] && "$build/bin/window_listing_bench" --benchmark_counters_tabular=true
[ -x "$build/bin/quickview_bench" ] && "$build/bin/quickview_bench" --benchmark_counters_tabular=true
exit 0

#!/usr/bin/env bash
# Times Kravix beside the peer programs and prints each figure with its ratio
# to the peer (below 1: Kravix is faster) and, where Kravix has a goal, the
# goal and whether this run meets it.
#
#   bench/run.sh BUILD_FOLDER
#
# Kravix is timed as users run it, the program's command line
# (kravix ARCHIV /zip CORPUS "-r -p", kravix ARCHIV /unzip ZIEL "-d -o"), with
# the engine alone (kx_bench_tool) beside it. Each command runs KX_BENCH_RUNS
# times (default 2) and its fastest run counts: the machine is shared, and the
# fastest run is the one least disturbed. /usr/bin/time gives wall time, CPU
# time (user + system) and peak memory of that run.
#
# Corpora, made once in $KX_BENCH_DIR (default /tmp/kravix-bench) and reused:
#   corpus        a dereferenced copy of /usr/include and /usr/share/doc plus
#                 three 40 MB files of mixed text and random data
#   small-files   100,000 files of 1 KB each
#   huge          three 1 GB files of mixed text and random data, only with
#                 KX_BENCH_HUGE=1 (about 3 GB of disk and several minutes)
# and archives of 100,000 and 1,000,000 entries for the listings.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
cache=${KX_BENCH_DIR:-/tmp/kravix-bench}
runs=${KX_BENCH_RUNS:-2}
kx="$build/bin/kx_bench_tool"
prog="$build/bin/kravix"
win="$build/bin/window_work_tool"
mkdir -p "$cache"
bench_dir=$(cd "$(dirname "$0")" && pwd)
cd "$cache"

# make_mixed FOLDER COUNT BLOCKS: COUNT files of BLOCKS x (0.5 MB text + 0.5 MB random).
make_mixed() {
  python3 - "$@" <<'EOF'
import os, random, sys
folder, count, blocks = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(7)
words = open('/usr/share/common-licenses/GPL-3', encoding='utf-8').read().split()
for n in range(count):
    with open(os.path.join(folder, 'mixed-%d.bin' % n), 'wb') as f:
        for block in range(blocks):
            f.write(' '.join(random.choice(words) for _ in range(90000)).encode()[:524288])
            f.write(os.urandom(524288))
EOF
}

corpus=$cache/corpus
if [ ! -d "$corpus" ]; then
  echo "making the corpus in $corpus ..."
  mkdir -p "$corpus.part/large"
  cp -rL /usr/include "$corpus.part/include" 2>/dev/null || true
  cp -rL /usr/share/doc "$corpus.part/doc" 2>/dev/null || true
  make_mixed "$corpus.part/large" 3 40
  mv "$corpus.part" "$corpus"
fi

small=$cache/small-files
if [ ! -d "$small" ]; then
  echo "making 100,000 files of 1 KB in $small ..."
  python3 - "$small.part" <<'EOF'
import os, random, sys
random.seed(11)
words = open('/usr/share/common-licenses/GPL-3', encoding='utf-8').read().split()
for d in range(100):
    folder = os.path.join(sys.argv[1], 'd%02d' % d)
    os.makedirs(folder)
    for i in range(1000):
        text = ' '.join(random.choice(words) for _ in range(220)).encode()[:1024]
        with open(os.path.join(folder, 'f%04d.txt' % i), 'wb') as f:
            f.write(text)
EOF
  mv "$small.part" "$small"
fi

huge=$cache/huge
if [ "${KX_BENCH_HUGE:-0}" = 1 ] && [ ! -d "$huge" ]; then
  echo "making three 1 GB files in $huge ..."
  mkdir -p "$huge.part"
  make_mixed "$huge.part" 3 1024
  mv "$huge.part" "$huge"
fi

big=$cache/entries-100000.zip
[ -f "$big" ] || python3 - "$big" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1] + '.part', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        z.writestr('d%02d/f%06d.txt' % (i % 100, i), 'Eintrag %d\n' % i)
import os; os.replace(sys.argv[1] + '.part', sys.argv[1])
EOF

describe() { echo "$(find "$1" -type f | wc -l) files, $(( $(du -sb "$1" | cut -f1) / 1000000 )) MB"; }
echo "corpus: $(describe "$corpus"); small files: $(describe "$small")"
[ -d "$huge" ] && [ "${KX_BENCH_HUGE:-0}" = 1 ] && echo "huge: $(describe "$huge")"
echo "fastest of $runs runs each; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"

# The program's settings and recent files go to a scratch home; no display.
# Extracted trees are moved aside into $trash and removed only at the end:
# without a journal, ext4 passes over every inode freed in the last minute
# (six while its table is not yet written) each time it makes a file, so
# removing one tool's tree just before the next tool extracts would slow the
# next tool down by seconds. For the same reason a second run of this script
# should start some minutes after the first has ended.
work=$cache/work
trash=$cache/trash
rm -rf "$work" "$trash"; mkdir -p "$work" "$trash"
aside() { for d in "$@"; do [ -e "$d" ] && mv "$d" "$(mktemp -d "$trash/t.XXXXXX")/"; done; return 0; }
export -f aside; export trash
scratch=$work/home
mkdir -p "$scratch"
as_user=(env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data")

# measure NAME [--before 'SHELL COMMAND'] COMMAND...: runs the command $runs
# times (the --before command, e.g. removing the last output, ahead of each)
# and keeps the fastest run's wall time, CPU time and peak memory.
declare -A wall cpu peak
measure() {
  local name=$1; shift
  local before=""
  if [ "$1" = --before ]; then before=$2; shift 2; fi
  local stats=$work/time.txt
  wall[$name]=nan; cpu[$name]=nan; peak[$name]=nan
  for ((i = 0; i < runs; i++)); do
    [ -n "$before" ] && bash -c "$before"
    sync
    if ! /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >/dev/null 2>&1; then
      echo "FAILED: $name: $*" >&2
      return 0
    fi
    read -r e u s m < <(tail -1 "$stats")
    if [ "${wall[$name]}" = nan ] || awk -v a="$e" -v b="${wall[$name]}" 'BEGIN { exit !(a < b) }'; then
      wall[$name]=$e
      cpu[$name]=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
      peak[$name]=$(( m / 1000 ))
    fi
  done
}

calc() { python3 -c "import sys; a,op,b=sys.argv[1:]; a,b=float(a),float(b); print('%.2f' % (a/b if op=='/' else a*b))" "$@" 2>/dev/null || echo nan; }
mb() { [ -f "$1" ] && echo $(( $(stat -c %s "$1") / 1000000 )) || echo nan; }

# row NAME [NOTE]: one timed command.
row() { printf '  %-30s %8s s  cpu %7s s  peak %5s MB  %s\n' "$1" "${wall[$1]}" "${cpu[$1]}" "${peak[$1]}" "${2:-}"; }
# ratio NAME PEER: the ratio of wall times, no goal.
ratio() { printf '  %-30s %8s    (%s / %s)\n' "ratio" "$(calc "${wall[$1]}" / "${wall[$2]}")" "$1" "$2"; }
# goal TEXT VALUE OP LIMIT: a figure against its goal.
goals_met=0; goals_missed=0
goal() {
  local text=$1 value=$2 op=$3 limit=$4 verdict
  if [ "$value" = nan ]; then verdict="NOT MEASURED"; goals_missed=$((goals_missed + 1))
  elif python3 -c "import sys; v,l=float(sys.argv[1]),float(sys.argv[3]); sys.exit(0 if (v<=l if sys.argv[2]=='<=' else v>=l) else 1)" "$value" "$op" "$limit"; then
    verdict="met"; goals_met=$((goals_met + 1))
  else verdict="NOT MET"; goals_missed=$((goals_missed + 1)); fi
  printf '  %-44s %8s   goal %s %-6s %s\n' "$text" "$value" "$op" "$limit" "$verdict"
}

# create_and_extract LABEL FOLDER [GOALS]: one corpus through zip/unzip, 7zz,
# the engine and the program; with GOALS the goals of the main corpus.
create_and_extract() {
  local label=$1 folder=$2 goals=${3:-}
  local base parent z=$work/$1
  base=$(basename "$folder"); parent=$(dirname "$folder")
  echo; echo "== $label: create (zip -6, 7zz -mx5, Kravix normal)"
  measure "$label-zip" --before "rm -f '$z-zip.zip'" bash -c "cd '$parent' && zip -q -r -6 '$z-zip.zip' '$base'"
  measure "$label-7zz" --before "rm -f '$z-7zz.zip'" bash -c "cd '$parent' && 7zz a -tzip -mx5 '$z-7zz.zip' '$base'"
  measure "$label-engine" --before "rm -f '$z-engine.zip'" "$kx" create "$z-engine.zip" "$folder" 3
  measure "$label-program" --before "rm -f '$z-program.zip'" "${as_user[@]}" "$prog" "$z-program.zip" /zip "$folder" "-r -p"
  row "$label-zip" "$(mb "$z-zip.zip") MB"; row "$label-7zz" "$(mb "$z-7zz.zip") MB"
  row "$label-engine" "$(mb "$z-engine.zip") MB"; row "$label-program" "$(mb "$z-program.zip") MB"
  ratio "$label-engine" "$label-zip"; ratio "$label-program" "$label-7zz"
  if [ -n "$goals" ]; then
    goal "create: program / zip -6 (wall)" "$(calc "${wall[$label-program]}" / "${wall[$label-zip]}")" "<=" 0.33
    goal "create: program archive / zip -6 archive" "$(calc "$(stat -c %s "$z-program.zip")" / "$(stat -c %s "$z-zip.zip")")" "<=" 1.00
    goal "create: program CPU time / wall time" "$(calc "${cpu[$label-program]}" / "${wall[$label-program]}")" ">=" 1.8
    goal "create: program peak memory (MB)" "${peak[$label-program]}" "<=" 150
  else
    printf '  %-44s %8s\n' "program / zip -6" "$(calc "${wall[$label-program]}" / "${wall[$label-zip]}")"
    printf '  %-44s %8s\n' "program CPU time / wall time" "$(calc "${cpu[$label-program]}" / "${wall[$label-program]}")"
  fi

  echo; echo "== $label: extract the zip -6 archive (unzip, 7zz, Kravix)"
  local x=$work/x-$label
  # Trees of a few large files are removed at once: few inodes, much disk.
  local away=aside
  [ "$(find "$folder" -type f | wc -l)" -lt 100 ] && away="rm -rf"
  measure "$label-unzip-x" --before "$away '$x'" unzip -q -o "$z-zip.zip" -d "$x"
  measure "$label-7zz-x" --before "$away '$x'" 7zz x -y "-o$x" "$z-zip.zip"
  measure "$label-engine-x" --before "$away '$x'" "$kx" extract "$z-zip.zip" "$x"
  measure "$label-program-x" --before "$away '$x'; mkdir -p '$x'" "${as_user[@]}" "$prog" "$z-zip.zip" /unzip "$x" "-d -o"
  $away "$x"
  row "$label-unzip-x"; row "$label-7zz-x"; row "$label-engine-x"; row "$label-program-x"
  ratio "$label-engine-x" "$label-7zz-x"; ratio "$label-program-x" "$label-unzip-x"
  if [ -n "$goals" ]; then
    goal "extract: program / 7zz x" "$(calc "${wall[$label-program-x]}" / "${wall[$label-7zz-x]}")" "<=" 0.6
  else
    printf '  %-44s %8s\n' "program / 7zz x" "$(calc "${wall[$label-program-x]}" / "${wall[$label-7zz-x]}")"
  fi
}

create_and_extract main "$corpus" goals
zipped=$work/main-zip.zip

echo; echo "== test the zip -6 archive"
measure unzip-t unzip -tq "$zipped"
measure 7zz-t 7zz t "$zipped"
measure engine-t "$kx" test "$zipped"
row unzip-t; row 7zz-t; row engine-t
goal "test: engine / 7zz t" "$(calc "${wall[engine-t]}" / "${wall[7zz-t]}")" "<=" 0.35

echo; echo "== delete ten entries from the zip -6 archive"
mapfile -t victims < <(unzip -Z1 "$zipped" | grep -v '/$' | awk 'NR % 1000 == 0' | head -10)
measure zip-d --before "cp '$zipped' '$work/del-zip.zip'" zip -q -d "$work/del-zip.zip" "${victims[@]}"
measure engine-d --before "cp '$zipped' '$work/del-kx.zip'" "$kx" delete "$work/del-kx.zip" "${victims[@]}"
row zip-d; row engine-d
goal "delete: engine / zip -d" "$(calc "${wall[engine-d]}" / "${wall[zip-d]}")" "<=" 0.8

echo; echo "== list 100,000 entries"
measure unzip-l unzip -l "$big"
measure 7zz-l 7zz l "$big"
measure engine-l "$kx" list "$big"
row unzip-l; row 7zz-l; row engine-l; ratio engine-l unzip-l

echo; echo "== change the comment"
kxzip=$work/main-engine.zip
measure zip-z bash -c "echo 'Neuer Kommentar' | zip -q -z '$zipped'"
measure engine-z "$kx" comment "$kxzip" "Neuer Kommentar"
head -c 1000000 /dev/urandom > "$work/small-src.bin"
rm -f "$work/small.zip"
"$kx" create "$work/small.zip" "$work/small-src.bin" 1 >/dev/null
measure engine-z-1mb "$kx" comment "$work/small.zip" "Neuer Kommentar"
row zip-z; row engine-z "$(mb "$kxzip") MB archive"; row engine-z-1mb "1 MB archive"; ratio engine-z zip-z

echo; echo "== the archive window (offscreen) beside the command line"
measure window-add --before "rm -f '$work/window.zip'" "${as_user[@]}" "$win" add "$work/window.zip" "$corpus"
measure window-extract --before "aside '$work/x-window'; mkdir -p '$work/x-window'" \
  "${as_user[@]}" "$win" extract "$work/main-program.zip" "$work/x-window"
measure program-x-own --before "aside '$work/x-program'; mkdir -p '$work/x-program'" \
  "${as_user[@]}" "$prog" "$work/main-program.zip" /unzip "$work/x-program" "-d -o"
aside "$work/x-window" "$work/x-program"
row window-add; row main-program "(command line)"; row window-extract; row program-x-own "(command line)"
goal "window add / command line" "$(calc "${wall[window-add]}" / "${wall[main-program]}")" "<=" 1.10
goal "window extract / command line" "$(calc "${wall[window-extract]}" / "${wall[program-x-own]}")" "<=" 1.10

create_and_extract small-files "$small"
if [ "${KX_BENCH_HUGE:-0}" = 1 ]; then
  create_and_extract huge "$huge"
else
  echo; echo "== huge (three 1 GB files): skipped, KX_BENCH_HUGE=1 runs it"
fi
rm -f "$work"/*.zip

echo; echo "== the window lists 1,000,000 entries"
listing_json=$work/listing.json
if [ -x "$build/bin/window_listing_bench" ] &&
   "$build/bin/window_listing_bench" --benchmark_filter='BM_WindowListing/1000000' --benchmark_repetitions="$runs" \
     --benchmark_format=json --benchmark_out="$listing_json" >/dev/null 2>&1; then
  read -r seconds rss < <(python3 - "$listing_json" <<'EOF'
import json, sys
rows = [b for b in json.load(open(sys.argv[1]))['benchmarks'] if b.get('run_type') == 'iteration']
best = min(rows, key=lambda b: b['real_time'])
scale = {'ns': 1e-9, 'us': 1e-6, 'ms': 1e-3, 's': 1.0}[best['time_unit']]
print('%.3f %d' % (best['real_time'] * scale, max(b['peak_rss_kb'] for b in rows) / 1000))
EOF
)
  goal "window listing of 1,000,000 entries (s)" "$seconds" "<=" 0.7
  goal "  its peak memory (MB)" "$rss" "<=" 250
else
  goal "window listing of 1,000,000 entries (s)" nan "<=" 0.7
fi

echo; echo "== listing benchmarks"
[ -x "$build/bin/listing_bench" ] && "$build/bin/listing_bench" --benchmark_counters_tabular=true
[ -x "$build/bin/window_listing_bench" ] &&
  "$build/bin/window_listing_bench" --benchmark_filter='-BM_WindowListing/1000000' --benchmark_counters_tabular=true
[ -x "$build/bin/quickview_bench" ] && "$build/bin/quickview_bench" --benchmark_counters_tabular=true

rm -rf "$trash"
echo; echo "goals met: $goals_met, not met: $goals_missed"

echo; echo "== kxpack and the DOS packers"
"$bench_dir/dos_formats.sh" "$build" || echo "FAILED: bench/dos_formats.sh"
exit 0

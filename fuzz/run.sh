#!/usr/bin/env bash
# Runs every fuzz target: first a replay of its committed corpus, then fresh
# fuzzing for the given number of seconds per target (default 180).
set -euo pipefail
build=${1:?build folder}
seconds=${2:-180}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for exe in "$build"/bin/*_fuzz; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  corpus="$here/corpus/$name"
  mkdir -p "$corpus"
  work=$(mktemp -d)
  echo "== $name: replay $(ls "$corpus" | wc -l) seeds, then ${seconds}s"
  if ! "$exe" -runs=0 "$corpus" >"$work/replay.log" 2>&1; then
    tail -40 "$work/replay.log"; status=1; continue
  fi
  if ! "$exe" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/" "$work" "$corpus" >"$work/fuzz.log" 2>&1; then
    tail -40 "$work/fuzz.log"; echo "artifacts in $work"; status=1; continue
  fi
  rm -rf "$work"
done
exit $status

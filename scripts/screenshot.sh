#!/usr/bin/env bash
# Takes a screenshot of Kravix under a virtual X server with a window manager
# (so captions show):
#
#   scripts/screenshot.sh OUT.png [KRAVIX ARGUMENTS...]
#   scripts/screenshot.sh OUT.png --gallery dialog|progress|kommando
#   scripts/screenshot.sh OUT.png --gallery settings [zip|unzip|passwort|bemerkung|schnellansicht|expacker]
#   scripts/screenshot.sh OUT.png --gallery hilfe [CONTEXT]
#   scripts/screenshot.sh OUT.png --gallery start
#
# Settings go to a throw-away folder, so the user's own are not touched.
set -euo pipefail
out=${1:?output PNG}; shift
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${KX_BIN:-$here/build/bin}
display=:$((90 + RANDOM % 100))
home=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$home"' EXIT

Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
openbox >/dev/null 2>&1 &
sleep 0.5
if [ "${1:-}" = "--gallery" ]; then
  shift
  "$bin/kx_window_gallery" "$@" >/dev/null 2>&1 &
else
  "$bin/kravix" "$@" >/dev/null 2>&1 &
fi
sleep "${KX_SHOT_DELAY:-2}"
import -window root "$out"
echo "$out"

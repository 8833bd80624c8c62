#!/usr/bin/env bash
# `cmake --install` of the built tree into a throwaway DESTDIR, once per
# prefix: exactly these files, the command a link to the program beside its
# files, a desktop entry that desktop-file-validate accepts and that starts
# the installed program, a MIME package the MIME database takes.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL ($prefix): $*" >&2; exit 1; }

expected='bin/kravix
lib/kravix/Qview32.ocx
lib/kravix/filecopy.avi
lib/kravix/filedelr.avi
lib/kravix/kravix
lib/kravix/kravix.html
lib/kravix/kxpack
lib/kravix/kxsfx
lib/kravix/search.avi
lib/kravix/zipexe
share/applications/kravix.desktop
share/icons/hicolor/scalable/apps/kravix.svg
share/mime/packages/kravix.xml'

# prefix|the entry's Exec line
while IFS='|' read -r prefix exec; do
  root="$work/root"
  rm -rf "$root"
  DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$work/log" || { cat "$work/log"; fail "install failed"; }
  tree="$root$prefix"
  actual=$(cd "$tree" && find . \( -type f -o -type l \) | sed 's#^\./##' | LC_ALL=C sort)
  [ "$actual" = "$expected" ] || fail "installed files differ: $(diff <(echo "$expected") <(echo "$actual"))"
  [ "$(readlink "$tree/bin/kravix")" = ../lib/kravix/kravix ] || fail "bin/kravix is no link to ../lib/kravix/kravix"
  for program in kravix zipexe kxsfx kxpack; do [ -x "$tree/lib/kravix/$program" ] || fail "$program is not executable"; done
  "$tree/bin/kravix" --help | grep -q '^  kravix ARCHIV /unzip ZIEL' || fail "the installed command does not run"

  entry="$tree/share/applications/kravix.desktop"
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  grep -qxF "Exec=$exec" "$entry" || fail "Exec line: $(grep ^Exec "$entry")"
  grep -qxF "Icon=kravix" "$entry" || fail "Icon line: $(grep ^Icon "$entry")"

  xmllint --noout "$tree/share/icons/hicolor/scalable/apps/kravix.svg" || fail "the icon is no well-formed SVG"
  update-mime-database "$tree/share/mime"
  for glob in 'application/x-arc:\*\.arc' 'application/x-zip-multivolume:\*\.001'; do
    grep -q ":$glob$" "$tree/share/mime/globs2" || fail "MIME database lacks $glob"
  done
done <<'TABLE'
/usr|/usr/bin/kravix %f
/opt/Kra vix|"/opt/Kra vix/bin/kravix" %f
TABLE
echo "Install layout: 2 prefixes checked"

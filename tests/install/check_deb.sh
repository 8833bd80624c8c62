#!/usr/bin/env bash
# The Debian package of the built tree: its files (dpkg-deb -c), its control
# file (dpkg-deb -I: the libraries in Depends, the packers recommended), apt's
# plan for it on a system with nothing installed yet (every dependency found
# in Debian 12's lists), and an install and removal with dpkg into a
# throwaway root whose maintainer scripts run chrootless (DPKG_ROOT).
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$("$source/packaging/build-deb.sh" "$build" "$work")
[ -f "$deb" ] || fail "no package built"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6 ($7 == "->" ? " -> " $8 : "")}' | LC_ALL=C sort)
expected='./usr/bin/kravix -> ../lib/kravix/kravix
./usr/lib/kravix/Qview32.ocx
./usr/lib/kravix/filecopy.avi
./usr/lib/kravix/filedelr.avi
./usr/lib/kravix/kravix
./usr/lib/kravix/kravix.html
./usr/lib/kravix/kxpack
./usr/lib/kravix/kxsfx
./usr/lib/kravix/search.avi
./usr/lib/kravix/zipexe
./usr/share/applications/kravix.desktop
./usr/share/icons/hicolor/scalable/apps/kravix.svg
./usr/share/mime/packages/kravix.xml'
[ "$files" = "$expected" ] || fail "package contents differ: $(diff <(echo "$expected") <(echo "$files"))"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libzip4 libdeflate0 libssl3 zlib1g; do
  [[ ", $depends," == *", $lib "* ]] || fail "Depends lacks $lib: $depends"
done
for packer in arj arc lhasa; do
  [[ ", $(dpkg-deb -f "$deb" Recommends)," == *", $packer,"* ]] || fail "Recommends lacks $packer"
done
for script in postinst postrm; do
  dpkg-deb -I "$deb" $script | grep -q update-mime-database || fail "no $script refreshing the MIME database"
done
grep -q '^Exec=/usr/bin/kravix %f$' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/kravix.desktop) ||
  fail "the packaged entry does not start /usr/bin/kravix"

# apt on an empty system: every dependency resolves from the package lists.
ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1 || fail "no apt package lists (run apt-get update)"
: >"$work/status"
plan=$(apt-get -s -o Dir::State::status="$work/status" -o APT::Install-Recommends=false install "$deb" 2>&1) ||
  fail "apt cannot resolve the package on a fresh system: $plan"
for package in kravix libqt6widgets6 libzip4 libdeflate0 libssl3; do
  grep -q "^Inst $package " <<<"$plan" || fail "apt's plan does not install $package"
done

# dpkg into a throwaway root that has the system's MIME definitions, as
# shared-mime-info leaves them; the host's tools run the maintainer scripts.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/share/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/"
: >"$root/var/lib/dpkg/status"
dpkg=(env PKGSYSTEM_ENABLE_FSYNC=0 dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null)
"${dpkg[@]}" -i "$deb" >"$work/log" 2>&1 || { cat "$work/log"; fail "dpkg -i"; }
[ "$(dpkg-query --root="$root" -W -f='${Status}' kravix)" = "install ok installed" ] || fail "not installed"
[ -x "$root/usr/bin/kravix" ] || fail "no /usr/bin/kravix after installing"
grep -q ':application/x-arc:\*\.arc$' "$root/usr/share/mime/globs2" || fail "postinst did not refresh the MIME database"
"${dpkg[@]}" -r kravix >"$work/log" 2>&1 || { cat "$work/log"; fail "dpkg -r"; }
for f in $(echo "$expected" | sed 's/ -> .*//; s#^\.##'); do
  [ ! -e "$root$f" ] && [ ! -L "$root$f" ] || fail "$f left behind after removal"
done
[ -z "$(ls -A "$root/usr/lib" 2>/dev/null)" ] || fail "usr/lib not empty after removal"
grep -q ':application/zip:\*\.zip$' "$root/usr/share/mime/globs2" && ! grep -q ':application/x-arc:' "$root/usr/share/mime/globs2" ||
  fail "postrm did not refresh the MIME database"
[ -z "$(dpkg-query --root="$root" -W -f='${Status}' kravix 2>/dev/null | grep installed)" ] || fail "still installed"
echo "Debian package: $(basename "$deb"), $(stat -c %s "$deb") bytes; installed and removed in a throwaway root"

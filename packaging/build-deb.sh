#!/usr/bin/env bash
# Builds kravix_VERSION_ARCH.deb from a built tree: installs it with prefix
# /usr (stripped) into a staging root, computes Depends with dpkg-shlibdeps
# from the ELF files, adds control file and maintainer scripts, packs with
# dpkg-deb. Usage: build-deb.sh BUILD_DIR OUT_DIR; prints the package's path.
set -euo pipefail

build=$(realpath "$1")
out=$(realpath "$2")
here=$(dirname "$(realpath "$0")")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "build-deb.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root="$stage/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr --strip >"$stage/install.log" ||
  { cat "$stage/install.log" >&2; exit 1; }

# The run-time libraries of every ELF file in the package.
elves=()
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] && elves+=("$f")
done < <(find "$root" -type f -print0)
[ ${#elves[@]} -gt 0 ] || { echo "build-deb.sh: no program in the staging root" >&2; exit 1; }
mkdir -p "$stage/debian"
printf 'Source: kravix\n\nPackage: kravix\nArchitecture: any\n' >"$stage/debian/control"
depends=$(cd "$stage" && dpkg-shlibdeps -O "${elves[@]}" 2>"$stage/shlibdeps.log" | sed -n 's/^shlibs:Depends=//p') ||
  { cat "$stage/shlibdeps.log" >&2; exit 1; }
[ -n "$depends" ] || { cat "$stage/shlibdeps.log" >&2; exit 1; }

mkdir -p "$root/DEBIAN"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@INSTALLED_SIZE@/$size/" \
    -e "s/@DEPENDS@/$depends/" "$here/control.in" >"$root/DEBIAN/control"
install -m 0755 "$here/postinst" "$here/postrm" "$root/DEBIAN/"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod -R u=rwX,go=rX "$root/usr"

deb="$out/kravix_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"

#!/usr/bin/env bash
# Builds the Debian package of the suite from the CMake install rules:
#   scripts/package.sh            -> build/package/qor-zemd_<version>_amd64.deb
# then lists its contents and runs lintian on it. QOR_BUILD_DIR names
# another build folder; --no-lintian skips the check. The package tools it
# needs (dpkg-dev, help2man, lintian, fakeroot) are installed when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$top/build}
lint=1
for a in "$@"; do
  case "$a" in
    --no-lintian) lint=0 ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument '$a'" >&2; exit 2 ;;
  esac
done

tools=(dpkg-dev help2man fakeroot)
[ $lint = 1 ] && tools+=(lintian)
missing=()
for t in "${tools[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$t" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$t")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "package.sh: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Release build of what the package carries (no tests), into the usual folder.
[ -f "$top/../ccache.env" ] && . "$top/../ccache.env"
if [ "$build" = "$top/build" ]; then
  QOR_BUILD_TARGETS=installables "$top/scripts/build.sh" default
else
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target installables
fi

version=$(sed -n 's/.*kSuiteVersion\[\] = "\(.*\)";/\1/p' "$top/platform/support/include/qor/support/version.h")
pkg=qor-zemd
out=$build/package
stage=$out/root
rm -rf "$stage"
mkdir -p "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null

# Documentation Debian expects, and the man pages.
doc=$stage/usr/share/doc/$pkg
install -d "$doc"
install -m 644 "$top/packaging/debian/copyright" "$doc/copyright"
gzip -9n -c "$top/packaging/debian/changelog" >"$doc/changelog.gz"
install -m 644 "$top/docs/install.md" "$doc/install.md"
install -D -m 644 "$top/packaging/debian/lintian-overrides" "$stage/usr/share/lintian/overrides/$pkg"
"$top/packaging/make-manpages.sh" "$stage" "$version"

# Modes a package expects whatever the umask of the build was.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod go-w {} +
find "$stage/usr/share" "$stage/lib" "$stage/usr/lib/tmpfiles.d" -type f -exec chmod 644 {} +
if [ -d "$stage/etc" ]; then find "$stage/etc" -type f -exec chmod 644 {} +; fi
find "$stage/usr/lib/qor" -name '*.so' -exec chmod 644 {} +

# Control files: dependencies from the libraries the binaries link.
control=$stage/DEBIAN
install -d "$control"
for script in postinst prerm postrm; do
  install -m 755 "$top/packaging/debian/$script" "$control/$script"
done
if [ -d "$stage/etc" ]; then
  ( cd "$stage" && find etc -type f | sed 's|^|/|' ) >"$control/conffiles"
fi
shlib_work=$(mktemp -d)
trap 'rm -rf "$shlib_work"' EXIT
mkdir -p "$shlib_work/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: amd64\n' "$pkg" "$pkg" >"$shlib_work/debian/control"
mapfile -t elves < <(find "$stage/usr/lib/qor" -type f -exec sh -c 'head -c4 "$1" | grep -q ELF && echo "$1"' _ {} \;)
depends=$(cd "$shlib_work" && dpkg-shlibdeps -O -l"$stage/usr/lib/qor" "${elves[@]}" 2>/dev/null |
          sed -n 's/^shlibs:Depends=//p')
depends="adduser, init-system-helpers (>= 1.52), ${depends}"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s|@VERSION@|$version|" -e "s|@SIZE@|$size|" -e "s|@DEPENDS@|$depends|" \
    "$top/packaging/debian/control.in" >"$control/control"
( cd "$stage" && find . -path ./DEBIAN -prune -o -type f -print0 | sort -z | xargs -0 md5sum | sed 's| \./| |' ) \
    >"$control/md5sums"
chmod 644 "$control/control" "$control/md5sums"

deb=$out/${pkg}_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "package: $deb"
if [ $lint = 1 ]; then
  # Errors fail the script; warnings are shown.
  lintian --tag-display-limit 0 "$deb" | tee "$out/lintian.txt" || true
  if grep -q '^E:' "$out/lintian.txt"; then
    echo "package.sh: lintian reports errors" >&2
    exit 1
  fi
fi

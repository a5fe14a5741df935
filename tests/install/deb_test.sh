#!/usr/bin/env bash
# Builds the Debian package from the build tree into a temporary folder and checks it: exactly
# the files a desktop installation needs (no tests, no benchmarks), dependencies found by
# dpkg-shlibdeps, and no lintian errors.
#
# The package is not installed: dpkg --root into an empty folder runs no maintainer tools
# and resolves no dependencies, and a debootstrapped system takes minutes. The file list, the
# dependencies and lintian's checks of the files cover what such an installation would show.
#
# Usage: deb_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The package target builds whatever it installs from the build tree: a build that made only
# the window (as scripts/run.sh does) must still package.
if command -v ninja >/dev/null && [ -f "$build/build.ninja" ]; then
  inputs=$(ninja -C "$build" -t inputs package_deb 2>/dev/null | sed "s|^|$build/|")
  while IFS= read -r installed; do
    # Files written when the build is configured are there before any build.
    ninja -C "$build" -t query "${installed#"$build"/}" >/dev/null 2>&1 || continue
    grep -qxF "$installed" <<<"$inputs" || grep -qxF "${installed%.gz}" <<<"$inputs" ||
      fail "package_deb installs $installed but does not build it"
  done < <(grep -o 'FILES "[^"]*"' "$build/cmake_install.cmake" | sed 's/^FILES "//; s/"$//' |
           grep "^$build/")
fi

"${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/quillet_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "no single package in: $(ls "$work")"
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

expected=(
  ./usr/bin/quillet
  ./usr/bin/quillet-tool
  ./usr/share/man/man1/quillet-tool.1.gz
  ./usr/share/applications/org.example.Quillet.desktop
  ./usr/share/doc/quillet/changelog.gz
  ./usr/share/doc/quillet/copyright
  ./usr/share/icons/hicolor/scalable/apps/org.example.Quillet.svg
  ./usr/share/icons/hicolor/scalable/mimetypes/application-x-quillet.svg
  ./usr/share/man/man1/quillet.1.gz
  ./usr/share/metainfo/org.example.Quillet.metainfo.xml
  ./usr/share/mime/packages/org.example.Quillet.xml
)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/org.example.Quillet.png"
             "./usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-quillet.png")
done
# Regular files only: the folders follow from them.
dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { print $6 }' | LC_ALL=C sort >"$work/files"
printf '%s\n' "${expected[@]}" | LC_ALL=C sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the package's files differ from the expected"
echo "ok: ${#expected[@]} files"

for field in Package Section Priority Maintainer; do
  echo "$field: $(dpkg-deb -f "$deb" "$field")"
done
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -Eq '(^|, )libqt6widgets6( |,|$)' <<<"$depends" || fail "Depends lacks libqt6widgets6"
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Recommends: $recommends"
grep -Eq '(^|, )qt6-wayland( |,|$)' <<<"$recommends" || fail "Recommends lacks qt6-wayland"
# No maintainer scripts: dpkg triggers refresh the MIME, desktop and icon caches.
scripts=$(dpkg-deb -I "$deb" | grep -Ew 'preinst|postinst|prerm|postrm' || true)
[ -z "$scripts" ] || fail "maintainer scripts: $scripts"

# Run as root, lintian warns about that; the note is left out of the log shown.
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || {
  cat "$work/lintian.log" >&2
  fail "lintian"
}
sed '/running with root privileges/d' "$work/lintian.log"
echo "ok: lintian reports no errors"

#!/usr/bin/env bash
# The packages stage: makes the Debian package, the Windows zips and the
# Windows installer from the builds the other stages made (building what is
# missing), checks the Debian package with lintian, installs, uses and purges
# it on this machine, and installs, uses and uninstalls the Windows installer
# under Wine. Needs root or sudo: it installs the package for real.
# Usage: scripts/test-packages.sh [LINUX_BUILD]   (default build-test)
# The packages are left in the build folders: build-test/pl2html_VERSION_ARCH.deb,
# build-win64/pl2html-VERSION-win64.zip and pl2html-VERSION-win64-setup.exe,
# the same in build-win32 (whose installer Wine cannot run here: 64-bit only).
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build-test}
werror=${PL2HTML_WERROR:-OFF}
jobs=$(nproc)
version=$(sed -n 's/^project(pl2html VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)

# The changelog's latest entry is this version: Debian shows it as the
# package's history.
[ "$(dpkg-parsechangelog -l packaging/changelog -S Version)" = "$version" ] || {
  echo "packaging/changelog has no entry for $version" >&2
  exit 1
}

# build FOLDER [CMAKE_ARGUMENTS...]: the program built there, configured
# again only when the folder is new or was configured otherwise.
build() {
  local folder=$1
  shift
  cmake -S . -B "$folder" -DPL2HTML_WERROR="$werror" "$@" >/dev/null
  cmake --build "$folder" -j"$jobs" --target pl2html
}

echo "== Debian package"
# The package installs under /usr, where the program looks for its module.
build "$linux" -DCMAKE_INSTALL_PREFIX=/usr
(cd "$linux" && cpack -G DEB >/dev/null)
deb=$linux/pl2html_${version}_$(dpkg --print-architecture).deb
lintian --fail-on error,warning --suppress-tags-from-file packaging/lintian-accepted "$deb"
tests/packaging/deb_test.sh "$deb" "$linux/pl2html"

echo "== Windows zips and installer"
build build-win64 --toolchain cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli
build build-win32 --toolchain cmake/mingw-w64-i686.cmake --no-warn-unused-cli -DPL2HTML_TESTS=OFF
for bits in 64 32; do
  (cd build-win$bits && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
done
for bits in 64 32; do
  zip=build-win$bits/pl2html-$version-win$bits.zip
  listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  want="pl2html-$version-win$bits/LICENSE pl2html-$version-win$bits/README.md pl2html-$version-win$bits/pl2html.exe "
  [ "$listed" = "$want" ] || {
    echo "$zip holds $listed" >&2
    exit 1
  }
done

source scripts/wine-session.sh
"${drop[@]}" tests/windows/installer_test.sh "build-win64/pl2html-$version-win64-setup.exe" \
  "$linux/pl2html"

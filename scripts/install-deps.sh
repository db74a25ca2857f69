#!/usr/bin/env bash
# Installs what building and testing pl2html needs, from Debian's packages.
# Usage: scripts/install-deps.sh [build|test]   (default: build)
set -euo pipefail
what=${1:-build}

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libgtk-3-dev)
if [ "$what" = test ]; then
  # A real Prolog library to convert, and perl to count its lines.
  packages+=(swi-prolog-nox perl)
  # The Windows stage: cross compilers, GoogleTest's sources, Wine (64-bit
  # only) with the X libraries and fonts its dialogs use, a virtual display
  # and a way to type into it.
  packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest wine wine64 fonts-wine
    libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3
    xvfb xdotool)
  # The desktop suite: a virtual X server and a keyboard for it, gio to start
  # the desktop entry as a file manager does, and its validator.
  packages+=(xvfb xdotool libglib2.0-bin desktop-file-utils)
fi

if [ "$what" = test ]; then
  # The packages stage: CPack's Debian generator (file, dpkg-shlibdeps),
  # lintian, NSIS for the Windows installer, unzip to look into the zips,
  # man to find the installed manual page, and the MIME database that the
  # package adds the Prolog type to.
  packages+=(file dpkg-dev lintian nsis unzip man-db shared-mime-info)
fi

if [ "$what" = test ]; then
  # The sanitizer and fuzz stages (clang with libFuzzer), and the benchmarks,
  # which are built there to keep them compiling.
  packages+=(clang libclang-rt-14-dev libbenchmark-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

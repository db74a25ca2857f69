#!/usr/bin/env bash
# Installs what building and testing pl2html needs, from Debian's packages.
# Usage: scripts/install-deps.sh [build|test]   (default: build)
set -euo pipefail
what=${1:-build}

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libgtk-3-dev)
if [ "$what" = test ]; then
  # A real Prolog library to convert, and perl to count its lines.
  packages+=(swi-prolog-nox perl)
  # readtags, to look predicates up in a site's tags file as editors do.
  packages+=(universal-ctags)
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
  # The Prolog page in a real browser and a validator: chromium, and node
  # for npm's puppeteer-core and html-validate (tests/browser/package.json).
  packages+=(chromium nodejs)
  # Debian's nodejs leaves npm to a package of its own; other builds of
  # nodejs bring it along and conflict with that package.
  command -v npm >/dev/null || packages+=(npm)
fi

# The npm packages, at the versions package-lock.json pins.
install_npm_packages() {
  [ "$what" = test ] || return 0
  local browser
  browser=$(cd "$(dirname "$0")/../tests/browser" && pwd)
  [ -d "$browser/node_modules" ] || (cd "$browser" && npm ci --no-audit --no-fund)
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  install_npm_packages
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
install_npm_packages

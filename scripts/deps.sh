#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang pkg-config
  libcurl4-openssl-dev libpcre2-dev libsqlite3-dev libcpp-httplib-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  libunicorn-dev gcc-mingw-w64-i686
  libgtest-dev libgmock-dev libbenchmark-dev libreadline-dev nlohmann-json3-dev
  libclang-rt-14-dev
  curl xvfb xauth imagemagick fonts-wqy-microhei
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

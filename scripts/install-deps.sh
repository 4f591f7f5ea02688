#!/usr/bin/env bash
# Installs what building, running and testing orvek needs on Debian (12 or
# later). Does nothing for packages already present.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libcurl4-openssl-dev libncurses-dev libssl-dev nlohmann-json3-dev libsodium-dev libsimdjson-dev
  googletest libgtest-dev
  lighttpd lighttpd-mod-openssl lighttpd-mod-deflate openssl
  tmux python3 procps
  clang libclang-rt-14-dev valgrind mandoc groff-base
  dpkg-dev
  # The tests start their own nginx on a free loopback port; the service the
  # package may start on port 80 plays no part in them.
  nginx
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs what building and testing need, and only what is missing.
# Safe to run any number of times. Needs root (or sudo) when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config git clang-format
    googletest libgtest-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
    wine64 wine xvfb xauth xdotool x11-utils imagemagick socat procps
    fonts-liberation fonts-wine python3 nsis
    clang
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
updated=no

# Installs those of the named packages that are not installed yet.
install_missing() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "setup: installing ${missing[*]}"
    # sudo does not pass the environment on: the setting goes on its command line.
    if [ $updated = no ]; then
        "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        updated=yes
    fi
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"
# The fuzzer runtime belongs to the release's clang: libclang-rt-14-dev on
# Debian 12, libclang-rt-19-dev on Debian 13.
clang_major=$(clang -dumpversion | cut -d. -f1)
install_missing "libclang-rt-$clang_major-dev"
echo "setup: all packages present"

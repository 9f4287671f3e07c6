#!/usr/bin/env bash
# Installs what building and testing Tovix needs on Debian 12, when it is missing.
# Safe to run again: it only acts on what is absent.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(wine wine64 wine32:i386 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools zlib1g-dev libz-mingw-w64-dev
      cmake ninja-build googletest xvfb xauth fonts-ipafont-gothic locales imagemagick
      zip unzip 7zip jlha-utils lhasa arj gcab cabextract bzip2 ncompress libarchive-tools psmisc
      clang libclang-rt-14-dev)
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine's ANSI code page follows the locale: ja_JP.UTF-8 gives 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

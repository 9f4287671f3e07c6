#!/usr/bin/env bash
# Makes a small sample archive with folders and a Japanese name for trying Tovix.
set -eu
out=${1:?folder}
mkdir -p "$out/src/docs/img"
cd "$out/src"
printf 'Tovix sample\r\n' > readme.txt
printf '日本語のテキスト\n' | iconv -f UTF-8 -t CP932 > "$(printf '説明.txt' | iconv -f UTF-8 -t CP932)" 2>/dev/null || printf 'x' > jp.txt
seq 1 2000 > docs/numbers.txt
head -c 4096 /dev/urandom > docs/img/noise.bin
rm -f ../sample.lzh
jlha a ../sample.lzh readme.txt docs >/dev/null 2>&1 || jlha -a ../sample.lzh readme.txt docs

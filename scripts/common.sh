# Sourced by the scripts: configures and builds the Windows builds.
#   build_win32   the program as shipped: 32-bit, code page 932
#   build_win64   the same sources for 64-bit Windows
#   build_test    both of them (a compile error in either stops the script),
#                 then picks the build whose programs this machine can run
#                 under Wine: the 32-bit build wherever it can run, else the
#                 64-bit one.
# TOVIX_NO_32BIT=1 takes the path of a machine that cannot execute 32-bit
# code (Wine's 32-bit loader fails there with "Exec format error").
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

can_run_32bit() {
  [ "${TOVIX_NO_32BIT:-0}" = 0 ] || return 1
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

configure_and_build() {  # dir toolchain [build options...]
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" >/dev/null
  cmake --build "$1" -j "$jobs" "${@:3}"
}

build_win32() { configure_and_build "$root/build/win32" mingw32.cmake; }
build_win64() { configure_and_build "$root/build/win64" mingw64.cmake; }

# Sets TEST_BUILD and TEST_WINE.
build_test() {
  build_win32
  build_win64
  if can_run_32bit; then
    TEST_BUILD="$root/build/win32" TEST_WINE=/usr/lib/wine/wine
  else
    TEST_BUILD="$root/build/win64" TEST_WINE=/usr/lib/wine/wine64
  fi
}

# The Wine loader for a Windows program: wine64 for PE32+, wine otherwise.
wine_for() {
  local pe machine
  pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' ')
  if [ "$machine" = 8664 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

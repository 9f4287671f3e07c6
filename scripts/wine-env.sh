# Sourced with a build folder and its Wine: sets up that build's prefix and
# keeps one wineserver running, so that each test process starts in milliseconds.
_build=$(cd "${1:?build folder}" && pwd)
_wine=${2:?wine or wine64}
export WINEPREFIX="$_build/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
"$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$WINEPREFIX" "$_wine"
wineserver -p 2>/dev/null || true
# Start Wine's own services now, with no pipes of ours: a test that started
# them would leave them holding its output open, and the runner would wait.
"$_wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

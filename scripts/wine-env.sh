# Sourced with a build folder and its Wine: sets up that build's prefix and
# keeps one wineserver running, so that each test process starts in milliseconds.
_build=$(cd "${1:?build folder}" && pwd)
_wine=${2:?wine or wine64}
export WINEPREFIX="$_build/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
"$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$WINEPREFIX" "$_wine"
# A server still ending (an earlier run's) would turn this one away, and
# every test would start a server of its own.
for _ in 1 2 3; do
  wineserver -p 2>/dev/null && break
  timeout 10 wineserver -w || break  # still there after that: one that stays
done
# Start Wine's own services now, with no pipes of ours: a test that started
# them would leave them holding its output open, and the runner would wait.
"$_wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
# And a program that stays on the desktop (wineserver -k ends it): it closes,
# and the clipboard with it, two seconds after the last program on it ends,
# and the services would then start again inside a test, holding its output.
if [ -f "$_build/bin/tests/uiprobe.exe" ]; then
  "$_wine" "$_build/bin/tests/uiprobe.exe" wait TovixNoSuchWindow 2000000000 </dev/null >/dev/null 2>&1 &
fi

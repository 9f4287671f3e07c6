#!/usr/bin/env bash
# Takes a picture of Tovix's main window: Xvfb, the normal Wine display
# driver in a prefix of its own, and ImageMagick's import.
# Usage: screenshot.sh [BUILD_DIR] [OUT.png] [ARGS FOR TOVIX...]
# Without BUILD_DIR: the build this machine runs (see common.sh), built
# first when it has no program yet. SHOT_DISPLAY=N uses that X display
# number (default: the first free one).
set -euo pipefail
source "$(dirname "$0")/shot-common.sh"
shot_build "${1:-}"
out=${2:-$build/screenshot.png}
shift $(( $# > 2 ? 2 : $# ))
exe="$build/bin/tovix.exe"
args=""
[ $# -gt 0 ] && args=$(printf '%q ' "$@")
rm -f "$out"
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
set -u
source "$root/scripts/shot-common.sh"
shot_desktop
"$wine" "$exe" $args &
if "$wine" "$build/bin/tests/uiprobe.exe" wait TVantrelbyHalvek 60000 >/dev/null; then
  sleep 3
  # The main window only; the whole desktop when its place is unknown.
  geom=\$("$wine" "$build/bin/tests/uiprobe.exe" wait TVantrelbyHalvek 1000 rect | window_geom)
  if [ -n "\$geom" ]; then
    import -window root -crop "\$geom" +repage "$out"
  else
    import -window root "$out"
  fi
  "$wine" "$build/bin/tests/uiprobe.exe" wait TVantrelbyHalvek 1000 close wait-exit 10000 >/dev/null || true
fi
wineserver -k 2>/dev/null || true
INNER
on_display "$inner"
[ -s "$out" ] || { echo "no picture taken" >&2; exit 1; }
echo "$out"

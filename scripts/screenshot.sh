#!/usr/bin/env bash
# Runs the viewer under Xvfb on the example mail and grabs its window, which
# must have kept its start size, into docs/screenshot.png (or the file given).
#   scripts/screenshot.sh [OUTPUT.png] [MAIL.kqv]
# The other picture in docs/:
#   scripts/screenshot.sh docs/screenshot-langer-betreff.png examples/Langer-Betreff.kqv
# BUILD_DIR (default build) names the build to take the viewer from.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
mail=${2:-examples/Beispiel-Protokoll.kqv}
build=${BUILD_DIR:-build}
caption='Merivo Email Betrachter V1.04'
start_size='787x536'

if [ ! -x "$build/bin/merivo-mailviewer" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKQV_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target merivo-mailviewer
fi

work=$(mktemp -d)
cleanup() {
  [ -n "${viewer:-}" ] && kill "$viewer" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
export QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox
# A real X window, whatever platform the surrounding tests chose.
export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=0

"$build/bin/merivo-mailviewer" "$mail" >"$work/viewer.log" 2>&1 &
viewer=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --name "^${caption}\$" 2>/dev/null | tail -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "no viewer window appeared"; cat "$work/viewer.log"; exit 1; }
# Give the HTML view time to render the page and its image.
sleep 4
window=$(xdotool search --name "^${caption}\$" | tail -1)
size=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: *//p')
[ "$size" = "$start_size" ] || { echo "the window is $size, not $start_size"; exit 1; }
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
kill "$viewer"
wait "$viewer" 2>/dev/null || true
viewer=""
echo "$out"

#!/usr/bin/env bash
# Installs the viewer into a temporary prefix, starts the installed binary
# under Xvfb on the example mail, waits for its window, ends it with the menu
# command "Beenden" and checks that it ended cleanly and removed its HTML
# temporary files.
#   viewer_under_xvfb.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
caption='Merivo Email Betrachter V1.04'

work=$(mktemp -d)
cleanup() {
  [ -n "${viewer:-}" ] && kill "$viewer" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
bin=$work/prefix/bin/merivo-mailviewer
[ -x "$bin" ] || { echo "not installed: $bin"; exit 1; }

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
mkdir -p "$HOME"
export QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox
# A real X window, whatever platform the surrounding tests chose.
export QT_QPA_PLATFORM=xcb
# Qt's classic style lets the menu bar be reached with the Alt key.
export QT_STYLE_OVERRIDE=windows
# WebEngine's own libraries are not instrumented; sized deletes inside them
# look mismatched to AddressSanitizer.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}new_delete_type_mismatch=0:detect_leaks=0

"$bin" "$source/examples/Beispiel-Protokoll.kqv" >"$work/viewer.log" 2>&1 &
viewer=$!

window=""
for _ in $(seq 300); do
  window=$(xdotool search --name "^${caption}\$" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$viewer" 2>/dev/null || { echo "viewer ended early"; cat "$work/viewer.log"; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no window titled '$caption'"; cat "$work/viewer.log"; exit 1; }
echo "window $window: $caption"

# Let the mail load, then check the HTML page exists while the viewer runs.
html_pages() {
  find "$work/prefix/bin/Temp" "$XDG_CACHE_HOME/merivo-mailviewer/Temp" -maxdepth 2 \
    -name 'MailViewerTemp*.HTML' 2>/dev/null || true
}
for _ in $(seq 300); do
  [ -n "$(html_pages)" ] && break
  sleep 0.1
done
[ -n "$(html_pages)" ] || { echo "the HTML page was never written"; exit 1; }

# "Beenden" is the last command on the menu bar: Alt, Left, Return. There
# is no window manager, so the window is given the focus first. The window
# may be created anew once the HTML view brings OpenGL in, so it is looked
# up again for every attempt.
status=""
for attempt in 1 2 3 4 5; do
  window=$(xdotool search --name "^${caption}\$" 2>/dev/null | tail -1 || true)
  if [ -n "$window" ]; then
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    { xdotool key --window "$window" alt && sleep 0.3 &&
      xdotool key --window "$window" Left && sleep 0.3 &&
      xdotool key --window "$window" Return; } 2>/dev/null || true
  fi
  for _ in $(seq 50); do
    if ! kill -0 "$viewer" 2>/dev/null; then
      wait "$viewer" && status=0 || status=$?
      break 2
    fi
    sleep 0.1
  done
done
viewer=""
[ -n "$status" ] || { echo "viewer did not end on Beenden"; exit 1; }
[ "$status" -eq 0 ] || { echo "viewer ended with status $status"; cat "$work/viewer.log"; exit 1; }
if grep -E 'ERROR: AddressSanitizer|runtime error:' "$work/viewer.log"; then exit 1; fi

left=$(html_pages)
[ -z "$left" ] || { echo "HTML temporary files left behind: $left"; exit 1; }
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Installs the viewer into a temporary prefix and runs it under Xvfb:
#  1. on the example mail: waits for its window, ends it with the menu
#     command "Beenden" and checks that it ended cleanly and removed its HTML
#     temporary files;
#  2. on a mail that shows the "kein boundary" box at start-up: SIGTERM while
#     the box waits ends the viewer cleanly, pages removed;
#  3. the main window's own tests that need a real X window (its native
#     window must survive the first mail).
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
passed=0

cmake --install "$build" --prefix "$work/prefix" >/dev/null
bin=$work/prefix/bin/merivo-mailviewer
[ -x "$bin" ] || { echo "not installed: $bin"; exit 1; }

exec 3<> "$work/display"
# -noreset: no server reset while one viewer ends and the next connects.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
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

html_pages() {
  find "$work/prefix/bin/Temp" "$XDG_CACHE_HOME/merivo-mailviewer/Temp" -maxdepth 2 \
    -name 'MailViewerTemp*.HTML' 2>/dev/null || true
}

# wait_for_window TITLE: the newest window of that title, or failure.
wait_for_window() {
  local found=""
  for _ in $(seq 300); do
    found=$(xdotool search --name "^$1\$" 2>/dev/null | tail -1 || true)
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$viewer" 2>/dev/null || { echo "viewer ended early" >&2; cat "$work/viewer.log" >&2; return 1; }
    sleep 0.1
  done
  echo "no window titled '$1'" >&2
  cat "$work/viewer.log" >&2
  return 1
}

# ended_cleanly: the viewer has ended with status 0, no sanitizer report,
# no HTML page left.
ended_cleanly() {
  local status
  wait "$viewer" && status=0 || status=$?
  viewer=""
  [ "$status" -eq 0 ] || { echo "viewer ended with status $status"; cat "$work/viewer.log"; return 1; }
  if grep -E 'ERROR: AddressSanitizer|runtime error:' "$work/viewer.log"; then return 1; fi
  local left
  left=$(html_pages)
  [ -z "$left" ] || { echo "HTML temporary files left behind: $left"; return 1; }
}

# --- 1. the example mail, ended with "Beenden" ---
"$bin" "$source/examples/Beispiel-Protokoll.kqv" >"$work/viewer.log" 2>&1 &
viewer=$!
window=$(wait_for_window "$caption")
echo "window $window: $caption"

# Let the mail load, then check the HTML page exists while the viewer runs.
for _ in $(seq 300); do
  [ -n "$(html_pages)" ] && break
  sleep 0.1
done
[ -n "$(html_pages)" ] || { echo "the HTML page was never written"; exit 1; }

# "Beenden" is the third command on the menu bar: Alt, Right, Right,
# Return. There is no window manager, so the window is given the focus
# first. Keys are sent again only while the window is still on screen: a
# key pressed into a window that goes away meanwhile loses its release, and
# the server then repeats it into the next viewer's start-up box.
ended=""
for attempt in 1 2 3 4 5; do
  if xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null | grep -qx "$window"; then
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    { xdotool key --window "$window" alt && sleep 0.3 &&
      xdotool key --window "$window" Right && sleep 0.3 &&
      xdotool key --window "$window" Right && sleep 0.3 &&
      xdotool key --window "$window" Return; } 2>/dev/null || true
  fi
  for _ in $(seq 100); do
    kill -0 "$viewer" 2>/dev/null || { ended=yes; break 2; }
    sleep 0.1
  done
done
xdotool keyup alt Right Return 2>/dev/null || true
[ -n "$ended" ] || { echo "viewer did not end on Beenden"; exit 1; }
ended_cleanly
echo "ended by Beenden"
passed=$((passed + 1))

# --- 2. SIGTERM while the start-up box waits ---
# Multipart without boundary: the box comes first, the page (the body holds
# "<html") is written once the box is gone.
printf 'From: a@example.org\r\nSubject: Ohne boundary\r\nContent-Type: multipart/mixed\r\n\r\n<html><body>Text</body></html>\r\n' \
  >"$work/ohne-boundary.kqv"
"$bin" "$work/ohne-boundary.kqv" >"$work/viewer.log" 2>&1 &
viewer=$!
if ! wait_for_window Information >/dev/null; then
  # What was on screen and where the viewer stood.
  for w in $(xdotool search --name '.' 2>/dev/null); do echo "window $w: $(xdotool getwindowname "$w" 2>/dev/null)"; done
  if command -v gdb >/dev/null; then
    gdb -p "$viewer" -batch -ex 'thread apply all bt 12' 2>/dev/null | grep -E '^Thread|^#' | grep -v 'in ?? ()' | head -150
  fi
  exit 1
fi
kill -TERM "$viewer"
for _ in $(seq 100); do
  kill -0 "$viewer" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$viewer" 2>/dev/null && { echo "SIGTERM during the start-up box was lost"; exit 1; }
ended_cleanly
echo "ended by SIGTERM during the start-up box"
passed=$((passed + 1))

# --- 3. the main window's tests that need X ---
if [ -x "$build/tests/shell_qt_tests" ]; then
  "$build/tests/shell_qt_tests" --gtest_filter='ViewerWindow.FirstMailKeepsTheNativeWindow' \
    >"$work/gtest.log" 2>&1 || { cat "$work/gtest.log"; exit 1; }
  grep -q '^\[  PASSED  \] 1 test' "$work/gtest.log" || { cat "$work/gtest.log"; exit 1; }
  echo "native window kept when the first mail arrives"
  passed=$((passed + 1))
fi
echo "$passed passed, 0 failed"

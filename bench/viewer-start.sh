#!/usr/bin/env bash
# How soon the viewer shows a mail, side by side in one run under Xvfb:
#   - no file: when its window maps (from the process start);
#   - the example mail: when its HTML page is painted (the first pixel of
#     the link colour 0000EE in the window);
#   - the floor under that: a window with nothing but a web view loading the
#     example mail's finished page from disk, when that is painted;
#   - with --large, a 100 MB text mail: when its first text shows, the
#     viewer's peak memory once it is read, and how long SIGTERM, sent one
#     second after the window mapped, takes to end the viewer.
# Each measurement runs RUNS times, round-robin; the medians are printed.
# Not run by CI; use a release build.
#   bench/viewer-start.sh [--build DIR] [--runs N] [--large]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
runs=5
large=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --large) large=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--runs N] [--large]" >&2; exit 2 ;;
  esac
done
viewer=$build/bin/merivo-mailviewer
probe=$build/bench/kqv-paint-probe
floor=$build/bench/kqv-webengine-floor
for tool in "$viewer" "$probe" "$floor" "$build/bin/kqv-dump"; do
  [ -x "$tool" ] || { echo "missing $tool: cmake --build $build" >&2; exit 1; }
done
example=examples/Beispiel-Protokoll.kqv

work=$(mktemp -d)
cleanup() {
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A display number of its own, far from the ones test scripts take: a
# window of another program with the viewer's caption would be measured.
for n in $(shuf -i 400-900 -n 20); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 0.5
  kill -0 "$xvfb" 2>/dev/null && break
done
export DISPLAY=":$n"
export QT_QPA_PLATFORM=xcb QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME"

# One probe run; prints the value of the named field.
field() {  # field NAME PROBE-ARGS...
  local name=$1; shift
  "$probe" "$@" 2>/dev/null | tr ' ' '\n' | sed -n "s/^$name=//p"
}
median() { sort -n | awk '{v[NR]=$1} END {if (NR == 0 || v[1] == "-") print "-"; else print v[int((NR + 1) / 2)]}'; }

if [ "$large" = 1 ]; then
  bench=$build/bench/kqv-responsiveness-bench
  [ -x "$bench" ] || { echo "missing $bench" >&2; exit 1; }
  "$bench" --write-large "$work" >/dev/null 2>&1
fi

# The page the viewer writes for the example mail, for the floor.
"$build/bin/kqv-dump" --view "$example" |
  python3 -c 'import json, sys; sys.stdout.write(json.load(sys.stdin)["html"])' >"$work/page.html"
floor_caption="WebEngine floor"

: >"$work/map"; : >"$work/html"; : >"$work/floor"; : >"$work/text"; : >"$work/textmap"; : >"$work/rss"; : >"$work/end"
for run in $(seq "$runs"); do
  field map_ms -- "$viewer" >>"$work/map"
  field paint_ms --color 0000ee -- "$viewer" "$example" >>"$work/html"
  field paint_ms --caption "$floor_caption" --color 0000ee -- "$floor" "$floor_caption" "$work/page.html" >>"$work/floor"
  if [ "$large" = 1 ]; then
    # The text page lies below the header area and the tabs.
    out=$("$probe" --dark --region 10,200,700,250 --settle --timeout 120 -- "$viewer" "$work/text-100MB.kqv" 2>/dev/null)
    echo "$out" | tr ' ' '\n' | sed -n 's/^paint_ms=//p' >>"$work/text"
    echo "$out" | tr ' ' '\n' | sed -n 's/^peak_rss_kib=//p' >>"$work/rss"
    echo "$out" | tr ' ' '\n' | sed -n 's/^map_ms=//p' >>"$work/textmap"
    # SIGTERM one second after the window mapped, while the mail is read.
    field end_ms --hold 1 --timeout 120 -- "$viewer" "$work/text-100MB.kqv" >>"$work/end"
  fi
  echo "run $run of $runs done" >&2
done

map=$(median <"$work/map")
html=$(median <"$work/html")
echo "no file, window mapped:        $map ms   (runs: $(tr '\n' ' ' <"$work/map"))"
echo "example mail, HTML painted:    $html ms   (runs: $(tr '\n' ' ' <"$work/html"))"
floor_ms=$(median <"$work/floor")
echo "web view alone, page painted:  $floor_ms ms   (runs: $(tr '\n' ' ' <"$work/floor"))"
awk -v h="$html" -v m="$map" 'BEGIN { if (m > 0 && h != "-") printf "ratio HTML painted / window mapped: %.2f\n", h / m }'
awk -v f="$floor_ms" -v m="$map" 'BEGIN { if (m > 0 && f != "-") printf "ratio web view alone / window mapped: %.2f (the floor)\n", f / m }'
if [ "$large" = 1 ]; then
  echo "100 MB text mail, first text:  $(median <"$work/text") ms   (runs: $(tr '\n' ' ' <"$work/text"))"
  echo "   its window mapped:          $(median <"$work/textmap") ms   (runs: $(tr '\n' ' ' <"$work/textmap"))"
  echo "100 MB text mail, peak RSS:    $(median <"$work/rss") KiB   (runs: $(tr '\n' ' ' <"$work/rss"))"
  echo "SIGTERM while reading, ended:  $(median <"$work/end") ms   (runs: $(tr '\n' ' ' <"$work/end"))"
fi

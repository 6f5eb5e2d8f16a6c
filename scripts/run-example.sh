#!/usr/bin/env bash
# Installs what is missing, builds, and opens the viewer on the bundled
# example mail. Without a display it says so and prints what the view would
# show instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKQV_BUILD_TESTS=OFF
cmake --build build

example=examples/Beispiel-Protokoll.kqv
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/merivo-mailviewer "$example"
fi
echo "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY gesetzt)."
echo "Das zeigt der Betrachter für $example:"
exec build/bin/kqv-dump --view --temp-dir "$(mktemp -d)" "$example"

#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target pedigrafa
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "!! no display: set DISPLAY (or run under xvfb-run ./run.sh) to see the windows." >&2
    exit 2
fi
echo ">> starting build/src/app/pedigrafa"
exec build/src/app/pedigrafa

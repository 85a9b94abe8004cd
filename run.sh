#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"

# The tests and benchmarks need GoogleTest and Google Benchmark, which only ./test.sh installs:
# without them the build is configured for the program alone, and ./test.sh turns them back on.
options=()
if [ -n "$(missing_packages libgtest-dev libbenchmark-dev)" ]; then
    options=(-DPQ_BUILD_TESTS=OFF -DPQ_BUILD_BENCH=OFF)
fi
if ! cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null; then
    echo "!! configuring the build failed: see CMake's message above" >&2
    exit 1
fi
if ! cmake --build build -j"$(nproc)" --target pedigrafa; then
    echo "!! building the program failed: see the compiler's message above" >&2
    exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # The advice must work here: xvfb-run is installed before it is given.
    if ensure_packages "${HEADLESS_PACKAGES[@]}" >&2; then
        headless="xvfb-run -a ./run.sh"
    else
        headless="QT_QPA_PLATFORM=offscreen ./run.sh"
    fi
    echo "!! no display: the program is built (build/src/app/pedigrafa) but there is no screen" \
        "to show its windows on. Set DISPLAY, or try it headless with: $headless" >&2
    exit 2
fi
echo ">> starting build/src/app/pedigrafa"
exec build/src/app/pedigrafa

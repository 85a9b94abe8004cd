#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
# Explicitly on: ./run.sh configures the same build without them on a machine that lacks them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPQ_BUILD_TESTS=ON -DPQ_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
set +e
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@" | tee "$log"
status=${PIPESTATUS[0]}
set -e
# Everything the tests need is installed above, so a test that did not run is a fault here;
# only the full-disk tests and those that act as another user may skip, on a machine where even
# root may not mount a file system or change users, and the printing test that starts a private
# CUPS scheduler, where the machine gives it no port or folder it may use.
skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -E '^\s+[0-9]+ - ' |
    grep -Ev 'FullDisk|full_disk|AnotherUser|another_user|PrivateCups' || true)
if [ -n "$skipped" ]; then
    echo "!! these tests did not run, although their tools were just installed:" >&2
    echo "$skipped" >&2
    exit 1
fi
exit "$status"

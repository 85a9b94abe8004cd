#!/usr/bin/env bash
# Takes docs/screenshots/form1.png: the main window as it comes up on a first start (fresh
# settings, so the sample values show), on a virtual X server.
#
# Usage: tools/screenshots.sh [path to pedigrafa]   (default: build/src/app/pedigrafa)
set -euo pipefail
cd "$(dirname "$0")/.."

title="Pedigrafa Quorvell Sheet Builder Kit Plus"

if [ "${1:-}" = "--inner" ]; then
    exe=$2 out=$3
    "$exe" >/dev/null 2>&1 &
    app_pid=$!
    trap 'kill "$app_pid" 2>/dev/null || true' EXIT
    wid=$(xdotool search --sync --onlyvisible --name "^${title}\$" | head -n1)
    # Let the window paint once it is mapped.
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    import -window root "$PQ_SHOT_WORK/root.png"
    convert "$PQ_SHOT_WORK/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
    exit 0
fi

exe=$(realpath "${1:-build/src/app/pedigrafa}")
out=$(pwd)/docs/screenshots/form1.png
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PQ_SHOT_WORK=$work HOME=$work/home XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime TEMP=$work/temp TMPDIR=$work/temp
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$TEMP"
mkdir -m 700 "$XDG_RUNTIME_DIR"

xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inner "$exe" "$out"
echo "wrote $out"

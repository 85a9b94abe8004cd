#!/usr/bin/env bash
# Takes the pictures in docs/screenshots/ on a virtual X server:
#   form1.png, form1@1.5x.png, form1@2x.png   the main window as it comes up on a first start
#                                             (fresh settings, so the sample values show)
#   form2.png, form2@1.5x.png, form2@2x.png   the preview of that default chart, reached by
#                                             clicking "Start Creating Template"
#   print-preview.png                         that chart's print preview (Ctrl+P in the preview)
#   form1-gedcom.png                          the main window with a generated family tree open
#                                             (Ctrl+O) and three letters of a surname typed
#   chart-libreoffice.png                     the same chart's first page as LibreOffice prints it
#   chart-gedcom-libreoffice.png              a chart filled from a generated GEDCOM file
#                                             (pedigrafa-cli --gedcom), as LibreOffice prints it
# The @ pictures run the program with QT_SCALE_FACTOR, as on a display scaled to 150 % and 200 %.
#
# Usage: tools/screenshots.sh [build folder]   (default: build)
# Needs xvfb-run, xdotool, ImageMagick (import, convert), LibreOffice (soffice) and pdftoppm,
# and the benchmarks' build/bench/make_gedcom for the sample family tree.
set -euo pipefail
cd "$(dirname "$0")/.."

title="Pedigrafa Quorvell Sheet Builder Kit Plus"

# Waits for a visible top-level window with the program's title other than $1; prints its id.
wait_for_window() {
    local not=$1 id
    for _ in $(seq 1 600); do
        for id in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null || true); do
            if [ "$id" != "$not" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.2
    done
    echo "no window titled '$title' appeared" >&2
    return 1
}

# Crops window $1 out of the screen into $2.
shoot() {
    # shellcheck disable=SC2034  # SCREEN and WINDOW come with getwindowgeometry's output
    local wid=$1 out=$2 X Y WIDTH HEIGHT SCREEN WINDOW
    # Let the window paint once it is mapped.
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    import -window root "$PQ_SHOT_WORK/root.png"
    convert "$PQ_SHOT_WORK/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip \
        "$out"
}

# Inside the X server: the main window, then a click on "Start Creating Template" and the
# preview. $1 the program, $2 the scale factor, $3 the suffix of the file names.
inner() {
    # shellcheck disable=SC2034  # SCREEN and WINDOW come with getwindowgeometry's output
    local exe=$1 scale=$2 suffix=$3 form1 form2 X Y WIDTH HEIGHT SCREEN WINDOW
    QT_SCALE_FACTOR=$scale "$exe" >/dev/null 2>&1 &
    app_pid=$!
    trap 'kill "$app_pid" 2>/dev/null || true' EXIT
    form1=$(wait_for_window none)
    shoot "$form1" "docs/screenshots/form1${suffix}.png"
    # "Start Creating Template" lies at 8, 8, 520 x 27 (device-independent pixels).
    eval "$(xdotool getwindowgeometry --shell "$form1")"
    xdotool mousemove "$(awk -v x="$X" -v s="$scale" 'BEGIN { printf "%d", x + 268 * s }')" \
        "$(awk -v y="$Y" -v s="$scale" 'BEGIN { printf "%d", y + 21 * s }')" click 1
    form2=$(wait_for_window "$form1")
    # Park the pointer outside the windows so that no hover or tooltip shows.
    xdotool mousemove 0 0
    shoot "$form2" "docs/screenshots/form2${suffix}.png"
    [ "$scale" = 1 ] || return 0
    xdotool key --window "$form2" ctrl+p
    local preview=""
    for _ in $(seq 1 300); do
        preview=$(xdotool search --onlyvisible --name "^Print\$" 2>/dev/null | head -1 || true)
        [ -n "$preview" ] && break
        sleep 0.2
    done
    [ -n "$preview" ] || { echo "no print preview appeared" >&2; return 1; }
    shoot "$preview" docs/screenshots/print-preview.png
}

# Inside the X server: the main window with the family tree $2 opened by the keyboard and the
# first letters of a surname typed into "Family Tree For". $1 the program.
family() {
    local exe=$1 tree=$2 form1
    "$exe" >/dev/null 2>&1 &
    app_pid=$!
    trap 'kill "$app_pid" 2>/dev/null || true' EXIT
    form1=$(wait_for_window none)
    # No window manager here: focus the window by hand.
    xdotool windowactivate --sync "$form1" 2>/dev/null || xdotool windowfocus --sync "$form1"
    sleep 1
    xdotool key ctrl+o
    for _ in $(seq 1 150); do
        xdotool search --onlyvisible --name "^Open Family File\$" >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 0.5
    xdotool type --delay 20 "$tree"
    xdotool key Return
    sleep 2
    xdotool windowactivate --sync "$form1" 2>/dev/null || xdotool windowfocus --sync "$form1"
    sleep 0.5
    # "Family Tree For": its frame at 8, 74, the box 16, 20 inside it.
    xdotool mousemove --window "$form1" 268 106 click 1
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 60 "mul"
    sleep 1
    xdotool mousemove 0 0
    shoot "$form1" docs/screenshots/form1-gedcom.png
}

case "${1:-}" in
--inner)
    shift
    inner "$@"
    exit 0
    ;;
--family)
    shift
    family "$@"
    exit 0
    ;;
esac

build=$(realpath "${1:-build}")
mkdir -p docs/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PQ_SHOT_WORK=$work XDG_RUNTIME_DIR=$work/runtime TEMP=$work/temp TMPDIR=$work/temp
mkdir -p "$TEMP" "$work/bin"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The program opens its maker's web site at one start in a hundred; here that opens nothing.
printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

for scale in 1 1.5 2; do
    suffix=""
    [ "$scale" = 1 ] || suffix="@${scale}x"
    # Each run starts with fresh settings, as on a first start.
    export HOME=$work/home$suffix XDG_CONFIG_HOME=$work/config$suffix
    mkdir -p "$HOME" "$XDG_CONFIG_HOME"
    xvfb-run -a -s "-screen 0 1600x1400x24" bash "$0" --inner "$build/src/app/pedigrafa" \
        "$scale" "$suffix"
done

# The main window with a family tree of 2,000 people open, finding a person by their surname.
"$build/bench/make_gedcom" "$work/family.ged" 2000 >/dev/null
export HOME=$work/home-family XDG_CONFIG_HOME=$work/config-family
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
xvfb-run -a -s "-screen 0 1600x1400x24" bash "$0" --family "$build/src/app/pedigrafa" \
    "$work/family.ged"

# A chart as LibreOffice shows it: its used range on one page, with a throw-away profile and
# wine's Tahoma made visible to it. $1 the workbook, $2 the picture.
libreoffice_picture() {
    local name
    name=$(basename "$1" .xls)
    FONTCONFIG_FILE=$work/fonts.conf soffice -env:UserInstallation="file://$work/lo-profile-$$" \
        --headless --convert-to 'pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}' \
        --outdir "$work" "$1" >/dev/null 2>&1
    pdftoppm -png -r 96 -singlefile "$work/$name.pdf" "$work/$name-page"
    convert "$work/$name-page.png" -trim +repage -bordercolor white -border 8 -strip "$2"
}
cat >"$work/fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include><dir>/usr/share/wine/fonts</dir></fontconfig>
CONF

"$build/src/app/pedigrafa-cli" "Tamsin Orrow" 5 "$work/chart.xls" >/dev/null
libreoffice_picture "$work/chart.xls" docs/screenshots/chart-libreoffice.png

# The same chart filled from that family tree.
"$build/src/app/pedigrafa-cli" --gedcom "$work/family.ged" "Tamsin Orrow" 5 \
    "$work/filled.xls" >/dev/null
libreoffice_picture "$work/filled.xls" docs/screenshots/chart-gedcom-libreoffice.png

ls -l docs/screenshots/

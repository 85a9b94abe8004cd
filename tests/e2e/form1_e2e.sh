#!/usr/bin/env bash
# The main window as a user meets it, on a virtual X server: the program refuses to start
# without a display; with one, it opens the main window, the user types a name and 4
# generations (both remembered in the settings store) and presses "Start Creating Template";
# the preview window appears, the main window goes, and a temporary workbook
# qorrow????????.xls lies in the temporary folder. SIGTERM then ends the program as closing the
# preview does: status 0, and the temporary workbook is gone. A second start makes a
# 12-generation chart and drags it (see drag_on_a_twelve_generation_chart). The script starts
# its own X server.
#
# Usage: form1_e2e.sh <path to pedigrafa>
set -euo pipefail

title="Pedigrafa Quorvell Sheet Builder Kit Plus"

fail() {
    echo "FAIL: $*" >&2
    [ -f "${PQ_E2E_WORK:-}/app.log" ] && sed 's/^/  app: /' "$PQ_E2E_WORK/app.log" >&2
    exit 1
}

# Polls until the command prints something (at most about $1 seconds); prints its output.
poll() {
    local tries=$(($1 * 5)) out
    shift
    while [ "$tries" -gt 0 ]; do
        out=$("$@" 2>/dev/null || true)
        [ -n "$out" ] && { echo "$out"; return 0; }
        sleep 0.2
        tries=$((tries - 1))
    done
    return 1
}

# Prints "ended" once the process is gone (or a zombie, not yet waited for).
ended() { awk '$3 == "Z" { print "ended" }' "/proc/$1/stat" 2>/dev/null || echo ended; }

visible_windows() { xdotool search --onlyvisible --name "^${title}\$"; }

# Prints the main window's id once it is shown; prints "ended" if the program ends first.
main_window_or_end() {
    [ "$(ended "$1")" = ended ] && { echo ended; return; }
    visible_windows | head -n1
}

# ---- A drag on a 12-generation chart ------------------------------------------------------
# A drag that ends 200 pixels down a 12-generation chart (about 69,000 pixels tall) leaves the
# picture exactly where it was let go, and one click on the vertical scroll bar's down arrow
# then moves it one step (10 pixels) further. The viewport's inside lies 10 pixels into the
# preview window, 618 x 491 pixels; the bar's down arrow at 638,495.

# Prints the preview's viewport into file $2 (the window's id in $1).
viewport_shot() {
    local x y
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
    import -window root -crop "618x491+$((X + 10))+$((Y + 10))" +repage "$2"
}

# Prints how many pixels two pictures differ in.
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# Starts the program again and waits for its main window, activated: sets app_pid and the
# caller's form1.
start_again() {
    "$1" >"$PQ_E2E_WORK/app.log" 2>&1 &
    app_pid=$!
    form1=$(poll 90 main_window_or_end "$app_pid") || fail "the main window did not appear again"
    [ "$form1" = ended ] && fail "the program ended before its main window appeared"
    xdotool windowactivate --sync "$form1" 2>/dev/null || xdotool windowfocus --sync "$form1"
    sleep 1
}

drag_on_a_twelve_generation_chart() {
    local exe=$1 work=$PQ_E2E_WORK
    local form1
    start_again "$exe"
    xdotool key Tab
    xdotool type --delay 30 "12"
    xdotool mousemove --window "$form1" 268 21 click 1
    local preview
    preview=$(poll 180 bash -c "xdotool search --onlyvisible --name '^${title}\$' | grep -vx '$form1'") ||
        fail "the preview window of the 12-generation chart did not appear"
    sleep 1

    xdotool mousemove --window "$preview" 300 400 mousedown 1
    for y in 380 340 300 260 220 200; do
        xdotool mousemove --window "$preview" 300 "$y"
        sleep 0.1
    done
    sleep 0.5
    viewport_shot "$preview" "$work/held.png"
    # Boxes, lines and the white between them: the picture is there to be compared.
    [ "$(convert "$work/held.png" -format %k info:)" -gt 2 ] || fail "the viewport shows no chart"
    xdotool mouseup 1
    sleep 0.5
    viewport_shot "$preview" "$work/dropped.png"
    local moved
    moved=$(differing_pixels "$work/held.png" "$work/dropped.png")
    [ "$moved" = 0 ] || fail "the picture moved when the drag was let go ($moved pixels changed)"

    xdotool mousemove --window "$preview" 640 600
    sleep 0.3
    viewport_shot "$preview" "$work/before-step.png"
    xdotool mousemove --window "$preview" 638 495 click 1
    sleep 0.5
    viewport_shot "$preview" "$work/after-step.png"
    # One step moves the picture 10 pixels up: the rows below the top 10 rise to the top.
    convert "$work/before-step.png" -crop 618x481+0+10 +repage "$work/expected.png"
    convert "$work/after-step.png" -crop 618x481+0+0 +repage "$work/stepped.png"
    moved=$(differing_pixels "$work/expected.png" "$work/stepped.png")
    [ "$moved" = 0 ] || fail "the scroll bar's step after the drag did not move on from the drop"

    kill -TERM "$app_pid"
    poll 20 ended "$app_pid" >/dev/null || fail "the program did not end after SIGTERM"
    wait "$app_pid" || true
}

# A chart filled from a family file, by the keyboard alone: Ctrl+O, the file's path and Enter;
# the person's name typed in full, Esc to close the list of people, Tab, the number and Enter;
# Ctrl+S in the preview, the workbook's path and Enter. python3-xlrd then reads the names in
# the saved workbook.
family_file_chart_by_keyboard() {
    local exe=$1 work=$PQ_E2E_WORK
    cat >"$work/family.ged" <<'GED'
0 HEAD
1 GEDC
2 VERS 5.5.1
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Zoë /Müller/
1 BIRT
2 DATE 3 MAY 1901
1 FAMC @F1@
0 @I2@ INDI
1 NAME Karl /Müller/
1 DEAT
2 DATE 1944
0 @I3@ INDI
1 NAME Anna /Roth/
0 @F1@ FAM
1 HUSB @I2@
1 WIFE @I3@
1 CHIL @I1@
0 TRLR
GED
    local form1
    start_again "$exe"
    xdotool key ctrl+o
    poll 30 xdotool search --onlyvisible --name "^Open Family File\$" >/dev/null ||
        fail "Ctrl+O did not open the file dialog"
    sleep 0.5
    xdotool type --delay 20 "$work/family.ged"
    xdotool key Return
    local store="$XDG_CONFIG_HOME/Quillmere/Quillmere.ini"
    poll 30 grep -x "FamilyFile=$work/family.ged" "$store" >/dev/null ||
        fail "the family file was not opened and remembered: $(cat "$store")"
    xdotool windowactivate --sync "$form1" 2>/dev/null || true
    sleep 0.5
    # Family Tree For: its frame at 8, 74, the box 16, 20 inside it; a click selects its text.
    xdotool mousemove --window "$form1" 268 106 click 1
    sleep 0.3
    xdotool type --delay 40 "zoe muller"
    sleep 0.3
    xdotool key Escape Tab
    xdotool type --delay 30 "4"
    xdotool key Return
    local preview
    preview=$(poll 180 bash -c "xdotool search --onlyvisible --name '^${title}\$' | grep -vx '$form1'") ||
        fail "Enter did not make the filled chart"
    xdotool windowactivate --sync "$preview" 2>/dev/null || true
    sleep 1
    xdotool key ctrl+s
    poll 30 xdotool search --onlyvisible --name "^Save File\$" >/dev/null ||
        fail "Ctrl+S did not open the save dialog"
    sleep 0.5
    xdotool key ctrl+a
    xdotool type --delay 20 "$work/zoe.xls"
    xdotool key Return
    poll 30 find "$work" -maxdepth 1 -name zoe.xls -size +0 >/dev/null ||
        fail "the filled chart was not saved"
    /usr/bin/python3 - "$work/zoe.xls" <<'PY' || fail "the saved workbook does not hold the family"
import sys, xlrd
sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
cells = {sheet.cell_value(r, c) for r in range(sheet.nrows) for c in range(sheet.ncols)}
assert "Family Tree for Zoë Müller" in cells, cells
for name in ("Zoë Müller", "Karl Müller", "Anna Roth", "b. 1901", "d. 1944"):
    assert name in cells, (name, cells)
PY
    kill -TERM "$app_pid"
    poll 20 ended "$app_pid" >/dev/null || fail "the program did not end after SIGTERM"
    wait "$app_pid" || true
}

# ---- Export PDF from the preview ----------------------------------------------------------
# Ctrl+E in the preview of a 5-generation chart opens the print preview titled "Export PDF";
# Enter goes on to the file dialog, which offers "<person>.pdf" in the home folder; Enter there
# writes it: one page with the chart's title as text.
export_pdf_from_the_preview() {
    local exe=$1 work=$PQ_E2E_WORK
    "$exe" >"$work/app.log" 2>&1 &
    app_pid=$!
    local form1
    form1=$(poll 90 main_window_or_end "$app_pid") || fail "the main window did not appear again"
    [ "$form1" = ended ] && fail "the program ended before its main window appeared"
    xdotool windowactivate --sync "$form1" 2>/dev/null || xdotool windowfocus --sync "$form1"
    sleep 1
    xdotool key Tab
    xdotool type --delay 30 "5"
    xdotool mousemove --window "$form1" 268 21 click 1
    local preview
    preview=$(poll 90 bash -c "xdotool search --onlyvisible --name '^${title}\$' | grep -vx '$form1'") ||
        fail "the preview window of the 5-generation chart did not appear"
    sleep 1
    xdotool key --window "$preview" ctrl+e
    local pages
    pages=$(poll 30 xdotool search --onlyvisible --name '^Export PDF$') ||
        fail "Ctrl+E opened no print preview"
    sleep 1
    xdotool key Return
    poll 30 bash -c "xdotool search --onlyvisible --name '^Export PDF\$' | grep -vx '$pages'" \
        >/dev/null || fail "the print preview did not go on to the file dialog"
    sleep 1
    xdotool key Return
    local pdf="$HOME/Ada Quorvell.pdf"
    poll 30 bash -c "pdfinfo '$pdf' 2>/dev/null | grep -E '^Pages: +1\$'" >/dev/null ||
        fail "Export PDF wrote no one-page PDF at $pdf"
    pdftotext "$pdf" - | grep -q "Family Tree for Ada Quorvell" || fail "the PDF's title is not text"
    kill -TERM "$app_pid"
    poll 20 ended "$app_pid" >/dev/null || fail "the program did not end after SIGTERM"
    wait "$app_pid" || true
}

inner() {
    local exe=$1 work=$PQ_E2E_WORK
    xdotool getdisplaygeometry >/dev/null 2>&1 || exit 75
    "$exe" >"$work/app.log" 2>&1 &
    app_pid=$!
    trap 'kill "$app_pid" 2>/dev/null || true' EXIT

    local form1
    form1=$(poll 90 main_window_or_end "$app_pid") || fail "the main window did not appear"
    if [ "$form1" = ended ]; then
        # The server was reachable a moment ago: a connection it refused is the machine's
        # fault, not the program's: the caller tries a fresh server (three in all).
        grep -q "could not connect to display" "$work/app.log" && exit 75
        fail "the program ended before its main window appeared"
    fi
    xdotool windowactivate --sync "$form1" 2>/dev/null || xdotool windowfocus --sync "$form1"
    # The activation reaches the program a moment after the X server's focus: a key before it
    # lands in Text1 before its text is selected. No user types within a second of a window
    # appearing; the test waits as long.
    sleep 1
    # The focus starts in Text1 with its text selected, so typing replaces it.
    xdotool type --delay 30 "Ada Quorvell"
    xdotool key Tab
    xdotool type --delay 30 "4"

    local store="$XDG_CONFIG_HOME/Quillmere/Quillmere.ini"
    poll 10 grep -x "Text2=4" "$store" >/dev/null || fail "Text2 was not stored as 4"
    grep -qx "Text1=Ada Quorvell" "$store" || fail "Text1 was not stored: $(cat "$store")"

    # "Start Creating Template" sits at 8,8 and is 520 x 27 pixels.
    xdotool mousemove --window "$form1" 268 21 click 1

    local preview
    preview=$(poll 180 bash -c "xdotool search --onlyvisible --name '^${title}\$' | grep -vx '$form1'") ||
        fail "the preview window did not appear"
    echo "preview window: $preview"
    visible_windows | grep -qx "$form1" && fail "the main window is still shown"
    local workbooks
    workbooks=$(find "$TEMP" -maxdepth 1 -name 'qorrow????????.xls' | wc -l)
    [ "$workbooks" -eq 1 ] || fail "expected one temporary workbook in $TEMP, found $workbooks"

    kill -TERM "$app_pid"
    poll 20 ended "$app_pid" >/dev/null || fail "the program did not end after SIGTERM"
    local status=0
    wait "$app_pid" || status=$?
    [ "$status" -eq 0 ] || fail "after SIGTERM the program ended with status $status"
    workbooks=$(find "$TEMP" -maxdepth 1 -name 'qorrow*' | wc -l)
    [ "$workbooks" -eq 0 ] || fail "SIGTERM left the temporary workbook in $TEMP"

    drag_on_a_twelve_generation_chart "$exe"
    # Before a family file is opened: the chart is the blank one of "Ada Quorvell".
    export_pdf_from_the_preview "$exe"
    family_file_chart_by_keyboard "$exe"
    echo "PASS"
}

if [ "${1:-}" = "--inner" ]; then
    inner "$2"
    exit 0
fi

. "$(dirname "$0")/../support/require_tools.sh"
require_tools Xvfb xdotool import compare convert pdfinfo pdftotext

exe=$(realpath "$1")
work=$(mktemp -d)
server_pid=
trap 'stop_server; rm -rf "$work"' EXIT
export PQ_E2E_WORK=$work HOME=$work/home XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
export TEMP=$work/temp TMP=$work/temp TMPDIR=$work/temp
# One start in a hundred opens the maker's site; a browser that does nothing keeps that start
# from reaching the network or, with no browser at all, from reporting the failed open.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$TEMP"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Without any display the program says so and ends, instead of crashing.
set +e
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" 2>&1 >/dev/null)
status=$?
set -e
[ "$status" -ne 0 ] || fail "started without a display"
grep -q "no display" <<<"$message" || fail "no clear message without a display: $message"

# Xvfb chooses a free display itself and names it on fd 3 once it accepts connections, so the
# program can never be pointed at another server that happens to hold a display number (as
# xvfb-run's own choice can). -noreset keeps the server from resetting between the clients.
start_server() {
    : >"$work/display"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    server_pid=$!
    local tries=150
    while [ "$tries" -gt 0 ] && kill -0 "$server_pid" 2>/dev/null; do
        display=$(head -n1 "$work/display")
        [ -n "$display" ] && return 0
        sleep 0.2
        tries=$((tries - 1))
    done
    return 1
}

stop_server() {
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
}

for attempt in 1 2 3; do
    if start_server; then
        status=0
        DISPLAY=:$display bash "$0" --inner "$exe" || status=$?
        [ "$status" -eq 75 ] || exit "$status"
    fi
    echo "the virtual X server did not start or refused the program; trying a fresh one:" >&2
    sed 's/^/  Xvfb: /' "$work/xvfb.log" >&2
    stop_server
done
fail "the program reached no virtual X server in three tries"

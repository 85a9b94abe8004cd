#!/usr/bin/env bash
# cmake --install into a scratch prefix: every file in its place, the programs executable and
# runnable from there, the icons PNGs of their size on a transparent background.
#   install_tree.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
build=${1:?usage: install_tree.sh BUILD_DIR}
require_tools cmake file readelf identify
make_scratch
prefix=$SCRATCH/prefix
install_into "$build" "$prefix"

while read -r rel; do
    if [ ! -f "$prefix/$rel" ]; then
        fail "$rel is not installed"
    elif [ ! -s "$prefix/$rel" ]; then
        fail "$rel is empty"
    fi
done < <(installed_files)

# Nothing installed that the list does not know about.
expected=$(installed_files | sort)
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
unexpected=$(comm -13 <(echo "$expected") <(echo "$actual"))
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

for exe in pedigrafa pedigrafa-cli; do
    path=$prefix/bin/$exe
    [ -x "$path" ] || { fail "bin/$exe is not executable"; continue; }
    file -b "$path" | grep -q '^ELF .*executable' || fail "bin/$exe is not an ELF executable"
    # An installed program must not look for libraries in the build tree.
    if readelf -d "$path" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "bin/$exe keeps a library path into the build tree"
    fi
done
for rel in $(installed_files | grep -v '^bin/'); do
    [ -x "$prefix/$rel" ] && fail "$rel is executable but is data"
done

version=$("$prefix/bin/pedigrafa-cli" --version 2>/dev/null)
[ "$version" = "pedigrafa-cli 1.0.0" ] || fail "installed pedigrafa-cli --version says \"$version\""
"$prefix/bin/pedigrafa-cli" --help 2>/dev/null | grep -q -- '--pdf' ||
    fail "installed pedigrafa-cli --help does not describe --pdf"

for size in "${ICON_SIZES[@]}"; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    [ -f "$icon" ] || continue
    info=$(identify -format '%m %w %h %A' "$icon" 2>/dev/null)
    read -r format width height alpha <<<"$info"
    [ "$format" = PNG ] || fail "icon ${size}x${size} is not a PNG ($info)"
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
        fail "icon ${size}x${size} measures ${width}x${height}"
    case "$alpha" in [Bb]lend|[Tt]rue) ;; *) fail "icon ${size}x${size} has no alpha channel" ;; esac
    # Transparent corners, and only three colours: clear, the lime of the boxes, black lines.
    corner=$(identify -format '%[fx:int(255*p{0,0}.a)]' "$icon" 2>/dev/null)
    [ "$corner" = 0 ] || fail "icon ${size}x${size} has an opaque corner"
    histogram=$(identify -verbose "$icon" 2>/dev/null | sed -n '/Histogram:/,/^  [A-Z]/p')
    grep -q '#99CC00FF' <<<"$histogram" || fail "icon ${size}x${size} has no lime boxes"
    grep -q '#000000FF' <<<"$histogram" || fail "icon ${size}x${size} has no black outlines"
done

# The icon tool draws the same pixels every time: drawing again gives the installed files.
tool=$build/tools/pq_make_icon
if [ -x "$tool" ]; then
    for size in "${ICON_SIZES[@]}"; do
        "$tool" "$size" "$SCRATCH/again-$size.png" ||
            { fail "the icon tool cannot draw the ${size}x${size} icon"; continue; }
        cmp -s "$SCRATCH/again-$size.png" \
            "$prefix/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png" ||
            fail "the ${size}x${size} icon comes out different when drawn again"
    done
else
    fail "the icon tool $tool was not built"
fi

finish

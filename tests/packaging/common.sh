# Sourced by the packaging tests: what an installation holds, and small helpers.
# shellcheck shell=bash

APP_ID=com.quillmere.Pedigrafa
ICON_SIZES=(32 48 128 256)

# Every file an installation holds, relative to its prefix.
installed_files() {
    echo bin/pedigrafa
    echo bin/pedigrafa-cli
    echo share/applications/$APP_ID.desktop
    echo share/metainfo/$APP_ID.metainfo.xml
    local size
    for size in "${ICON_SIZES[@]}"; do
        echo share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    done
    echo share/man/man1/pedigrafa.1
    echo share/man/man1/pedigrafa-cli.1
    echo share/doc/pedigrafa/copyright
}

FAILURES=0
fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

finish() {
    if [ "$FAILURES" -ne 0 ]; then
        echo "$FAILURES check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# A temporary folder removed when the script exits.
make_scratch() {
    SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/pedigrafa-packaging.XXXXXX")
    trap 'restore_manifest; rm -rf "$SCRATCH"' EXIT
}

# Installing (cmake --install, cpack) rewrites the build's install_manifest.txt, which lists what
# a real installation put where and is what uninstalling goes by: keep the user's.
MANIFEST=
keep_manifest() {
    MANIFEST=$1/install_manifest.txt
    if [ -f "$MANIFEST" ]; then
        cp -p "$MANIFEST" "$SCRATCH/install_manifest.txt"
    fi
}
restore_manifest() {
    [ -n "$MANIFEST" ] || return 0
    if [ -f "$SCRATCH/install_manifest.txt" ]; then
        cp -p "$SCRATCH/install_manifest.txt" "$MANIFEST"
    else
        rm -f "$MANIFEST"
    fi
}

# cmake --install of the build into a prefix; the build must be complete.
install_into() {
    local build=$1 prefix=$2
    keep_manifest "$build"
    if ! cmake --install "$build" --prefix "$prefix" >"$SCRATCH/install.log" 2>&1; then
        cat "$SCRATCH/install.log" >&2
        echo "FAIL: cmake --install $build --prefix $prefix failed" >&2
        exit 1
    fi
}

require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "FAIL: $tool is not installed (see tools/deps.sh)" >&2
            exit 1
        fi
    done
}

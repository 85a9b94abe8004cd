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
    trap 'rm -rf "$SCRATCH"' EXIT
}

# cmake --install of the build into a prefix; the build must be complete.
install_into() {
    local build=$1 prefix=$2
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

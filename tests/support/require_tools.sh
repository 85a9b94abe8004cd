# Sourced by the test scripts. `require_tools TOOL...` skips the test unless every tool is
# installed: exit 77 tells ctest the test was skipped, not passed.
require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (see tools/deps.sh)"
            exit 77
        fi
    done
}

# Sourced by run.sh and test.sh: the Debian packages the project needs, and an installer that
# only touches apt when something is missing.

BUILD_PACKAGES=(
    cmake g++ make
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libqt6svg6
    fonts-liberation fonts-wine
)
# What xvfb-run needs, for trying the program where there is no display.
HEADLESS_PACKAGES=(xvfb xauth)
TEST_PACKAGES=(
    googletest libgtest-dev libbenchmark-dev
    python3 python3-xlrd python3-xlwt
    xvfb xauth xdotool imagemagick poppler-utils
    cups-daemon cups-client
    libreoffice-calc-nogui
    clang-14 libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file groff-base man-db
)

missing_packages() {
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            echo "$p"
        fi
    done
}

ensure_packages() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo ">> installing missing packages:" $missing
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then sudo="sudo"; else
            echo "!! these packages are missing and installing them needs root:" $missing >&2
            return 1
        fi
    fi
    if ! $sudo apt-get update; then
        echo "!! apt-get update failed: the package lists could not be fetched" >&2
        return 1
    fi
    # shellcheck disable=SC2086
    if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing; then
        echo "!! could not install:" $missing >&2
        return 1
    fi
}

#!/usr/bin/env bash
# cpack -G DEB from the finished build into a scratch folder: the package's name, control fields,
# contents, and dependencies that all resolve on this system's Debian archive.
#   debian_package.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
build=${1:?usage: debian_package.sh BUILD_DIR}
require_tools cpack dpkg-deb dpkg apt-cache
make_scratch
keep_manifest "$build"

if ! cpack -G DEB -B "$SCRATCH/out" --config "$build/CPackConfig.cmake" >"$SCRATCH/cpack.log" 2>&1; then
    cat "$SCRATCH/cpack.log" >&2
    echo "FAIL: cpack -G DEB failed" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$SCRATCH/out/pedigrafa_1.0.0_$arch.deb
if [ ! -f "$deb" ]; then
    ls "$SCRATCH/out" >&2
    echo "FAIL: cpack made no pedigrafa_1.0.0_$arch.deb" >&2
    exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pedigrafa ] || fail "Package is \"$(field Package)\""
[ "$(field Version)" = 1.0.0 ] || fail "Version is \"$(field Version)\""
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is \"$(field Architecture)\""
[ "$(field Maintainer)" = "Quillmere <support@quillmere.example>" ] ||
    fail "Maintainer is \"$(field Maintainer)\""
case "$(field Section)" in utils | science) ;; *) fail "Section is \"$(field Section)\"" ;; esac
[ -n "$(field Description)" ] || fail "the package has no description"

# Contents: the installation's files under /usr, programs executable, everything owned by root.
contents=$(dpkg-deb -c "$deb")
while read -r rel; do
    line=$(grep -E " \./usr/$rel\$" <<<"$contents") || { fail "/usr/$rel is not in the package"; continue; }
    read -r mode owner _ <<<"$line"
    [ "$owner" = root/root ] || fail "/usr/$rel is owned by $owner"
    case "$rel" in
        bin/*) [[ "$mode" == -rwxr-xr-x ]] || fail "/usr/$rel has mode $mode" ;;
        *) [[ "$mode" == -rw-r--r-- ]] || fail "/usr/$rel has mode $mode" ;;
    esac
done < <(installed_files)
paths=$(awk '{print $NF}' <<<"$contents")
outside=$(grep -v -E '^\./$|^\./usr(/|$)' <<<"$paths")
[ -z "$outside" ] || fail "files outside /usr: $outside"
local_paths=$(grep -E '^\./usr/local(/|$)' <<<"$paths")
[ -z "$local_paths" ] || fail "files under /usr/local: $local_paths"

# Dependencies: the chart's fonts and plugins by hand, the libraries from dpkg-shlibdeps.
depends=$(field Depends)
echo "Depends: $depends"
names=$(tr ',|' '\n\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/:.*//' -e 's/[[:space:]]//g' | grep -v '^$')
for needed in fonts-liberation fonts-wine qt6-image-formats-plugins libqt6svg6 libqt6core6 libqt6gui6 libqt6widgets6 libc6; do
    grep -qx "$needed" <<<"$names" || fail "Depends lacks $needed"
done

# A version of a package this system can install: the one installed or apt's candidate.
available_version() {
    local policy installed candidate
    policy=$(LC_ALL=C apt-cache policy "$1" 2>/dev/null)
    installed=$(sed -n 's/^ *Installed: //p' <<<"$policy")
    candidate=$(sed -n 's/^ *Candidate: //p' <<<"$policy")
    if [ -n "$installed" ] && [ "$installed" != "(none)" ]; then echo "$installed"; return 0; fi
    if [ -n "$candidate" ] && [ "$candidate" != "(none)" ]; then echo "$candidate"; return 0; fi
    return 1
}

# A Debian version relation as dpkg --compare-versions spells it.
relation() {
    case "$1" in
        '>=') echo ge ;; '<=') echo le ;; '=') echo eq ;; '>>') echo gt ;; '<<') echo lt ;;
        *) echo "unknown version relation \"$1\"" >&2; return 1 ;;
    esac
}

# One alternative, "name", "name:any" or "name (op version)", resolves when some version
# satisfies it, or, without a version, when a package provides the name.
resolves() {
    local alt=$1 name op version have
    name=$(sed -e 's/(.*//' -e 's/:.*//' -e 's/[[:space:]]//g' <<<"$alt")
    op=$(sed -n 's/.*(\s*\([<>=]*\)\s*\([^)]*\)).*/\1/p' <<<"$alt")
    version=$(sed -n 's/.*(\s*\([<>=]*\)\s*\([^)[:space:]]*\)\s*).*/\2/p' <<<"$alt")
    [ -n "$name" ] || return 1
    if have=$(available_version "$name"); then
        [ -z "$op" ] && return 0
        op=$(relation "$op") || return 1
        dpkg --compare-versions "$have" "$op" "$version"
        return
    fi
    # A virtual package: any provider satisfies an unversioned dependency, a versioned one needs
    # a provided version that satisfies it.
    local provided
    provided=$(LC_ALL=C apt-cache showpkg "$name" 2>/dev/null | sed -n '/^Reverse Provides:/,$p' | sed 1d)
    [ -n "$provided" ] || return 1
    [ -z "$op" ] && return 0
    op=$(relation "$op") || return 1
    while read -r _ _ pv; do
        pv=$(sed -n 's/^(= *\([^)]*\))$/\1/p' <<<"$pv")
        [ -n "$pv" ] && dpkg --compare-versions "$pv" "$op" "$version" && return 0
    done <<<"$provided"
    return 1
}

check_relations() {
    local field_name=$1 relations=$2 group alt ok
    IFS=',' read -r -a groups <<<"$relations"
    for group in "${groups[@]}"; do
        ok=false
        IFS='|' read -r -a alts <<<"$group"
        for alt in "${alts[@]}"; do
            if resolves "$alt"; then ok=true; break; fi
        done
        $ok || fail "$field_name \"$(sed 's/^ *//' <<<"$group")\" does not resolve on this system"
    done
}
check_relations Depends "$depends"
recommends=$(field Recommends)
[ -z "$recommends" ] || check_relations Recommends "$recommends"

finish

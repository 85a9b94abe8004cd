#!/usr/bin/env bash
# The installed desktop entry and AppStream metadata pass Debian's validators, and they agree
# with each other and with the installed icon and programs.
#   desktop_metadata.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
build=${1:?usage: desktop_metadata.sh BUILD_DIR}
require_tools cmake desktop-file-validate appstreamcli
make_scratch
prefix=$SCRATCH/prefix
install_into "$build" "$prefix"

desktop=$prefix/share/applications/$APP_ID.desktop
metainfo=$prefix/share/metainfo/$APP_ID.metainfo.xml

# desktop-file-validate exits 0 on warnings and hints: any message counts as a failure.
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    echo "$out" >&2
    fail "desktop-file-validate rejects $APP_ID.desktop"
fi

key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
[ "$(key Type)" = Application ] || fail "desktop entry Type is not Application"
[ "$(key Name)" = "Pedigrafa Quorvell Sheet Builder Kit Plus" ] || fail "desktop entry Name is \"$(key Name)\""
[ "$(key GenericName)" = "Family Tree Chart Maker" ] || fail "desktop entry GenericName is \"$(key GenericName)\""
[ "$(key Exec)" = pedigrafa ] || fail "desktop entry Exec is \"$(key Exec)\""
[ -x "$prefix/bin/$(key Exec)" ] || fail "desktop entry Exec names no installed program"
[ "$(key Icon)" = "$APP_ID" ] || fail "desktop entry Icon is \"$(key Icon)\""
ls "$prefix"/share/icons/hicolor/*/apps/"$(key Icon)".png >/dev/null 2>&1 ||
    fail "desktop entry Icon names no installed icon"
grep -q '^Categories=.*Office;' "$desktop" || fail "desktop entry is not in the Office category"

# Metadata: errors and warnings fail; pedantic notes are shown only.
if ! appstreamcli validate --no-net --pedantic "$metainfo"; then
    fail "appstreamcli validate rejects $APP_ID.metainfo.xml"
fi
# The tree as a whole: the metadata finds its desktop entry and icon.
if ! appstreamcli validate-tree --no-net "$prefix"; then
    fail "appstreamcli validate-tree rejects the installation"
fi

tag() { sed -n "s:.*<$1[^>]*>\(.*\)</$1>.*:\1:p" "$metainfo"; }
[ "$(tag id)" = "$APP_ID" ] || fail "metainfo id is \"$(tag id)\""
[ "$(tag launchable)" = "$APP_ID.desktop" ] || fail "metainfo launchable is \"$(tag launchable)\""
[ "$(tag project_license)" = MIT ] || fail "metainfo project license is \"$(tag project_license)\""
for exe in pedigrafa pedigrafa-cli; do
    tag binary | grep -qx "$exe" || fail "metainfo does not provide $exe"
    [ -x "$prefix/bin/$exe" ] || fail "metainfo provides $exe, which is not installed"
done
grep -q '<release version="1.0.0" date="2026-12-08"' "$metainfo" || fail "metainfo lacks release 1.0.0"
grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "metainfo has no content rating"
finish

#!/usr/bin/env bash
# The command-line tool and links, as root and as another user: with --force, a link another user
# planted in a sticky folder anyone may write to (/tmp) is refused with exit 2 naming the link,
# and the file behind it stays; one's own link there is followed; a link to nothing is refused
# like every other target that is not a regular file. Names of the longest length ext4 takes are
# written and replaced. Changing users needs root (as on CI); without it the test is skipped (77).
set -euo pipefail
cli="$1"
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ] || ! setpriv --reuid=nobody --regid=nogroup --clear-groups true; then
    echo "SKIP: the test changes users, which needs root"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir -m 1777 "$tmp/shared"
mkdir "$tmp/nobodys" && chown nobody "$tmp/nobodys"

# Runs a command as the given user, in a home of its own.
as() {
    local user=$1
    shift
    setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups \
        env -u XDG_RUNTIME_DIR HOME="$tmp" "$@"
}
# Runs the tool as the given user; prints its exit status. Standard error goes to $tmp/err.
status() {
    local user=$1 code=0
    shift
    as "$user" timeout 60 "$cli" "$@" 2>"$tmp/err" >/dev/null || code=$?
    echo $code
}
refused() { # the user, the link, the file behind it
    local before
    before=$(cat "$3")
    [ "$(status "$1" --force Ada 3 "$2")" = 2 ] || fail "$1 wrote through $2: $(cat "$tmp/err")"
    grep -qF "the link $2 belongs to another user" "$tmp/err" ||
        fail "the refusal does not name the link: $(cat "$tmp/err")"
    [ "$(cat "$3")" = "$before" ] || fail "$3 changed through $2"
}

# Root and a link daemon planted to one of root's files.
echo "root:x:0:0" >"$tmp/passwd"
as daemon ln -s "$tmp/passwd" "$tmp/shared/chart.xls"
refused root "$tmp/shared/chart.xls" "$tmp/passwd"
[ "$(ls -A "$tmp/shared")" = chart.xls ] || fail "the refused run left $(ls -A "$tmp/shared")"
"$cli" Ada 3 "$tmp/mine.xls"
ln -s "$tmp/mine.xls" "$tmp/shared/mine.xls"
[ "$(status root --force Grace 3 "$tmp/shared/mine.xls")" = 0 ] && [ -L "$tmp/shared/mine.xls" ] &&
    grep -qa Grace "$tmp/mine.xls" || fail "root's own link was not followed: $(cat "$tmp/err")"

# Nobody and a link daemon planted to nobody's file; nobody's own link is followed.
[ "$(status nobody Ada 3 "$tmp/nobodys/tree.xls")" = 0 ] || fail "nobody cannot write a chart"
as daemon ln -s "$tmp/nobodys/tree.xls" "$tmp/shared/theirs.xls"
refused nobody "$tmp/shared/theirs.xls" "$tmp/nobodys/tree.xls"
as nobody ln -s "$tmp/nobodys/tree.xls" "$tmp/shared/own.xls"
[ "$(status nobody --force Grace 3 "$tmp/shared/own.xls")" = 0 ] &&
    grep -qa Grace "$tmp/nobodys/tree.xls" || fail "nobody's own link was not followed"
[ "$(ls -A "$tmp/nobodys")" = tree.xls ] || fail "nobody's runs left $(ls -A "$tmp/nobodys")"

# A link to nothing: exit 3 without --force, 2 with it, and nothing made where it points.
ln -s "$tmp/none.xls" "$tmp/dangling.xls"
[ "$(status root Ada 3 "$tmp/dangling.xls")" = 3 ] || fail "a link to nothing was not kept"
[ "$(status root --force Ada 3 "$tmp/dangling.xls")" = 2 ] && [ ! -e "$tmp/none.xls" ] &&
    grep -q "the link leads to no file" "$tmp/err" || fail "--force on a link to nothing: $(cat "$tmp/err")"

# The longest names: written, then replaced; one byte more is the file system's refusal.
mkdir "$tmp/long"
long="$tmp/long/$(printf 'x%.0s' $(seq 251)).xls"
[ "$(status root Ada 3 "$long")" = 0 ] && [ "$(status root --force Grace 3 "$long")" = 0 ] &&
    grep -qa Grace "$long" || fail "a 255-byte name: $(cat "$tmp/err")"
[ "$(ls -A "$tmp/long" | wc -l)" = 1 ] || fail "writing a long name left $(ls -A "$tmp/long")"
[ "$(status root Ada 3 "${long%.xls}y.xls")" = 1 ] && grep -q "File name too long" "$tmp/err" ||
    fail "a 256-byte name: $(cat "$tmp/err")"
echo "links and long names: ok"

#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR and checks what an admin and a desktop find there:
# exactly the expected files, manual pages that document every switch and render without a
# warning, and a desktop entry and metainfo that Debian's validators accept.
# Arguments: the build folder, the package name, the desktop name, ON when built with the window.
set -uo pipefail
# Characters, not bytes, are counted below.
export LC_ALL=C.UTF-8
build=$1 package=$2 app_id=$3 gui=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null || exit 1

# Every installed file, and nothing else: a stray file would reach the package unchecked.
expected=(
    usr/bin/ablagekehrer
    "usr/share/doc/$package/changelog.gz"
    "usr/share/doc/$package/copyright"
    "usr/share/doc/$package/examples/ablagekehrer.ini"
    "usr/share/doc/$package/examples/ablagekehrer.service"
    "usr/share/doc/$package/examples/ablagekehrer.timer"
    usr/share/man/de/man1/ablagekehrer.1.gz
    usr/share/man/man1/ablagekehrer.1.gz
)
if [ "$gui" = ON ]; then
    expected+=(
        "usr/share/applications/$app_id.desktop"
        usr/share/icons/hicolor/scalable/apps/ablagekehrer.svg
        "usr/share/metainfo/$app_id.metainfo.xml"
    )
fi
installed=$(cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
[ "$installed" = "$wanted" ] || fail "installed files differ: $(diff <(echo "$wanted") <(echo "$installed") | grep '^[<>]' | tr '\n' ' ')"
[ -x "$stage/usr/bin/ablagekehrer" ] || fail "the program is not executable"

# The pages render in both languages without a single groff warning, and name every switch,
# the settings file's places and the sections an admin looks for.
for page in man/man1/ablagekehrer.1.gz man/de/man1/ablagekehrer.1.gz; do
    path="$stage/usr/share/$page"
    [ -f "$path" ] || continue
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$path" 2>"$stage/warnings") ||
        fail "$page: man failed"
    [ -s "$stage/warnings" ] && fail "$page: $(cat "$stage/warnings")"
    # Examples are not filled: a long one would run past the terminal's edge unwarned.
    while IFS= read -r line; do
        [ "${#line}" -le 80 ] || fail "$page: a line wider than 80 columns: $line"
    done <<<"$text"
    for word in /TAGE: /ID: /ANZAHL: /SUB /PROTOKOLL: /VERZEICHNIS: /INI: /LISTE GO SOFORT \
        /MUSTER: /AUSNAHMEN: /BEHALTEN: /LISTE:TSV /ALLE "[Pfad 1]" Behalten= \
        --help -h /? --version ablagekehrer.ini XDG_CONFIG_HOME /etc/ablagekehrer.ini \
        "Start der Dateilöschung" crontab ablagekehrer.timer ProtectSystem=strict \
        ReadWritePaths= NoNewPrivileges=yes; do
        grep -qF -- "$word" <<<"$text" || fail "$page does not mention $word"
    done
    case $page in
    man/de/*) sections=(BEZEICHNUNG ÜBERSICHT SCHALTER EINSTELLUNGSDATEI PROTOKOLLDATEI EXIT-STATUS DATEIEN BEISPIELE "SIEHE AUCH") ;;
    *) sections=(NAME SYNOPSIS OPTIONS "SETTINGS FILE" "LOG FILE" "EXIT STATUS" FILES EXAMPLES "SEE ALSO") ;;
    esac
    for section in "${sections[@]}"; do
        grep -qx "$section" <<<"$text" || fail "$page has no section $section"
    done
    # What apropos and lintian read: "name - description".
    lexgrog "$path" | grep -q ': "ablagekehrer - ' || fail "$page: lexgrog finds no NAME line"
done

if [ "$gui" = ON ]; then
    entry="$stage/usr/share/applications/$app_id.desktop"
    output=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $output"
    [ -z "$output" ] || fail "desktop-file-validate: $output"
    output=$(appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/$app_id.metainfo.xml" 2>&1) ||
        fail "appstreamcli validate: $output"
    # The metainfo, the desktop entry and the icon together, as a software centre reads them.
    output=$(appstreamcli validate-tree --no-net "$stage" 2>&1) || fail "appstreamcli validate-tree: $output"
fi

# The example units as systemd reads them, with the service started from the staged program
# (its manual page is not installed on this system, so that reference is not followed).
examples="$stage/usr/share/doc/$package/examples"
sed "s|/usr/bin/ablagekehrer|$stage/usr/bin/ablagekehrer|" "$examples/ablagekehrer.service" \
    >"$stage/ablagekehrer.service"
cp "$examples/ablagekehrer.timer" "$stage/ablagekehrer.timer"
output=$(cd "$stage" && systemd-analyze verify --man=no ./ablagekehrer.service ./ablagekehrer.timer 2>&1) ||
    fail "systemd-analyze verify: $output"

[ "$failures" -eq 0 ] && echo "installed files: all good"
exit $((failures > 0))

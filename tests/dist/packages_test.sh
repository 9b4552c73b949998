#!/usr/bin/env bash
# Builds both Debian packages as `make package` does and checks them as an archive would: their
# control fields, their files, that the server package's program needs no Qt, and lintian.
# Arguments: the source folder, a build folder built with the window, the version, the desktop
# name.
set -uo pipefail
source=$1 build=$2 version=$3 app_id=$4
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$source/scripts/make-packages" "$build" "$out" || exit 1
arch=$(dpkg --print-architecture)
full="$out/ablagekehrer_${version}_${arch}.deb"
cli="$out/ablagekehrer-cli_${version}_${arch}.deb"
for deb in "$full" "$cli"; do
    [ -f "$deb" ] || { echo "FAIL: no $deb among: $(ls "$out")" >&2; exit 1; }
done

field() { dpkg-deb -f "$1" "$2"; }
for deb in "$full" "$cli"; do
    name=$(basename "$deb")
    [ "$(field "$deb" Version)" = "$version" ] || fail "$name: Version $(field "$deb" Version)"
    [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$name: Architecture"
    [ "$(field "$deb" Section)" = utils ] || fail "$name: Section $(field "$deb" Section)"
    [ "$(field "$deb" Priority)" = optional ] || fail "$name: Priority"
    [[ "$(field "$deb" Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
        fail "$name: Maintainer $(field "$deb" Maintainer)"
    description=$(field "$deb" Description)
    [ "$(head -n1 <<<"$description")" = "find old files in a folder and delete them" ] ||
        fail "$name: Description synopsis $(head -n1 <<<"$description")"
    [ "$(wc -l <<<"$description")" -ge 3 ] || fail "$name: no long description"
    # The dependencies come from the program's libraries, found by dpkg-shlibdeps.
    field "$deb" Depends | grep -q 'libc6 (>=' || fail "$name: Depends $(field "$deb" Depends)"
done

[ "$(field "$full" Package)" = ablagekehrer ] || fail "full package: Package"
[ "$(field "$cli" Maintainer)" = "$(field "$full" Maintainer)" ] || fail "the packages' maintainers differ"
[ "$(field "$cli" Package)" = ablagekehrer-cli ] || fail "server package: Package"
# The two hold the same program and cannot be installed together.
for pair in "$full ablagekehrer-cli" "$cli ablagekehrer"; do
    set -- $pair
    for relation in Conflicts Replaces; do
        [ "$(field "$1" "$relation")" = "$2" ] || fail "$(basename "$1"): $relation $(field "$1" "$relation")"
    done
done
field "$full" Depends | grep -q libqt6widgets6 || fail "full package: Depends lacks Qt"
field "$cli" Depends | grep -qi qt && fail "server package depends on Qt: $(field "$cli" Depends)"

# The file lists, every entry owned by root.
files() { dpkg-deb -c "$1" | awk '$NF !~ /\/$/ { print $NF }' | LC_ALL=C sort; }
docs() {
    printf '%s\n' "./usr/share/doc/$1/changelog.gz" "./usr/share/doc/$1/copyright" \
        "./usr/share/doc/$1/examples/ablagekehrer.ini" \
        "./usr/share/doc/$1/examples/ablagekehrer.service" \
        "./usr/share/doc/$1/examples/ablagekehrer.timer"
}
common=(./usr/bin/ablagekehrer ./usr/share/man/de/man1/ablagekehrer.1.gz
    ./usr/share/man/man1/ablagekehrer.1.gz)
wanted=$( (printf '%s\n' "${common[@]}" "./usr/share/applications/$app_id.desktop" \
    ./usr/share/icons/hicolor/scalable/apps/ablagekehrer.svg \
    "./usr/share/metainfo/$app_id.metainfo.xml"; docs ablagekehrer) | LC_ALL=C sort)
[ "$(files "$full")" = "$wanted" ] || fail "full package files: $(diff <(echo "$wanted") <(files "$full") | grep '^[<>]' | tr '\n' ' ')"
wanted=$( (printf '%s\n' "${common[@]}"; docs ablagekehrer-cli) | LC_ALL=C sort)
[ "$(files "$cli")" = "$wanted" ] || fail "server package files: $(diff <(echo "$wanted") <(files "$cli") | grep '^[<>]' | tr '\n' ' ')"
for deb in "$full" "$cli"; do
    owners=$(dpkg-deb -c "$deb" | awk '{ print $2 }' | sort -u)
    [ "$owners" = root/root ] || fail "$(basename "$deb"): owners $owners"
done

# The server's program links no Qt library, directly or through another library; the full
# one does, or the check above would prove nothing.
for deb in "$full" "$cli"; do
    mkdir -p "$out/x/${deb##*/}"
    dpkg-deb -x "$deb" "$out/x/${deb##*/}"
done
server="$out/x/${cli##*/}/usr/bin/ablagekehrer"
window="$out/x/${full##*/}/usr/bin/ablagekehrer"
readelf -d "$server" | grep NEEDED | grep -qi qt && fail "server program needs Qt: $(readelf -d "$server" | grep -i qt)"
ldd "$server" | grep -qi qt && fail "server program loads Qt: $(ldd "$server" | grep -i qt)"
readelf -d "$window" | grep NEEDED | grep -q libQt6Widgets || fail "full program does not link Qt"
# The server's program runs where no display is.
env -u DISPLAY -u WAYLAND_DISPLAY "$server" /VERZEICHNIS:"$out/x" /LISTE >/dev/null ||
    fail "server program does not list a folder"

# lintian, as the archive runs it: no errors.
for deb in "$full" "$cli"; do
    # Its complaint about running as root is no finding about the package.
    report=$(lintian --no-cfg --fail-on error "$deb" 2>&1) || fail "lintian $(basename "$deb"): $report"
    report=$(grep -v '^running with root privileges' <<<"$report")
    [ -n "$report" ] && echo "lintian $(basename "$deb"):" && echo "$report"
done

[ "$failures" -eq 0 ] && echo "packages: all good"
exit $((failures > 0))

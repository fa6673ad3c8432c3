#!/bin/bash
# Checks a built holvane .deb without installing it: the files it installs
# (exactly those, so a stray library or the benchmark is caught), its control
# fields, the program's links, the icon sizes, and that the desktop entry, the
# AppStream data and both manual pages pass their own validators.
#
#   tools/check_package.sh build-deb/holvane_1.20_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:?usage: tools/check_package.sh PACKAGE.deb}
failures=0
fail() {
    echo "check_package: $*" >&2
    failures=$((failures + 1))
}

version=$(sed -n 's/^project(holvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
metainfo=/usr/share/metainfo/org.example.holvane.metainfo.xml
expected=(
    /usr/bin/holvane
    /usr/share/applications/holvane.desktop
    /usr/share/icons/hicolor/16x16/apps/holvane.png
    /usr/share/icons/hicolor/32x32/apps/holvane.png
    /usr/share/icons/hicolor/48x48/apps/holvane.png
    /usr/share/icons/hicolor/256x256/apps/holvane.png
    "$metainfo"
    /usr/share/man/man1/holvane.1.gz
    /usr/share/man/ja/man1/holvane.1.gz
    /usr/share/doc/holvane/changelog.gz
    /usr/share/doc/holvane/copyright
)

# Everything but folders; "./usr/bin/x" becomes "/usr/bin/x".
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\.||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    fail "the file list differs (- missing, + not expected):"
    diff <(echo "$wanted") <(echo "$actual") | grep '^[<>]' | sed 's/^</  -/; s/^>/  +/' >&2 || true
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = holvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the program's is '$version'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(basename "$deb")" = "holvane_${version}_$(dpkg --print-architecture).deb" ] || fail "unexpected file name $(basename "$deb")"
depends=$(field Depends)
# Filled in from the program's links: the C library and Qt's widgets at least.
for library in libc6 libqt6widgets6 libqt6gui6 libqt6core6; do
    grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -q '\$' <<<"$depends" && fail "Depends holds an unexpanded variable: $depends"
recommends=$(field Recommends)
grep -Eq '(^|[ ,|])fonts-ipafont-gothic( |,|$)' <<<"$recommends" || fail "Recommends lacks the Japanese font: $recommends"
grep -Eq '(^|, )fcitx5-frontend-qt6( |,|$)' <<<"$recommends" || fail "Recommends lacks fcitx5-frontend-qt6: $recommends"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

# Internal libraries are linked in statically; nothing private is loaded at run time.
needed=$(objdump -p "$root/usr/bin/holvane" | awk '$1 == "NEEDED" || $1 == "RUNPATH" || $1 == "RPATH" { print $1, $2 }')
grep -q 'NEEDED libQt6Widgets' <<<"$needed" || fail "the program does not link Qt 6 Widgets dynamically"
grep -Eq 'holvane|RUNPATH|RPATH' <<<"$needed" && fail "the program needs a private library or a run path: $needed"

for size in 16 32 48 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/holvane.png"
    [ -f "$png" ] || continue
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$w $h" = "$size $size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
done

desktop="$root/usr/share/applications/holvane.desktop"
if [ -f "$desktop" ]; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate says: $out"
    for key in 'Name\[ja\]=' 'Comment\[ja\]=' 'Exec=holvane %f' 'Icon=holvane'; do
        grep -q "^$key" "$desktop" || fail "the desktop entry lacks $key"
    done
    mimes=$(sed -n 's/^MimeType=//p' "$desktop")
    for mime in text/html application/xhtml+xml text/plain; do
        grep -q "\(^\|;\)$mime;" <<<"$mimes" || fail "the desktop entry does not open $mime"
    done
fi

if [ -f "$root$metainfo" ]; then
    out=$(appstreamcli validate --no-net "$root$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    grep -q '^[EW]:' <<<"$out" && fail "appstreamcli validate warns: $out"
    grep -q '<summary xml:lang="ja">' "$root$metainfo" || fail "the AppStream data has no Japanese summary"
    grep -q '<screenshot' "$root$metainfo" || fail "the AppStream data has no screenshot"
fi

for page in man1/holvane.1.gz ja/man1/holvane.1.gz; do
    [ -f "$root/usr/share/man/$page" ] || continue
    # The same run lintian makes: any warning from groff fails.
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/$page" 2>&1 >/dev/null) || fail "man $page failed"
    [ -z "$out" ] || fail "man $page warns: $out"
done
if [ -f "$root/usr/share/man/ja/man1/holvane.1.gz" ]; then
    zcat "$root/usr/share/man/ja/man1/holvane.1.gz" | grep -q '^\.SH 名前' || fail "the Japanese manual page is not Japanese"
fi

if [ "$failures" -gt 0 ]; then
    echo "check_package: $failures problem(s) in $deb" >&2
    exit 1
fi
echo "check_package: $deb is as expected"

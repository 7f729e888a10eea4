#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: the files it lists, nothing of a
# station in it, no test-only switch, its desktop entry, dependencies that apt can install, units
# that systemd-analyze accepts, and its unpacked programs making and transferring a demo station.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(bash scripts/package.sh | tail -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"
fail() {
    echo "check-package: $*" >&2
    exit 1
}
echo "check-package: $(basename "$deb")"

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
units=/usr/lib/systemd/system
for file in /usr/bin/lumvik /usr/bin/lumvik-auto /usr/bin/lumvik-demo /usr/lib/lumvik/sibling-standin \
    /usr/share/man/man1/lumvik-auto.1.gz /usr/share/applications/lumvik.desktop \
    /usr/share/icons/hicolor/scalable/apps/lumvik.svg "$units/lumvik-auto@.service" "$units/lumvik-auto@.timer"; do
    grep -qx "$file" <<<"$listing" || fail "$file is not in the package"
done
# Nothing of a station: no settings, no connection definitions (they hold a password), no database.
if grep -iE '\.(ini|fdb|txt)$' <<<"$listing"; then fail "the package holds a station's files"; fi
if grep -q LUMVIK_TEST_ "$root/usr/bin/lumvik-auto" "$root/usr/bin/lumvik"; then
    fail "an installed program has the test-only switches"
fi
if ldd "$root"/usr/bin/* "$root"/usr/lib/lumvik/* | grep 'not found'; then fail "a library is missing"; fi
zcat "$root/usr/share/man/man1/lumvik-auto.1.gz" | grep -q '^\.SH OPTIONS' || fail "the manual page has no options"

desktop=$root/usr/share/applications/lumvik.desktop
desktop-file-validate "$desktop" || fail "lumvik.desktop is not a valid desktop entry"
grep -qx 'Name=餐飲收銀檔轉入' "$desktop" || fail "lumvik.desktop does not name the window"

echo "check-package: dependencies"
dependencies=$(dpkg-deb -f "$deb" Depends Recommends | sed 's/^[A-Za-z]*://' | tr ',|' '\n\n' |
    sed 's/(.*)//; s/[[:space:]]//g' | grep -v '^$' | sort -u)
for package in $dependencies; do
    apt-cache show "$package" >/dev/null 2>&1 || fail "$package is no package apt knows"
done
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.txt" 2>&1 ||
    { cat "$work/apt.txt"; fail "apt cannot install the package"; }

echo "check-package: units"
# The units name /usr/bin/lumvik-auto, which verify wants to find: the copies checked name the
# unpacked program instead, and the manual page they name is the package's.
mkdir "$work/units"
for unit in lumvik-auto@.service lumvik-auto@.timer; do
    sed "s|/usr/bin/lumvik-auto|$root/usr/bin/lumvik-auto|g" "$root$units/$unit" >"$work/units/$unit"
    ln -s "$unit" "$work/units/${unit/@/@store1}"
done
verify=$(MANPATH=$root/usr/share/man systemd-analyze verify "$work/units/lumvik-auto@store1.service" \
    "$work/units/lumvik-auto@store1.timer" 2>&1) || fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"

echo "check-package: a demo station run by the unpacked programs"
station=$work/station
"$root/usr/bin/lumvik-demo" --folder "$station" >/dev/null
[ "$(stat -c %a "$station/dbxconnections.ini")" = 600 ] || fail "the demo's connection definitions are not 0600"
(cd "$work" && LUMVIK_WINDOW_DIR=$work/windows "$root/usr/bin/lumvik-auto" --folder "$station" \
    --date 2012/12/10 >"$work/run.txt" 2>&1) || { cat "$work/run.txt"; fail "the demo transfer failed"; }
grep -qx '資料轉移完成..!' "$work/run.txt" || fail "the demo transfer did not complete"
grep -qx 'Harvo.exe' "$station/siblings.log" || fail "the demo's collector was not started"
echo "check-package: ok"

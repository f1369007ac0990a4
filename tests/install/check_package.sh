#!/usr/bin/env bash
# Builds the Debian package of a build tree, installs it into a temporary root
# and checks that every file is where the desktop looks for it and that the
# desktop's own tools accept them.
# Usage: check_package.sh <build dir> <expect dravelin-cli: 0|1>
set -euo pipefail
build=$1 with_cli=$2
id=org.dravelin.Dravelin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}

# The libraries and the Qt plugins the program loads at run time.
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libsqlite3-0 qt6-qpa-plugins libqt6svg6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

# Installed with dpkg into an empty root of its own.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; fail "dpkg did not install the package"; }
dpkg --root="$root" -s dravelin | grep -q '^Status: install ok installed' || fail "package not installed"

share=$root/usr/share
programs=(dravelin)
[ "$with_cli" = 1 ] && programs+=(dravelin-cli)
for program in "${programs[@]}"; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing or not executable"
done
desktop=$share/applications/$id.desktop
icon=$share/icons/hicolor/scalable/apps/$id.svg
metainfo=$share/metainfo/$id.metainfo.xml
mime=$share/mime/packages/$id.xml
for file in "$desktop" "$icon" "$metainfo" "$mime"; do
  [ -f "$file" ] || fail "${file#"$root"/} missing"
done

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects ${desktop#"$root"/}"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects ${metainfo#"$root"/}"

# The entry starts an installed program with the file, under the icon installed.
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_line=$(entry Exec)
[ "$exec_line" = "dravelin %f" ] || fail "Exec is '$exec_line'"
[ "$(entry Icon)" = "$id" ] || fail "Icon is '$(entry Icon)'"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo names another launcher"
grep -q '<svg' "$icon" || fail "the icon is no SVG picture"

# A double-click on a Dravelin File: the MIME database knows *.dravelin and
# the desktop database opens that type with the program.
update-mime-database "$share/mime"
grep -qx 'application/x-dravelin:\*\.dravelin' <(cut -d: -f2- "$share/mime/globs2") ||
  fail "*.dravelin is not application/x-dravelin in the MIME database"
update-desktop-database "$share/applications"
grep -qx "application/x-dravelin=$id.desktop;" "$share/applications/mimeinfo.cache" ||
  fail "application/x-dravelin does not open with $id.desktop"
echo "Package ${deb##*/} installs and checks out"

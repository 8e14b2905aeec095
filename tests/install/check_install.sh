#!/usr/bin/env bash
# Installs a build as a user would, with `cmake --install` into a scratch
# prefix and from the Debian package into a scratch root, and checks that the
# desktop entry finds its program and icon there and that the entry and the
# AppStream metadata pass Debian's validators.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
app_id=org.mivo.Console

for tool in desktop-file-validate appstreamcli dpkg-shlibdeps dpkg-deb file help2man; do
  command -v "$tool" >/dev/null || { "$source_dir/scripts/deps"; break; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# ROOT stands for / (empty for a prefix install), PREFIX is where the tree
# was installed below it.
check_tree() {
  local root=$1 prefix=$2
  local share=$root$prefix/share
  local entry=$share/applications/$app_id.desktop
  local metainfo=$share/metainfo/$app_id.metainfo.xml
  echo "== $root$prefix"
  desktop-file-validate "$entry"
  appstreamcli validate --no-net "$metainfo"

  # The menu runs the Exec line as it stands; its program must be the
  # installed console of this very tree.
  local exec_line program
  exec_line=$(sed -n 's/^Exec=//p' "$entry")
  program=${exec_line%% *}
  [[ $program == /* ]] || fail "Exec is no full path: $exec_line"
  [ -x "$root$program" ] || fail "Exec starts $program, which $root$prefix does not have"

  # The icon name resolves in the hicolor theme of the same data folder.
  local icon
  icon=$(sed -n 's/^Icon=//p' "$entry")
  grep -q "<svg" "$share/icons/hicolor/scalable/apps/$icon.svg" 2>/dev/null \
    || fail "Icon=$icon is no SVG in $share/icons/hicolor/scalable/apps"

  # The metadata names the entry it belongs to and the programs it brings.
  local launchable binary
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ "$share/applications/$launchable" -ef "$entry" ] || fail "metadata launches $launchable, not $app_id.desktop"
  for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    [ -x "$root$prefix/bin/$binary" ] || fail "metadata provides $binary, not installed"
  done

  # Recipes run their JavaScript in a program the console finds beside its
  # own, whatever the prefix.
  [ -x "$root$prefix/libexec/mivo-console/mivo-recipe-engine" ] \
    || fail "no recipe engine in $root$prefix/libexec/mivo-console"
  [ -x "$root$prefix/libexec/mivo-console/mivo-report-pdf" ] \
    || fail "no report writer in $root$prefix/libexec/mivo-console"

  # The licence travels with the programs.
  grep -q '^License: GPL-3.0-or-later' "$share/doc/mivo-console/copyright" 2>/dev/null \
    || fail "no copyright file naming GPL-3.0-or-later in $share/doc/mivo-console"

  # The command-line tool runs from the tree, and its manual page is there
  # when the build had help2man to write it.
  [[ $("$root$prefix/bin/mivo-cli" --version) == "mivo-cli "* ]] || fail "mivo-cli --version says no version"
  if [ -n "$man_page_built" ]; then
    grep -q '^\.TH MIVO-CLI "1"' "$share/man/man1/mivo-cli.1" 2>/dev/null \
      || fail "no manual page mivo-cli.1 in $share/man/man1"
  fi
}
man_page_built=$(sed -n 's:^HELP2MAN\:FILEPATH=\(/.*\):\1:p' "$build/CMakeCache.txt")

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_tree "" "$scratch/prefix"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >/dev/null
debs=("$scratch"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb"
deb=${debs[0]}
dpkg-deb -x "$deb" "$scratch/root"
check_tree "$scratch/root" /usr

# Every library the console links against comes from a package the .deb
# depends on, so that installing it with apt brings all of them.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g')
owner_of() {
  # ldd may name a library by its /lib or its /usr/lib path; dpkg knows one.
  local p found
  for p in "$1" "/usr${1#/usr}" "${1#/usr}"; do
    found=$(dpkg -S "$p" 2>/dev/null) || continue
    awk -F: '!/^diversion/ { print $1; exit }' <<<"$found"
    return
  done
  return 1
}
console=$scratch/root/usr/bin/mivo-console
for lib in $(readelf -d "$console" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  path=$(ldd "$console" | awk -v lib="$lib" '$1 == lib { print $3 }')
  [ -n "$path" ] || fail "$lib not found on this system"
  owner=$(owner_of "$path") || fail "no package owns $path"
  grep -qxF -- "$owner" <<<"$names" || fail "$lib comes from $owner, which the .deb does not depend on"
done
echo "OK"

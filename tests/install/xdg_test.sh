#!/usr/bin/env bash
# Installs Quillet into a temporary prefix, registers it there as a desktop would, and checks
# what a double click on a project file depends on: the file is recognised as a Quillet
# drawing by its name, and only by its name (Quillet opens no other names from the command
# line); Quillet is the application that opens it; and the desktop entry, the AppStream metadata and the manual
# page are valid.
#
# Usage: xdg_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$work/prefix
"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share

# A desktop of its own: nothing from the machine's or the user's settings takes part, apart
# from the system's MIME database, against whose types (text/plain above all) ours must win.
# GNOME makes xdg-mime ask GLib, which reads the shared MIME database; its generic mode would
# ask file(1), which knows nothing of it.
export HOME=$work/home
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CONFIG_HOME=$HOME/.config
export XDG_CONFIG_DIRS=$work/xdg-config
export XDG_DATA_DIRS=$share:/usr/share
export XDG_CURRENT_DESKTOP=GNOME
export GIO_USE_VFS=local
unset DISPLAY WAYLAND_DISPLAY XDG_MENU_PREFIX DESKTOP_SESSION
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS"

update-mime-database "$share/mime"
update-desktop-database "$share/applications"

# The worked example of the project file tests, as the fuzz seeds keep it.
project=$work/drawing.qlf
cp "$source/fuzz/corpus/load/triangle-point-fill.qlf" "$project"
head -c 24 "$project" | cmp -s - <(printf '*--------------------*\r\n') ||
  fail "the example project does not start with the file's first line"

expect_type() { # FILE TYPE
  local got
  got=$(xdg-mime query filetype "$1")
  [ "$got" = "$2" ] || fail "$(basename "$1"): type '$got', expected '$2'"
  echo "ok: $(basename "$1") is $got"
}
expect_type "$project" application/x-quillet
cp "$project" "$work/DRAWING.QLF"
expect_type "$work/DRAWING.QLF" application/x-quillet
# Without the ending a drawing is text: given to Quillet it would show an empty window.
cp "$project" "$work/drawing"
expect_type "$work/drawing" text/plain

# Quillet's own icon first; where a theme lacks it, a generic picture rather than a text page.
icons=$(gio info "$project" | sed -n 's/^ *standard::icon: //p')
case "$icons" in
application-x-quillet,*image-x-generic*) echo "ok: icons $icons" ;;
*) fail "icon names '$icons'" ;;
esac

default=$(xdg-mime query default application/x-quillet)
[ "$default" = org.example.Quillet.desktop ] || fail "default application '$default'"
echo "ok: opened with $default"
grep -qx 'application/x-quillet=org.example.Quillet.desktop;' \
  "$share/applications/mimeinfo.cache" || fail "the desktop database lacks Quillet"

# Hints too: one says the entry would land in no main menu section.
out=$(desktop-file-validate "$share/applications/org.example.Quillet.desktop" 2>&1) ||
  fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
echo "ok: desktop entry valid"

# appstreamcli says warnings and errors in its output; only notes from the pedantic level may
# pass (none are printed by default).
metainfo=$share/metainfo/org.example.Quillet.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli: $out"
out=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) || fail "appstreamcli tree: $out"
! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli tree: $out"
echo "ok: AppStream metadata valid"

page=$share/man/man1/quillet.1.gz
for p in "$page" "$share/man/man1/quillet-tool.1.gz"; do
  [ -f "$p" ] || continue # the tool is built only with its analysis library
  out=$(zcat "$p" | groff -man -Tutf8 -ww -z 2>&1) || fail "groff: $out"
  [ -z "$out" ] || fail "groff warns on $p: $out"
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$p" 2>&1 >/dev/null) ||
    fail "man: $out"
  [ -z "$out" ] || fail "man warns on $p: $out"
done
# The NAME line as man-db indexes it for whatis and apropos.
lexgrog "$page" | grep -qF '"quillet - draw patterns of regular polygons' ||
  fail "the manual page has no NAME line"
echo "ok: manual page clean"

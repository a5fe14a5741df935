#!/usr/bin/env bash
# The window as a screen reader meets it: the real program on a virtual display, read from the
# accessibility bus. Every control has a name and a role, the colours are buttons, and pressing
# one through the bus makes it the current colour, in the tree and on the screen.
#
# Runs itself again on a session bus of its own; skipped (77) where the bus or the
# accessibility pieces are not installed.
skip() {
  echo "SKIP [e2e atspi]: $*"
  exit 77
}
launcher=
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$candidate" ] && launcher=$candidate && break
done
[ -n "$launcher" ] || skip "at-spi-bus-launcher is not installed (at-spi2-core)"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (dbus)"
command -v dbus-send >/dev/null || skip "dbus-send is not installed (dbus)"
# Debian's Python, which has its bindings, may not be the first python3 on the path.
python=
for candidate in /usr/bin/python3 python3; do
  "$candidate" -c 'import pyatspi' 2>/dev/null && python=$candidate && break
done
[ -n "$python" ] || skip "no python3 can import pyatspi (python3-pyatspi)"
if [ -z "${QUILLET_OWN_SESSION_BUS:-}" ]; then
  QUILLET_OWN_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin atspi "$@"

# The accessibility bus, started here rather than by the session bus, so that it writes to its
# own log and ends with the test.
setpriv --pdeathsig TERM "$launcher" --launch-immediately >>"$work/at-spi.log" 2>&1 &
pids+=($!)
a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
wait_for a11y_bus_up || fail "the accessibility bus did not start: $(cat "$work/at-spi.log")"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
start_quillet
wait_main_window "at the start"

"$python" "$(dirname "$0")/atspi_tree.py" "$quillet_pid" "$E2E_DEADLINE" ||
  fail "the accessibility tree (above)"

# The press went through the program's own handler: the current colour shows red.
current_red() { grab && got=$(screen_pixels $((cx + 628)) $((cy + 28))) && [ "$got" = FF0000 ]; }
wait_for current_red || fail "the current colour shows $got after the press, not FF0000"
echo "e2e atspi: all checks passed"

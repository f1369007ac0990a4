#!/bin/sh
# Runs a command in a private D-Bus session with an unlocked GNOME keyring
# and a throw-away home folder, so a test never meets the user's keyring.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
exec dbus-run-session -- sh -c 'printf unlock | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' sh "$@"

#!/usr/bin/env bash
# Runs one command with a private D-Bus daemon as its system bus, so that a test meets only the
# mock services it starts there and never a real machine's Bluetooth devices; or, with --session,
# as its session bus, which starts the services it finds in the folders given with --servicedir.
#   with-system-bus.sh [--session [--servicedir DIR]...] command [arguments...]
set -euo pipefail

type=system
session_settings=
if [[ ${1:-} == --session ]]; then
    type=session
    shift
    while [[ ${1:-} == --servicedir ]]; do
        session_settings+="  <servicedir>$2</servicedir>"$'\n'
        shift 2
    done
    # A session's bus lets a client wait for as many answers as it likes, as the desktop's does.
    # A program it starts that ends without taking its name (a second instance, which leaves) fails
    # the callers waiting for it after a few seconds, not the desktop's two minutes.
    session_settings+="  <limit name=\"max_replies_per_connection\">50000</limit>
  <limit name=\"service_start_timeout\">3000</limit>"$'\n'
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-bus.XXXXXX")
bus_pid=
cleanup() {
    [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$type</type>
  <listen>unix:path=$scratch/${type}_bus_socket</listen>
  <auth>EXTERNAL</auth>
$session_settings  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF

exec {address_fd}<> <(:)
dbus-daemon --config-file="$scratch/bus.conf" --nofork --nopidfile --print-address="$address_fd" \
    >"$scratch/bus.log" 2>&1 &
bus_pid=$!
read -r -t 30 address <&"$address_fd" || { echo "dbus-daemon did not start:" >&2; cat "$scratch/bus.log" >&2; exit 1; }
exec {address_fd}>&-

if [[ $type == session ]]; then
    export DBUS_SESSION_BUS_ADDRESS=$address
else
    export DBUS_SYSTEM_BUS_ADDRESS=$address
fi
"$@"

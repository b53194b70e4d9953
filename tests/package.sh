#!/usr/bin/env bash
# Installs the Debian package with apt-get as a user does, finds its files where the desktop looks
# for them, runs the installed program once on an X server of its own with a report from the
# installed sender, purges the package and finds nothing of it left. It changes the machine: CTest
# runs it alone, and it needs root (exit 77, skipped, without). A lumivane package installed before
# is gone afterwards too.
#   package.sh PACKAGE.deb
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "package.sh: installing a package needs root"; exit 77; }
export DEBIAN_FRONTEND=noninteractive
# apt-get waits for another package manager to finish rather than failing at once.
apt_get() { apt-get -y -q -o DPkg::Lock::Timeout=120 "$@" >/dev/null; }
fail() { echo "package.sh: $*" >&2; exit 1; }
trap 'if dpkg -s lumivane >/dev/null 2>&1; then apt_get purge lumivane; fi' EXIT

apt_get install --no-install-recommends "$(realpath "$1")"
listed=$(dpkg -L lumivane)
share=/usr/share
expected=(/usr/bin/lumivane /usr/bin/lumivane-send "$share/applications/org.lumivane.Overlay.desktop"
    "$share/metainfo/org.lumivane.Overlay.metainfo.xml" "$share/dbus-1/services/org.lumivane.Overlay.service"
    "$share/dbus-1/interfaces/org.lumivane.Overlay1.xml"
    "$share/man/man1/lumivane.1.gz" "$share/man/man1/lumivane-send.1.gz"
    "$share/doc/lumivane/copyright" "$share/doc/lumivane/changelog.gz")
for file in "${expected[@]}"; do
    grep -qx "$file" <<<"$listed" && [[ -s $file ]] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
    for icon in lumivane lumivane-tray; do
        file=$share/icons/hicolor/${size}x$size/apps/$icon.png
        [[ $(file -b "$file") == "PNG image data, $size x $size,"* ]] || fail "$file is not a $size px icon"
    done
done
! grep -q gattlink <<<"$listed" || fail "the simulator is installed"
grep -qx "Exec=/usr/bin/lumivane" "$share/dbus-1/services/org.lumivane.Overlay.service" || fail "the service runs another program"
# The menu entry as launchers find it: valid, and its actions listed where GLib's launchers look.
entry=$share/applications/org.lumivane.Overlay.desktop
desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
[[ $(XDG_DATA_DIRS=$share gapplication list-actions org.lumivane.Overlay | tr '\n' ' ') == "show update quit " ]] ||
    fail "launchers do not find the entry's actions"
for page in lumivane lumivane-send; do
    [[ $(man -w $page) == "$share/man/man1/$page.1.gz" ]] || fail "man does not find $page(1)"
done

"$(dirname "$0")/with-xvfb.sh" bash -c '
    QT_FORCE_STDERR_LOGGING=1 /usr/bin/lumivane 2>"$TMPDIR/log" & program=$!
    # Sent as soon as the program takes reports, within 30 s.
    for _ in $(seq 300); do /usr/bin/lumivane-send --via x11 2 255 0 0 2>/dev/null && break; sleep 0.1; done
    for _ in $(seq 300); do grep -q "^mode: 2 ,R: 255 ,G: 0 ,B: 0$" "$TMPDIR/log" && break; sleep 0.1; done
    kill -TERM $program && wait $program && grep -q "^mode: 2 ,R: 255" "$TMPDIR/log"
' || fail "the installed program did not show the installed sender's report"

apt_get purge lumivane
! dpkg -s lumivane >/dev/null 2>&1 || fail "the package is still known to dpkg"
while IFS= read -r path; do
    [[ -d $path || ! -e $path ]] || fail "$path is left"
done <<<"$listed"
[[ ! -e $share/doc/lumivane ]] || fail "$share/doc/lumivane is left"
echo "package.sh: installed, ran and purged $(basename "$1")"

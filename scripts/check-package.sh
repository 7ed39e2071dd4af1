#!/usr/bin/env bash
# Checks a built package without installing it on this machine:
#   scripts/check-package.sh [DEB]      (default: the one scripts/package.sh made)
# It unpacks the package into a scratch root and lists what it holds. Run as
# root, it then serves two users from that root in a private mount
# namespace (the user database there is a scratch copy with the group qor,
# a member and a stranger; nothing outside the scratch folder changes):
# the system spooler started by socket activation, a printer on the
# emulator added by the administrator, the member printing and querying
# status with qorcil, the stranger refused, prnaccess widening the member's
# rights, the spooler ending when idle and coming back with its printer,
# and no process of the package left at the end; with Debian's cups, a CUPS
# queue on the system spooler printing a job submitted through lp.
# QOR_CHECK_KEEP=1 keeps the scratch folder (its logs) and names it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls "$top"/build/package/qor-zemd_*_amd64.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "check-package: no package (run scripts/package.sh)" >&2; exit 2; }
scratch=$(mktemp -d /tmp/qor-package-check.XXXXXX)
chmod 755 "$scratch"
[ -n "${QOR_CHECK_KEEP:-}" ] && echo "scratch: $scratch" || trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg-deb -x "$deb" "$root"
echo "== files of $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}' | grep -v '/$'
for must in usr/bin/qorctl usr/bin/qorprint usr/bin/qorcil usr/bin/qoremu usr/lib/qor/qorspoold \
            usr/lib/qor/QORCIL.so lib/systemd/system/qorspoold.socket lib/udev/rules.d/60-qor-zemd.rules \
            usr/share/doc/qor-zemd/copyright usr/share/man/man1/qorctl.1.gz; do
  [ -e "$root/$must" ] || { echo "check-package: $must missing" >&2; exit 1; }
done
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null || ! command -v systemd-socket-activate >/dev/null; then
  echo "== two-user run skipped (needs root, unshare and systemd-socket-activate)"
  exit 0
fi
echo "== two users against the system spooler of the unpacked package"
[ -e /var/lib/qor ] || [ -e /run/qor ] && echo "note: this machine has /var/lib/qor or /run/qor of its own"
had_system=$( [ -e /var/lib/qor ] || [ -e /run/qor ] && echo 1 || echo 0)
unshare --mount --fork "$top/scripts/check-package-users.sh" "$root" "$scratch"
if [ "$had_system" = 0 ] && { [ -e /var/lib/qor ] || [ -e /run/qor ]; }; then
  echo "check-package: the run touched this machine's /var/lib/qor or /run/qor" >&2
  exit 1
fi

#!/usr/bin/env bash
# Makes the status monitor QORSM start for this user: a desktop entry in the
# applications menu and an XDG autostart entry, both running
# `QORSM /P:<printer>` from the build's bin folder.
#   scripts/install-monitor.sh [PRINTER]   (default "QOR ZEM-Dx10P")
#   scripts/install-monitor.sh --remove    ends a running monitor, removes both
# QOR_BUILD_DIR names another build folder than build/. The monitor announces
# only what `status` chose (nothing until then: it ends at once).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${QOR_BUILD_DIR:-$top/build}/bin
applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
autostart=${XDG_CONFIG_HOME:-$HOME/.config}/autostart
entry=qor-status-monitor.desktop

if [ "${1:-}" = "--remove" ]; then
  [ -x "$bin/QORSM" ] && "$bin/QORSM" --close >/dev/null 2>&1 || true
  rm -f "$applications/$entry" "$autostart/$entry"
  echo "install-monitor: removed $applications/$entry and $autostart/$entry"
  exit 0
fi
printer=${1:-QOR ZEM-Dx10P}
case "$printer" in
  *'"'*|*'\'*|*'$'*|*'`'*|*/*) echo "install-monitor: a printer name with \" \\ \$ \` or / cannot go into the entry: $printer" >&2; exit 2 ;;
esac
[ -x "$bin/QORSM" ] || { echo "install-monitor: $bin/QORSM is missing; build it first" >&2; exit 1; }
mkdir -p "$applications" "$autostart"
for folder in "$applications" "$autostart"; do
  sed -e "s|@BIN@|$bin|g" -e "s|@PRINTER@|$printer|g" "$top/statmon/desktop/qorsm.desktop.in" >"$folder/$entry"
done
echo "install-monitor: QORSM /P:$printer starts at log-on ($autostart/$entry) and from the menu"

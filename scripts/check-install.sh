#!/usr/bin/env bash
# Installs the package on this machine for real, uses it, removes and purges
# it, and shows what that left behind:
#   scripts/check-install.sh --really [DEB]
# (default DEB: the one scripts/package.sh made). Meant for a disposable
# machine or container, run as root; it is not part of the tests. It
#  - installs the package's dependencies (apt-get satisfy) and lists every
#    file of / (find -xdev, without /proc, /sys, /dev, /tmp, /work, caches
#    and apt's and dpkg's own state),
#  - installs the package with dpkg -i,
#  - starts the system spooler as on a machine without systemd, adds a
#    printer on the emulator as the administrator (and, with Debian's cups,
#    a CUPS queue on it in a private cupsd), and lets a member of qor
#    print (also through lp), query it with qorcil, start a per-user
#    spooler and an emulator (stopped, as by job control in a terminal),
#    and a stranger be refused (the two accounts live in a scratch copy of
#    the user database, in a private mount namespace),
#  - removes the package (dpkg -r): no process of the package may be left
#    and nothing may be left outside /var/lib/qor and the configuration,
#  - purges it (dpkg -P): the file list must equal the one from before,
#    and the group qor must be gone.
# Files other packages own that changed meanwhile (apt run by someone else)
# are listed apart. Exit status 0 when all holds, 1 when not, 2 for usage.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pkg=qor-zemd
lib=/usr/lib/qor

usage() { sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; }

. "$top/scripts/private-cupsd.sh"

# ---- inside the private mount namespace: the users' part ----
if [ "${1:-}" = "--exercise" ]; then
  scratch=$2
  # -n: no record in /run/mount, which is the machine's, not the namespace's.
  mount -n --make-rprivate /
  # The accounts: copies of the user database with a member and a stranger.
  # The group qor is the one the package made.
  member_uid=$3 stranger_uid=$4
  cp /etc/passwd "$scratch/"
  awk -F: -v OFS=: '$1 == "qor" { $4 = ($4 == "" ? "" : $4 ",") "qorcheck-m" } { print }' /etc/group >"$scratch/group"
  echo "qorcheck-m:x:$member_uid:" >>"$scratch/group"
  echo "qorcheck-s:x:$stranger_uid:" >>"$scratch/group"
  echo "qorcheck-m:x:$member_uid:$member_uid::$scratch/home-m:/bin/sh" >>"$scratch/passwd"
  echo "qorcheck-s:x:$stranger_uid:$stranger_uid::$scratch/home-s:/bin/sh" >>"$scratch/passwd"
  mount -n --bind "$scratch/passwd" /etc/passwd
  mount -n --bind "$scratch/group" /etc/group
  install -d -o "$member_uid" -g "$member_uid" "$scratch/home-m" "$scratch/run-m"
  install -d -o "$stranger_uid" -g "$stranger_uid" "$scratch/home-s" "$scratch/run-s"
  install -d "$scratch/home-root"
  export HOME=$scratch/home-root
  unset QOR_ROOT QOR_RUNTIME_DIR QOR_MODE QOR_SYSTEM_ROOT QOR_SYSTEM_RUNTIME_DIR XDG_RUNTIME_DIR XDG_DATA_HOME \
        XDG_CONFIG_HOME

  log=$scratch/commands.log
  fail() { echo "FAIL $1"; echo "--- output:"; tail -5 "$log"; exit 1; }
  step() { local what=$1; shift; if "$@" >"$log" 2>&1; then echo "ok   $what"; else fail "$what"; fi; }
  # as m|s COMMAND...: run by the member or the stranger; the member's
  # per-user places stay in the scratch folder.
  as() {
    local who=$1; shift
    setpriv --reuid="qorcheck-$who" --regid="qorcheck-$who" --init-groups \
      env HOME="$scratch/home-$who" XDG_RUNTIME_DIR="$scratch/run-$who" "$@"
  }

  # The spooler as on a machine without systemd (docs/install.md), and
  # the emulator in a folder of its own, both left running for prerm.
  setsid /usr/lib/qor/qorspoold --system >"$scratch/spooler.log" 2>&1 </dev/null &
  emu=$scratch/emu
  install -d -m 0700 "$emu"
  QOR_MODE=user QOR_ROOT=$emu QOR_RUNTIME_DIR=$emu setsid qoremu --socket "$emu/zemd.sock" --control "$emu/zemd.ctl" \
      --tickets "$emu/tickets" --state none >"$emu/log" 2>&1 </dev/null &
  for _ in $(seq 200); do [ -S /run/qor/qorspoold.sock ] && [ -S "$emu/zemd.sock" ] && break; sleep 0.05; done
  printer="QOR ZEM-Dx10P"
  step "the administrator adds monitor, driver, port and printer" bash -c "
    qorctl add-monitor 'QOR ZEM-D Monitor' QORZEMLM.so &&
    qorctl add-driver '$printer' QORKPDN5.so --data qorn5001.ppd --config QORCPUN7.so --monitor 'QOR ZEM-D Monitor' &&
    qorctl configure-port COM1 --device 'emu:$emu/zemd.sock' --settings 38400,n,8,1,p &&
    qorctl add-printer '$printer' COM1 '$printer'"
  step "prnaccess widens the members' rights" "$lib/prnaccess"
  step "the member prints the example receipt" as m qorprint -P "$printer" /usr/share/qor/examples/receipt.txt
  for _ in $(seq 400); do [ -e "$emu/tickets/ticket-0001.png" ] && break; sleep 0.05; done
  step "its ticket came out" test -e "$emu/tickets/ticket-0001.png"
  step "the member queries the printer with qorcil" as m qorcil status -P "$printer"
  # CUPS, when installed: a private scheduler running the installed
  # backend, a queue on the system spooler, a member's job through lp.
  if have_cups; then
    start_private_cupsd "$scratch/cups" /usr/lib/cups/backend/qor || fail "a private cupsd starts"
    queue=QOR_ZEM-Dx10P
    step "the administrator makes the CUPS queue" qorctl cups-add "$printer"
    step "the member prints through lp" as m lp -d "$queue" -o media=58x297mm /usr/share/qor/examples/receipt.txt
    for _ in $(seq 1200); do [ -e "$emu/tickets/ticket-0002.png" ] && break; sleep 0.05; done
    step "its ticket came out" test -e "$emu/tickets/ticket-0002.png"
    for _ in $(seq 200); do lpstat -o "$queue" 2>/dev/null | grep -q . || break; sleep 0.05; done
    step "the CUPS job completed, printed as lp" bash -c "lpstat -W completed -o '$queue' | grep -q '^$queue-1 ' &&
      grep -aq '\[Job 1\] printing on the system spooler as lp\$' '$scratch/cups/log/error_log'"
    kill "$cupsd_pid"
    wait "$cupsd_pid" 2>/dev/null || true
  fi
  as s qorctl printers >"$log" 2>&1 || true
  grep -qi "access is denied" "$log" && echo "ok   the stranger is refused with access denied" ||
    fail "the stranger is refused with access denied"
  # A per-user spooler of the member's own, and an emulator of theirs
  # stopped in a terminal (job control: it does not act on SIGTERM until
  # continued); removing must end both.
  step "the member starts a per-user spooler" as m env QOR_MODE=user qorctl printers
  own=$scratch/run-m/emu
  # (Not through `as`: a function run in the background is a subshell,
  # and $! would be that shell's number, not the emulator's.)
  setpriv --reuid=qorcheck-m --regid=qorcheck-m --init-groups env HOME="$scratch/home-m" \
      XDG_RUNTIME_DIR="$scratch/run-m" QOR_MODE=user qoremu --socket "$own.sock" --control "$own.ctl" \
      --tickets "$own-tickets" --state none >/dev/null 2>&1 </dev/null &
  stopped=$!
  for _ in $(seq 200); do [ -S "$own.sock" ] && break; sleep 0.05; done
  kill -STOP "$stopped"
  step "the member's emulator runs, stopped" grep -q '^State:.*stopped' "/proc/$stopped/status"
  exit 0
fi

# ---- the machine's part ----
really=0 deb=
for a in "$@"; do
  case "$a" in
    --really) really=1 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "check-install: unknown argument '$a'" >&2; exit 2 ;;
    *) deb=$a ;;
  esac
done
if [ $really = 0 ]; then
  echo "check-install: this installs and removes $pkg on this machine; give --really to go on" >&2
  exit 2
fi
[ "$(id -u)" -eq 0 ] || { echo "check-install: must run as root" >&2; exit 2; }
deb=${deb:-$(ls "$top"/build/package/${pkg}_*_amd64.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "check-install: no package (run scripts/package.sh)" >&2; exit 2; }
if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -qv "not-installed"; then
  echo "check-install: $pkg is installed here already; purge it first" >&2
  exit 2
fi
if [ -e /var/lib/qor ] || [ -e /run/qor ] || getent group qor >/dev/null; then
  echo "check-install: /var/lib/qor, /run/qor or the group qor exist already" >&2
  exit 2
fi
for cmd in unshare setpriv setsid apt-get; do
  command -v "$cmd" >/dev/null || { echo "check-install: needs $cmd" >&2; exit 2; }
done
free_uid() { local u=$1; while getent passwd "$u" >/dev/null || getent group "$u" >/dev/null; do u=$((u + 1)); done; echo "$u"; }
member_uid=$(free_uid 64301)
stranger_uid=$(free_uid $((member_uid + 1)))

scratch=$(mktemp -d /tmp/qor-install-check.XXXXXX)
chmod 755 "$scratch"
status=0
problem() { echo "FAIL $1"; status=1; }

# Every program of the package still running: its executable under
# /usr/lib/qor (also once the file is deleted).
package_processes() { find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$lib/*" 2>/dev/null | cut -d/ -f3 || true; }
end_leftovers() { local p; for p in $(package_processes); do kill -KILL "$p" 2>/dev/null || true; done; }
# Whatever happens, the machine is left without the package.
installed=0
leave() {
  end_leftovers
  if [ $installed = 1 ] && dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -qv "not-installed"; then
    echo "check-install: purging $pkg after a failure" >&2
    dpkg -P "$pkg" >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap leave EXIT

snapshot() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /work -o -path /root/.cache \
       -o -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache/apt -o -path /var/cache/debconf \
       -o -path /var/log -o -path /var/cache/man -o -path /var/cache/ldconfig \) -prune \
       -o -printf '%p|%y %m %u:%g %l\n' | LC_ALL=C sort >"$1"
}
# The paths that differ between two lists, as "+ line" and "- line",
# without those another package owns (its files changed meanwhile).
differences() {
  local line path owner
  LC_ALL=C comm -3 "$1" "$2" | while IFS= read -r line; do
    case "$line" in $'\t'*) line="+ ${line#$'\t'}" ;; *) line="- $line" ;; esac
    path=${line#? }; path=${path%%|*}
    owner=$(dpkg-query -S "$path" 2>/dev/null | sed -n '1s/: .*//p' || true)
    if [ -n "$owner" ] && [ "$owner" != "$pkg" ]; then echo "$line   (of $owner)" >>"$scratch/others"; continue; fi
    echo "$line"
  done
}
accounts() { cat /etc/passwd /etc/group /etc/shadow /etc/gshadow 2>/dev/null | sha256sum | cut -d' ' -f1; }

echo "== dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
DEBIAN_FRONTEND=noninteractive apt-get satisfy -y -qq --no-install-recommends "$depends" >"$scratch/apt.log" 2>&1 ||
  { cat "$scratch/apt.log"; echo "check-install: cannot install the dependencies" >&2; exit 1; }
grep -E '^(Setting up|Unpacking) ' "$scratch/apt.log" || echo "(all present)"

snapshot "$scratch/before"
accounts_before=$(accounts)
echo "== dpkg -i $(basename "$deb")"
installed=1
dpkg -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; problem "dpkg -i"; exit 1; }
echo "group: $(getent group qor)"
snapshot "$scratch/installed"
echo "== installed (outside the package's own files)"
# With /lib a link to /usr/lib, find names the package's /lib files there.
dpkg-query -L "$pkg" | sed 'p; s|^/lib/|/usr/lib/|' | LC_ALL=C sort -u >"$scratch/owned"
differences "$scratch/before" "$scratch/installed" | while IFS= read -r line; do
  path=${line#? }; path=${path%%|*}
  grep -qxF "$path" "$scratch/owned" || echo "$line"
done

echo "== using it"
unshare --mount --fork "$0" --exercise "$scratch" "$member_uid" "$stranger_uid" || problem "using the installed package"
echo "running now: $(package_processes | xargs -r ps -o comm= -p | sort | uniq -c | xargs)"

echo "== dpkg -r $pkg"
started=$(date +%s.%N)
dpkg -r "$pkg" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; problem "dpkg -r"; }
printf 'dpkg -r took %.1f s\n' "$(echo "$(date +%s.%N) - $started" | bc)"
left=$(package_processes)
if [ -n "$left" ]; then
  problem "processes of the package outlived its removal:"
  ps -o pid,user,args -p "$(echo "$left" | paste -sd,)" || true
else
  echo "ok   no process of the package is left"
fi
end_leftovers
snapshot "$scratch/removed"
echo "-- left after remove (compared with before the install):"
differences "$scratch/before" "$scratch/removed" | tee "$scratch/removed.diff"
# The configuration: conffiles and systemd's record of the socket's
# enablement (kept until purge, as for every package, so that a reinstall
# keeps what the administrator chose).
if grep -v -E '^[+-] (/var/lib/qor[/|]|/etc/|/var/lib/systemd/deb-systemd-helper-)' "$scratch/removed.diff" | grep -q .; then
  problem "files outside /var/lib/qor and the configuration are left after remove"
fi

echo "== dpkg -P $pkg"
dpkg -P "$pkg" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; problem "dpkg -P"; }
snapshot "$scratch/purged"
echo "-- left after purge (compared with before the install):"
differences "$scratch/before" "$scratch/purged" | tee "$scratch/purged.diff"
[ -s "$scratch/purged.diff" ] && problem "purge leaves files behind"
getent group qor >/dev/null && problem "the group qor outlived the purge"
[ "$(accounts)" = "$accounts_before" ] || problem "the user database differs from before the install"
[ -s "$scratch/purged.diff" ] || [ $status != 0 ] || echo "ok   the machine's file list equals the one from before"
if [ -s "$scratch/others" ]; then
  echo "-- changed meanwhile, owned by other packages (not counted):"
  sort -u "$scratch/others"
fi
[ $status = 0 ] && echo "== all holds" || echo "== problems found"
exit $status

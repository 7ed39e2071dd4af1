#!/usr/bin/env bash
# The two-user part of scripts/check-package.sh, run inside a private mount
# namespace: ROOT is the unpacked package, SCRATCH a folder for the rest.
set -euo pipefail
[ -n "${QOR_CHECK_TRACE:-}" ] && set -x
root=$1 scratch=$2
. "$(dirname "$0")/private-cupsd.sh"
lib=$root/usr/lib/qor bin=$root/usr/bin
# -n: no record in /run/mount, which is the machine's, not the namespace's.
mount -n --make-rprivate /
# A scratch user database: the group qor, a member, a stranger.
cp /etc/passwd /etc/group "$scratch/"
# As postinst does, lp (the user CUPS runs the backend as) is a member too.
if getent passwd lp >/dev/null; then echo "qor:x:1990:qormember,lp" >>"$scratch/group"
else echo "qor:x:1990:qormember" >>"$scratch/group"; fi
echo "qormember:x:1991:" >>"$scratch/group"
echo "qorstranger:x:1992:" >>"$scratch/group"
echo "qormember:x:1991:1991::$scratch/home-m:/bin/sh" >>"$scratch/passwd"
echo "qorstranger:x:1992:1992::$scratch/home-s:/bin/sh" >>"$scratch/passwd"
mount -n --bind "$scratch/passwd" /etc/passwd
mount -n --bind "$scratch/group" /etc/group
install -d -o 1991 -g 1991 "$scratch/home-m"
install -d "$scratch/home-root"
export HOME=$scratch/home-root  # no per-user set-up of the administrator's
install -d -o 1992 -g 1992 "$scratch/home-s"

# The system places in the scratch folder, made as tmpfiles and postinst make them.
export QOR_SYSTEM_ROOT=$scratch/var/lib/qor QOR_SYSTEM_RUNTIME_DIR=$scratch/run/qor QOR_GROUP=qor
unset QOR_ROOT QOR_RUNTIME_DIR QOR_MODE XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME
install -d -m 2750 -g qor "$QOR_SYSTEM_ROOT"
install -d -m 0755 "$QOR_SYSTEM_RUNTIME_DIR" "$QOR_SYSTEM_ROOT/spool/drivers/w32x86/3"
install -d -m 2770 -g qor "$QOR_SYSTEM_RUNTIME_DIR/objects"
for f in "$root"/usr/share/qor/drivers/*.ppd "$lib"/QORKPDN5.so "$lib"/QORCPDN7.so "$lib"/QORCPUN7.so \
         "$lib"/QORZEMLM.so "$lib"/QORLM2K.so; do
  ln -s "$f" "$QOR_SYSTEM_ROOT/spool/drivers/w32x86/3/$(basename "$f")"
done
sock=$QOR_SYSTEM_RUNTIME_DIR/qorspoold.sock

pids=()
# Every process running a program of the unpacked package, also those the
# programs started (a spooler started on demand): what prerm ends.
end_package_processes() {
  local exe target
  for exe in /proc/[0-9]*/exe; do
    target=$(readlink "$exe" 2>/dev/null) || continue
    case "$target" in "$lib"/*) kill -TERM "$(basename "$(dirname "$exe")")" 2>/dev/null || true ;; esac
  done
}
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  end_package_processes
}
trap cleanup EXIT

# The emulator, reachable by the spooler only.
emu=$scratch/emu
install -d -m 0700 "$emu"
QOR_ROOT=$emu QOR_RUNTIME_DIR=$emu "$bin/qoremu" --socket "$emu/zemd.sock" --control "$emu/zemd.ctl" \
    --tickets "$emu/tickets" --state none >"$emu/log" 2>&1 &
pids+=($!)
# Socket activation as systemd does it: the manager keeps the listening
# socket and starts the spooler whenever a call comes while it is not
# running (systemd-socket-activate starts a program only once).
python3 - "$sock" "$lib/qorspoold" --system --idle 2 --retry 200 >"$scratch/spooler.log" 2>&1 <<'MANAGER' &
import os, select, socket, sys
path, argv = sys.argv[1], sys.argv[2:]
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.bind(path)
os.chmod(path, 0o666)  # SocketMode=0666 of the unit
s.listen(64)
while True:
    select.select([s], [], [])
    pid = os.fork()
    if pid == 0:
        if s.fileno() != 3:
            os.dup2(s.fileno(), 3)
        os.set_inheritable(3, True)
        os.environ["LISTEN_FDS"] = "1"
        os.environ["LISTEN_PID"] = str(os.getpid())
        os.execv(argv[0], argv)
    os.waitpid(pid, 0)
MANAGER
pids+=($!)
for _ in $(seq 200); do [ -S "$sock" ] && [ -S "$emu/zemd.sock" ] && break; sleep 0.05; done
started() { pgrep -f -x "$lib/qorspoold --system --idle 2 --retry 200" >/dev/null; }
started && { echo "FAIL: the spooler ran before any call"; exit 1; }

as() { local who=$1; shift; setpriv --reuid="$who" --regid="$who" --init-groups env HOME="$scratch/home-${who#qor}" "$@"; }
log=$scratch/commands.log
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1"; echo "--- output:"; tail -5 "$log"; exit 1; }
# expect DESCRIPTION [!] COMMAND...: the command succeeds (fails with !).
expect() {
  local what=$1; shift
  local want=0
  if [ "$1" = "!" ]; then want=1; shift; fi
  local got=0
  "$@" >"$log" 2>&1 || got=1
  [ $got = $want ] && pass "$what" || fail "$what"
}
# expect_output DESCRIPTION PATTERN COMMAND...: its output holds PATTERN.
expect_output() {
  local what=$1 pattern=$2; shift 2
  "$@" >"$log" 2>&1 || true
  grep -qi -- "$pattern" "$log" && pass "$what" || fail "$what"
}

printer="QOR ZEM-Dx10P"
expect "the administrator registers the monitor (the first call starts the spooler)" \
  "$bin/qorctl" add-monitor "QOR ZEM-D Monitor" QORZEMLM.so
expect "the spooler was started by that call" started
expect "the administrator adds driver, port and printer" bash -c "
  '$bin/qorctl' add-driver '$printer' QORKPDN5.so --data qorn5001.ppd --config QORCPUN7.so --monitor 'QOR ZEM-D Monitor' &&
  '$bin/qorctl' configure-port COM1 --device 'emu:$emu/zemd.sock' --settings 38400,n,8,1,p &&
  '$bin/qorctl' add-printer '$printer' COM1 '$printer'"

expect_output "the member sees the printer" "^$printer" as qormember "$bin/qorctl" printers
expect "the member prints" as qormember "$bin/qorprint" -P "$printer" "$root/usr/share/qor/examples/receipt.txt"
for _ in $(seq 400); do [ -e "$emu/tickets/ticket-0001.png" ] && break; sleep 0.05; done
expect "the member's ticket came out" test -e "$emu/tickets/ticket-0001.png"

expect_output "the stranger is refused with access denied" "access is denied" as qorstranger "$bin/qorctl" printers
expect "the stranger gets no status" ! as qorstranger "$bin/qorcil" status -P "$printer"
expect "the stranger cannot open the named blocks" ! as qorstranger ls "$QOR_SYSTEM_RUNTIME_DIR/objects"
# CUPS: a queue on the system spooler, whose backend prints as lp (the
# scheduler starts it as root, and it becomes lp with lp's groups, qor among
# them, which the scheduler itself would not give it). The scheduler is
# private (configuration, spool and socket in the scratch folder) and runs
# the system's filters and the package's backend through the link CUPS
# would find in /usr/lib/cups/backend.
if have_cups; then
  # The system places are in the scratch folder: the backend is told so
  # (installed, it finds /var/lib/qor and /run/qor by itself).
  start_private_cupsd "$scratch/cups" "$root/usr/lib/cups/backend/qor" \
    "QOR_SYSTEM_ROOT=$QOR_SYSTEM_ROOT" "QOR_SYSTEM_RUNTIME_DIR=$QOR_SYSTEM_RUNTIME_DIR"
  pids+=("$cupsd_pid")
  cups=$scratch/cups
  queue=QOR_ZEM-Dx10P
  expect "the administrator makes the CUPS queue on the system spooler" "$bin/qorctl" cups-add "$printer"
  expect_output "its device URI names the printer, not a per-user spooler" "device for $queue: qor://QOR%20ZEM-Dx10P\$" \
    lpstat -v "$queue"
  expect "the member submits a job through lp" \
    as qormember lp -d "$queue" -o media=58x297mm "$root/usr/share/qor/examples/receipt.txt"
  for _ in $(seq 1200); do [ -e "$emu/tickets/ticket-0002.png" ] && break; sleep 0.05; done
  expect "the CUPS job's ticket came out" test -e "$emu/tickets/ticket-0002.png"
  for _ in $(seq 200); do lpstat -o "$queue" 2>/dev/null | grep -q . || break; sleep 0.05; done
  expect "and the CUPS job completed" bash -c "lpstat -W completed -o '$queue' | grep -q '^$queue-1 '"
  expect_output "the backend printed as lp" '\[Job 1\] printing on the system spooler as lp$' \
    grep -a 'printing on the system spooler' "$cups/log/error_log"
else
  echo "skip CUPS (needs cupsd, cups-filters and the user lp)"
fi

# QORCIL opens its printer with every right: prnaccess grants them.
expect "before prnaccess the member may not pause the printer" ! as qormember "$bin/qorctl" pause "$printer"
expect "nor open a QORCIL session on it" ! as qormember "$bin/qorcil" status -P "$printer"
"$lib/prnaccess"
expect "after prnaccess the member queries status with qorcil" as qormember "$bin/qorcil" status -P "$printer"
expect "and may pause the printer" as qormember "$bin/qorctl" pause "$printer"
expect "and resume it" as qormember "$bin/qorctl" resume "$printer"

# A serial adapter pulled in the middle of a job and plugged back: the
# emulator's terminal and its name go away and come back.
serial=$scratch/serial
install -d -m 0700 "$serial"
QOR_ROOT=$serial QOR_RUNTIME_DIR=$serial "$bin/qoremu" --no-socket --pty --pty-link "$serial/ttyZEM0" \
    --control "$serial/zemd.ctl" --tickets "$serial/tickets" --state none --print-speed 20 --rx-buffer 2048 \
    >"$serial/log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -e "$serial/ttyZEM0" ] && break; sleep 0.05; done
emu_command() { QOR_ROOT=$serial QOR_RUNTIME_DIR=$serial "$bin/qoremu" --control "$serial/zemd.ctl" --command "$1"; }
rx_bytes() { emu_command stats | sed -n 's/^rx-bytes //p'; }
tickets_of() { ls "$serial/tickets" 2>/dev/null | grep -c '\.png$' || true; }
wait_tickets() { for _ in $(seq 1200); do [ "$(tickets_of)" -ge "$1" ] && return 0; sleep 0.05; done; return 1; }
# The members' windowed programs hear of printer changes through their own
# sockets in the shared window folder: a listener of the member's as such a
# program binds it (uid-pid.sock, 0600), told by root that "devices" changed.
listen=$scratch/home-m/windows-listener  # the member writes what it heard
cat >"$listen.py" <<'LISTENER'
import os, socket, struct, sys
folder, out = sys.argv[1], sys.argv[2]
path = "%s/%d-%d.sock" % (folder, os.getuid(), os.getpid())
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_PASSCRED, 1)
s.bind(path)
os.chmod(path, 0o600)
open(out + ".ready", "w").close()
s.settimeout(30)
data, ancillary, _, _ = s.recvmsg(4096, socket.CMSG_SPACE(12))
uid = [struct.unpack("iII", d[:12])[1] for level, kind, d in ancillary
       if level == socket.SOL_SOCKET and kind == socket.SCM_CREDENTIALS]
message = struct.unpack_from("<I", data, 16)[0]
open(out, "w").write("from %s message %#x %s\n" % (uid, message, data[40:].decode("utf-16-le")))
os.unlink(path)
LISTENER
as qormember python3 "$listen.py" "$QOR_SYSTEM_RUNTIME_DIR/windows" "$listen.out" >"$listen.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -e "$listen.out.ready" ] && break; sleep 0.05; done
expect "a stranger cannot listen in the shared window folder" ! as qorstranger python3 -c "
import socket, sys; socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM).bind(sys.argv[1] + '/1992-1.sock')" \
  "$QOR_SYSTEM_RUNTIME_DIR/windows"
"$bin/qorctl" configure-port COM2 --device "$serial/ttyZEM0" --settings 38400,n,8,1 >/dev/null
"$bin/qorctl" add-printer "Kiosk serial" COM2 "$printer" >/dev/null
for _ in $(seq 200); do [ -s "$listen.out" ] && break; sleep 0.05; done
expect_output "a new printer reaches the member's window socket as WM_SETTINGCHANGE \"devices\" from root" \
  "^from \[0\] message 0x1a devices$" cat "$listen.out" "$listen.log"
# A tall raster ticket (ESC @, GS v 0 of 48 x 1200, GS V 0): far more than
# the line and the printer's buffer hold, so it is mid-way when pulled.
job=$serial/tall-ticket.bin
python3 -c '
import sys
rows = 1200
data = bytes((0xF0 >> (y // 40 % 4)) if x % 6 < 3 else (y * 7 + x) & 0xFF for y in range(rows) for x in range(48))
sys.stdout.buffer.write(b"\x1b@\x1dv0\x00" + bytes([48, 0, rows & 0xFF, rows >> 8]) + data + b"\x1dV\x00")' >"$job"
expect "a ticket printed on the serial printer without a fault" bash -c "
  '$bin/qorctl' print 'Kiosk serial' '$job' && until [ -e '$serial/tickets/ticket-0001.png' ]; do sleep 0.05; done"
base=$(rx_bytes)  # one job's bytes, about
"$bin/qorctl" print "Kiosk serial" "$job" >/dev/null
# Pulled when the printer has taken 40 % of the job.
for _ in $(seq 600); do [ $(( ($(rx_bytes) - base) * 5 )) -gt $(( base * 2 )) ] && break; sleep 0.05; done
emu_command "disconnect 1500" >/dev/null
expect "the adapter's name is gone" ! test -e "$serial/ttyZEM0"
for _ in $(seq 100); do "$bin/qorctl" printers | grep -q "no answer" && break; sleep 0.02; done
expect_output "qorctl printers shows the disconnect" "no answer" "$bin/qorctl" printers
wait_tickets 3 || true
for _ in $(seq 400); do "$bin/qorctl" jobs "Kiosk serial" | grep -q . || break; sleep 0.05; done
expect "after the re-plug the job printed whole once, after the partial ticket cut off" test "$(tickets_of)" = 3
expect "its ticket is the one printed without the fault" cmp -s "$serial/tickets/ticket-0001.png" "$serial/tickets/ticket-0003.png"
expect "the name is the emulator's link again, never a file" test -L "$serial/ttyZEM0"

for _ in $(seq 200); do started || break; sleep 0.05; done
expect "the spooler ends when idle" ! started
expect_output "the next call starts it again with its printer" "^$printer" as qormember "$bin/qorctl" printers
expect "so it runs again" started

# Removing: what prerm does ends every program of the package.
for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
wait 2>/dev/null || true
pids=()
end_package_processes
sleep 0.5
expect "no process of the package is left" ! bash -c "ls -l /proc/[0-9]*/exe 2>/dev/null | grep -q '$lib/'"
echo "== the spooler's files"
find "$QOR_SYSTEM_ROOT" "$QOR_SYSTEM_RUNTIME_DIR" -maxdepth 3 -printf '%M %u:%g %p\n' | sed "s|$scratch|SCRATCH|"

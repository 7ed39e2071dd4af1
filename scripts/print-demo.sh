#!/usr/bin/env bash
# The printing demonstration: installs what is missing, builds, starts the
# print service and the printer emulator, installs the demo printer
# "QOR ZEM-Dx10P" (ZEM-D driver, language monitor, COM1 on the emulator's
# socket) and prints the example documents in data/examples/. Safe to run
# again: what is already there is reused.
#
#   scripts/print-demo.sh            build, set up, print
#   scripts/print-demo.sh --no-build use the build folder as it is
#   (QOR_BUILD_DIR names another build folder than build/)
#
# Places: $QOR_ROOT (default ~/.local/share/qor) and $QOR_RUNTIME_DIR
# (default $XDG_RUNTIME_DIR/qor), the same the suite's tools use, so they
# find the printer afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$top/build}
# What the demonstration runs: the service, the tools, the emulator and the
# driver modules; the tests and benchmarks are left for scripts/test.sh.
programs=(qorspoold qorctl qoremu qorprint QORSM status)
modules=(QORKPDN5 QORCPDN7 QORCPUN7 compstui QORZEMLM QORLM2K)
if [ "${1:-}" != "--no-build" ]; then
  "$top/scripts/install-deps.sh"
  echo "print-demo: building ${programs[*]} ${modules[*]}"
  QOR_BUILD_TARGETS="${programs[*]} ${modules[*]}" "$top/scripts/build.sh" default
fi
bin=$build/bin
for program in "${programs[@]}" "${modules[@]/%/.so}"; do
  [ -e "$bin/$program" ] || { echo "print-demo: $bin/$program is missing; build first" >&2; exit 1; }
done

root=${QOR_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/qor}
if [ -n "${QOR_RUNTIME_DIR:-}" ]; then runtime=$QOR_RUNTIME_DIR
elif [ -n "${XDG_RUNTIME_DIR:-}" ]; then runtime=$XDG_RUNTIME_DIR/qor
else runtime=/tmp/qor-$(id -u); fi
export QOR_ROOT=$root QOR_RUNTIME_DIR=$runtime
mkdir -p "$root" "$runtime"
chmod 700 "$runtime"

printer="QOR ZEM-Dx10P"
tickets=$root/qoremu/tickets
socket=$runtime/qoremu/zemd.sock
control=$runtime/qoremu/zemd.ctl
ctl() { "$bin/qorctl" "$@"; }
emu() { printf '%s\n' "$1" | socat -t 5 - "UNIX-CONNECT:$control"; }

# The emulator: a 58 mm ZEM-D510x, left running for the tools.
if ! emu "settings" >/dev/null 2>&1; then
  mkdir -p "$tickets" "$runtime/qoremu"
  nohup "$bin/qoremu" --model D510x --tickets "$tickets" >"$runtime/qoremu/qoremu.log" 2>&1 &
  echo "print-demo: emulator started (pid $!, log $runtime/qoremu/qoremu.log)"
  for _ in $(seq 100); do [ -S "$socket" ] && break; sleep 0.1; done
  [ -S "$socket" ] || { echo "print-demo: the emulator did not start; see its log" >&2; exit 1; }
fi

# The service starts on the first call.
ctl start >/dev/null

# Driver files in the driver folder's 3 subfolder: the rendering driver loads
# the spooler-side driver from there by the description's Name=.
drivers=$root/spool/drivers/w32x86/3
mkdir -p "$drivers"
for file in "$bin/QORKPDN5.so" "$bin/QORCPDN7.so" "$bin/QORCPUN7.so" "$bin/QORZEMLM.so" "$bin/QORLM2K.so" \
            "$top/data/qorn5001.ppd" "$top/data/qorn5002.ppd"; do
  ln -sfn "$file" "$drivers/$(basename "$file")"
done
ctl monitors | grep -q "^QOR ZEM-D Monitor " ||
  ctl add-monitor "QOR ZEM-D Monitor" QORZEMLM.so >/dev/null
ctl drivers | grep -q "QOR ZEM-Dx10P" ||
  ctl add-driver "QOR ZEM-Dx10P" QORKPDN5.so --data qorn5001.ppd --config QORCPUN7.so \
      --monitor "QOR ZEM-D Monitor" >/dev/null
# The line settings the emulator's factory setting bytes hold (byte 3 C8:
# 38400 bps, no parity, 8 bits, one stop bit, BUSY flow control), so the
# setup tool's host port test agrees with the printer.
ctl configure-port COM1 --device "emu:$socket" --settings 38400,n,8,1,p >/dev/null
ctl printers | grep -q "^$printer " || ctl add-printer "$printer" COM1 "QOR ZEM-Dx10P" >/dev/null
ctl set-printer "$printer" +local +bidi >/dev/null
echo "print-demo: printer \"$printer\" on COM1 -> emulator ($socket)"
# The status monitor, ready to start: it runs once `status` has chosen what
# to announce (scripts/install-monitor.sh --remove takes it away).
QOR_BUILD_DIR=$build "$top/scripts/install-monitor.sh" "$printer"

before=$(emu tickets | grep -c 'ticket-' || true)
print() { "$bin/qorprint" -P "$printer" "$@"; }
examples=$top/data/examples
echo "print-demo: a receipt in the printer's own 24-dot font"
print --paper 258 --device-font 24 --mode standard --cut full "$examples/receipt.txt"
for method in threshold clustered dispersed patterns diffusion; do
  echo "print-demo: an image, dithering: $method"
  print --paper 257 --device-font none --dither "$method" --title "sphere ($method)" "$examples/sphere.png"
done
echo "print-demo: a landscape page in page mode"
print --paper 257 --orientation landscape --mode page --device-font 24 "$examples/landscape.txt"

# Wait until the queue is empty and the seven tickets are out of the printer.
expected=$((before + 7))
for _ in $(seq 600); do
  count=$(emu tickets | grep -c 'ticket-' || true)
  [ "$count" -ge "$expected" ] && break
  sleep 0.2
done
echo
ctl printers
echo
# The emulator's own view, in words: its conditions, whether it prints and
# whether a ticket waits in the presenter (the raw status bytes are left out).
echo "The printer's condition (emulator):"
emu status | grep -E '^(conditions|printing|presenter) ' | sed 's/^\([a-z]*\) /  \1: /'
echo
echo "Tickets (PNG, 203 dpi) in $tickets:"
emu tickets | grep 'ticket-' | tail -n $((count - before)) | sed 's/^/  /'
[ "$count" -ge "$expected" ] || { echo "print-demo: only $((count - before)) of 7 tickets arrived" >&2; exit 1; }

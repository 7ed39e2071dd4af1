#!/usr/bin/env bash
# Writes a man page for every command on the PATH of a staged installation,
# from the program's own --help and --version (help2man); a windowed program
# without --help gets a page from man/descriptions.txt.
#   packaging/make-manpages.sh STAGE VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$1 version=$2
out=$stage/usr/share/man/man1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

describe() { grep "^$1|" "$here/man/descriptions.txt" | cut -d'|' -f"$2"; }

for link in "$stage"/usr/bin/*; do
  command=$(basename "$link")
  program=$stage/usr/lib/qor/$(basename "$(readlink "$link")")
  name=$(describe "$command" 2)
  [ -n "$name" ] || { echo "make-manpages: no description of $command in man/descriptions.txt" >&2; exit 1; }
  # help2man runs the program by the command's name; windowed programs
  # must not wait for a display. A windowed program without --help starts
  # for real: its places are in the scratch folder, and it may not start a
  # spooler (which would outlive the build and write the builder's home).
  runner=$work/$command
  printf '#!/bin/sh\nexec env QT_QPA_PLATFORM=offscreen QOR_ROOT="%s" QOR_RUNTIME_DIR="%s" QOR_SPOOLER_NO_AUTOSTART=1 timeout 10 "%s" "$@" </dev/null\n' \
    "$work/root" "$work/run" "$program" >"$runner"
  chmod +x "$runner"
  if "$runner" --help 2>/dev/null | grep -qi '^usage:'; then
    help2man --no-info --no-discard-stderr --section=1 --name="$name" \
      --version-string="$version" --source="QOR ZEM-D suite $version" \
      --output="$out/$command.1" "$runner"
  else
    what=$(describe "$command" 3)
    cat >"$out/$command.1" <<PAGE
.TH ${command^^} 1 "$(date -u +'%B %Y')" "QOR ZEM-D suite $version" "User Commands"
.SH NAME
$command \\- $name
.SH SYNOPSIS
.B $command
.SH DESCRIPTION
.B $command
$what
.PP
The program takes no arguments. It finds the printers through the spooler:
the system-wide one under /run/qor for members of the group qor, or the
user's own.
.SH FILES
.TP
.I /usr/lib/qor/
the programs and modules of the suite
.TP
.I /usr/share/doc/qor-zemd/install.md
installing the suite and the first printer
.SH SEE ALSO
.BR qorctl (1),
.BR qorcil (1)
PAGE
  fi
  gzip -9n "$out/$command.1"
done

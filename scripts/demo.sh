#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the print service
# and the printer emulator, installs the demo printer and prints the example
# documents (see scripts/print-demo.sh for the options it passes on).
set -euo pipefail
exec "$(cd "$(dirname "$0")" && pwd)/print-demo.sh" "$@"

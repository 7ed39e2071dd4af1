#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the demonstration.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" default
export QOR_RUNTIME_DIR=${QOR_RUNTIME_DIR:-$(mktemp -d /tmp/qor-demo.XXXXXX)}
"$top/build/bin/qor-platform-demo"

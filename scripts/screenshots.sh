#!/usr/bin/env bash
# Writes the screenshots of the programs' windows and boxes to
# docs/screenshots/ by running their window tests with QOR_SCREENSHOT_DIR.
#   scripts/screenshots.sh [build folder]   (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
mkdir -p "$top/docs/screenshots"
cd "$build"
QOR_SCREENSHOT_DIR="$top/docs/screenshots" ctest -R "^(StatusWindow|ToolWindow|SheetWindows|UiWinHelp|UiPropertySheets|CustomWindow|FrameTest|MonitorWindowsTest)\." --output-on-failure
ls "$top/docs/screenshots"

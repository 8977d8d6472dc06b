#!/usr/bin/env bash
# The desktop entry and the AppStream metadata pass their validators, the icon sizes are what their
# folders say, and both man pages render without a warning.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
for tool in desktop-file-validate appstreamcli man python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done
app=com.velquorn.Kerfline
status=0

desktop-file-validate "$source/src/app/desktop/$app.desktop" || status=1
appstreamcli validate --no-net "$build/packaging/$app.metainfo.xml" || status=1

python3 - "$build/packaging/icons" "$app" <<'PY' || status=1
import pathlib, struct, sys
folder, app = pathlib.Path(sys.argv[1]), sys.argv[2]
sizes = [16, 24, 32, 48, 64, 128, 256]
bad = 0
for size in sizes:
    png = folder / f"{size}x{size}" / f"{app}.png"
    data = png.read_bytes() if png.exists() else b""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        print(f"{png}: not a PNG"); bad = 1; continue
    width, height = struct.unpack(">II", data[16:24])
    if (width, height) != (size, size):
        print(f"{png}: {width}x{height}"); bad = 1
sys.exit(bad)
PY

for page in kerfline kerfline-cli; do
  file="$build/packaging/man/$page.1"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null || true)
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page(1) renders with warnings:"; echo "$warnings"; status=1
  fi
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -q "^$section" <<<"$text" || { echo "$page(1) has no $section"; status=1; }
  done
done
exit $status

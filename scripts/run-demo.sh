#!/usr/bin/env bash
# Shows the system end to end in the host simulator.
set -euo pipefail
build_dir=${1:-build}
if [[ ! -x "$build_dir/bin/fmhost" ]]; then
  echo "The host simulator is not built yet; no demo to show."
  exit 0
fi
echo "The demo plug-in is not packaged yet."

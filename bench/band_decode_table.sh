#!/usr/bin/env bash
# Runs every point of the band-decode table (5,000 characters each, multimon-ng beside), two
# at a time at low priority, then draws the plot:
#   bench/band_decode_table.sh [BUILD_DIR] [OUT_DIR]
# The rows land in OUT_DIR/rows.txt (default /tmp/cwt-band-table), the plot in
# docs/decoder-accuracy-cer.png, with fldigi's points from docs/decoder-accuracy-fldigi.txt.
# About 15 minutes on two free cores.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-/tmp/cwt-band-table}
bench=$build/bench/engine_band_decode_bench
mkdir -p "$out"
rows=$("$bench" --rows)
seq 1 "$rows" | nice -n 10 xargs -P2 -I{} sh -c "'$bench' --row {} --multimon > '$out/row{}.txt'"
for i in $(seq 1 "$rows"); do grep -E '^(English|Korean) ' "$out/row$i.txt"; done > "$out/rows.txt"
cat "$out/rows.txt"
/usr/bin/python3 "$root/bench/band_decode_plot.py" --out "$root/docs/decoder-accuracy-cer.png" \
    "$out/rows.txt" --fldigi "$root/docs/decoder-accuracy-fldigi.txt"

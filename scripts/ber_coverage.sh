#!/bin/sh
# How often tpcsim's 95% BER and FER intervals cover the truth: one long
# reference run of a small code at one point, then many short runs with
# other seeds; prints the share of short runs whose interval holds the
# reference BER (and FER). Not a unit test: it takes a minute or two.
#
#   scripts/ber_coverage.sh [tpcsim] [seeds] [blocks] [reference blocks]
set -eu
tpcsim=${1:-build/native/tpcsim}
seeds=${2:-200}
blocks=${3:-2000}
reference_blocks=${4:-2000000}
point="--code 16,11x16,11 --ebn0 2.5 --errors 1000000000 --min-ber 0 --quiet"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ber and fer of the last row of a results.csv (columns by name).
value() { awk -F, -v want="$2" 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
                                 { v = $col[want] } END { print v }' "$1"; }

# The reference draws other seeds than the short runs (1 ... seeds).
"$tpcsim" $point --max-blocks "$reference_blocks" --seed 987654321 --out "$work/reference" >/dev/null
ber=$(value "$work/reference/results.csv" ber)
fer=$(value "$work/reference/results.csv" fer)

ber_in=0
fer_in=0
seed=1
while [ "$seed" -le "$seeds" ]; do
    "$tpcsim" $point --max-blocks "$blocks" --seed "$seed" --out "$work/run" >/dev/null
    csv="$work/run/results.csv"
    ber_in=$(awk -v r="$ber" -v lo="$(value "$csv" ber_low95)" -v hi="$(value "$csv" ber_high95)" \
                 -v n="$ber_in" 'BEGIN { print n + (lo <= r && r <= hi) }')
    fer_in=$(awk -v r="$fer" -v lo="$(value "$csv" fer_low95)" -v hi="$(value "$csv" fer_high95)" \
                 -v n="$fer_in" 'BEGIN { print n + (lo <= r && r <= hi) }')
    seed=$((seed + 1))
done
echo "reference over $reference_blocks blocks: BER $ber, FER $fer"
echo "95% BER interval covered it in $ber_in of $seeds runs of $blocks blocks; FER interval in $fer_in"

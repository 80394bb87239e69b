#!/usr/bin/env bash
# tpcsim as a process: exit codes 0 (a sweep), 2 (a bad option, a code the
# nodes refuse), 130 (SIGINT during a sweep), and --min-ber ending a sweep
# after the first point below it. Small codes keep it to a few seconds.
# Usage: scripts/tpcsim_check.sh path/to/tpcsim [runner and its options...]
# The runner (e.g. qemu-i386 for a 32-bit build on a 64-bit-only kernel)
# prefixes every tpcsim call; qemu-user forwards SIGINT to the program.
set -uo pipefail

tpcsim=${1:?usage: tpcsim_check.sh path/to/tpcsim [runner...]}
shift
runner=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
small=(--code 8,4x8,4 --iterations 4 --batch 4 --seed 7 --quiet)
failures=0

fail() { echo "tpcsim_check: FAIL $*"; failures=$((failures + 1)); }
rows() { grep -vc '^#\|Eb/N0' "$1"; }  # table rows on stdout

expect_exit() {  # code, name, then tpcsim options
    local code=$1 name=$2; shift 2
    timeout 60 "${runner[@]}" "$tpcsim" "$@" > "$work/$name.out" 2> "$work/$name.err"
    local got=$?
    [ "$got" = "$code" ] || fail "$name: exit $got, expected $code: $(cat "$work/$name.err")"
}

expect_exit 0 sweep "${small[@]}" --ebn0 0,2 --max-blocks 8 --min-ber 0
[ "$(rows "$work/sweep.out")" = 2 ] || fail "sweep: expected two rows: $(cat "$work/sweep.out")"
expect_exit 2 bad-option --code 8,4x8,4 --iterations 129 --quiet
grep -q -- '--iterations must be between 0 and 128' "$work/bad-option.err" ||
    fail "bad-option: no message"
expect_exit 2 refused-code --nx 64 --kx 60 --quiet  # the node's own message, once
[ "$(grep -c 'Code dimensions must satisfy log2(n) + 1 = n - k' "$work/refused-code.err")" = 1 ] ||
    fail "refused-code: not the node's message: $(cat "$work/refused-code.err")"

# A constellation file that does not hold --points points is refused before anything runs.
printf '4\n0 -1 0\n1 1 0\n2 0 1\n' > "$work/three.txt"
expect_exit 2 short-constellation --constellation "$work/three.txt" --points 4 --quiet
grep -q 'holds 3 points, --points is 4' "$work/short-constellation.err" ||
    fail "short-constellation: no message: $(cat "$work/short-constellation.err")"

# Two runs on one plot, the legend naming what differs; without gnuplot a message and exit 1.
expect_exit 0 run-a "${small[@]}" --ebn0 0,2 --max-blocks 8 --out "$work/a"
expect_exit 0 run-b "${small[@]}" --ebn0 0,2 --max-blocks 8 --selective-stop --out "$work/b"
if command -v gnuplot > /dev/null; then
    expect_exit 0 plot plot "$work/a" "$work/b" -o "$work/both.svg"
    grep -q "selective-stop on" "$work/both.svg" && grep -q "selective-stop off" "$work/both.svg" ||
        fail "plot: no svg with both runs in the legend"
fi
if [ "${#runner[@]}" -eq 0 ]; then
    PATH=/nonexistent "$tpcsim" plot "$work/a" "$work/b" -o "$work/none.png" 2> "$work/no-gnuplot.err"
    got=$?
    [ "$got" = 1 ] && grep -q 'gnuplot is not installed' "$work/no-gnuplot.err" ||
        fail "plot without gnuplot: exit $got: $(cat "$work/no-gnuplot.err")"
fi
expect_exit 2 plot-bad-dir plot "$work/a" "$work/nothing" -o "$work/x.png"
grep -q 'does not hold results.csv and results.json' "$work/plot-bad-dir.err" || fail "plot: bad dir not named"

# BER near 0.4 at -5 dB; none at 10 dB, whose upper bound from 64 blocks (0.057) is below 0.1: the
# sweep ends there, 12 dB never runs.
expect_exit 0 min-ber "${small[@]}" --ebn0 -5,10,12 --max-blocks 64 --min-ber 0.1
[ "$(rows "$work/min-ber.out")" = 2 ] ||
    fail "min-ber: expected rows for -5 and 10 dB only: $(cat "$work/min-ber.out")"

# A sweep that would run for hours, interrupted once its table is under way.
# The handler is set just after the header, and SIGINT is ignored until then
# in a background job: send it until the program ends.
"${runner[@]}" "$tpcsim" "${small[@]}" --ebn0 0 --errors 1000000000 --max-blocks 1000000000 \
    --out "$work/stopped" > "$work/stopped.out" 2> "$work/stopped.err" &
pid=$!
for _ in $(seq 300); do
    grep -q 'Eb/N0' "$work/stopped.out" && break
    sleep 0.1
done
for _ in $(seq 150); do
    kill -INT "$pid" 2> /dev/null || break
    sleep 0.2
done
kill -KILL "$pid" 2> /dev/null
wait "$pid"
got=$?
if [ "${#runner[@]}" -gt 0 ] && grep -q '^qemu: uncaught target signal 6' "$work/stopped.err"; then
    # qemu-i386 7.2 fails a 32-bit guest's futex wait that a handled signal
    # interrupts (a plain program that waits on a condition variable aborts
    # the same way), so this check needs a kernel that runs 32-bit code.
    echo "tpcsim_check: SIGINT not checked: the emulator aborted the program on the signal"
else
    [ "$got" = 130 ] || fail "SIGINT: exit $got, expected 130: $(cat "$work/stopped.err")"
    grep -q '"interrupted": true' "$work/stopped/results.json" ||
        fail "SIGINT: results.json not marked interrupted"
fi

echo "tpcsim_check: $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# tpcsim as a process: exit codes 0 (a sweep), 2 (a bad option, a code the
# nodes refuse, an output directory that cannot be made), 130 and 143
# (SIGINT, SIGTERM during a sweep) with the files of finished points kept,
# --resume, a closed standard output, and --min-ber ending a sweep after the
# first point below it, the plots of several pass counts. Small codes keep
# it to a few seconds.
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

# qemu-i386 7.2 fails a 32-bit guest's futex wait that a handled signal
# interrupts (a plain program that waits on a condition variable aborts the
# same way), so the signal checks need a kernel that runs 32-bit code.
emulator_aborted() { [ "${#runner[@]}" -gt 0 ] && grep -q '^qemu: uncaught target signal 6' "$1"; }

expect_exit() {  # code, name, then tpcsim options; seconds=N to wait less than a minute
    local code=$1 name=$2; shift 2
    timeout "${seconds:-60}" "${runner[@]}" "$tpcsim" "$@" > "$work/$name.out" 2> "$work/$name.err"
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

# Files that never end are refused at once, not read until memory runs out.
seconds=10 expect_exit 2 endless-constellation --constellation /dev/zero --points 16 --quiet
grep -q 'constellation file "/dev/zero" is longer than' "$work/endless-constellation.err" ||
    fail "endless-constellation: no message: $(cat "$work/endless-constellation.err")"
seconds=10 expect_exit 2 endless-config --config /dev/zero
grep -q 'the config file is longer than' "$work/endless-config.err" ||
    fail "endless-config: no message: $(cat "$work/endless-config.err")"

# Two runs on one plot, the legend naming what differs; without gnuplot a message and exit 1.
expect_exit 0 run-a "${small[@]}" --ebn0 0,2 --max-blocks 8 --out "$work/a"
expect_exit 0 run-b "${small[@]}" --ebn0 0,2 --max-blocks 8 --selective-stop --out "$work/b"
if command -v gnuplot > /dev/null; then
    expect_exit 0 plot plot "$work/a" "$work/b" -o "$work/both.svg"
    grep -q "selective-stop on" "$work/both.svg" && grep -q "selective-stop off" "$work/both.svg" ||
        fail "plot: no svg with both runs in the legend"
    # Labels, title and both ranges (x tick -4 dB and y tick 10^-9 lie outside the curves' own ranges), the FER alone.
    expect_exit 0 plot-options plot "$work/a=run A" "$work/b=run B" -o "$work/options.svg" --title "A & B" \
        --ebn0-range -4:8 --ber-range 1e-9:0.1 --fer
    for text in '>run A<' '>run B<' '>A &amp; B<' '>frame error rate<' 'sans" >-4<' '>-9<'; do
        grep -q "$text" "$work/options.svg" || fail "plot-options: $text not in the svg"
    done
    # Several pass counts: a curve per count, and one per point against the passes, from the run and from plot.
    expect_exit 0 passes --code 8,4x8,4 --iterations 8,2 --batch 4 --seed 7 --quiet --ebn0 0,2 --max-blocks 8 \
        --min-ber 0 --out "$work/passes"
    expect_exit 0 plot-passes plot "$work/passes" -o "$work/passes-plot.svg"
    for svg in passes/ber.svg passes-plot.svg; do
        grep -q '[> ]2 passes<' "$work/$svg" && grep -q '[> ]8 passes<' "$work/$svg" || fail "passes: $svg lacks a count"
    done
    for svg in passes/passes.svg passes-plot-passes.svg; do
        grep -q '0.00 dB<' "$work/$svg" && grep -q '2.00 dB<' "$work/$svg" || fail "passes: $svg lacks a point"
    done
    if gnuplot -e 'set terminal pdfcairo' > /dev/null 2>&1; then
        expect_exit 0 plot-pdf plot "$work/a" "$work/b" -o "$work/both.pdf"
        [ "$(head -c 4 "$work/both.pdf")" = "%PDF" ] || fail "plot-pdf: no PDF written"
    else
        expect_exit 1 plot-pdf plot "$work/a" "$work/b" -o "$work/both.pdf"
        grep -q 'no PDF terminal' "$work/plot-pdf.err" || fail "plot-pdf: no message: $(cat "$work/plot-pdf.err")"
    fi
fi
expect_exit 2 plot-bad-range plot "$work/a" --ebn0-range 3:1 -o "$work/x.png"
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
if emulator_aborted "$work/stopped.err"; then
    echo "tpcsim_check: SIGINT not checked: the emulator aborted the program on the signal"
else
    [ "$got" = 130 ] || fail "SIGINT: exit $got, expected 130: $(cat "$work/stopped.err")"
    grep -q '"interrupted": true' "$work/stopped/results.json" ||
        fail "SIGINT: results.json not marked interrupted"
fi

# The files of finished points survive SIGTERM: once (the running unit ends,
# the plot is made) and twice (at once, with units of a million blocks).
# -5 dB ends on its 10 block errors at once; 12 dB would run for ever.
endless=(--code 8,4x8,4 --iterations 4 --seed 7 --quiet --ebn0 -5,12 --errors 10 --max-blocks 1000000000)
for signals in 1 2; do
    dir="$work/term$signals"
    batch=4
    [ "$signals" = 2 ] && batch=100000
    "${runner[@]}" "$tpcsim" "${endless[@]}" --batch "$batch" --out "$dir" > "$dir.out" 2> "$dir.err" &
    pid=$!
    for _ in $(seq 300); do
        [ "$(rows "$dir.out")" = 1 ] && break
        sleep 0.1
    done
    for _ in $(seq "$signals"); do kill -TERM "$pid"; sleep 0.05; done
    wait "$pid"
    got=$?
    if emulator_aborted "$dir.err"; then
        echo "tpcsim_check: SIGTERM x$signals not checked: the emulator aborted the program on the signal"
        continue
    fi
    [ "$got" = 143 ] || fail "SIGTERM x$signals: exit $got, expected 143: $(cat "$dir.err")"
    if [ "$signals" = 2 ] && grep -q 'is dropped' "$dir.err"; then
        fail "SIGTERM x2: waited for the running unit instead of exiting at once"
    fi
    [ "$(grep -c '^-5.0000,' "$dir/results.csv")" = 1 ] ||
        fail "SIGTERM x$signals: the finished point is not in results.csv: $(cat "$dir/results.csv")"
done
emulator_aborted "$work/term1.err" || grep -q 'stopping after the running work unit' "$work/term1.err" ||
    fail "SIGTERM: not said"

# --resume keeps the finished points and runs the new one, whose counts are
# those of the same point run alone.
expect_exit 0 first "${small[@]}" --ebn0 0,2 --max-blocks 64 --out "$work/sweep"
expect_exit 0 resumed "${small[@]}" --ebn0 0,1,2 --max-blocks 64 --resume "$work/sweep"
[ "$(grep -c '(kept)' "$work/resumed.out")" = 2 ] || fail "resume: two points kept: $(cat "$work/resumed.out")"
expect_exit 0 alone "${small[@]}" --ebn0 1 --max-blocks 64 --out "$work/alone"
counts() { grep "^$1," "$2" | cut -d, -f3-5,9; }
[ -n "$(counts 1.0000 "$work/alone/results.csv")" ] &&
    [ "$(counts 1.0000 "$work/alone/results.csv")" = "$(counts 1.0000 "$work/sweep/results.csv")" ] ||
    fail "resume: 1 dB in the sweep differs from 1 dB alone"
expect_exit 2 other-config --code 8,4x8,4 --iterations 5 --batch 4 --seed 7 --quiet --ebn0 3 --resume "$work/sweep"
grep -q "iterations: 5 here, 4 there" "$work/other-config.err" ||
    fail "resume: another configuration not named: $(cat "$work/other-config.err")"

# A raised --max-blocks continues a point whose blocks fill its units and runs
# again, saying so, one whose last unit was cut at a limit the batch does not divide.
loud=(--code 8,4x8,4 --iterations 4 --batch 4 --seed 7 --errors 100000)
expect_exit 0 whole "${loud[@]}" --ebn0 5 --max-blocks 32 --out "$work/whole"
expect_exit 0 cut "${loud[@]}" --ebn0 5 --max-blocks 30 --out "$work/cut"
expect_exit 0 whole-raised "${loud[@]}" --ebn0 5 --max-blocks 64 --resume "$work/whole"
expect_exit 0 cut-raised "${loud[@]}" --ebn0 5 --max-blocks 64 --resume "$work/cut"
grep -q 'runs again' "$work/whole-raised.err" && fail "resume: a whole point said to run again"
grep -q '5.00 dB runs again from block 0: its last work unit was cut at 30 blocks, not a multiple of --batch 4' \
    "$work/cut-raised.err" || fail "resume: a cut point run again unsaid: $(cat "$work/cut-raised.err")"
[ "$(counts 5.0000 "$work/whole/results.csv")" = "$(counts 5.0000 "$work/cut/results.csv")" ] ||
    fail "resume: a cut point's counts differ from a whole one's"

touch "$work/afile"
expect_exit 2 unwritable "${small[@]}" --out "$work/afile/sub"
# A closed standard output loses the rows, never the files.
"${runner[@]}" "$tpcsim" "${small[@]}" --ebn0 0,1,2 --max-blocks 64 --out "$work/piped" | head -1 > /dev/null
[ "$(grep -c '^[0-9]' "$work/piped/results.csv")" = 3 ] || fail "closed stdout: results.csv incomplete"

# Two runs of one configuration merged: every point once.
expect_exit 0 merge merge "$work/sweep" "$work/alone" -o "$work/merged"
[ "$(grep -c "^[0-9]" "$work/merged/results.csv")" = 3 ] || fail "merge: expected 3 points"
[ "$(rows "$work/merge.out")" = 3 ] || fail "merge: expected its table of 3 rows: $(cat "$work/merge.out")"
expect_exit 2 merge-other merge "$work/sweep" "$work/term1" -o "$work/merged2"

echo "tpcsim_check: $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Runs a small sweep with 2 and 3 MPI ranks on this machine and checks that
# the counts equal those of one process with the same seed, under an error
# count stop rule and under a fixed block count, and that only rank 0 writes.
# Usage: scripts/mpi_check.sh path/to/tpcsim [mpirun]
set -euo pipefail

tpcsim=${1:?usage: mpi_check.sh path/to/tpcsim [mpirun]}
mpirun=${2:-mpirun}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# mpirun refuses root unless told; tests run as root in containers.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
# Loopback only: shared memory between the ranks, no network interface probing.
export OMPI_MCA_btl=self,vader OMPI_MCA_btl_vader_single_copy_mechanism=none
export OMPI_MCA_rmaps_base_oversubscribe=1

small=(--code 8,4x8,4 --ebn0 0:4:1 --batch 4 --seed 20261206 --min-ber 0 --quiet)
rules_errors=(--errors 25 --max-blocks 4000)
rules_blocks=(--errors 1000000000 --max-blocks 1003)
failures=0

# The counts of results.csv without the timing columns (seconds, Mbit/s).
counts() { cut -d, -f1-10 "$1/results.csv"; }

run_one() {  # name, then tpcsim options
    local name=$1; shift
    timeout 120 "$tpcsim" "$@" --out "$work/$name" > "$work/$name.out"
}

run_ranks() {  # name, ranks, then tpcsim options
    local name=$1 ranks=$2; shift 2
    timeout 120 "$mpirun" --oversubscribe --allow-run-as-root -np "$ranks" \
        "$tpcsim" "$@" --out "$work/$name" > "$work/$name.out"
}

compare() {  # reference name, name
    local ref=$1 name=$2
    if ! diff <(counts "$work/$ref") <(counts "$work/$name") > "$work/$name.diff"; then
        echo "mpi_check: FAIL $name differs from $ref (seed 20261206):"
        cat "$work/$name.diff"
        failures=$((failures + 1))
        return
    fi
    local headers rows
    headers=$(grep -c '^# tpcsim' "$work/$name.out" || true)
    rows=$(grep -vc '^#\|Eb/N0' "$work/$name.out" || true)
    if [ "$headers" != 1 ] || [ "$rows" != "$(($(counts "$work/$ref" | wc -l) - 1))" ]; then
        echo "mpi_check: FAIL $name: expected one header and one row per point on stdout" \
            "(rank 0 only):"
        cat "$work/$name.out"
        failures=$((failures + 1))
        return
    fi
    echo "mpi_check: ok   $name ($(($(counts "$work/$name" | wc -l) - 1)) points)"
}

for rule in errors blocks; do
    declare -n rules="rules_$rule"
    run_one "$rule-1x1" "${small[@]}" "${rules[@]}" --threads 1
    for layout in "2 1" "3 1" "2 2" "3 2"; do
        read -r ranks threads <<< "$layout"
        name="$rule-${ranks}x$threads"
        run_ranks "$name" "$ranks" "${small[@]}" "${rules[@]}" --threads "$threads"
        compare "$rule-1x1" "$name"
    done
    unset -n rules
done

# The stop rules must have done their work: some point ended on errors
# before max-blocks, and every point of the fixed rule ran exactly 1003 blocks.
ended_on_errors='NR > 1 && $3 < 4000 && $9 >= 25 { found = 1 } END { exit !found }'
if ! counts "$work/errors-1x1" | awk -F, "$ended_on_errors"; then
    echo "mpi_check: FAIL no point ended on the error count; the check would not test that rule"
    failures=$((failures + 1))
fi
if ! counts "$work/blocks-1x1" | awk -F, 'NR > 1 && $3 != 1003 { bad = 1 } END { exit bad }'; then
    echo "mpi_check: FAIL a point of the fixed rule did not run 1003 blocks"
    failures=$((failures + 1))
fi

echo "mpi_check: $((8 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]

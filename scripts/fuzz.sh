#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer), replays the
# kept regression inputs, writes seed corpora with our own writer, then fuzzes every target at
# once for the given number of seconds (default 60). A finding stops the run with its input
# saved under build/fuzz/findings/.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$(nproc)"

bin=build/fuzz/fuzz
work=build/fuzz/run
rm -rf "$work"
mkdir -p "$work" build/fuzz/findings
"$bin/fuzz_seeds" "$work/seeds"

targets=(unzip project_json load_report zone_file)
for t in "${targets[@]}"; do
    if compgen -G "fuzz/regressions/$t/*" > /dev/null; then
        "$bin/fuzz_$t" fuzz/regressions/"$t"/* > "$work/replay-$t.log" 2>&1 ||
            { cat "$work/replay-$t.log"; echo "fuzz: a kept input of $t fails again"; exit 1; }
    fi
done

pids=()
for t in "${targets[@]}"; do
    mkdir -p "$work/corpus-$t"
    "$bin/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1048576 -timeout=30 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$t-" \
        "$work/corpus-$t" "$work/seeds/$t" > "$work/fuzz-$t.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    if ! wait "${pids[$i]}"; then
        failed=1
        echo "fuzz: ${targets[$i]} found a failure:"
        tail -40 "$work/fuzz-${targets[$i]}.log"
    else
        echo "fuzz: ${targets[$i]}: $(grep -m1 '^stat::number_of_executed_units' "$work/fuzz-${targets[$i]}.log" || true)"
    fi
done
exit $failed

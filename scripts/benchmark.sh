#!/usr/bin/env bash
# Builds the release benchmarks, times processBlock (48 kHz, stereo, 512-sample blocks, every
# band in use) on one core, and prints per configuration the CPU time one second of audio
# costs, the real-time factor and the speed-up over the plain per-sample reference measured
# in the same run; automated rows also show their cost over the static figure. Each figure is
# the best of five repetitions. TARVOLEN_BENCHMARK_CORE picks the core (default 1); extra
# arguments go to the benchmark program, for example --benchmark_filter=Oversampled.
#
# A second table follows: how long restoring each crafted saved block takes, and whether it
# was restored or refused. With --restore-only first, only that table is made, and extra
# arguments go to its program instead, for example --benchmark_filter=-distinct to skip the
# blocks that took tens of seconds before the reader drew its lines.
set -euo pipefail
cd "$(dirname "$0")/.."

restore_only=false
if [ "${1:-}" = "--restore-only" ]; then restore_only=true; shift; fi

./scripts/install-deps.sh

cmake --preset release
cmake --build --preset release --target TarvolenEQBenchmarks TarvolenEQStateRestoreBenchmarks

pin=()
if command -v taskset > /dev/null; then pin=(taskset -c "${TARVOLEN_BENCHMARK_CORE:-1}"); fi

results=$(mktemp)
trap 'rm -f "$results"' EXIT

# Each crafted block once: the slow ones run a set number of times, the others as long as the
# library needs for a steady figure. Rows are "StateRestore/<block>", labelled "restored" or
# "refused" and the block's size in bytes.
restore_table() {
    "${pin[@]}" build/release/TarvolenEQStateRestoreBenchmarks --benchmark_format=csv "$@" > "$results"

    echo
    awk -F, '
        NR == 1 { for (i = 1; i <= NF; ++i) column[$i] = i; next }
        {
            name = $1; gsub (/"/, "", name); sub (/^StateRestore\//, "", name); sub (/\/iterations:[0-9]+$/, "", name)
            label = $column["label"]; gsub (/"/, "", label); split (label, outcome, " ")
            ms = $column["cpu_time"]
            if ($column["time_unit"] == "us") ms /= 1000
            if ($column["time_unit"] == "ns") ms /= 1000000
            if ($column["time_unit"] == "s") ms *= 1000
            if (! header++) printf "%-42s %12s %14s  %s\n", "block", "bytes", "ms per restore", "restored or refused"
            printf "%-42s %12d %14.3f  %s\n", name, outcome[2], ms, outcome[1]
        }' "$results"
}

if $restore_only; then
    restore_table "$@"
    exit 0
fi

# Repetitions are interleaved at random, so a spell of load from elsewhere spoils single runs
# of several configurations rather than every run of one.
"${pin[@]}" build/release/TarvolenEQBenchmarks --benchmark_repetitions=5 --benchmark_min_time=0.3 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_format=csv "$@" > "$results"

# Rows are "Engine|Reference/HostRate|Oversampled/<mode>/Static|Automated_min", with the
# counters cpu_s_per_audio_s and realtime last. The real-time factor is worked out from the
# best CPU time: the minimum of the realtime counter would be the worst run.
awk -F, '
    /_min"/ {
        name = $1; gsub (/"|_min/, "", name); split (name, part, "/")
        cpu[part[1], part[2] "/" part[3] "/" part[4]] = $(NF - 1)
    }
    END {
        printf "%-34s %16s %12s %14s %10s\n", "configuration", "CPU ms/audio s", "x real time", "vs reference", "automation"
        split ("Static Automated", automation, " "); split ("HostRate Oversampled", rate, " ")
        split ("Stereo Sides Mid Left Right", mode, " ")
        for (a = 1; a <= 2; ++a) for (r = 1; r <= 2; ++r) for (m = 1; m <= 5; ++m)
        {
            key = rate[r] "/" mode[m] "/" automation[a]
            if (! (("Engine", key) in cpu)) continue
            label = (r == 1 ? "host rate" : "oversampled x4") ", " mode[m] ", " tolower (automation[a])
            ratio = (("Reference", key) in cpu) ? sprintf ("%.1fx", cpu["Reference", key] / cpu["Engine", key]) : "-"
            static = rate[r] "/" mode[m] "/Static"
            cost = (a == 2 && ("Engine", static) in cpu) \
                       ? sprintf ("%+.1f %%", 100 * (cpu["Engine", key] / cpu["Engine", static] - 1)) : ""
            printf "%-34s %16.3f %12.0f %14s %10s\n", label, 1000 * cpu["Engine", key], 1 / cpu["Engine", key], ratio, cost
        }
    }' "$results"

restore_table

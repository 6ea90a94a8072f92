#!/bin/sh
# Builds the benchmark, generates a collection of 1 000 000 aphorisms in
# 10 000 nodes (kept between runs in $BENCH_DIR), and prints the figures:
# the data layer's timings and, side by side with Last, the sqlite3 shell
# reading the same rows.
#   bench/run.sh [repeats]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
BENCH_DIR=${BENCH_DIR:-$BUILD/bench-data}
REPEATS=${1:-5}
DB=$BENCH_DIR/MAIN.DB

cmake -G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DAFORIZM_BENCH=ON >/dev/null
cmake --build "$BUILD" --target bench_dataset aforizm-db >/dev/null

mkdir -p "$BENCH_DIR"
if [ ! -f "$DB" ]; then
    echo "generating $DB ..."
    "$BUILD/aforizm-db" generate "$DB" --aphorisms 1000000 --nodes 10000 >/dev/null
fi

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "database: $(du -h "$DB" | cut -f1), $(sqlite3 "$DB" 'SELECT count(*) FROM TB4') aphorisms"

# Warm the page cache so that both readers start alike.
cat "$DB" >/dev/null

QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_dataset" "$DB" "$REPEATS"

best=""
i=0
while [ $i -lt "$REPEATS" ]; do
    start=$(date +%s%N)
    sqlite3 "$DB" '.mode list' 'SELECT * FROM TB4' >/dev/null
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    best="$best $ms"
    i=$((i + 1))
done
median=$(echo $best | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "sqlite3_shell_select_all $median ms"

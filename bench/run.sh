#!/bin/sh
# Builds the benchmark, generates a collection of 1 000 000 aphorisms in
# 10 000 nodes (kept between runs in $BENCH_DIR), and prints the figures:
# the data layer's timings and, in turns with Last, the sqlite3 shell reading
# the same rows.
#   bench/run.sh [repeats]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
BENCH_DIR=${BENCH_DIR:-$BUILD/bench-data}
REPEATS=${1:-5}
DB=$BENCH_DIR/MAIN.DB

cmake -G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DAFORIZM_BENCH=ON >/dev/null
cmake --build "$BUILD" --target bench_dataset bench_mainwindow aforizm-db >/dev/null

mkdir -p "$BENCH_DIR"
if [ ! -f "$DB" ]; then
    echo "generating $DB ..."
    "$BUILD/aforizm-db" generate "$DB" --aphorisms 1000000 --nodes 10000 >/dev/null
fi

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "database: $(du -h "$DB" | cut -f1), $(sqlite3 "$DB" 'SELECT count(*) FROM TB4') aphorisms"

# Warm the page cache so that both readers start alike; bench_dataset runs
# the sqlite3 shell in turns with its own Last.
cat "$DB" >/dev/null

QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_dataset" "$DB" "$REPEATS"

echo "main window:"
QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_mainwindow" "$DB"

#!/usr/bin/env bash
# Builds the program and the database tool in build/, makes the sample
# collection build/MAIN.DB from Debian's fortunes-ru if there is no collection
# there yet (an existing MAIN.DB is never touched), and starts the program.
#
# Without a display it prepares everything and says how to start the program;
# with AFORIZM_XVFB=1 it runs the program under a virtual X server instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

BUILD=build
cmake -G Ninja -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "${AFORIZM_JOBS:-2}" --target aforizm-db

targets=$(ninja -C "$BUILD" -t targets all)
if ! grep -q '^aforizm: ' <<<"$targets"; then
    echo "run: the program target 'aforizm' is not in this tree yet (app/main.cpp);" \
        "the database tool is built: $BUILD/aforizm-db" >&2
    exit 1
fi
cmake --build "$BUILD" -j "${AFORIZM_JOBS:-2}" --target aforizm

if [[ -e "$BUILD/MAIN.DB" ]]; then
    echo "run: using the existing collection $BUILD/MAIN.DB" >&2
else
    echo "run: making the sample collection $BUILD/MAIN.DB from fortunes-ru" >&2
    "$BUILD/aforizm-db" sample "$BUILD/MAIN.DB"
fi

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$BUILD/aforizm"
elif [[ "${AFORIZM_XVFB:-}" == 1 ]]; then
    echo "run: no display; starting the program under xvfb-run" >&2
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD/aforizm"
else
    cat >&2 <<MSG
run: everything is ready, but there is no display (DISPLAY and WAYLAND_DISPLAY
are unset), so the program was not started. Start it from a desktop session:
    $PWD/$BUILD/aforizm
or under a virtual X server:
    AFORIZM_XVFB=1 bash scripts/run.sh
MSG
fi

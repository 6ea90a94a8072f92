#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the
# program need. This list is the one place that names them. Quiet and quick
# when everything is already there; otherwise one apt-get update and one
# install. Meant for Debian 12; runs as root, or through sudo when available.
set -euo pipefail

PACKAGES=(
    # compiler and build
    build-essential cmake ninja-build pkg-config clang-format
    # libraries
    qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev libfluidsynth-dev libicu-dev
    # the sqlite3 shell, the About window's soundfont, the sample collection's source
    sqlite3 timgm6mb-soundfont fortunes-ru
    # opening an exported file in its application (xdg-open)
    xdg-utils
    # headless display and desktop helpers used by tests and run.sh
    xvfb xauth xdotool xclip imagemagick
    # fonts and icons
    fonts-liberation fonts-dejavu-core fonts-wine tango-icon-theme
)

missing=()
for package in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "installed" ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup: missing packages (${missing[*]}) and neither root nor sudo;" \
        "install them and run again" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done" >&2

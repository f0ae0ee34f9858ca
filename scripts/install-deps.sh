#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, with apt-get, whatever Quorvane needs to build, test and run that is
# not on this Debian 12 machine yet. Does nothing when everything is there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    # The statistics window's charts; Qt Charts' CMake package needs Qt OpenGL's.
    qt6-charts-dev libqt6opengl6-dev
    libqt6sql6-sqlite libqt6sql6-odbc libsqlite3-dev sqlite3
    unixodbc unixodbc-dev tdsodbc freetds-bin
    libqt6sql6-psql libpq-dev postgresql postgresql-common
    poppler-utils xvfb xauth
    desktop-file-utils appstream
    # cpack -G DEB asks `file` which installed files are programs and
    # dpkg-shlibdeps (dpkg-dev) which packages give their libraries; the
    # install test asks xdg-mime (through File::MimeInfo, as on a desktop
    # without one of its own) what kind of file a register is.
    file dpkg-dev shared-mime-info xdg-utils libfile-mimeinfo-perl
    mdbtools-dev mdbtools
    dbus-daemon at-spi2-core python3-pyatspi
    fonts-dejavu-core fonts-liberation
    # The command line's completion is tried with bash-completion's helpers.
    bash-completion
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

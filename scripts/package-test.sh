#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and tries it as a user would get it: installs it
# with apt on a clean Debian 12 root (debootstrap into build-debroot/, entered
# with chroot), starts the installed program offscreen until its main window
# and the first start's message are shown, opens an older register named on
# the command line, then purges the package and what apt pulled in with it and
# checks that /usr is as it was before.
#
# Needs root and Debian's archive, and takes some minutes: run it after
# changing what is installed or packaged (dist/, install() rules, libraries
# or plugins the program uses), not in every CI run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_DIR:-$root/build}"
work="${QV_DEBROOT_DIR:-$root/build-debroot}"
mirror="${QV_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
chroot_dir="$work/root"

if [ "$(id -u)" -ne 0 ]; then
    echo "package-test: run as root (debootstrap and chroot need it)" >&2
    exit 2
fi
"$root/scripts/install-deps.sh"
if ! command -v debootstrap > /dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
fi

echo "== Building the package"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/quorvane_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls "$build"/quorvane_*.deb)
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

mounted=()
cleanup() {
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
}
trap cleanup EXIT

echo "== A clean Debian 12 root in $chroot_dir"
rm -rf "$chroot_dir"
mkdir -p "$work"
debootstrap --variant=minbase bookworm "$chroot_dir" "$mirror" > "$work/debootstrap.log"
cat > "$chroot_dir/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
SOURCES
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
mount -t proc proc "$chroot_dir/proc" && mounted+=("$chroot_dir/proc")
mount --bind /dev "$chroot_dir/dev" && mounted+=("$chroot_dir/dev")

# An older register to name on the command line: a generated one without the
# column the start-up upgrade adds, so opening it shows the upgrade notice.
"$build/bench/bench_memberlists" --generate "$chroot_dir/root/Club.mdb" 50 > /dev/null
sqlite3 "$chroot_dir/root/Club.mdb" "ALTER TABLE DatesJoined DROP COLUMN MembershipNo"
cp "$deb" "$chroot_dir/tmp/"

cat > "$chroot_dir/tmp/check.sh" <<'CHECK'
#!/bin/bash
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
fail() { echo "FAILED: $*"; exit 1; }

# Starts the installed program offscreen with arguments "$@" and a fresh home,
# waits until its window log shows $want, then ends it.
run_until() {
    local want=$1; shift
    rm -rf /root/home && mkdir -p /root/home
    HOME=/root/home QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="quorvane.windows.info=true" \
        quorvane "$@" > /tmp/run.log 2>&1 &
    local pid=$! i
    for i in $(seq 1 300); do
        grep -qF "$want" /tmp/run.log && break
        kill -0 $pid 2> /dev/null || break
        sleep 0.1
    done
    kill $pid 2> /dev/null || true
    wait $pid 2> /dev/null || true
    grep '^quorvane.windows' /tmp/run.log || true
    grep -qF "$want" /tmp/run.log || { cat /tmp/run.log; fail "no '$want'"; }
}

apt-get update -qq
find /usr -xdev | sort > /tmp/usr-before
cd /tmp
echo "== apt install ./$(basename /tmp/quorvane_*.deb)"
apt install -y ./quorvane_*.deb > /tmp/install.log 2>&1 || { tail -20 /tmp/install.log; fail "install"; }
echo "installed: $(dpkg-query -W -f='${Package} ${Version}' quorvane), $(grep -c '^Setting up' /tmp/install.log) packages set up"
dpkg -L quorvane | sort > /tmp/quorvane-files

echo "== Without a display"
env -u DISPLAY -u WAYLAND_DISPLAY quorvane --help > /tmp/help.txt 2>&1 || { cat /tmp/help.txt; fail "quorvane --help"; }
grep -q -- '--import OLD.mdb NEW.mdb' /tmp/help.txt || fail "--help does not list --import"
env -u DISPLAY -u WAYLAND_DISPLAY quorvane --version
grep -q "^License: GPL-3.0+$" /usr/share/doc/quorvane/copyright || fail "no copyright file"
gzip -t /usr/share/man/man1/quorvane.1.gz || fail "manual page"

echo "== First start"
run_until 'shown QMessageBox "Quorvane" "The database file could not be found."'
grep -q 'shown TfrmMain "Quorvane"' /tmp/run.log || fail "main window not shown"
[ -z "$(find /root/home -type f)" ] || fail "a first start wrote $(find /root/home -type f)"

echo "== Register on the command line"
run_until 'has now been updated for this latest version!' /root/Club.mdb
grep -q 'could not be found\|problem opening' /tmp/run.log && fail "the register was not opened"
[ -z "$(find /root/home -name '*.ini')" ] || fail "settings written: $(find /root/home -name '*.ini')"

echo "== Removal"
apt purge -y quorvane > /tmp/remove.log 2>&1 || { cat /tmp/remove.log; fail "purge"; }
left=""
while read -r f; do
    if [ "$f" != /. ] && [ ! -d "$f" ] && [ -e "$f" ]; then left+=" $f"; fi
done < /tmp/quorvane-files
[ -z "$left" ] || fail "files of the package left:$left"
echo "removed: none of its $(grep -c . /tmp/quorvane-files) paths left but shared folders"
# What apt pulled in goes too; packages of the base system that merely
# recommend one of them do not keep it.
apt autoremove --purge -y -o APT::AutoRemove::RecommendsImportant=false \
    -o APT::AutoRemove::SuggestsImportant=false >> /tmp/remove.log 2>&1 ||
    { cat /tmp/remove.log; fail "autoremove"; }
echo "autoremoved: $(grep -c '^Removing' /tmp/remove.log) packages"
find /usr -xdev | sort > /tmp/usr-after
if ! diff /tmp/usr-before /tmp/usr-after > /tmp/usr-diff; then
    cat /tmp/usr-diff
    fail "/usr differs from before the install"
fi
echo "/usr is as before the install ($(wc -l < /tmp/usr-after) entries)"
echo "PASSED"
CHECK
chmod +x "$chroot_dir/tmp/check.sh"
echo "== In the chroot"
chroot "$chroot_dir" /tmp/check.sh

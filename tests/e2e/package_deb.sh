#!/usr/bin/env bash
# The Debian package: cpack -G DEB builds it from the build folder and lintian finds no error and
# no warning in it; apt-get installs it with its dependencies, it puts the program on PATH, a link
# to it where screen-saver hosts look for hacks (which xscreensaver runs and which draws the
# kaleidoscope), the man page, the copyright, the changelog, the settings dialog's description and
# MATE's theme entry where they belong (the entry valid, its program in the folder MATE's screen
# saver runs themes from), the idle watcher's user unit (valid, not enabled), and lumivex-gl --help
# then works from PATH. The package is removed again at the end. Installing needs root: skipped
# otherwise, and skipped when lumivex-gl is installed already (that installation is left alone).
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
build=${LUMIVEX_BUILD_DIR:?the build folder}
skip() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
! dpkg -s lumivex-gl >/dev/null 2>&1 || skip "lumivex-gl is installed already"

(cd "$build" && cpack -G DEB -B "$E2E_TMP/package") >"$E2E_TMP/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$E2E_TMP/cpack.log")"
deb=$(ls "$E2E_TMP"/package/lumivex-gl_*.deb)
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh)"
lintian --fail-on none "$deb" >"$E2E_TMP/lintian.out" 2>"$E2E_TMP/lintian.err" ||
    fail "lintian failed: $(cat "$E2E_TMP/lintian.err")"
! grep -E '^[EW]: ' "$E2E_TMP/lintian.out" || fail "lintian found the errors and warnings above"

remove_package() {
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge -o DPkg::Lock::Timeout=300 \
        lumivex-gl >>"$E2E_TMP/apt.log" 2>&1 || true
}
trap 'remove_package; e2e_cleanup' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "$deb" >"$E2E_TMP/apt.log" 2>&1 ||
    fail "apt-get could not install $(basename "$deb"): $(tail -5 "$E2E_TMP/apt.log")"

hack=/usr/libexec/xscreensaver/lumivex-gl
theme=/usr/share/applications/screensavers/lumivex-gl.desktop
unit=/usr/lib/systemd/user/lumivex-gl-idle.service
for file in /usr/bin/lumivex-gl $hack /usr/share/man/man1/lumivex-gl.1.gz \
    /usr/share/doc/lumivex-gl/copyright /usr/share/doc/lumivex-gl/changelog.gz \
    /usr/share/xscreensaver/config/lumivex-gl.xml $theme $unit; do
    dpkg -L lumivex-gl | grep -qx "$file" && [ -s "$file" ] || fail "the package did not install $file"
done
[ -L $hack ] && [ "$(readlink -f $hack)" = /usr/bin/lumivex-gl ] ||
    fail "$hack is not a link to /usr/bin/lumivex-gl"
report=$(desktop-file-validate --no-hints $theme 2>&1) && [ -z "$report" ] || fail "$theme: $report"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' $theme)
[ "$(dirname "$hack")/$program" = $hack ] ||
    fail "MATE's screen saver would not find '$program' of $theme"
# The idle watcher's unit as a user's systemd reads it, left for the user to enable.
report=$(systemd-analyze --user verify $unit 2>&1) || fail "$unit: $report"
[ -z "$(find /etc/systemd/user -name "$(basename $unit)" 2>/dev/null)" ] || fail "the package enabled $unit"
rc=0
env -i PATH=/usr/local/bin:/usr/bin:/bin lumivex-gl --help >"$E2E_TMP/help.out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] && grep -q -- '--window-id' "$E2E_TMP/help.out" ||
    fail "lumivex-gl --help from PATH ended with $rc: $(cat "$E2E_TMP/help.out")"

start_xvfb 640x480
HOST_HACK=$hack start_host xscreensaver
host_as xscreensaver-command -activate || fail "xscreensaver-command -activate failed"
wait_for_hacks 1
hack_pid=$(hack_pids)
wait_for_symmetric "$E2E_TMP/hosted.png"
host_as xscreensaver-command -deactivate || fail "xscreensaver-command -deactivate failed"
poll_until 5 hack_ended "$hack_pid" || fail "the hack still runs 5 s after unblanking"
[ "$(hack_status "$hack_pid")" -eq 0 ] || fail "the hack ended with $(hack_status "$hack_pid")"
stop_host

remove_package
! dpkg -s lumivex-gl >/dev/null 2>&1 || fail "the package could not be removed"
[ ! -e /usr/bin/lumivex-gl ] || fail "removing the package left /usr/bin/lumivex-gl"
echo "PASS"

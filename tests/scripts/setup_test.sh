#!/usr/bin/env bash
# scripts/setup against a fake package manager: an archive whose update fails for an index, an
# x86 part that cannot be installed, a base install that fails, and a machine where all works.
set -uo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $case_name: $*"; failures=$((failures + 1)); }

# The fakes record their calls in $work/calls and keep the installed packages in $work/installed.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_STATE/calls"
case " $* " in
  *" update "*)
    n=$(grep -c '^apt-get .*update' "$FAKE_STATE/calls")
    if [ "$n" -le "${FAKE_UPDATE_FAILURES:-0}" ]; then
      echo "Err:6 http://archive.invalid/debian-security bookworm-security/main i386 Packages"
      echo "E: Some index files failed to download."
      exit 100
    fi ;;
  *" install "*)
    for p in "$@"; do
      case $p in -*|install|bookworm-backports) continue ;; esac
      if [ -n "${FAKE_INSTALL_FAILS-}" ] && [ "$p" = "$FAKE_INSTALL_FAILS" ]; then
        echo "E: Unable to correct problems, you have held broken packages."; exit 100
      fi
      echo "$p" >>"$FAKE_STATE/installed"
    done ;;
esac
FAKE
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
grep -qx "${!#}" "$FAKE_STATE/installed" 2>/dev/null && echo "install ok installed"
FAKE
cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE_STATE/calls"
[ "$1" = --print-foreign-architectures ] && grep -qx i386 "$FAKE_STATE/calls.arch" 2>/dev/null && echo i386
[ "$1" = --add-architecture ] && echo i386 >"$FAKE_STATE/calls.arch"
exit 0
FAKE
printf '#!/bin/sh\necho " 500 http://archive.invalid/debian bookworm/main amd64 Packages"\n' >"$work/bin/apt-cache"
printf '#!/bin/sh\necho "qemu-i386 version 7.2.0"\n' >"$work/bin/qemu-i386-static"
printf '#!/bin/sh\n"$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/mount"
# The kernel makes the entry once the registration is written.
printf '#!/bin/sh\ncat >"$1"\ncase $1 in */register) touch "${1%%/*}/qemu-i386" ;; esac\n' >"$work/bin/tee"
chmod +x "$work/bin"/*

run_setup() {
  case_name=$1; shift
  export FAKE_STATE=$work/$case_name
  mkdir -p "$FAKE_STATE/binfmt" "$FAKE_STATE/sources"
  : >"$FAKE_STATE/binfmt/register"
  echo VERSION_CODENAME=bookworm >"$FAKE_STATE/os-release"
  output=$(env "$@" PATH="$work/bin:$PATH" TIDEWIRE_BINFMT_DIR="$FAKE_STATE/binfmt" \
    TIDEWIRE_APT_SOURCES_DIR="$FAKE_STATE/sources" TIDEWIRE_OS_RELEASE="$FAKE_STATE/os-release" \
    TIDEWIRE_SETUP_RETRY_PAUSE=0 bash "$setup" 2>&1)
  status=$?
}
expect_line() { grep -qF -- "$1" <<<"$output" || fail "no line \"$1\" in: $output"; }
expect_installed() { grep -qx "$1" "$FAKE_STATE/installed" || fail "$1 not installed"; }

run_setup damaged_index FAKE_UPDATE_FAILURES=99 FAKE_INSTALL_FAILS=wine32:i386
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$(grep -c 'apt-get .*update' "$FAKE_STATE/calls")" -ge 3 ] || fail "update not tried again"
expect_line "setup: apt-get update could not fetch bookworm-security/main i386 Packages; going on with the lists that were fetched"
expect_line "setup: 32-bit Wine could not be installed: the package index bookworm-security/main i386 Packages could not be fetched; the x86 tests are skipped and the demo runs the x64 build"
expect_installed wine64
expect_installed cmake
[ ! -s "$FAKE_STATE/binfmt/register" ] || fail "binfmt registered without 32-bit Wine"

run_setup x86_refused FAKE_INSTALL_FAILS=wine32:i386
[ "$status" -eq 0 ] || fail "exit status $status"
expect_line "setup: 32-bit Wine could not be installed: Unable to correct problems, you have held broken packages.; the x86 tests are skipped"

run_setup base_refused FAKE_INSTALL_FAILS=cmake
[ "$status" -ne 0 ] || fail "a failed base install ended with status 0"

run_setup healthy FAKE_UPDATE_FAILURES=1
[ "$status" -eq 0 ] || fail "exit status $status"
grep -q 'could not' <<<"$output" && fail "a failure reported: $output"
expect_installed wine32:i386
grep -q 'install .*-t bookworm-backports qemu-user-static' "$FAKE_STATE/calls" || fail "no qemu from backports"
grep -q 'bookworm-backports main' "$FAKE_STATE/sources/tidewire-backports.list" || fail "no backports list"
grep -q ':qemu-i386:M::' "$FAKE_STATE/binfmt/register" || fail "no binfmt registration"

[ "$failures" -eq 0 ] && echo "setup script: all cases passed"
exit $((failures > 0))

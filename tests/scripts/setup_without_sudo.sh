#!/bin/bash
# scripts/setup run by a user who is neither root nor has sudo, with packages
# missing: one line on standard error naming the packages and how to install
# them, a failing exit status, and no attempt at apt-get.
# Usage: setup_without_sudo.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1
bin=$2/setup-without-sudo-bin
rm -rf "$bin"
mkdir -p "$bin"

# A PATH holding only what setup needs, without sudo: an ordinary user's id,
# a dpkg that knows no package, and an apt-get that must not be reached.
printf '#!/bin/sh\necho 1000\n' >"$bin/id"
printf '#!/bin/sh\nexit 1\n' >"$bin/dpkg-query"
printf '#!/bin/sh\necho apt-get was called >&2\nexit 99\n' >"$bin/apt-get"
chmod +x "$bin"/*
ln -s "$(command -v grep)" "$bin/grep"

status=0
PATH=$bin /bin/bash "$source_dir/scripts/setup" </dev/null >"$bin/out" 2>"$bin/err" || status=$?

fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$bin/out"; echo "--- stderr"; cat "$bin/err"; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
[ ! -s "$bin/out" ] || fail "wrote to standard output"
[ "$(wc -l <"$bin/err")" -eq 1 ] || fail "not one line on standard error"
grep -q "apt-get install .*qt6-base-dev .*libqt6opengl6-dev" "$bin/err" || fail "packages not named"
grep -q "as root" "$bin/err" || fail "does not say how"
echo "ok: $(cat "$bin/err")"

#!/usr/bin/env bash
# Runs the command-line tests with every vesk process under valgrind memcheck: any invalid access
# or definite or indirect leak fails that vesk run (status 99), and so the test.
# The suppressions hold only faults inside system libraries. Paths must not contain blanks.
# Usage: tests/cli/valgrind-cli.sh BUILD_DIR [gtest options...]
set -euo pipefail
build=${1:?usage: tests/cli/valgrind-cli.sh BUILD_DIR [gtest options...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
tests=$build/tests/cli/cli_tests
vesk=$build/host/vesk
[ -x "$tests" ] && [ -x "$vesk" ] || { echo "valgrind-cli: build cli_tests and vesk in $build first" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "valgrind-cli: valgrind is not installed" >&2; exit 2; }

export VESK_BINARY=$(cd "$(dirname "$vesk")" && pwd)/vesk
export VESK_WRAPPER="valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
--show-leak-kinds=definite,indirect --suppressions=$here/valgrind.supp"
exec "$tests" "$@"

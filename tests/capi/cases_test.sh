#!/usr/bin/env bash
# Every case of the Windows case file through the C interface, in a
# scratch folder. usage: cases_test.sh CAPI_EXPECTED CAPI_CASES
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$1" >cases.txt 2>/dev/null
"$2" cases.txt "$3"

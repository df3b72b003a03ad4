#!/usr/bin/env bash
# The generated manual of the commands matches the tool's help.
set -u
: "${QUILLFERN:?}" "${QUILLFERN_SOURCE:?}"
"$QUILLFERN_SOURCE/scripts/make_docs.sh" "$QUILLFERN" --check

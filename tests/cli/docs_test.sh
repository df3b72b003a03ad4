#!/usr/bin/env bash
# The generated manuals (docs/commands.md, quillfern(1)) and the bash
# completion match the tool's help.
set -u
: "${QUILLFERN:?}" "${QUILLFERN_SOURCE:?}"
"$QUILLFERN_SOURCE/scripts/make_docs.sh" "$QUILLFERN" --check
status=$?

# The completion offers the commands and each command's options.
# shellcheck source=/dev/null
source "$QUILLFERN_SOURCE/docs/quillfern.bash"
complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=(); _quillfern; echo "${COMPREPLY[*]}"; }
[ "$(complete_words quillfern decr)" = "decrypt-password" ] || { echo "completion of 'decr': $(complete_words quillfern decr)" >&2; status=1; }
[ "$(complete_words quillfern convert --out)" = "--output --out-format" ] || { echo "completion of 'convert --out': $(complete_words quillfern convert --out)" >&2; status=1; }
# The manual page is one that man can lay out.
if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww "$QUILLFERN_SOURCE/docs/quillfern.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "quillfern.1: $warnings" >&2; status=1; }
fi
exit $status

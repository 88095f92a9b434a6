#!/usr/bin/env bash
# The saver as the end-to-end helpers start it: LMVXSVGL.SCR under Wine, with the arguments given.
# LUMIVEX_WINEDEBUG, when set, gives the saver (only) Wine debug channels, for looking into a failure.
[ -z "${LUMIVEX_WINEDEBUG:-}" ] || export WINEDEBUG="$LUMIVEX_WINEDEBUG"
exec wine "$LUMIVEX_SCR" "$@"

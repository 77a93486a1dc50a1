#!/usr/bin/env bash
# Fails when an include points up a layer: from the core into the windows or the command line
# (or Qt), or from the core's lowest helpers into the subsystems that build on them.
set -u
src=${1:-$(dirname "$0")/../src}
status=0
report() {
    if [ -n "$2" ]; then
        printf '%s\n%s\n' "$1" "$2"
        status=1
    fi
}
report "The core includes window, command-line or Qt headers:" \
    "$(grep -rnE '#include[[:space:]]*([<"](gui|cli)/|<Q[A-Za-z])' "$src/core")"
report "core/platform includes a subsystem of the core:" \
    "$(grep -rnE '#include[[:space:]]*"core/(cipher|documents|store)/' "$src/core/platform")"
report "The command-line twin includes window headers:" \
    "$(grep -rnE '#include[[:space:]]*([<"]gui/|<Q[A-Za-z])' "$src/cli")"
[ $status -eq 0 ] && echo "layers: includes point down only"
exit $status

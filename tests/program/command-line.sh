#!/usr/bin/env bash
# Runs the built program with "--version" and "--help" where no display can be reached and with an
# empty settings folder: each prints its text at once and ends with success, whatever other
# arguments stand beside it, and the settings folder stays empty.
#   command-line.sh PROGRAM VERSION
set -euo pipefail
program=${1:?usage: command-line.sh PROGRAM VERSION}
version=${2:?usage: command-line.sh PROGRAM VERSION}
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
failures=0

# arguments | what the first line of the output must be
while IFS='|' read -r arguments first; do
    # shellcheck disable=SC2086  # the arguments are split on purpose
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= XDG_CONFIG_HOME="$config" \
        timeout 10 "$program" $arguments 2>&1) || {
        echo "FAIL: vantrelle $arguments ended with status $?: $output"
        failures=$((failures + 1))
        continue
    }
    if [ "$(head -n 1 <<<"$output")" != "$first" ]; then
        echo "FAIL: vantrelle $arguments printed: $output"
        failures=$((failures + 1))
    elif [ "$first" != "Vantrelle $version" ] && ! grep -qxF "  $config/Kestrom.ini" <<<"$output"; then
        echo "FAIL: vantrelle $arguments does not name the settings file $config/Kestrom.ini: $output"
        failures=$((failures + 1))
    fi
done <<CASES
--version|Vantrelle $version
--help|Usage: vantrelle [--help | --version]
--ignored --version --help|Vantrelle $version
-x --help --version|Usage: vantrelle [--help | --version]
CASES

if [ -n "$(ls -A "$config")" ]; then
    echo "FAIL: the settings folder is no longer empty: $(ls -A "$config")"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]

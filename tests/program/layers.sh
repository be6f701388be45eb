#!/bin/bash
# The source folders are the program's layers, lowest first:
#   core < db, files < ui < ui/login, ui/main < the program (main.cpp, tools)
# A file may include from its own layer and the ones below, never from above: the core library
# (core, db, files) knows nothing of windows, and of Qt it uses Core and Network only.
# Usage: layers.sh <source folder>
set -u
src=${1:?source folder}
cd "$src" || exit 2

rank() {
    case $1 in
        core) echo 0 ;;
        db | files) echo 1 ;;
        ui) echo 2 ;;
        ui/login | ui/main) echo 3 ;;
        *) echo 4 ;;
    esac
}

# The layer of a path: its folder, ui's two windows counted apart.
layer() {
    case $1 in
        ui/login/* | ui/main/*) echo "${1%/*}" ;;
        */*) echo "${1%%/*}" ;;
        *) echo . ;;
    esac
}

faults=0
while IFS= read -r file; do
    from=$(layer "$file")
    while IFS= read -r line; do
        target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]\([^">]*\)[">].*/\1/p' <<<"$line")
        # Only the program's own folders are ranked; a name without a folder is the file's own
        # neighbour or a generated header of its layer, and other libraries' headers have theirs.
        case ${target%%/*} in core | db | files | ui | tools) ;; *) target= ;; esac
        if [ -n "$target" ] && [ "${target#*/}" != "$target" ] && [ "$(rank "$(layer "$target")")" -gt "$(rank "$from")" ]; then
            echo "$file includes \"$target\" from a layer above its own"
            faults=$((faults + 1))
        fi
        if [ "$(rank "$from")" -lt 2 ] && grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Qt[A-Za-z]*/' <<<"$line" &&
            ! grep -Eq '<Qt(Core|Network)/' <<<"$line"; then
            echo "$file includes${line#*include} from a Qt module beyond Core and Network"
            faults=$((faults + 1))
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' -o -name '*.h.in' | sed 's#^\./##' | sort)

[ "$faults" -eq 0 ] && echo "no include runs from a lower layer to a higher one"
[ "$faults" -eq 0 ]

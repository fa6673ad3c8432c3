#!/bin/bash
# Fails when a source folder includes project code from a folder it does not
# stand on, or climbs out of src/ with "../". The layers, bottom to top:
#   platform, editor, documents  <  commands, dialogs  <  app
# Folders of one layer do not include each other either.
set -u
src="${1:-$(dirname "$0")/../src}"

declare -A allowed=(
    [platform]=""
    [editor]=""
    [documents]=""
    [commands]="platform editor documents"
    [dialogs]="platform editor documents"
    [app]="platform editor documents commands dialogs"
)

status=0
for folder in "${!allowed[@]}"; do
    [ -d "$src/$folder" ] || continue
    while IFS=: read -r file line include; do
        target="${include%%/*}"
        if [ "$target" = "$include" ] || [ "$target" = ".." ] || [ "$target" = "." ]; then
            echo "$file:$line: include \"$include\" is not written from src/"
            status=1
        elif [ "$target" != "$folder" ] && [[ " ${allowed[$folder]} " != *" $target "* ]]; then
            if [ -n "${allowed[$target]+set}" ]; then
                echo "$file:$line: $folder/ must not include $target/ (\"$include\")"
                status=1
            fi
        fi
    done < <(grep -rnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$src/$folder" \
                 | sed -E 's/^([^:]+):([0-9]+):.*"([^"]+)"/\1:\2:\3/')
done
[ $status -eq 0 ] && echo "layers: every include stands on a layer below or its own folder"
exit $status

#!/usr/bin/env bash
# The layers only point down: base/ < media/ < install/ < ui/ < app/, and
# the media tool stands on base/ and media/ alone. Prints every include that
# points up and exits 1 when there is one.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# folder: the folders its files must not include from
rules=(
  "base:media install ui app tools"
  "media:install ui app tools"
  "install:ui app tools"
  "ui:app tools"
  "tools:app install ui"
)

status=0
for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  for above in ${rule#*:}; do
    hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"${above}/" "$folder" \
             --include='*.h' --include='*.cpp' --include='*.rc' 2>/dev/null)
    if [ -n "$hits" ]; then
      echo "check-layers: $folder/ must not include from $above/:" >&2
      echo "$hits" >&2
      status=1
    fi
  done
done
exit $status

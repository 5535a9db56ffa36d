#!/usr/bin/env bash
# No source file includes from a folder above its own in the order of
# DESIGN.md's folder table: a folder may include its own headers and those of
# the folders before it, never those after it.
#   state < output < tension < sag < tracing < photo < session < toolkit < app
# Usage: include_order_test.sh SOURCE_ROOT
set -u
root=${1:?usage: include_order_test.sh SOURCE_ROOT}
order=(state output tension sag tracing photo session toolkit app)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

failures=0
for folder in "${order[@]}"; do
  [ -d "$root/src/$folder" ] || { echo "missing folder src/$folder"; failures=$((failures + 1)); continue; }
  while IFS= read -r hit; do
    file=${hit%%:*}
    [[ $hit =~ include[[:space:]]+\"([^/\"]+)/ ]] || continue
    included=${BASH_REMATCH[1]}
    [ -n "${rank[$included]+set}" ] || continue  # not one of the folders
    if [ "${rank[$included]}" -gt "${rank[$folder]}" ]; then
      echo "${file#$root/}: $folder includes $included (${hit#*:})"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^/"]+/' "$root/src/$folder" \
             --include='*.h' --include='*.cpp')
done
# Every folder of src/ has its place in the order.
for dir in "$root"/src/*/; do
  name=$(basename "$dir")
  [ -n "${rank[$name]+set}" ] || { echo "src/$name has no place in the include order"; failures=$((failures + 1)); }
done
if [ "$failures" -ne 0 ]; then
  echo "$failures include(s) against the folder order"
  exit 1
fi
echo "every include follows the folder order"

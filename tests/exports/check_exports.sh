#!/usr/bin/env bash
# Usage: check_exports.sh library expected-list. The library's dynamic symbols must be the list.
set -euo pipefail
lib=$1 expected=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
wanted=$(grep -v '^#' "$expected" | sed '/^$/d' | sort)
if [ "$actual" != "$wanted" ]; then
  echo "exports of $lib differ from $expected:"
  diff <(echo "$wanted") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports as expected"

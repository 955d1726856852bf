#!/usr/bin/env bash
# Checks that libmacassoc exports exactly its JNI natives and its five plain functions.
# check_exports.sh <nm> <libmacassoc.so>
set -euo pipefail
nm_tool=$1
library=$2
prefix=Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_
expected=$(
  printf '%s\n' getURL readInfoFile writeInfoFile isExist isAssociated
  for native in addTypeToInfo removeTypeInInfo updateTypeInInfo checkExist setDefaultOpenRole \
                unsetDefaultOpenRole registerApp unregisterApp refreshLSDB; do
    printf '%s%s\n' "$prefix" "$native"
  done
)
# "<address> <type> <name>"; absolute symbols (version nodes) are no exports.
actual=$("$nm_tool" -D --defined-only "$library" | awk '$2 != "A" { sub(/@.*/, "", $3); print $3 }')
if ! diff <(sort <<<"$expected") <(sort <<<"$actual"); then
  echo "exports of $library differ from the expected list (< expected, > actual)" >&2
  exit 1
fi
echo "exports: $(sort <<<"$actual" | tr '\n' ' ')"

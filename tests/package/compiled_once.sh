#!/usr/bin/env bash
# build_once: this run of scripts/test compiled no source file twice: not in
# two targets, not in a second build folder (the package is packed from the
# tests' own build).  scripts/compile-launcher notes every compile of the run
# in LOG (build folder, object, source); without a log (ctest run by hand)
# the test is skipped.
log="$1"
if [ ! -f "$log" ]; then
  echo "no compile log $log: scripts/test writes it"
  exit 77
fi
awk -F'\t' '
  { count[$3]++; where[$3] = where[$3] "\n    " $1 "/" $2 }
  END {
    sources = 0; twice = 0
    for (s in count) {
      sources++
      if (count[s] > 1) { twice++; print s " was compiled " count[s] " times:" where[s] }
    }
    print NR " compiles of " sources " source files in this run"
    exit twice > 0
  }' "$log"

#!/usr/bin/env bash
# The demo steps of the main job, on the samples in samples/:
#   scripts/demo.sh OSPREY FOLDER
# OSPREY is the built command; FOLDER is wiped and made again, and every
# output goes into it. The test suite runs this too (on its own folder).
set -euo pipefail
cd "$(dirname "$0")/.."
osprey=$1
demo=$2
log=$demo/LOG

step() { printf '\n== %s\n' "$*"; }
where() { printf -- '-> %s\n' "$*"; }

rm -rf "$demo"
mkdir -p "$demo"

step "osprey version"
"$osprey" version

step "a new log from the demo master file of 40 areas"
"$osprey" new "$log" --master samples/DEMO.mst
where "the log's files: $log.* (the master file copied from samples/DEMO.mst)"

step "importing 300 made-up contacts from an ADIF file (samples/DEMO.adx)"
"$osprey" import "$log" samples/DEMO.adx
where "the contacts are in $log.dbs and $log.dbr; the log's files before the import: $demo/*.bak"

step "opening the log as the logging program does"
"$osprey" open "$log" --no
where "indexes checked and their times stored in $log.fdt"

step "the contacts by date and time (the first 15 of them)"
"$osprey" list "$log" --by date >"$demo/contacts.txt"
head -n 15 "$demo/contacts.txt"
where "all $(($(wc -l <"$demo/contacts.txt") - 1)) contacts: $demo/contacts.txt"

step "every contact with the station worked most often"
often=$(awk 'NR > 1 {print $2}' "$demo/contacts.txt" | sort | uniq -c | sort -k1,1nr -k2 | awk 'NR == 1 {print $2}')
"$osprey" show "$log" "$often"

step "the worked / confirmed award table and its picture"
"$osprey" wkd "$log" --svg "$demo/award.svg" >"$demo/award.txt"
head -n 12 "$demo/award.txt"
where "the whole table: $demo/award.txt; the picture: $demo/award.svg"

step "QSL labels in bureau order for the 70 cards still to send (contacts 231 to 300)"
if "$osprey" help labels >/dev/null 2>&1 && [ -f docs/label-template.txt ]; then
  "$osprey" labels "$log" --template-file docs/label-template.txt --from 231 --to 300 \
    --pdf "$demo/labels.pdf"
  where "the labels: $demo/labels.pdf"
else
  echo "(this build of osprey has no labels command yet)"
fi

step "ADIF out: ADI for any logging program, ADX with the Japanese text"
"$osprey" export "$log" --format adif -o "$demo/LOG.adi"
"$osprey" export "$log" --format adif --adx -o "$demo/LOG.adx"
where "ADI: $demo/LOG.adi; ADX: $demo/LOG.adx"

step "the log is consistent"
"$osprey" check "$log"
where "everything the demo made is in $demo"

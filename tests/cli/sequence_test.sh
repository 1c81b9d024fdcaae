#!/bin/bash
# A zoom sequence of 12 small frames: drawn as 3 shards at once by GNU
# parallel it must equal, byte for byte, the sequence drawn by one process;
# stopped part-way (SIGTERM) and started again it completes with the same
# files and leaves no stray file; complete frames are never drawn again
# (their modification time stays), a damaged one is.
# Usage: sequence_test.sh ZELMAR
set -u
zelmar=$1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

command -v parallel >/dev/null || { echo "FAIL: GNU parallel is not installed"; exit 1; }

sequence=(--frames 12 --from -2.5 1 -1.3125 1.3125 --to -0.7454 -0.7452 0.1130 0.11315
          --size 240x180 --iterations 20000 --quiet)

mkdir "$work/one" "$work/shards" "$work/restart"
"$zelmar" "${sequence[@]}" --render "$work/one/frame-%05d.png" || fail "one process: status $?"
[ "$(ls "$work/one" | wc -l)" -eq 12 ] || fail "one process wrote $(ls "$work/one" | wc -l) files"

# Three shards at once, as on three machines sharing the folder.
parallel --will-cite -j3 "$zelmar" "${sequence[@]}" --render "$work/shards/frame-%05d.png" \
    --shard {}/3 ::: 0 1 2 || fail "parallel shards: status $?"
diff -r "$work/one" "$work/shards" >/dev/null || fail "3 shards differ from one process"

# Stopped once two frames are written, then started again.
"$zelmar" "${sequence[@]}" --threads 1 --render "$work/restart/frame-%05d.png" &
pid=$!
for _ in $(seq 1000); do
    [ "$(ls "$work/restart" | wc -l)" -ge 2 ] && break
    sleep 0.01
done
kill -TERM "$pid"
wait "$pid"
status=$?
written=$(ls "$work/restart" | wc -l)
if [ "$status" -ne 143 ] || [ "$written" -ge 12 ]; then
    fail "the sequence was not stopped part-way (status $status, $written frames): kill untested"
fi
for f in "$work/restart"/*; do
    cmp -s "$f" "$work/one/$(basename "$f")" || fail "stopped run left $(basename "$f") unlike the full run's"
done
"$zelmar" "${sequence[@]}" --render "$work/restart/frame-%05d.png" || fail "restart: status $?"
diff -r "$work/one" "$work/restart" >/dev/null || fail "stopped and restarted sequence differs"

# A second run rewrites nothing; a cut-short frame is drawn again.
stamps() { stat -c '%n %Y.%y' "$work/one"/*; }
before=$(stamps)
sleep 1.1
out=$("$zelmar" "${sequence[@]:0:${#sequence[@]}-1}" --render "$work/one/frame-%05d.png" 2>&1) \
    || fail "second run: status $?"
[ "$before" = "$(stamps)" ] || fail "a complete frame was written again"
echo "$out" | grep -q "12 frame(s) already complete, 0 to draw" || fail "second run said: $out"
cp "$work/one/frame-00005.png" "$work/whole.png"
truncate -s -20 "$work/one/frame-00005.png"
"$zelmar" "${sequence[@]}" --render "$work/one/frame-%05d.png" || fail "repair run: status $?"
cmp -s "$work/whole.png" "$work/one/frame-00005.png" || fail "a cut-short frame was not drawn again"

# A write that fails (the file-size limit stands in for a full disk) is
# status 1 and leaves the file that was there as it was, with nothing beside it.
mkdir "$work/full"
cp "$work/whole.png" "$work/full/picture.png"
(ulimit -f 4; "$zelmar" --render "$work/full/picture.png" --size 400x300 --quiet)
status=$?
[ "$status" -eq 1 ] || fail "a failed write gave status $status"
cmp -s "$work/whole.png" "$work/full/picture.png" || fail "a failed write damaged the file"
[ "$(ls -A "$work/full")" = "picture.png" ] || fail "a failed write left $(ls -A "$work/full")"

[ "$failures" -eq 0 ] && echo "sequence: all checks passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Start-up to the first painted window, and peak memory, of the program beside a
# bare Qt Widgets program showing one empty window, run alternately in the same
# session. Prints medians over RUNS runs (default 21) and the ratios.
#   bench/startup.sh BUILD_DIR [RUNS]
# The platform is QT_QPA_PLATFORM's (offscreen when unset); for a real X
# server run it through tests/ui/with_xvfb.sh with QT_QPA_PLATFORM=xcb.
set -euo pipefail
build=$1 runs=${2:-21}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} LC_ALL=${LC_ALL:-C.UTF-8}

declare -A times memories
for ((i = 0; i < runs; i++)); do
  for program in startup_bare startup_bare_text startup_tarvelin; do
    start=$(date +%s%N)
    memory=$("$build/bench/$program" 2>/dev/null | awk '/VmHWM/ {print $2}')
    end=$(date +%s%N)
    times[$program]+="$(((end - start) / 1000)) "
    memories[$program]+="$memory "
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
bare_time=$(median <<<"${times[startup_bare]}")
ours_time=$(median <<<"${times[startup_tarvelin]}")
bare_memory=$(median <<<"${memories[startup_bare]}")
ours_memory=$(median <<<"${memories[startup_tarvelin]}")
text_time=$(median <<<"${times[startup_bare_text]}")
text_memory=$(median <<<"${memories[startup_bare_text]}")
echo "platform $QT_QPA_PLATFORM, $runs runs each, medians"
printf 'start-up to first paint: tarvelin %.1f ms, bare Qt %.1f ms, ratio %.2f\n' \
  "$(bc -l <<<"$ours_time / 1000")" "$(bc -l <<<"$bare_time / 1000")" "$(bc -l <<<"$ours_time / $bare_time")"
printf 'peak resident memory:    tarvelin %d kB, bare Qt %d kB, ratio %.2f\n' \
  "$ours_memory" "$bare_memory" "$(bc -l <<<"$ours_memory / $bare_memory")"
printf 'bare Qt with a label and a line edit: %.1f ms, %d kB\n' \
  "$(bc -l <<<"$text_time / 1000")" "$text_memory"

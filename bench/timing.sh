# Timing helpers shared by the benchmark scripts (sourced, not run).

now() { date +%s%N; }
# Seconds (with fractions) that running "$@" takes.
timed() {
  local start end
  start=$(now)
  "$@"
  end=$(now)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", (e - s) / 1e9 }'
}
# The best of three runs of "$@", in seconds.
best() {
  local b="" t
  for _ in 1 2 3; do
    t=$(timed "$@")
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  echo "$b"
}
# An arithmetic expression, evaluated with four decimals.
calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }

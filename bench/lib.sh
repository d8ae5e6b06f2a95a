#!/usr/bin/env bash
# Sourced by bench/run and bench/selftest: the arithmetic of the report.
# Figures are decimal text; bash has no floating point, so awk does the sums.

# lftp's settings for every run: plain PASV like the other tools, no retries
# that would hide a failure, and no TLS unless a case asks for it (lftp takes
# up the server's AUTH TLS on its own otherwise).
LFTP_SET="set ftp:ssl-allow no; set ftp:passive-mode yes; set ftp:prefer-epsv no; set net:max-retries 1; set net:timeout 60; set xfer:clobber yes"

# median V... : the middle value, or the mean of the two middle values.
median() {
  if (($# == 0)); then
    echo "n/a"
    return
  fi
  printf '%s\n' "$@" | sort -g | awk '
    { v[NR] = $1 }
    END {
      if (NR % 2) printf "%.6f\n", v[(NR + 1) / 2]
      else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2
    }'
}

# maximum V... : the largest value (0 for none).
maximum() {
  printf '%s\n' "${@:-0}" | sort -g | tail -n 1
}

# mb_per_s BYTES SECONDS : decimal megabytes per second.
mb_per_s() {
  awk -v b="$1" -v s="$2" 'BEGIN {
    if (s <= 0) { print "n/a"; exit }
    printf "%.1f\n", b / s / 1e6
  }'
}

# ratio A B : A / B with two decimals; "n/a" when either is not a number
# (missing, "n/a", "failed") or B is 0.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    num = "^[0-9]+([.][0-9]*)?$"
    if (a !~ num || b !~ num || b + 0 == 0) { print "n/a"; exit }
    printf "%.2f\n", a / b
  }'
}

# verdict VALUE OP LIMIT : "ok" when VALUE OP LIMIT holds, "below target"
# otherwise, "n/a" without a numeric value. OP is one of >= <= <.
verdict() {
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    if (v !~ /^[0-9]+([.][0-9]*)?$/) { print "n/a"; exit }
    v += 0; l += 0
    if (op == ">=") good = v >= l
    else if (op == "<=") good = v <= l
    else if (op == "<") good = v < l
    else { print "bad operator " op; exit 1 }
    print (good ? "ok" : "MISSED")
  }'
}

# elapsed_s START_NS END_NS : seconds between two `date +%s%N` readings.
elapsed_s() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f\n", (b - a) / 1e9 }'
}

# faster V... : the largest numeric value ("n/a" when none is a number); the
# faster peer's MB/s.
faster() {
  printf '%s\n' "$@" | awk '
    $0 ~ /^[0-9]+([.][0-9]*)?$/ {
      if (!seen || $0 + 0 > best) { best = $0 + 0; text = $0 }
      seen = 1
    }
    END { print (seen ? text : "n/a") }'
}

# least V... : the smallest numeric value ("n/a" when none is a number); the
# faster peer's seconds, the cheaper peer's CPU.
least() {
  printf '%s\n' "$@" | awk '
    $0 ~ /^[0-9]+([.][0-9]*)?$/ {
      if (!seen || $0 + 0 < best) { best = $0 + 0; text = $0 }
      seen = 1
    }
    END { print (seen ? text : "n/a") }'
}

# rotate K WORD... : the words rotated left by K places, one per line; round
# K of a benchmark starts with the K-th tool so no tool always goes first.
rotate() {
  local k=$1
  shift
  local n=$# i
  ((n)) || return 0
  local words=("$@")
  for ((i = 0; i < n; i++)); do
    echo "${words[(i + k) % n]}"
  done
}

# idle_share TEXT : the share of one core in bench_connect_idle's report
# ("... 0.12% of one core ..."), "n/a" when absent.
idle_share() {
  local re='([0-9]+([.][0-9]+)?)% of one core'
  if [[ $1 =~ $re ]]; then echo "${BASH_REMATCH[1]}"; else echo "n/a"; fi
}

# window_seconds TEXT : the seconds bench_window_download reports
# ("window_download: 2.5 s, ..."), "n/a" when absent.
window_seconds() {
  local re='window_download: ([0-9]+([.][0-9]+)?) s'
  if [[ $1 =~ $re ]]; then echo "${BASH_REMATCH[1]}"; else echo "n/a"; fi
}

# kib_to_mib KIB : mebibytes with one decimal, "n/a" for no value.
kib_to_mib() {
  awk -v k="$1" 'BEGIN {
    if (k !~ /^[0-9]+$/) { print "n/a"; exit }
    printf "%.1f\n", k / 1024
  }'
}

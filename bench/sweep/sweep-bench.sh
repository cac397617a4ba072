#!/bin/bash
# A 36-variant sweep (Brusselator alpha x beta, 200 x 200) run by `vorna-cli --vary` against the
# same 36 variant scripts run one after another by vorna-cli, in one run: the ratio of the times.
# Usage: bench/sweep/sweep-bench.sh PATH/TO/vorna-cli [ITERATIONS]
set -eu
cli=$(realpath "$1")
iterations=${2:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat > base.vna <<SCRIPT
model brusselator
modpar alpha 3
modpar beta 7
reaction A 0.01
reaction B 0.01
diffusion A 0.2
diffusion B 1
init A 3 0.2
init B 2.33 0.2
size 200 200
iterations $iterations
randseed 11
colormap hsl 220 40 0.8 0.6 40 255
image256 A t+$iterations autoscale
SCRIPT
vary=(--vary 'modpar alpha 2:4.5:6' --vary 'modpar beta 5:10:6')

# The scripts one after another, each with the default threads (every core).
"$cli" --quiet --emit-jobs --out one-by-one "${vary[@]}" base.vna > /dev/null
start=$(date +%s.%N)
for script in one-by-one/*.vna; do "$cli" --quiet "$script" > /dev/null; done
sequential=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

start=$(date +%s.%N)
"$cli" --quiet --out sweep "${vary[@]}" base.vna > /dev/null
sweep=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

# The same images either way (the contact sheet's pictures aside).
for image in one-by-one/*.bmp; do cmp -s "$image" "sweep/${image#one-by-one/}" || {
    echo "sweep bench: $image differs from the sweep's" >&2
    exit 1
}; done
printf 'sweep of 36 variants at 200x200, %s iterations each: %.2f s (with the contact sheet); ' \
    "$iterations" "$sweep"
printf 'the 36 scripts one after another: %.2f s; ratio %.2f\n' "$sequential" \
    "$(awk -v a="$sequential" -v b="$sweep" 'BEGIN { print a / b }')"

#!/bin/bash
# A 600 x 600 run writing an image every 20 iterations, timed without a movie and with
# `--movie x.mp4` (a frame per image, encoded on its own thread): the ratio of the times is what
# the movie costs the run. Each is run RUNS times and the fastest kept.
# Usage: bench/movie/movie-bench.sh PATH/TO/vorna-cli [ITERATIONS] [RUNS]
set -eu
cli=$(realpath "$1")
iterations=${2:-2000}
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat > grow.vna <<SCRIPT
model brusselator
modpar alpha 3
modpar beta 9
reaction A 0.01
reaction B 0.01
diffusion A 0.2
diffusion B 1
init A 3 0.2
init B 3 0.2
size 600 600
iterations $iterations
randseed 11
colormap hsl 220 40 0.8 0.6 40 255
image256 A t+20 autoscale
SCRIPT

# The fastest of runs timings of the command: "WALL CPU" in seconds, CPU the user and system
# time of the program and its threads (on a busy machine the wall time says less).
fastest() {
    local best="" cpu="" timing
    for _ in $(seq "$runs"); do
        rm -f grow_A*.bmp x.mp4
        timing=$({ TIMEFORMAT='%R %U %S'; time "$@" > /dev/null; } 2>&1)
        read -r wall user system <<<"$timing"
        if [[ -z $best ]] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall
            cpu=$(awk -v a="$user" -v b="$system" 'BEGIN { print a + b }')
        fi
    done
    echo "$best $cpu"
}

read -r plain plainCpu <<<"$(fastest "$cli" --quiet grow.vna)"
read -r movie movieCpu <<<"$(fastest "$cli" --quiet --movie x.mp4 grow.vna)"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 x.mp4 2> /dev/null || echo "?")
printf 'run of 600x600, %s iterations, an image every 20: %.2f s (CPU %.2f s); ' "$iterations" \
    "$plain" "$plainCpu"
printf 'with --movie x.mp4 (%s frames, %s bytes): %.2f s (CPU %.2f s); ratio %.2f (CPU %.2f)\n' \
    "$frames" "$(stat -c %s x.mp4)" "$movie" "$movieCpu" \
    "$(awk -v a="$plain" -v b="$movie" 'BEGIN { print b / a }')" \
    "$(awk -v a="$plainCpu" -v b="$movieCpu" 'BEGIN { print b / a }')"

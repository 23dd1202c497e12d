#!/bin/sh
# Converts every sample picture in every layout, method, pair of glasses,
# source kind and output format with two builds of the program, and checks
# that the files they write are the same, byte for byte.
#   scripts/compare-outputs.sh OLD_PROGRAM NEW_PROGRAM SAMPLES_FOLDER
# Prints one line per difference and "N outputs, all the same" at the end;
# exits 1 when any output differs (or exists with only one of the two).
set -u
old=$1 new=$2 samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
count=0 differ=0 written=0

# run NAME OPTIONS...: the same conversion with both programs, to NAME.
run() {
    name=$1; shift
    for side in old new; do
        mkdir -p "$work/$side"
        eval prog=\$$side
        "$prog" -c -q "$@" -o "$work/$side/$name" >"$work/$side/$name.out" 2>&1
    done
    count=$((count + 1))
    if [ -e "$work/old/$name" ] || [ -e "$work/new/$name" ]; then
        written=$((written + 1))
        if ! cmp -s "$work/old/$name" "$work/new/$name"; then
            echo "differs: $name ($*)"
            differ=$((differ + 1))
        fi
    fi
}

# Two files of one view each, from the halves of a side-by-side sample.
convert "$samples/figure-sbs.jps" -crop 50%x100% +repage "$work/half-%d.png"

for picture in "$samples"/*; do
    case $picture in *.md) continue ;; esac
    base=$(basename "$picture")
    for layout in auto sbs cross over-under under-over half-sbs half-over-under; do
        run "$base-$layout.jpg" --layout "$layout" "$picture"
    done
    for glasses in red-cyan green-magenta amber-blue; do
        for method in colour half-colour grey dubois optimised; do
            [ "$method" = optimised ] && [ "$glasses" != red-cyan ] && continue
            run "$base-$glasses-$method.jpg" --glasses "$glasses" --method "$method" "$picture"
        done
    done
    for format in png bmp gif tif; do
        run "$base-format.$format" "$picture"
    done
    run "$base-swap.jpg" --swap "$picture"
    run "$base-shift.jpg" --shift 12 "$picture"
    run "$base-shift-back.jpg" --shift -9 "$picture"
    run "$base-align.jpg" --align "$picture"
    run "$base-auto.jpg" --shift auto "$picture"
    run "$base-align-auto.jpg" --align --shift auto "$picture"
    run "$base-strip.jpg" --strip "$picture"
    run "$base-quality.jpg" --quality 70 "$picture"
done
run pair.jpg --left "$work/half-0.png" --right "$work/half-1.png"
run pair-dubois.png --method dubois --left "$work/half-0.png" --right "$work/half-1.png"

if [ "$differ" -eq 0 ]; then
    echo "$count conversions ($written written), all outputs the same"
    exit 0
fi
echo "$differ of $count outputs differ"
exit 1

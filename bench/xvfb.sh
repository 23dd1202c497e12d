# Sourced by the screen benchmarks: a scratch folder in $work and a private
# Xvfb on a free display, both gone when the script exits; DISPLAY is set.
work=$(mktemp -d)
exec 3>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
extra_pids=""
trap 'kill $xvfb $extra_pids 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/displayfd" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/displayfd")"

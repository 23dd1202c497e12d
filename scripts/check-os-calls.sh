#!/usr/bin/env bash
# The layers above the platform call the operating system only through
# platform/os.h and reach the desktop only through the platform's desktop
# calls: none of their files names a POSIX or a desktop header. Prints each
# file and line that does and fails; run from anywhere in a checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
posix='unistd|fcntl|signal|dirent|poll|pthread|dlfcn|termios|pwd|grp|limits|stdlib|sys/[a-z_]+'
desktop='X11/[A-Za-z_]+|gtk/[a-z_]+|gdk/[a-z_]+|glib[a-z_-]*'
found=$(grep -rnE "^\s*#\s*include\s*<(${posix}|${desktop})\.h>" app anaglyph imageio host base \
    --include='*.cpp' --include='*.h' || true)
if [ -n "$found" ]; then
    echo "system or desktop headers above the platform layer (use platform/os.h):"
    echo "$found"
    exit 1
fi
echo "no system or desktop headers above the platform layer"

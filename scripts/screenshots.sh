#!/usr/bin/env bash
# Makes the README's screenshots from the real program: a fresh install of
# the build with its sample novel, in an X server in memory with a window
# manager, driven by xdotool. Run it again after changing how a window looks.
# Usage: scripts/screenshots.sh [output directory, default docs/screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-docs/screenshots}" && cd "${1:-docs/screenshots}" && pwd)
scripts/install-deps.sh --screenshots
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target dist icons -j"$(nproc)" >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A program folder holding only what the package holds, and a home of its own.
cmake --install build --prefix "$work/prefix" >/dev/null
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config" LC_ALL=C.UTF-8
# The installed icon, as the desktop finds it after a real install.
export XDG_DATA_DIRS="$work/prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

"$work/prefix/bin/yanzhou" >/dev/null 2>&1 &
pids+=($!)

# The window that has the focus once a window named title is shown.
wait_window() {
  xdotool search --sync --onlyvisible --name "$1" >/dev/null
  sleep 1.5
  xdotool getactivewindow
}
shoot() {
  import -frame -window "$1" "$out/$2.png"
  echo "$out/$2.png"
}
# Clicks at x,y inside the window (without its frame).
click() {
  xdotool mousemove --window "$1" "$2" "$3" click --repeat "${5:-1}" --delay 120 "${4:-1}"
}

library=$(wait_window '^砚舟写作系统$')
shoot "$library" library

# A double click on the sample novel opens it in the chapter manager.
click "$library" 60 80 1 2
sleep 2
manager=$(xdotool getactivewindow)
# The first volume of the tree shows its chapters in the list, and opens in
# the tree by its arrow.
click "$manager" 50 20
sleep 1
click "$manager" 19 20
sleep 1
shoot "$manager" chapters

# The chapter menu on the first chapter, then 修改章节(&M).
click "$manager" 400 50 3
sleep 1
xdotool key m
sleep 2
editor=$(xdotool getactivewindow)
shoot "$editor" editor

# A few words typed at the end of the chapter: the snapshot taken when the
# novel opened holds the text as it was, and today's record counts them (it
# is written beside the novels every four seconds). Characters outside the
# keyboard's map are typed slowly, or some are lost.
xdotool key --window "$editor" ctrl+End
xdotool type --delay 250 '远处传来一声汽笛。'
sleep 6
# The days before today, put into the record the program made, so that the
# chart has a month to show.
record="$work/prefix/lib/yanzhou/data/写作统计.db"
for d in $(seq 1 29); do
  n=$(( d % 7 == 3 ? 0 : 2400 + (d * 1237) % 3100 ))
  sqlite3 "$record" "INSERT INTO 每日 (日期, 小说, 章节, 新增, 新增不含标点, 净增, 净增不含标点, 分钟)
    VALUES (date('now', 'localtime', '-$d days'), '夜航船.mdb', 1, $n, $n * 84 / 100, $n * 9 / 10,
            $n * 76 / 100, $n / 40)"
done
xdotool key --window "$editor" alt+F4
sleep 2

# The chapter menu again, then 历史版本(&H): the newest earlier text beside
# the current one.
click "$manager" 400 50 3
sleep 1
xdotool key h
history=$(wait_window '^历史版本 - ')
shoot "$history" history

# The history closed, Ctrl+F in the chapter manager opens 全书查找替换 over
# it; a search there lists its hits by volume and chapter.
xdotool key --clearmodifiers alt+F4
sleep 1.5
xdotool windowactivate --sync "$manager"
xdotool key --clearmodifiers ctrl+f
search=$(wait_window '^全书查找替换$')
xdotool type --delay 120 '了'
xdotool key Return
sleep 2
shoot "$search" search
xdotool key --clearmodifiers alt+F4
sleep 1.5

# Ctrl+T in the chapter manager opens 写作统计, where the daily goal is set.
xdotool windowactivate --sync "$manager"
xdotool key --clearmodifiers ctrl+t
statistics=$(wait_window '^写作统计$')
xdotool key Tab Tab ctrl+a
xdotool type '3000'
xdotool key Return
sleep 1
shoot "$statistics" statistics

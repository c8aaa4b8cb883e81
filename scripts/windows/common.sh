# What build.sh and test.sh share: where the Windows Qt comes from and how
# the Windows build folder is configured. Sourced; expects $repo and $here.

cache_dir() {
  echo "${YANZHOU_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/yanzhou}"
}

# The Windows Qt at hand without building one: $YANZHOU_MINGW_QT, the
# shared toolchain beside the repository, or one build-qt.sh made before.
# Prints nothing when there is none.
windows_qt_source() {
  if [ -n "${YANZHOU_MINGW_QT:-}" ]; then
    echo "$YANZHOU_MINGW_QT"
    return
  fi
  # Beside the repository; for a git worktree, beside the main one.
  local main tgz
  main="$(cd "$repo" && cd "$(git rev-parse --git-common-dir 2>/dev/null || echo .)/.." 2>/dev/null && pwd || echo "$repo")"
  tgz="$(ls "$repo"/../shared/toolchains/mingw64-qt*.tgz "$main"/../shared/toolchains/mingw64-qt*.tgz 2>/dev/null |
    head -n 1 || true)"
  if [ -n "$tgz" ]; then
    echo "$tgz"
  elif [ -d "$(cache_dir)/mingw-qt/qt6" ]; then
    echo "$(cache_dir)/mingw-qt"
  fi
}

# The folder that holds the Windows Qt (qt6/) and SQLite (include/, lib/),
# unpacking a .tgz once into the cache, or making it with build-qt.sh when
# none is at hand.
windows_qt() {
  local src
  src="$(windows_qt_source)"
  if [ -z "$src" ]; then
    echo "No Windows Qt at hand: making one with build-qt.sh (about 30 minutes on 2 cores)" >&2
    "$here/build-qt.sh" "$(cache_dir)/mingw-qt" >&2
    src="$(cache_dir)/mingw-qt"
  fi
  local dir stamp
  if [ -d "$src" ]; then
    dir="$(cd "$src" && pwd)"
  else
    [ -f "$src" ] || { echo "No Windows Qt at $src" >&2; return 1; }
    dir="$(cache_dir)/$(basename "$src" .tgz)"
    stamp="$(stat -c %s-%Y "$src")"
    if [ "$(cat "$dir/.unpacked" 2>/dev/null)" != "$stamp" ]; then
      rm -rf "$dir"
      mkdir -p "$dir"
      tar xzf "$src" -C "$dir"
      echo "$stamp" >"$dir/.unpacked"
    fi
  fi
  # The offscreen platform the tests use reads fonts only from Qt's own
  # lib/fonts; a Windows Qt ships none.
  if [ ! -d "$dir/qt6/lib/fonts" ] && [ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ]; then
    mkdir -p "$dir/qt6/lib/fonts"
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$dir/qt6/lib/fonts/"
  fi
  echo "$dir"
}

# Configures the cross build in $2 with the Windows Qt in $1: optimised as
# the Linux build, without debugging information, which MinGW makes large
# and slow to link and the artefacts strip anyway.
configure_windows_build() {
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$repo" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DYANZHOU_MINGW_PREFIX="$1" \
    -DQT_HOST_PATH=/usr "${launcher[@]}" >/dev/null
}

#!/usr/bin/env bash
# The installed program and its Debian package, checked from the outside as a
# user's system sees them. Usage: package_tests.sh CHECK BUILD_DIR
# Each check works in a temporary directory of its own and exits 77 (skipped)
# only where this machine cannot do what the check needs.
set -euo pipefail
check=$1
build=$(cd "$2" && pwd)
app_id=org.example.yanzhou
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

install_to() { cmake --install "$build" --prefix "$1" >/dev/null; }

# Starts a launcher offscreen with its own home and waits for the library
# window; the program names the first window it shows and quits.
start_to_library() {
    local launcher=$1 out
    out=$(env -i PATH="$PATH" HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
          XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 YANZHOU_QUIT_WHEN_SHOWN=1 \
          timeout 60 "${@:2}" "$launcher" 2>"$work/stderr") || {
        cat "$work/stderr" >&2
        fail "$launcher did not start to its library window"
    }
    [ "$out" = "shown: frm_dl 砚舟写作系统" ] || fail "$launcher showed '$out' first, not the library"
}

mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"

case "$check" in
installed_program_is_complete_and_starts)
    prefix="$work/prefix"
    install_to "$prefix"
    for f in lib/yanzhou/yanzhou lib/yanzhou/空数据库.mdb lib/yanzhou/默认.jpg lib/yanzhou/skin/skinh.she \
             lib/yanzhou/data/夜航船.mdb share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
             share/icons/hicolor/scalable/apps/$app_id.svg; do
        [ -s "$prefix/$f" ] || fail "$f is not installed"
    done
    for size in 16 24 32 48 64 128 256; do
        png="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        [ "$(file -b "$png" | cut -d, -f2 | tr -d ' ')" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
    done
    [ -L "$prefix/bin/yanzhou" ] || fail "bin/yanzhou is not a link to the program"
    grep -qx "Exec=$prefix/bin/yanzhou" "$prefix/share/applications/$app_id.desktop" ||
        fail "the desktop entry does not start the installed launcher"
    # Nothing a user made in the build's own program directory is installed.
    extra=$(cd "$prefix/lib/yanzhou" && find . -type f | grep -v -e '^./yanzhou$' -e '^./空数据库.mdb$' \
            -e '^./默认.jpg$' -e '^./skin/skinh.she$' -e '^./data/夜航船.mdb$' || true)
    [ -z "$extra" ] || fail "unexpected files in the program directory: $extra"
    start_to_library "$prefix/bin/yanzhou"
    ;;
desktop_entry_and_metainfo_pass_validators)
    command -v desktop-file-validate >/dev/null ||
        skip "desktop-file-validate is not installed (Debian package desktop-file-utils)"
    command -v appstreamcli >/dev/null || skip "appstreamcli is not installed (Debian package appstream)"
    install_to "$work/prefix"
    desktop-file-validate "$work/prefix/share/applications/$app_id.desktop"
    appstreamcli validate --no-net "$work/prefix/share/metainfo/$app_id.metainfo.xml"
    ;;
deb_package_unpacks_and_starts)
    command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is not installed (Debian package dpkg-dev)"
    (cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
    deb=$(ls "$work"/pkg/yanzhou_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libqt6widgets6 libsqlite3-0 libc6; do
        echo "$depends" | grep -Eq "(^|, )$lib( |,|$)" || fail "the package does not depend on $lib: $depends"
    done
    # One SQLite in the process: no Qt SQL driver with a copy of its own.
    if echo "$depends" | grep -q libqt6sql6; then fail "the package still depends on Qt SQL: $depends"; fi
    dpkg-deb -f "$deb" Recommends | grep -q fcitx5-frontend-qt6 || fail "the package does not recommend fcitx5-frontend-qt6"
    dpkg-deb -x "$deb" "$work/root"
    [ -s "$work/root/usr/share/applications/$app_id.desktop" ] || fail "the package has no desktop entry"
    grep -qx "Exec=/usr/bin/yanzhou" "$work/root/usr/share/applications/$app_id.desktop" ||
        fail "the packaged desktop entry does not start /usr/bin/yanzhou"
    start_to_library "$work/root/usr/bin/yanzhou"
    ;;
readonly_install_writes_to_user_location)
    prefix="$work/prefix"
    install_to "$prefix"
    program="$prefix/lib/yanzhou"
    before=$(cd "$program" && find . | sort)
    user="$work/home/.local/share/砚舟写作系统"
    # A read-only program directory as a system package has it, in a mount
    # namespace of the check's own so that nothing outside sees the mount.
    unshare -m sh -c 'mount --bind -o ro "$0" "$0"' "$program" 2>/dev/null ||
        skip "cannot bind-mount the program directory read-only here (needs root and mount namespaces)"
    readonly_run=(unshare -m sh -c 'mount --bind -o ro "$0" "$0" && touch "$0/probe" 2>/dev/null && exit 3; exec "$1"' "$program")
    start_to_library "$prefix/bin/yanzhou" "${readonly_run[@]}"
    [ "$(cd "$program" && find . | sort)" = "$before" ] || fail "the read-only program directory was changed"
    [ -s "$user/data/夜航船.mdb" ] || fail "the sample novel was not copied to $user/data"
    cmp -s "$user/data/夜航船.mdb" "$program/data/夜航船.mdb" || fail "the copied sample novel differs"
    # A second start keeps what the user made of the data directory.
    rm "$user/data/夜航船.mdb"
    start_to_library "$prefix/bin/yanzhou" "${readonly_run[@]}"
    [ ! -e "$user/data/夜航船.mdb" ] || fail "the sample novel came back into a data directory the user emptied"
    # A writable program directory stays a portable folder.
    start_to_library "$prefix/bin/yanzhou"
    [ ! -e "$user/data" ] || [ -z "$(ls -A "$user/data")" ] || fail "a portable start wrote to the user location"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
echo "PASS: $check"

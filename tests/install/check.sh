#!/usr/bin/env bash
# Checks what the build installs and packages.
#   check.sh install BUILD_DIR   cmake --install into a temporary prefix: the
#                                expected files, both validators, the icon sizes
#   check.sh package BUILD_DIR   cpack: the package's name, contents and
#                                dependencies, then the packaged program run
#                                offscreen by an ordinary user
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The width and height a PNG declares in its header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }

expected=(
  bin/Marvesk
  share/applications/org.example.marvesk.desktop
  share/icons/hicolor/scalable/apps/marvesk.svg
  share/icons/hicolor/48x48/apps/marvesk.png
  share/icons/hicolor/256x256/apps/marvesk.png
  share/metainfo/org.example.marvesk.metainfo.xml
)

if [ "$mode" = install ]; then
  cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
  listed=$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)
  wanted=$(printf '%s\n' "${expected[@]}" | sort)
  [ "$listed" = "$wanted" ] || fail "installed files differ:"$'\n'"$listed"
  desktop="$work/prefix/share/applications/org.example.marvesk.desktop"
  metainfo="$work/prefix/share/metainfo/org.example.marvesk.metainfo.xml"
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  # Pedantic: not even a hint may be left.
  validation=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) ||
    fail "appstreamcli validate: $validation"
  if grep -qE '^[IWEP]:' <<<"$validation"; then fail "appstreamcli says: $validation"; fi
  grep -q '<launchable type="desktop-id">org.example.marvesk.desktop</launchable>' "$metainfo" ||
    fail "launchable"
  for type in text/csv text/tab-separated-values; do
    grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "mediatype $type"
  done
  grep -qx 'Exec=Marvesk %f' "$desktop" || fail "Exec"
  grep -qx 'Categories=Office;Spreadsheet;' "$desktop" || fail "Categories"
  grep -qx 'MimeType=text/csv;text/tab-separated-values;text/plain;' "$desktop" || fail "MimeType"
  [ "$(png_size "$work/prefix/share/icons/hicolor/48x48/apps/marvesk.png")" = 48x48 ] ||
    fail "48 pixel icon"
  [ "$(png_size "$work/prefix/share/icons/hicolor/256x256/apps/marvesk.png")" = 256x256 ] ||
    fail "256 pixel icon"
  "$work/prefix/bin/Marvesk" --version | grep -q '^Marvesk ' || fail "installed --version"
  echo "install: ok"
  exit 0
fi

[ "$mode" = package ] || fail "unknown mode $mode"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G DEB -B "$work/pkg" > "$work/cpack.log") || { cat "$work/cpack.log"; fail cpack; }
deb="$work/pkg/marvesk_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb"
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./usr/||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$contents" = "$wanted" ] || fail "package contents differ:"$'\n'"$contents"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6; do
  grep -q "\b$lib (>=" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = marvesk ] || fail "package name"

# The packaged program, unpacked, run by an unprivileged user whose settings
# cannot go beside the program: they go to the per-user folder.
dpkg-deb -x "$deb" "$work/root"
chmod 555 "$work/root/usr/bin"  # as installed: not the user's to write
home="$work/home"
mkdir -p "$home"
chmod 755 "$work"
chmod 777 "$home"
run=(env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen
  MARVESK_BANNER_HOST=127.0.0.1:1 "$work/root/usr/bin/Marvesk")
if [ "$(id -u)" -eq 0 ]; then
  run=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run[@]}")
fi
"${run[@]}" > "$work/run.log" 2>&1 &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || { cat "$work/run.log"; fail "the program ended by itself"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$work/run.log"; fail "exit status $status after SIGTERM"; }
[ -f "$home/.config/Marvesk/Einstel_QZR.FRB" ] || fail "no settings in the per-user folder"
[ ! -e "$work/root/usr/bin/Einstel_QZR.FRB" ] || fail "settings beside the installed program"
echo "package: ok ($depends)"

#!/usr/bin/env bash
# Checks of the installed program, one per ctest test:
#   installed.sh layout BUILD PREFIX PROGRAMS
#                                        install, then the folder layout and the
#                                        desktop entry and AppStream checks
#   installed.sh launcher PREFIX SRC     the launcher: service, window, stop
#   installed.sh workdir PREFIX SRC      working files with a read-only program folder
#   installed.sh nodisplay PREFIX SRC    ./run, the launcher and the window without a display
#   installed.sh package BUILD           the Debian package's fields and contents
set -uo pipefail
app_id=org.tarquell.Translator
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_file() { [[ -f $1 ]] || fail "missing $1"; }
finish() {
  [[ $failures -eq 0 ]] && echo "ok" && exit 0
  exit 1
}
scratch=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Waits (bounded) until the file holds a line matching the pattern.
wait_for_line() {
  local file=$1 pattern=$2
  for _ in $(seq 1200); do
    grep -qE "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# Width and height from a PNG's header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" 2>/dev/null |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'
}

answers() { "$1/lib/tarquell-translator/tarquell-service" --probe "$2" >/dev/null 2>&1; }

case $1 in
layout)
  build=$2 prefix=$3 programs=$4
  rm -rf "$prefix"
  cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log"
    fail "cmake --install"
    finish
  }
  folder=$prefix/lib/tarquell-translator
  for program in $programs; do
    [[ -x $folder/$program && ! -L $folder/$program ]] || fail "$folder/$program is no program"
  done
  [[ -x $prefix/bin/tarquell-translator ]] || fail "no launcher"
  # What the window opens from its own folder: the browser pane, the manual.
  expect_file "$folder/libtarquell_browser.so"
  expect_file "$folder/Tarqtran.html"
  [[ $(readlink "$prefix/bin/tarquell-translate") == ../lib/tarquell-translator/tarquell-translate ]] ||
    fail "bin/tarquell-translate is no link into the program folder"
  # Only our two commands go into bin/; siblings stay in the program folder.
  extra=$(ls "$prefix/bin" | grep -vxE 'tarquell-translator|tarquell-translate')
  [[ -z $extra ]] || fail "unexpected in bin/: $extra"
  expect_file "$prefix/share/applications/$app_id.desktop"
  expect_file "$prefix/share/metainfo/$app_id.metainfo.xml"
  expect_file "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
  for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png
    expect_file "$png"
    [[ $(png_size "$png") == "$size $size" ]] || fail "$png is not $size x $size"
  done
  desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli validate"
  # The command-line translator through its link answers.
  [[ $("$prefix/bin/tarquell-translate" --list | head -n1) == $'en\tEnglish'* ]] ||
    fail "bin/tarquell-translate --list"
  finish
  ;;

launcher)
  prefix=$2
  export XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
  export QT_LOGGING_RULES="tarquell.app.info=true"
  # Port 0: a free port, named in the launcher's "started" line.
  TARQUELL_SERVICE_ADDR=127.0.0.1:0 "$prefix/bin/tarquell-translator" 2>"$scratch/err" &
  launcher=$!
  pids+=("$launcher")
  wait_for_line "$scratch/err" 'window shown' || fail "the window did not open"
  # Whatever the launcher started goes when this check ends, stopped or not.
  pids+=($(pgrep -P "$launcher"))
  address=$(sed -n 's/.*started tarquell-service, listening on \(127\.0\.0\.1:[0-9]*\).*/\1/p' "$scratch/err")
  [[ -n $address ]] || fail "the launcher started no service"
  [[ -n $address ]] && { answers "$prefix" "$address" || fail "no service answers on $address"; }
  grep -q "working files in $(readlink -f "$prefix/lib/tarquell-translator")\$" "$scratch/err" ||
    fail "working files not in the writable program folder"
  # A stop signal closes the window the normal way; the service follows.
  kill -TERM "$launcher"
  wait "$launcher"
  status=$?
  [[ $status -eq 0 ]] || fail "launcher exit status $status"
  expect_file "$XDG_CONFIG_HOME/TarquellTranslator.ini"
  [[ -n $address ]] && answers "$prefix" "$address" && fail "the service still answers on $address"
  [[ $failures -eq 0 ]] || cat "$scratch/err" >&2
  finish
  ;;

workdir)
  prefix=$2
  # The program folder as an installed one: owned by root, not writable by
  # the user. Root writes anywhere, so the user is nobody then.
  copy=$scratch/usr/lib/tarquell-translator
  mkdir -p "$copy" && cp "$prefix/lib/tarquell-translator/tarquell-translator" "$copy/"
  chmod -R a+rX,go-w "$scratch"
  home=$scratch/home
  mkdir -p "$home"
  run_as=()
  if [[ $(id -u) -eq 0 ]]; then
    chown nobody "$home"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  else
    chmod a-w "$copy"
  fi
  env HOME="$home" XDG_CACHE_HOME="$home/cache" XDG_CONFIG_HOME="$home/config" \
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="tarquell.app.info=true" \
    "${run_as[@]}" "$copy/tarquell-translator" 2>"$scratch/err" &
  window=$!
  pids+=("$window")
  wait_for_line "$scratch/err" 'window shown' || fail "the window did not open"
  grep -q "working files in $home/cache/TarquellTranslator\$" "$scratch/err" ||
    fail "working files not in the user's cache folder"
  [[ -d $home/cache/TarquellTranslator ]] || fail "the cache folder was not created"
  [[ -z $(ls -A "$copy" | grep -v '^tarquell-translator$') ]] || fail "wrote into the program folder"
  kill -TERM "$window"
  wait "$window" || fail "window exit status $?"
  chmod -R u+w "$scratch"
  [[ $failures -eq 0 ]] || cat "$scratch/err" >&2
  finish
  ;;

nodisplay)
  prefix=$2 source=$3
  cd "$scratch" || exit 1
  for program in "$source/run" "$prefix/bin/tarquell-translator" \
    "$prefix/lib/tarquell-translator/tarquell-translator"; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" >out 2>err </dev/null
    status=$?
    [[ $status -eq 1 ]] || fail "$program: exit status $status"
    [[ -s out ]] && fail "$program wrote to standard output: $(cat out)"
    [[ $(wc -l <err) -eq 1 ]] || fail "$program: not one line: $(cat err)"
    grep -q 'needs a desktop session.*tarquell-translate -f en -t es' err ||
      fail "$program: $(cat err)"
  done
  [[ -z $(ls | grep -v '^out$\|^err$') ]] || fail "left behind: $(ls)"
  finish
  ;;

package)
  build=$2
  cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    fail "cpack"
    finish
  }
  deb=$(ls "$scratch"/tarquell-translator_*.deb)
  [[ $(dpkg-deb -f "$deb" Package) == tarquell-translator ]] || fail "package name"
  depends=$(dpkg-deb -f "$deb" Depends)
  for dep in libqt6widgets6 libqt6network6 qt6-qpa-plugins apertium apertium-eng-spa adwaita-icon-theme; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
  done
  dpkg-deb -c "$deb" | awk '{print $6 $7 $8}' >"$scratch/contents"
  for path in ./usr/bin/tarquell-translator \
    "./usr/bin/tarquell-translate->../lib/tarquell-translator/tarquell-translate" \
    ./usr/lib/tarquell-translator/tarquell-translator ./usr/lib/tarquell-translator/tarquell-service \
    ./usr/lib/tarquell-translator/tarquell-translate ./usr/share/applications/$app_id.desktop \
    ./usr/share/metainfo/$app_id.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/$app_id.png; do
    grep -qxF "$path" "$scratch/contents" || fail "the package lacks $path"
  done
  grep -q '^\./usr/local' "$scratch/contents" && fail "the package installs into /usr/local"
  finish
  ;;
esac
echo "unknown check $1" >&2
exit 2

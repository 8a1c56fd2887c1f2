#!/usr/bin/env bash
# Checks of what an installation holds. Usage: check.sh CASE SOURCE_DIR BUILD_DIR
set -euo pipefail
case_name=$1 src=$2 build=$3
id=org.zedazi.Zedazi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# A check whose tool is not installed is skipped, naming the package that has
# it (scripts/deps.sh installs them all).
need() {
  command -v "$1" >/dev/null || { echo "[  SKIPPED ] $1 is not installed (Debian package $2)"; exit 77; }
}

case $case_name in
validators)
  need desktop-file-validate desktop-file-utils
  need appstreamcli appstream
  desktop-file-validate "$src/dist/$id.desktop"
  appstreamcli validate --no-net "$src/dist/$id.metainfo.xml"
  # The window names itself after the desktop entry.
  grep -q "DesktopFileName\[\] = \"$id\"" "$src/app/application.h" || fail "desktopFileName is not $id"
  ;;

install)
  DESTDIR=$work cmake --install "$build" --prefix /usr >/dev/null
  expected=(
    usr/bin/zedazi usr/bin/zedazi-recv usr/bin/zedazi-boxsim
    "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml"
    usr/share/man/man1/zedazi.1 usr/share/man/man1/zedazi-recv.1 usr/share/man/man1/zedazi-boxsim.1
    usr/share/bash-completion/completions/zedazi-recv
    usr/share/bash-completion/completions/zedazi-boxsim
  )
  for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x$size/apps/$id.png")
  done
  for f in "${expected[@]}"; do [ -s "$work/$f" ] || fail "$f not installed"; done
  for p in zedazi zedazi-recv zedazi-boxsim; do [ -x "$work/usr/bin/$p" ] || fail "$p not executable"; done
  # Every file the metainfo and the desktop entry name is there.
  grep -q "^Icon=$id$" "$work/usr/share/applications/$id.desktop" || fail "desktop entry icon"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$work/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo launchable"
  for shot in $(sed -n 's#.*<image>.*/\(docs/[^<]*\)</image>.*#\1#p' "$src/dist/$id.metainfo.xml"); do
    [ -s "$src/$shot" ] || fail "screenshot $shot is not in the repository"
  done
  ;;

icons)
  need python3 python3
  # The checked-in icons are what the generator draws now.
  python3 "$src/scripts/gen_glyphs.py" --icons "$work/hicolor"
  diff -r "$work/hicolor" "$src/dist/icons/hicolor" || fail "icons differ from scripts/gen_glyphs.py --icons"
  python3 "$src/scripts/gen_glyphs.py" --ico "$work/zedazi.ico"
  cmp "$work/zedazi.ico" "$src/dist/windows/zedazi.ico" ||
    fail "dist/windows/zedazi.ico differs from scripts/gen_glyphs.py --ico"
  python3 "$src/tests/dist/ico_check.py" "$src/dist/windows/zedazi.ico" "$src/dist/icons/hicolor" ||
    fail "dist/windows/zedazi.ico does not hold the desktop's icons"
  ;;

manpages)
  need nroff groff-base
  for p in zedazi-recv:tools/recv zedazi-boxsim:tools/boxsim zedazi:app; do
    name=${p%%:*} dir=${p#*:}
    page="$src/dist/man/$name.1"
    # Wide lines: no option is broken across two.
    text=$(LC_ALL=C nroff -man -rLL=400n -Tascii "$page" | sed 's/.\x08//g') ||
      fail "$page does not render"
    # The page answers each option its program's --help names.
    for opt in $("$build/$dir/$name" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      grep -q -- "$opt" <<<"$text" || fail "$name(1) misses $opt"
    done
    for section in "EXIT STATUS" "PORT NUMBERS" FILES EXAMPLES; do
      grep -q "^$section" <<<"$text" || fail "$name(1) has no $section"
    done
  done
  ;;

completion)
  [ -f /usr/share/bash-completion/bash_completion ] ||
    { echo "[  SKIPPED ] bash-completion is not installed (Debian package bash-completion)"; exit 77; }
  mkdir -p "$work/config/zedazi/ports" "$work/bin"
  ln -s "$build/tools/recv/zedazi-recv" "$work/bin/zedazi-recv"
  ln -s /dev/null "$work/config/zedazi/ports/com7"
  XDG_CONFIG_HOME=$work/config PATH=$work/bin:$PATH bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1/dist/completion/zedazi-recv"
    source "$1/dist/completion/zedazi-boxsim"
    complete_words() {
      COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()
      # compopt complains outside a real completion; the replies are what count.
      "$fn" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
      echo "${COMPREPLY[*]}"
    }
    expect() {
      local want=$1; shift
      local got; got=$(complete_words "$@")
      [ "$got" = "$want" ] || { echo "FAIL: $* -> \"$got\", want \"$want\"" >&2; exit 1; }
    }
    fn=_zedazi_recv
    expect "--list-ports" zedazi-recv --li
    expect "channels" zedazi-recv --type ch
    expect "channels logo data net" zedazi-recv --type ""
    # COM7 is the link made above; the machine may have ports of its own too.
    [[ " $(complete_words zedazi-recv --port COM) " == *" COM7 "* ]] || { echo "FAIL: no COM7" >&2; exit 1; }
    fn=_zedazi_boxsim
    expect "TAVRA TAVO" zedazi-boxsim --magic TAV
    expect "corrupt= cut=" zedazi-boxsim --fault c
    [[ " $(complete_words zedazi-boxsim --com "") " != *" 7 "* ]] || { echo "FAIL: taken 7 offered" >&2; exit 1; }
    [[ " $(complete_words zedazi-boxsim --com "") " == *" 8 "* ]] || { echo "FAIL: free 8 missing" >&2; exit 1; }
  ' _ "$src"
  ;;

*)
  fail "unknown case $case_name"
  ;;
esac
echo "$case_name: ok"

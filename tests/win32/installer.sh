# The installer under Wine, sourced by scripts/test-windows.sh once its prefix
# runs: test_installer installs $msi, checks what it laid out and that the
# installed receiver runs, uninstalls and checks that nothing is left; then a
# later version over it and an older one over that.
# Needs: root, work, msi, WINEPREFIX, wine_path.
# shellcheck shell=bash disable=SC2154  # the variables above are the caller's
set -euo pipefail

program_files=$WINEPREFIX/drive_c/Program\ Files/TAVO\ Zedazi
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

installer_fail() {
  local log
  for log in "$work"/msi-*.log; do
    [ -f "$log" ] || continue
    echo "== $(basename "$log") (end):" >&2
    tr -d '\r' <"$log" | tail -40 >&2
  done
  local keep=$root/build/windows/failed-run
  rm -rf "$keep"
  mkdir -p "$keep"
  cp "$work"/msi-*.log "$keep"/ 2>/dev/null || true
  echo "test-windows: installer: $* (logs in $keep)" >&2
  exit 1
}
msi_property() {
  msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"
}
# msiexec_expect ok|refused ACTION PACKAGE STEP: runs msiexec unattended, its
# log in msi-STEP.log; it returns once the whole transaction is done.
msiexec_expect() {
  local status=0
  timeout 300 wine msiexec "$2" "$(wine_path "$3")" /qn /l*v "$(wine_path "$work/msi-$4.log")" \
    >/dev/null 2>&1 || status=$?
  case $1:$status in
  ok:0 | refused:[1-9]*) ;;
  *) installer_fail "$4: msiexec $2 $(basename "$3") exited with $status, expected $1" ;;
  esac
}
# The shortcut lands in the common or the user's Start menu, as the system
# maps a per-machine install.
menu_entries() {
  find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/TAVO Zedazi*' 2>/dev/null
}
# Whether Apps & features lists product CODE as TAVO Zedazi.
registered() {
  local out status=0
  out=$(wine reg query "$uninstall_key\\$1" /v DisplayName 2>&1) || status=$?
  case $status in
  0) grep -q 'DisplayName *REG_SZ *TAVO Zedazi$' <<<"${out//$'\r'/}" ;;
  1) return 1 ;; # no such key
  *) installer_fail "wine reg query exited with $status: $out" ;;
  esac
}

check_installed() {
  local code=$1 exe lnk
  for exe in zedazi.exe zedazi-recv.exe; do
    [ -f "$program_files/$exe" ] || installer_fail "$exe is not in $program_files"
  done
  lnk=$(menu_entries | grep '/TAVO Zedazi/TAVO Zedazi\.lnk$' || true)
  [ -n "$lnk" ] || installer_fail "no Start-menu shortcut TAVO Zedazi.lnk"
  strings -a "$lnk" | grep -qx 'C:\\Program Files\\TAVO Zedazi\\zedazi\.exe' ||
    installer_fail "the shortcut does not lead to the installed zedazi.exe"
  strings -a -el "$lnk" | grep -q '\\zedazi\.ico$' || installer_fail "the shortcut has no icon"
  registered "$code" || installer_fail "no TAVO Zedazi in Apps & features ($code)"
}
check_removed() {
  local code=$1
  [ ! -e "$program_files" ] || installer_fail "$program_files is left: $(ls -A "$program_files")"
  [ -z "$(menu_entries)" ] || installer_fail "left in the Start menu: $(menu_entries)"
  ! registered "$code" || installer_fail "TAVO Zedazi is still in Apps & features"
}

test_installer() {
  echo "== Installer"
  local code product_version
  code=$(msi_property "$msi" ProductCode)
  product_version=$(msi_property "$msi" ProductVersion)
  if [ -z "$code" ] || [ -z "$product_version" ]; then
    installer_fail "$msi has no ProductCode or ProductVersion"
  fi

  msiexec_expect ok /i "$msi" install
  check_installed "$code"
  # Both programs carry their icon group (14), version block (16) and manifest (24).
  local exe types type
  for exe in zedazi.exe zedazi-recv.exe; do
    types=$(x86_64-w64-mingw32-objdump -p "$program_files/$exe" |
      sed -n '/Resource Directory section/,$s/^[0-9a-f]*   Entry: ID: 0x\(0000[0-9a-f][0-9a-f]\),.*/\1/p')
    for type in 00000e 000010 000018; do
      grep -qx "$type" <<<"$types" || installer_fail "$exe has no resource of type 0x$type"
    done
  done
  # The installed receiver runs from there and is the version the package says.
  local said
  said=$(timeout 120 wine "$program_files/zedazi-recv.exe" --version 2>&1 | tr -d '\r') ||
    installer_fail "the installed zedazi-recv.exe --version failed: $said"
  [ "$said" = "zedazi-recv ${product_version%.0}" ] ||
    installer_fail "the installed receiver says \"$said\", the package is $product_version"
  echo "installed $product_version: both programs, the shortcut, Apps & features; \"$said\""

  msiexec_expect ok /x "$msi" uninstall
  check_removed "$code"
  echo "uninstalled: no files, folder, shortcut or Apps & features entry left"

  # A later version replaces this one; this one over the later is refused.
  local later=${product_version%.*}.$((${product_version##*.} + 1)) later_msi=$work/later.msi
  # The caller runs in the source root: wixl takes paths relative to it.
  wixl -a x64 -o "$later_msi" -D BinDir=build/windows/zedazi -D IconFile=dist/windows/zedazi.ico \
    -D Version="$later" dist/windows/zedazi.wxs
  local later_code
  later_code=$(msi_property "$later_msi" ProductCode)
  msiexec_expect ok /i "$msi" reinstall
  msiexec_expect ok /i "$later_msi" upgrade
  check_installed "$later_code"
  ! registered "$code" || installer_fail "$product_version is still registered beside $later"
  msiexec_expect refused /i "$msi" downgrade
  check_installed "$later_code"
  msiexec_expect ok /x "$later_msi" uninstall-later
  check_removed "$later_code"
  echo "upgrade: $later replaced $product_version, $product_version over it refused, removed cleanly"
}

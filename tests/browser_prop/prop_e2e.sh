#!/usr/bin/env bash
# The archive properties of the real program on LHA archives made by jlha,
# read from the real dialog and answered through its controls: the shown
# type, sizes, times and attributes against the file, then the update time
# and read-only bit changed and read back with stat; Cancel changes nothing;
# an archive of empty files shows "-" for the ratio.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
export TZ=UTC
src="$SCRATCH/src"
mkdir -p "$src"
seq 1 3000 >"$src/b.txt"
printf 'hello\r\n' >"$src/a.txt"
: >"$src/empty1.txt"
: >"$src/empty2.txt"
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt b.txt >/dev/null 2>&1)
(cd "$src" && jlha a "$SCRATCH/empty.lzh" empty1.txt empty2.txt >/dev/null 2>&1)
# edits: the time fields as they stand, "YEAR MONTH DAY HOUR MINUTE SECOND ".
edits() { probe dialog TPropDlg controls | sed -n 's/^Edit id=[0-9]* \(\[focus\] \)\{0,1\}//p' | tr '\n' ' '; }
# props ARCHIVE BUTTON [PROBE COMMANDS...]: opens the archive and its
# properties, works the dialog with the commands, presses BUTTON and closes
# the program again. SHOWN holds the controls as the dialog came up, EDITED
# the time fields as they stood before the button.
props() {
  local arc=$1 button=$2
  shift 2
  start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
  probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
  SHOWN=$(probe dialog TPropDlg controls) || fail "no properties dialog"
  [ $# -eq 0 ] || probe dialog TPropDlg "$@" >/dev/null || fail "working the dialog: $*"
  EDITED=$(edits)
  probe dialog TPropDlg click "$button" waitgone TPropDlg 10000 >/dev/null || fail "dialog not closed by $button"
  stop_tovix
}
shown() { expect_line "$SHOWN" "$1" "$2"; }
# After the label LABEL: the value shown beside it.
value() { grep -A1 -xF -- "$1" <<<"$SHOWN" | tail -1 | sed 's/^Static id=[0-9]* //'; }
# typed N=TEXT...: field N (from 0: year to second) clicked into, typed and
# left by Tab (the next step waits until the Tab has moved the focus on).
typed() { local a=() n; for n in "$@"; do a+=(into "${n%%=*}" type "${n%%=*}" "${n#*=}" vk tab blur "${n%%=*}" 10000); done; printf '%s\n' "${a[@]}"; }
arc="$SCRATCH/arc.lzh"
touch -d '2005-06-07 08:09:10.5' "$arc"
read -r comp orig < <(lha v "$arc" | tail -1 | awk '{print $4, $5}')
size=$(stat -c %s "$arc")
# The owner's write bit (the test may run as root, for whom -w is always true).
writable() { [ "$(stat -c %A "$1" | cut -c3)" = w ]; }
group() { printf '%s' "$1" | rev | sed 's/[0-9]\{3\}/&,/g; s/,$//' | rev; }

# What is shown, then Cancel with everything changed: the file stays.
mapfile -t steps < <(typed 0=2001)
props "$arc" キャンセル "${steps[@]}" tick "読み取り専用(R)" 1
shown "Static id=0 arc.lzh" name
[ "$(value 'Static id=0 種類 :')" = "LHa書庫ファイル" ] || fail "type: $SHOWN"
[ "$(value 'Static id=0 サイズ :')" = "$(group "$size") Byte" ] || fail "size $size: $SHOWN"
[ "$(value 'Static id=0 元サイズ :')" = "$(group "$orig") Byte" ] || fail "original $orig: $SHOWN"
[ "$(value 'Static id=0 圧縮サイズ :')" = "$(group "$comp") Byte" ] || fail "compressed $comp: $SHOWN"
rate=$(awk -v c="$comp" -v o="$orig" 'BEGIN { printf "%.1f%%", c / o * 100 }')
[ "$(value 'Static id=0 圧縮率 :')" = "$rate" ] || fail "rate $rate: $SHOWN"
[ "$(value 'Button id=0 [checked] 更新日時 :')" = "2005年06月07日火曜日 08:09:10" ] || fail "update time: $SHOWN"
shown "Button id=0 読み取り専用(&R)" "read-only box"
[ "$EDITED" = "2001 6 7 8 9 10 " ] || fail "time editor: $EDITED"
[ "$(stat -c %y "$arc")" = "2005-06-07 08:09:10.500000000 +0000" ] || fail "cancel changed the time: $(stat -c %y "$arc")"
writable "$arc" || fail "cancel made the file read-only"

# OK unchanged: only the half second goes.
props "$arc" OK
[ "$(stat -c %y "$arc")" = "2005-06-07 08:09:10.000000000 +0000" ] || fail "unchanged OK: $(stat -c %y "$arc")"

# A new update time (typed month 13 becomes 12; a text that is no number
# is refused with a message on OK, the dialog stays and the field shows its
# old value again) and the read-only bit.
mapfile -t steps < <(typed 0=2001 1=13 2=3 3=4 4=5)
mapfile -t bad < <(typed 5=x)
mapfile -t sec < <(typed 5=8)
start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
probe dialog TPropDlg "${steps[@]}" "${bad[@]}" click OK >/dev/null || fail "typing the time"
box=$(probe dialog TPropDlg answer OK) || fail "no box for a text that is no number"
[ "$box" = "msgbox: エラー | 'x' は整数値ではありません" ] || fail "box for x: $box"
# The field shows its old value again once the box is gone.
restored() { edited=$(edits); [ "$edited" = "2001 12 3 4 5 10 " ]; }
poll 10 restored || fail "after x: $edited"
probe dialog TPropDlg "${sec[@]}" tick "読み取り専用(R)" 1 click OK waitgone TPropDlg 10000 >/dev/null ||
  fail "OK with the new time"
stop_tovix
[ "$(stat -c %y "$arc")" = "2001-12-03 04:05:08.000000000 +0000" ] || fail "new time: $(stat -c %y "$arc")"
! writable "$arc" || fail "not read-only: $(stat -c %A "$arc")"
lha t "$arc" >/dev/null || fail "archive damaged"

# Read-only shown; a read-only archive still takes a new time; then the
# bit cleared.
mapfile -t steps < <(typed 0=2010)
props "$arc" OK "${steps[@]}"
shown "Button id=0 [checked] 読み取り専用(&R)" "read-only shown"
[ "$(stat -c %y "$arc")" = "2010-12-03 04:05:08.000000000 +0000" ] || fail "time of a read-only file: $(stat -c %y "$arc")"
! writable "$arc" || fail "read-only bit lost"
props "$arc" OK tick "読み取り専用(R)" 0
writable "$arc" || fail "still read-only: $(stat -c %A "$arc")"
[ "$(stat -c %y "$arc")" = "2010-12-03 04:05:08.000000000 +0000" ] || fail "clearing the bit moved the time: $(stat -c %y "$arc")"

# A day the month does not have (typed 31 in May, then month 4): OK says so
# and the dialog stays open for the next answer; nothing is written.
touch -d '2005-05-07 08:09:10' "$arc"
mapfile -t steps < <(typed 2=31 1=4)
start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
probe dialog TPropDlg "${steps[@]}" >/dev/null || fail "typing the impossible date"
edited=$(edits)
[ "$edited" = "2005 4 31 8 9 10 " ] || fail "impossible date typed: $edited"
box=$(probe dialog TPropDlg click OK answer OK) || fail "no box for an impossible date"
[ "$box" = "msgbox: エラー | 日付が正しくありません。" ] || fail "box for 4/31: $box"
probe dialog TPropDlg 5000 >/dev/null || fail "the dialog did not stay open"
probe dialog TPropDlg click キャンセル waitgone TPropDlg 10000 >/dev/null || fail "cancel after the refusal"
stop_tovix
[ "$(stat -c %y "$arc")" = "2005-05-07 08:09:10.000000000 +0000" ] || fail "impossible date changed the time: $(stat -c %y "$arc")"

# Entries with no compressed bytes: no ratio.
props "$SCRATCH/empty.lzh" キャンセル
[ "$(value 'Static id=0 元サイズ :')" = "0 Byte" ] || fail "empty original: $SHOWN"
[ "$(value 'Static id=0 圧縮サイズ :')" = "-" ] || fail "empty compressed: $SHOWN"
[ "$(value 'Static id=0 圧縮率 :')" = "-" ] || fail "empty ratio: $SHOWN"
# Its caption, and closing it by the title bar changes nothing.
sum=$(stat -c '%y %A' "$arc")
start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
cap=$(probe wait TPropDlg 10000 caption) || fail "no properties window"
[ "$cap" = "caption: arc.lzh のプロパティ" ] || fail "dialog caption: $cap"
probe wait TPropDlg close waitgone TPropDlg 10000 >/dev/null || fail "dialog not closed"
stop_tovix
[ "$(stat -c '%y %A' "$arc")" = "$sum" ] || fail "closing the dialog changed the file"
echo ok

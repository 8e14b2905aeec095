#!/usr/bin/env bash
# The layers include and link one way down: protocol <- link <- console <-
# recipe <- window <- app, and the command-line tool stands on the recipes
# beside the window. The recipes and everything below them, the tool and the
# console's logic tests stay free of Qt Gui and Qt Widgets, and only the
# recipes and those above them use Qt's JavaScript engine. Only the console's
# operations (the drive's, the line's, and the link guard they share) call
# the exchange: a new way to the wire elsewhere fails here.
# Usage: check_layers.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1/src
build=$2
status=0

# forbid LAYER PATTERN WHAT: no #include in src/LAYER matches PATTERN.
forbid() {
  local hits
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($2)" "$src/$1" || true)
  if [ -n "$hits" ]; then
    echo "src/$1 includes $3:"
    echo "$hits"
    status=1
  fi
}

gui='Qt(Gui|Widgets)/|Q(Application|Color|Palette|Widget|Painter|Font|Pixmap|Image|Icon)[>"]'
forbid protocol "link/|console/|recipe/|window/|app/|QtSerialPort/|QSerial|$gui" "a higher layer, the serial port or the GUI"
forbid link "console/|recipe/|window/|app/|$gui" "a higher layer or the GUI"
forbid console "recipe/|window/|app/|QtSerialPort/|QSerial|QJS|QtQml/|$gui" "a higher layer, the serial port, the GUI or the script engine"
forbid recipe "window/|app/|QtSerialPort/|QSerial|$gui" "a higher layer, the serial port or the GUI"
forbid window "app/" "the application"
forbid cli "window/|app/|$gui" "the window or the GUI"
forbid bridge "recipe/|results/|window/|app/|cli/|QtSerialPort/|QSerial|QJS|QtQml/|$gui" "a higher layer, the serial port, the GUI or the script engine"

exchange='\b(send_mivo_command|get_mivo_response|Check_MIVO_response)[[:space:]]*\('
doors="^$src/(link/command_exchange|console/(drive_operations|line_operations|link_guard))\.(h|cpp):"
hits=$(grep -rnE "$exchange" "$src" --include='*.h' --include='*.cpp' | grep -vE "$doors" || true)
if [ -n "$hits" ]; then
  echo "the exchange is called outside the drive and line operations:"
  echo "$hits"
  status=1
fi

for bin in "$build"/tests/console/tst_{terminal,station_search,selection,monitoring,settings,motion,faults,drive_settings,wire_log,recorder,availability,drive_operations,line_overview,reconnection} \
           "$build/src/cli/mivo-cli"; do
  t=$(basename "$bin")
  if [ ! -x "$bin" ]; then
    echo "missing $bin"
    status=1
  elif readelf -d "$bin" | grep -qE 'NEEDED.*libQt6(Gui|Widgets)'; then
    echo "$t links Qt Gui or Qt Widgets"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers: ok"
exit $status

#!/usr/bin/env bash
# check_layers.sh must fail on a new way to the wire: it passes on a copy of
# the sources, then fails on the same copy once a core class outside the
# operations calls the exchange itself.
# Usage: check_layers_catches.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
here=$(dirname "$0")
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$1/src" "$copy/src"

if ! out=$("$here/check_layers.sh" "$copy" "$2"); then
  echo "the unchanged copy fails already:"
  echo "$out"
  exit 1
fi
cat >>"$copy/src/console/monitoring.cpp" <<'CPP'
namespace mivo {
void sneak(CommandExchange& exchange) { exchange.get_mivo_response(QStringLiteral("RV 0"), QString()); }
}  // namespace mivo
CPP
if out=$("$here/check_layers.sh" "$copy" "$2"); then
  echo "a call of the exchange in monitoring.cpp went unnoticed"
  exit 1
fi
if ! grep -q "monitoring.cpp" <<<"$out"; then
  echo "check_layers.sh failed, but not on the new caller:"
  echo "$out"
  exit 1
fi
echo "layers check: catches a new caller"

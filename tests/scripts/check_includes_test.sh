#!/usr/bin/env bash
# The include-direction check fails on each kind of wrong include, planted in
# a small tree of its own, and passes on the same tree without it.
set -euo pipefail
check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-includes
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

plant() { # plant FILE INCLUDE: a tree whose only wrong line is INCLUDE in FILE
  rm -rf "${tree:?}"/*
  mkdir -p "$tree"/{app,base,decode/ui,link/platform,record,chart,sim}
  echo '#include "base/Locale.h"' >"$tree/decode/Good.h"
  echo '#include "decode/ui/LcdPanel.h"' >"$tree/app/Window.cpp"
  echo '#include <QWidget>' >"$tree/decode/ui/Panel.cpp"
  [ -z "$1" ] || echo "$2" >>"$tree/$1"
}

plant "" ""
"$check" "$tree" >/dev/null || { echo "a clean tree was refused"; exit 1; }
while IFS='|' read -r file include; do
  plant "$file" "$include"
  if "$check" "$tree" >/dev/null 2>&1; then
    echo "not caught: $include in $file"
    exit 1
  fi
done <<'CASES'
decode/Bad.h|#include "app/HeronF.h"
sim/Bad.cpp|#include "app/StartUp.h"
base/Bad.h|#include "decode/PanelState.h"
record/Bad.cpp|#include "decode/ui/LcdPanel.h"
chart/Bad.h|#include "link/platform/QtSerialLink.h"
link/platform/Bad.cpp|#include "chart/ui/ScaleImage.h"
record/Bad.h|#include <QString>
CASES
echo "every planted include was caught"

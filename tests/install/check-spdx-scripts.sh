#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/check-spdx and scripts/add-spdx on a small git work tree of their own: which files
# count as source, where the header goes, and that adding it changes nothing else.
#   tests/install/check-spdx-scripts.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cd "$tree"
git init -q .
mkdir -p scripts src tools tests/data build res
cp "$source_dir/scripts/check-spdx" "$source_dir/scripts/add-spdx" scripts/
echo 'build/' >.gitignore
printf '#pragma once\nint f();\n' >src/a.h
printf '// SPDX-License-Identifier: GPL-3.0-or-later\nint g();\n' >src/done.h
printf 'project(x)\n' >CMakeLists.txt
printf '.TH X 1\n' >res/x.1
printf '#!/bin/sh\necho hi\n' >tools/run
chmod 755 tools/run
printf 'int data;\n' >tests/data/sample.cpp  # read by tests, not source
printf 'int built;\n' >build/generated.cpp     # ignored by git
printf '<svg/>\n' >res/icon.svg
git add -A

if scripts/check-spdx 2>"$tree/report"; then
    fail "check-spdx passed a tree without headers"
fi
listed=$(sed -n 's/^  //p' "$tree/report" | tr '\n' ' ')
expected='CMakeLists.txt res/x.1 src/a.h tools/run '
[ "$listed" = "$expected" ] || fail "check-spdx listed '$listed', expected '$expected'"

scripts/add-spdx >/dev/null
scripts/check-spdx || fail "check-spdx fails after add-spdx"
[ "$(cat src/a.h)" = $'// SPDX-License-Identifier: GPL-3.0-or-later\n#pragma once\nint f();' ] ||
    fail "src/a.h: $(cat src/a.h)"
[ "$(cat res/x.1)" = $'.\\" SPDX-License-Identifier: GPL-3.0-or-later\n.TH X 1' ] ||
    fail "res/x.1: $(cat res/x.1)"
[ "$(cat tools/run)" = $'#!/bin/sh\n# SPDX-License-Identifier: GPL-3.0-or-later\necho hi' ] ||
    fail "tools/run: $(cat tools/run)"
[ -x tools/run ] || fail "tools/run lost its executable bit"
[ "$(cat tests/data/sample.cpp build/generated.cpp)" = $'int data;\nint built;' ] ||
    fail "add-spdx changed a file that is not source"

# A second run finds nothing to do; a file under another licence is named, not changed.
printf '// SPDX-License-Identifier: MIT\nint h();\n' >src/other.h
cp src/a.h "$tree/a.h.before"
if scripts/add-spdx >/dev/null 2>"$tree/report"; then
    fail "add-spdx accepted a file under another licence"
fi
grep -q 'src/other.h' "$tree/report" || fail "add-spdx did not name src/other.h"
[ "$(head -n 1 src/other.h)" = '// SPDX-License-Identifier: MIT' ] || fail "src/other.h was changed"
cmp -s src/a.h "$tree/a.h.before" || fail "a second add-spdx changed src/a.h"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages format without a warning (the check lintian makes), and brindle-cli's page
# has a section for every command its --help lists, naming every option of that command's
# --help. Fails listing what is missing:
#   tests/install/check-manual.sh build/bin/brindle-cli res/man
set -uo pipefail
cli=$1
pages=$2
failed=0

for page in "$pages"/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: formatting warnings:"$'\n'"$warnings"
        failed=1
    fi
done

page=$pages/brindle-cli.1
commands=$("$cli" --help | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { on = 0 }')
if [ -z "$commands" ]; then
    echo "no commands in '$cli --help'"
    exit 1
fi
for command in $commands; do
    # The roff source writes every hyphen of a command or option as \-.
    heading=".SS ${command//-/\\-}"
    section=$(awk -v heading="$heading" '$0 == heading { on = 1; next } /^\.S[HS]/ { on = 0 } on' "$page")
    if [ -z "$section" ]; then
        echo "$page: no section '$heading'"
        failed=1
        continue
    fi
    for option in $("$cli" "$command" --help | awk '/^Options:/ { on = 1; next } on && /^  --/ { print $1 }'); do
        [ "$option" = --help ] && continue
        if ! grep -qF -- "${option//-/\\-}" <<<"$section"; then
            echo "$page: section '$command' does not name $option"
            failed=1
        fi
    done
done
grep -q '^\.SH EXIT STATUS$' "$page" || { echo "$page: no EXIT STATUS section"; failed=1; }
exit $failed

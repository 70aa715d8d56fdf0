#!/usr/bin/env bash
# Checks that C++ files are formatted as .clang-format says. With a git revision, only the files
# changed since it; without, the files changed by the last commit; with --all, every file.
source "$(dirname "$0")/common.sh"
PACKAGES=(clang-format git)
ensure_packages
cd "$ROOT"
case "${1:-}" in
--all) files=$(git ls-files '*.cpp' '*.h') ;;
"") files=$(git diff --name-only --diff-filter=AM HEAD~1 -- '*.cpp' '*.h' 2>/dev/null || git ls-files '*.cpp' '*.h') ;;
*) files=$(git diff --name-only --diff-filter=AM "$1" -- '*.cpp' '*.h') ;;
esac
[ -n "$files" ] || { echo "format-check: no C++ files changed"; exit 0; }
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
    echo "format-check: run clang-format -i on the files above" >&2
    exit 1
fi
echo "format-check: $(echo "$files" | wc -w) files formatted"

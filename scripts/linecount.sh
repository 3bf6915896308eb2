#!/usr/bin/env bash
# Lines of C++ (.cpp and .h) in the tests against the production code, per folder and in total:
# bash scripts/linecount.sh
set -euo pipefail
cd "$(dirname "$0")/.."

lines() { # lines DIR...: .cpp and .h lines under the folders
    find "$@" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l
}

for dir in tests/* fuzz; do
    [[ -d $dir ]] || continue
    n=$(find "$dir" \( -name '*.cpp' -o -name '*.h' \) | wc -l)
    [[ $n -gt 0 ]] && printf '%-22s %6d\n' "$dir" "$(lines "$dir")"
done
test_lines=$(lines tests fuzz)
code_lines=$(lines src rewire-bundle tools)
printf '%-22s %6d\n' "tests + fuzz" "$test_lines" "src + bundle + tools" "$code_lines"
printf '%-22s %5d %%\n' "ratio" $((100 * test_lines / code_lines))

#!/usr/bin/env bash
# Every core folder includes only the folders below it, and no core file includes a widget
# or a program's header: an include that runs back up fails here, naming the line.
set -uo pipefail
src="$1"
order=(settings net filelist queue run search download app)
status=0
for i in "${!order[@]}"; do
    below="${order[*]:0:i}"
    while IFS= read -r hit; do
        target=$(sed -E 's#.*"core/([a-z]+)/.*#\1#' <<<"$hit")
        [[ $target == "${order[i]}" || " $below " == *" $target "* ]] && continue
        echo "runs back up: $hit"
        status=1
    done < <(grep -rnE '#include "core/[a-z]+/' "$src/core/${order[i]}")
done
if grep -rnE '#include [<"](gui|cli|demo)/|#include <Q(Widget|MainWindow|Dialog|Abstract(Button|ItemView))' "$src/core"; then
    status=1
fi
exit $status

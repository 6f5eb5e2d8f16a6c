#include "tools/view_mode.h"

#include <cstdio>

// Placeholder until the mail view exists; replaced by the view's own
// implementation of the same function.
int RunViewMode(const DumpOptions&) {
    std::fputs("kqv-dump: --view is not available in this build\n", stderr);
    return 2;
}

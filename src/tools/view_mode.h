#pragma once
// The view mode of kqv-dump (--view): runs the mail view headless on the
// file and prints what its displays hold. Returns the exit status.

#include "tools/dump_options.h"

int RunViewMode(const DumpOptions& options);

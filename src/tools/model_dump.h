#pragma once
// The model mode of kqv-dump: load mail files and print their message models.

#include "tools/dump_options.h"

// Writes the model object to the file descriptor out and returns the exit
// status: 0 loaded, 1 loading (or copying an attachment) failed, 2 when the
// folder for saved attachments cannot be made (then nothing is written).
// In a batch, one object per file and line, each led by "file"; 1 when any
// failed.
int RunModelMode(const DumpOptions& options, int out);

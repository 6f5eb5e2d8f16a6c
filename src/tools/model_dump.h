#pragma once
// The model mode of kqv-dump: load one mail file and print the message model.

#include "tools/dump_options.h"

// Writes the model object to the file descriptor out and returns the exit
// status: 0 loaded, 1 loading (or copying an attachment) failed, 2 when the
// folder for saved attachments cannot be made (then nothing is written).
int RunModelMode(const DumpOptions& options, int out);

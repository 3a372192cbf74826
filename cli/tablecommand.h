#pragma once

#include <cstdio>

namespace quenzil {

struct TableOptions;

// Loads the pictures, writes their tables one after another to `standardOutput` or to the -o
// file, and the preview when asked. Messages, and the figures of --stats after the tables, go to
// `errors`. Returns the exit code: 0 when all was written, 1 when a picture could not be loaded
// (then nothing is written) or something could not be written, 128 + the
// signal's number when SIGINT, SIGTERM, SIGHUP or SIGQUIT stopped the writing; no output file is
// left behind and an existing one is kept as it was unless all was written.
int runTableCommand(const TableOptions &options, std::FILE *standardOutput, std::FILE *errors);

} // namespace quenzil

#pragma once

namespace quenzil {

struct CommandOptions;

// Reads, prepares and writes every picture's table, one picture at a time, to standard output or
// the -o file, and the preview when asked; messages and the --stats figures go to standard error.
// Returns the exit code: 0 when all was written, 1 when a picture could not be read or prepared
// (every such picture is reported and nothing is written) or something could not be written (an
// -o or preview file is then left as it was).
int runTableCommand(const CommandOptions &options);

} // namespace quenzil

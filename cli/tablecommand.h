#pragma once

#include <cstdio>

class QImage;

namespace quenzil {

class PictureSurface;
struct TableOptions;

// The picture as a display of 3-3-2 colours shows it: each pixel's code in its display colour.
QImage displayPreview(const PictureSurface &surface);

// Loads the picture, writes its table to `standardOutput` or to the -o file,
// and the preview when asked. Messages go to `errors`. Returns the exit code: 0 when all was
// written, 1 when the picture could not be loaded or something could not be written, 128 + the
// signal's number when SIGINT, SIGTERM, SIGHUP or SIGQUIT stopped the writing; no output file is
// left behind and an existing one is kept as it was unless all was written.
int runTableCommand(const TableOptions &options, std::FILE *standardOutput, std::FILE *errors);

} // namespace quenzil

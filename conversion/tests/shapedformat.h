#pragma once

#include "tableformat.h"

namespace quenzil::testsupport {

// A table format in one call, for rows of cases.
inline TableFormat shaped(Radix radix, unsigned perLine = 8, bool rowLines = false,
                          bool runLength = false, bool sizeLine = false,
                          const char *label = "Picture")
{
    TableFormat format;
    format.label = label;
    format.radix = radix;
    format.perLine = perLine;
    format.rowLines = rowLines;
    format.runLength = runLength;
    format.sizeLine = sizeLine;
    return format;
}

} // namespace quenzil::testsupport

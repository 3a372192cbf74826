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

// The same format in the classic dialect, its data lines numbered from `lineStart`.
inline TableFormat classic(TableFormat format, unsigned lineStart = 1000, unsigned lineStep = 10)
{
    format.dialect = &classicDialect;
    format.lineStart = lineStart;
    format.lineStep = lineStep;
    return format;
}

inline TableFormat limited(TableFormat format, unsigned maxLine)
{
    format.maxLine = maxLine;
    return format;
}

} // namespace quenzil::testsupport

#pragma once

#include <QString>

namespace pictavo {

// The first maxChars characters (Unicode code points) of text; a surrogate pair is never
// split. A field without a declared size (0) has no limit: a table made by another
// program may declare none, and its texts must not be emptied.
inline QString cutToCharacters(const QString &text, int maxChars)
{
    if (maxChars <= 0)
        return text;
    int units = 0;
    for (int chars = 0; units < text.size() && chars < maxChars; ++chars)
        units += (text[units].isHighSurrogate() && units + 1 < text.size() &&
                  text[units + 1].isLowSurrogate())
                     ? 2
                     : 1;
    return units >= text.size() ? text : text.left(units);
}

} // namespace pictavo

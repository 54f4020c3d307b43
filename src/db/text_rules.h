#pragma once

#include <QString>

namespace pictavo {

// The first maxChars characters (Unicode code points) of text; a surrogate pair is never
// split.
inline QString cutToCharacters(const QString &text, int maxChars)
{
    int units = 0;
    for (int chars = 0; units < text.size() && chars < maxChars; ++chars)
        units += (text[units].isHighSurrogate() && units + 1 < text.size() &&
                  text[units + 1].isLowSurrogate())
                     ? 2
                     : 1;
    return units >= text.size() ? text : text.left(units);
}

} // namespace pictavo

// Display text that cannot lie about what a name or value holds.
#pragma once

#include <string>
#include <string_view>

// `text` with every character that is invisible or changes how the text around it is shown
// replaced by a visible escape "<U+XXXX>" (four or more upper-case hex digits): C0 and C1 control
// characters and DEL, bidirectional formatting characters (U+061C, U+200E/F, U+202A-202E,
// U+2066-2069), zero-width and invisible characters (U+180E, U+200B-200D, U+2060-2064, U+FEFF,
// Unicode tags) and the line/paragraph separators U+2028/2029. An unpaired surrogate is shown as
// U+FFFD. Everything else is kept as it is. For display only: the escaped text is never stored or
// passed on.
std::u16string EscapeForDisplay(std::u16string_view text);

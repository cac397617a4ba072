// EditorText: how the script editor measures text. The editor reads a script as UTF-8 and counts
// UTF-16 units, so caret positions and annotation lengths are counted the same way here.
#pragma once

#include <cstdint>

// Characters as the editor counts the first length bytes of text: UTF-16 units of the UTF-8
// text (4-byte sequences are surrogate pairs, 2 units), a CR LF pair as one line break, and a
// byte that does not start a well-formed sequence as one replacement character.
int32_t EditorLength(const char *text, int32_t length);

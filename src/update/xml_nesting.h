// A bound on how deeply TinyXML would nest the elements of a text, so that
// a hostile reply cannot drive its recursive parser off the stack.
#pragma once

#include <cstddef>

// Never less than the element depth TinyXML reaches while parsing the
// NUL-terminated `text` (comments, CDATA and quoted attribute values are
// skipped as TinyXML skips them). Stops counting once `limit` is passed.
size_t ElementNestingUpperBound(const char* text, size_t limit);

#include "update/xml_nesting.h"

#include <cstring>

namespace {

bool StartsWith(const char* p, const char* prefix) {
  return std::strncmp(p, prefix, std::strlen(prefix)) == 0;
}

// Just past the first `end` at or after `p`, or the terminating NUL.
const char* SkipPast(const char* p, const char* end) {
  const char* found = std::strstr(p, end);
  return found ? found + std::strlen(end) : p + std::strlen(p);
}

// TinyXML takes "<" followed by a letter, an underscore or any byte from
// 127 up as the start of an element.
bool StartsElement(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 127;
}

}  // namespace

size_t ElementNestingUpperBound(const char* text, size_t limit) {
  size_t depth = 0;
  size_t deepest = 0;
  const char* p = text;
  while (*p) {
    if (*p != '<') {
      ++p;
    } else if (StartsWith(p, "<!--")) {
      p = SkipPast(p + 4, "-->");
    } else if (StartsWith(p, "<![CDATA[")) {
      p = SkipPast(p + 9, "]]>");
    } else if (p[1] == '/') {
      if (depth > 0) --depth;
      p = SkipPast(p + 2, ">");
    } else if (!StartsElement(static_cast<unsigned char>(p[1]))) {
      p = SkipPast(p + 1, ">");  // declarations and other markup
    } else {
      // A start tag ends at the first '>' outside a quoted value.
      const char* q = p + 1;
      char quote = 0;
      for (; *q; ++q) {
        if (quote) {
          if (*q == quote) quote = 0;
        } else if (*q == '"' || *q == '\'') {
          quote = *q;
        } else if (*q == '>') {
          break;
        }
      }
      bool selfClosing = *q == '>' && q[-1] == '/';
      if (!selfClosing && ++depth > deepest) {
        deepest = depth;
        if (deepest > limit) return deepest;
      }
      p = *q ? q + 1 : q;
    }
  }
  return deepest;
}

#include "shell/status_text.h"

namespace qf {

std::u16string StatusText(std::u16string_view text) {
  if (text.empty() || text.front() == u' ') return std::u16string(text);
  if (text.back() == u'\u3002') {
    text.remove_suffix(1);
  } else if (text.back() == u'.' && !(text.size() >= 2 && text[text.size() - 2] == u'.')) {
    text.remove_suffix(1);
  }
  return std::u16string(text.substr(0, 254));
}

}  // namespace qf

#pragma once

#include <memory>
#include <string>
#include <string_view>

struct UConverter;

namespace qf {

// ANSI text in a Windows code page. Code pages ICU does not know are taken as 1252; characters
// the code page lacks are written as '?', as the system's own conversion does.
class AnsiConverter {
 public:
  explicit AnsiConverter(int codePage);
  std::u16string toUtf16(std::string_view bytes);
  std::string fromUtf16(std::u16string_view text);

 private:
  struct Closer {
    void operator()(UConverter* converter) const;
  };
  std::unique_ptr<UConverter, Closer> converter_;
};

}  // namespace qf

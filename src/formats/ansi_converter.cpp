#include "formats/ansi_converter.h"

#include <unicode/ucnv.h>

#include <cstdint>

namespace qf {

namespace {

constexpr int kFallbackCodePage = 1252;

}  // namespace

AnsiConverter::AnsiConverter(int codePage) {
  UErrorCode status = U_ZERO_ERROR;
  converter_.reset(ucnv_open(("windows-" + std::to_string(codePage)).c_str(), &status));
  if (U_FAILURE(status) || !converter_) {
    status = U_ZERO_ERROR;
    converter_.reset(ucnv_open(("windows-" + std::to_string(kFallbackCodePage)).c_str(), &status));
  }
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter_.get(), "?", 1, &status);
}

void AnsiConverter::Closer::operator()(UConverter* converter) const { ucnv_close(converter); }

std::u16string AnsiConverter::toUtf16(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');  // never more than one unit a byte in a Windows code page
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length = ucnv_toUChars(converter_.get(), text.data(), static_cast<std::int32_t>(text.size()),
                                            bytes.data(), static_cast<std::int32_t>(bytes.size()), &status);
  text.resize(U_FAILURE(status) ? 0 : static_cast<std::size_t>(length));
  return text;
}

std::string AnsiConverter::fromUtf16(std::u16string_view text) {
  std::string bytes(text.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter_.get())), '\0');
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length = ucnv_fromUChars(converter_.get(), bytes.data(), static_cast<std::int32_t>(bytes.size()),
                                              text.data(), static_cast<std::int32_t>(text.size()), &status);
  bytes.resize(U_FAILURE(status) ? 0 : static_cast<std::size_t>(length));
  return bytes;
}

}  // namespace qf

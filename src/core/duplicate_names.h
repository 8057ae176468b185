#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "core/poi_document.h"
#include "core/user_port.h"

namespace qf {

// The "Same POI Names" check of one operation that adds POIs (reading a file, pasting): a name
// that a row has already — also one added earlier by the same operation — is put to the user, whose
// "all" answers hold for the rest of the operation.
class DuplicateNames {
 public:
  // A disabled check ("Check Name" off) never drops a POI.
  DuplicateNames(const PoiDocument& document, bool enabled, UserPort& port)
      : document_(document), enabled_(enabled), port_(port) {}

  // Whether the POI with this (normalised) name is to be dropped.
  bool eliminate(std::u16string_view name);
  int eliminatedCount() const { return eliminated_; }

 private:
  bool known(std::u16string_view name);

  enum class Remembered { Ask, RetainAll, EliminateAll };
  const PoiDocument& document_;
  const bool enabled_;
  UserPort& port_;
  Remembered remembered_ = Remembered::Ask;
  int eliminated_ = 0;
  bool indexed_ = false;
  std::unordered_set<std::u16string> names_;
};

}  // namespace qf

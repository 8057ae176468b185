#include "core/duplicate_names.h"

namespace qf {

bool DuplicateNames::known(std::u16string_view name) {
  // Every row counts, also those added earlier by the same operation; an index keeps the check
  // linear on large files.
  if (!indexed_) {
    for (const PoiRecord& row : document_.rows) names_.emplace(row.text(kName));
    indexed_ = true;
  }
  return names_.contains(std::u16string(name));
}

bool DuplicateNames::eliminate(std::u16string_view name) {
  if (!enabled_ || remembered_ == Remembered::RetainAll) return false;
  bool eliminate = false;
  if (known(name)) {
    DuplicateAnswer answer = DuplicateAnswer::EliminateAll;
    if (remembered_ == Remembered::Ask) answer = port_.askDuplicateName(name);
    if (answer == DuplicateAnswer::RetainAll) remembered_ = Remembered::RetainAll;
    if (answer == DuplicateAnswer::EliminateAll) remembered_ = Remembered::EliminateAll;
    eliminate = answer == DuplicateAnswer::Eliminate || answer == DuplicateAnswer::EliminateAll;
  }
  if (eliminate) {
    ++eliminated_;
  } else {
    names_.emplace(name);
  }
  return eliminate;
}

}  // namespace qf

#pragma once

#include <filesystem>
#include <span>
#include <string>

namespace qf {

// Expands every file of the cabinet into `folder`, which must exist. Each file goes to a temporary
// file, and none replaces what the folder holds until all of them are complete, so a cabinet that
// fails halfway leaves the folder as it was. Refused whole, with nothing written: a cabinet that
// cannot be read, one without every name of `required`, and one with a member whose name is not
// a plain file name ("../x", "a/b", ".hidden") or that is too large for what it should hold.
bool ExpandCabinet(const std::filesystem::path& cabinet, const std::filesystem::path& folder,
                   std::span<const std::string> required);

}  // namespace qf

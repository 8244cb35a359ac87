// The whole set of assets, written into one folder.
#pragma once

#include <string>

namespace assets {

// Writes the fourteen files into `folder`, which must exist. On failure returns false and says
// what went wrong; files written before the failure stay.
bool MakeAll(const std::string& folder, std::string& error);

}  // namespace assets

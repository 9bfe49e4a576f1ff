// Splitting a narrow path at a separator, whole characters at a time.
#ifndef KELVRA_MEDIA_SPLIT_H
#define KELVRA_MEDIA_SPLIT_H

#include <string>
#include <vector>

#include "base/codepage.h"

// Clears `parts` and fills it with the pieces of `source` between
// separators. A separator whose preceding character is `guard` does not
// split; it leads the next piece instead, so "\\server\share" gives "",
// "\server", "share". Separators and guards are only ever whole characters:
// the trail byte of a double-byte character never counts as one.
void SplitAtSeparator(const std::string& source, char separator, std::vector<std::string>& parts,
                      char guard, const LeadBytes& lb);

// The folders that must exist before `path` can be created, from the root
// down, each ending in a backslash: every level before the last backslash.
// Empty when the path holds no backslash.
std::vector<std::string> ParentFolders(const std::string& path, const LeadBytes& lb);

#endif

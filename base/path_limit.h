// The limits of a path as the platform hands it over.
#ifndef KELVRA_BASE_PATH_LIMIT_H
#define KELVRA_BASE_PATH_LIMIT_H

#include <cstddef>

// Whether a program path that the platform wrote into a buffer of
// `bufferSize` characters, answering `returned`, is whole. A path that fills
// the buffer may have been cut and would name another file.
bool ProgramPathIsWhole(unsigned long returned, std::size_t bufferSize);

// The longest path Windows hands over, in UTF-16 units with its zero.
constexpr std::size_t kLongPathChars = 32768;

#endif

#include "base/path_limit.h"

bool ProgramPathIsWhole(unsigned long returned, std::size_t bufferSize)
{
    return returned != 0 && returned < bufferSize;
}

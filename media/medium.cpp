#include "media/medium.h"

namespace medium {

std::string DescriptionPathFor(const std::string& programPath)
{
    const std::size_t dot = programPath.rfind('.');
    std::string path = dot == std::string::npos ? programPath : programPath.substr(0, dot + 1);
    path += "ini";
    return path;
}

} // namespace medium

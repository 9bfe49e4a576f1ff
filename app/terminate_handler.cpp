// setup.exe has no console to print on, so the C++ runtime's verbose
// terminate handler, which names the uncaught exception's type, would only
// bring its type-name demangler along (36 KB). Defining it here keeps the
// runtime's copy out; an uncaught exception ends the program as before.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx

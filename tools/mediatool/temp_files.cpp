#include "tools/mediatool/temp_files.h"

#include <cstring>

#include "tools/mediatool/temp_files_slots.h"

namespace tempfiles {

namespace detail {

Slot g_slots[kSlots];

void Register(const fs::path& p, bool folder, void* handle)
{
    Install();
    const fs::path::string_type& s = p.native();
    if (s.size() >= kPathMax) return;   // left behind on an interruption; never seen in practice
    for (Slot& slot : g_slots) {
        if (slot.used) continue;
        std::memcpy(slot.path, s.c_str(), (s.size() + 1) * sizeof(fs::path::value_type));
        slot.folder = folder;
        slot.handle = handle;
        slot.used = 1;
        return;
    }
}

std::string Numbered(const std::string& stem, unsigned n, const char* suffix)
{
    return stem + "." + std::to_string(ProcessId()) + (n ? "-" + std::to_string(n) : std::string()) + suffix;
}

} // namespace detail

using namespace detail;

bool CreateFolderIn(const fs::path& dir, fs::path& folder, std::string& why)
{
    for (unsigned n = 0; n < 1000; ++n) {
        folder = dir / Numbered(".mediatool", n, ".tmp");
        HoldInterrupts hold;
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            Register(folder, true, nullptr);
            return true;
        }
        if (ec) {
            why = ec.message();
            return false;
        }
    }
    why = "no free temporary name";
    return false;
}

void RemoveOnInterrupt(const fs::path& p, bool folder)
{
    HoldInterrupts hold;
    Register(p, folder, nullptr);
}

void Forget(const fs::path& p)
{
    HoldInterrupts hold;
    for (Slot& slot : g_slots)
        if (slot.used && fs::path::string_type(slot.path) == p.native()) slot.used = 0;
}

bool IsStagingFolderName(const std::string& name, unsigned long& pid)
{
    const std::string stem = ".mediatool.", suffix = ".tmp";
    if (name.size() <= stem.size() + suffix.size() || name.compare(0, stem.size(), stem) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string middle = name.substr(stem.size(), name.size() - stem.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    const std::string number = middle.substr(0, dash), count = dash == std::string::npos ? "0" : middle.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(number) || !digits(count)) return false;
    pid = std::stoul(number);
    return true;
}


} // namespace tempfiles

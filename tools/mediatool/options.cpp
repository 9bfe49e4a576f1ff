#include "tools/mediatool/options.h"

#include "tools/mediatool/console.h"

namespace {

const OptionSpec kQuiet = {"quiet", 'q', false};

const OptionSpec* FindLong(const std::vector<OptionSpec>& specs, const std::string& name)
{
    if (name == kQuiet.name) return &kQuiet;
    for (const OptionSpec& s : specs)
        if (name == s.name) return &s;
    return nullptr;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& specs, char letter)
{
    if (letter == kQuiet.letter) return &kQuiet;
    for (const OptionSpec& s : specs)
        if (s.letter && s.letter == letter) return &s;
    return nullptr;
}

} // namespace

std::size_t EndOfOptions(const Args& args)
{
    for (std::size_t i = 0; i < args.size(); ++i)
        if (args[i] == "--") return i;
    return args.size();
}

bool ParseCommandLine(const char* command, const Args& args, const std::vector<OptionSpec>& specs,
                      ParsedArgs& out)
{
    out = ParsedArgs();
    auto take = [&](const OptionSpec& option, const std::string& shown, std::string value) {
        if (option.takesValue && value.empty()) {
            UsageError(command, shown + " needs a value");
            return false;
        }
        if (&option == &kQuiet) SetQuiet(true);
        else out.options.emplace_back(option.name, value);
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            out.operands.insert(out.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (a.size() < 2 || a[0] != '-') {
            out.operands.push_back(a);
            continue;
        }
        if (a[1] == '-') {
            const std::size_t eq = a.find('=');
            const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            const OptionSpec* option = FindLong(specs, name);
            if (!option) return UsageError(command, "unknown option '--" + name + "'"), false;
            std::string value;
            if (eq != std::string::npos) {
                if (!option->takesValue) return UsageError(command, "--" + name + " takes no value"), false;
                value = a.substr(eq + 1);
            } else if (option->takesValue && i + 1 < args.size()) {
                value = args[++i];
            }
            if (!take(*option, "--" + name, value)) return false;
            continue;
        }
        // A group of short options; one that takes a value takes the rest.
        for (std::size_t k = 1; k < a.size(); ++k) {
            const OptionSpec* option = FindShort(specs, a[k]);
            const std::string shown = std::string("-") + a[k];
            if (!option) return UsageError(command, "unknown option '" + shown + "'"), false;
            std::string value;
            if (option->takesValue) {
                if (k + 1 < a.size()) value = a.substr(k + 1);
                else if (i + 1 < args.size()) value = args[++i];
                k = a.size();
            }
            if (!take(*option, shown, value)) return false;
        }
    }
    return true;
}

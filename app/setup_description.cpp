#include "app/setup_description.h"

#include "media/file_owner.h"

namespace {

enum class LineRead { kLine, kTooLong, kError };

// One line of at most kSetupDescriptionMaxLine characters, the line feed
// consumed and not stored, a carriage return right before it dropped.
// `atEnd` tells whether the stream ended with this line.
LineRead ReadLine(std::FILE* f, std::string& line, bool& atEnd)
{
    line.clear();
    atEnd = false;
    bool pendingCr = false;  // a CR that may still turn out to end the line
    auto store = [&line](char c) {
        if (line.size() >= kSetupDescriptionMaxLine) return false;
        line += c;
        return true;
    };
    for (;;) {
        const int c = std::getc(f);
        if (c == EOF) {
            if (std::ferror(f)) return LineRead::kError;
            atEnd = true;
            if (pendingCr && !store('\r')) return LineRead::kTooLong;
            return LineRead::kLine;
        }
        if (c == '\n') return LineRead::kLine;
        if (pendingCr) {
            pendingCr = false;
            if (!store('\r')) return LineRead::kTooLong;
        }
        if (c == '\r') {
            pendingCr = true;
            continue;
        }
        if (!store(static_cast<char>(c))) return LineRead::kTooLong;
    }
}

// Spaces (0x20) only; tabs and everything else stay.
std::string TrimSpaces(const std::string& s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    const std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}

void ApplyLine(const std::string& line, std::string& name, std::string& title)
{
    if (line.size() >= 2 && line[0] == '/' && line[1] == '/') return;  // comment
    const std::string entry = TrimSpaces(line);
    if (entry.empty()) return;

    // First "=" that no backslash stands right before; a passed-over one
    // stays in the key.
    std::size_t eq = std::string::npos;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] == '=' && (i == 0 || entry[i - 1] != '\\')) {
            eq = i;
            break;
        }
    }
    const std::string key = TrimSpaces(entry.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : TrimSpaces(entry.substr(eq + 1));

    if (EqualsIgnoringAsciiCase(key, "Name"))
        name = value;
    else if (EqualsIgnoringAsciiCase(key, "Title"))
        title = value;
}

} // namespace

bool ProgramPathIsWhole(unsigned long returned, std::size_t bufferSize)
{
    return returned != 0 && returned < bufferSize;
}

SetupDescriptionEnd ParseSetupDescription(std::FILE* f, std::string& name, std::string& title)
{
    std::string line;
    line.reserve(kSetupDescriptionMaxLine + 1);
    for (;;) {
        bool atEnd = false;
        switch (ReadLine(f, line, atEnd)) {
        case LineRead::kTooLong: return SetupDescriptionEnd::kLineTooLong;
        case LineRead::kError: return SetupDescriptionEnd::kReadError;
        case LineRead::kLine: break;
        }
        if (!line.empty()) ApplyLine(line, name, title);
        if (atEnd) return SetupDescriptionEnd::kEndOfFile;
    }
}

SetupDescriptionEnd LoadSetupDescription(const std::string& path, std::string& name, std::string& title)
{
    // Binary mode on every platform: line ends are handled by the parser, and
    // bytes such as 0x1A are taken as they are rather than ending the file.
    FileOwner f(std::fopen(path.c_str(), "rb"));
    if (!f) return SetupDescriptionEnd::kNotOpened;
    return ParseSetupDescription(f.get(), name, title);
}

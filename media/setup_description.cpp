#include "media/setup_description.h"

#include "base/ascii_text.h"
#include "base/file_owner.h"
#include "media/name_rules.h"

namespace {

// Old editors end a file with this byte; text mode reads it as the end.
const int kEndOfFileMark = 0x1A;

enum class LineRead { kLine, kTooLong, kError };

// One line of at most kSetupDescriptionMaxLine characters, the line feed
// consumed and not stored, a carriage return right before it dropped.
// `atEnd` tells whether the stream ended with this line.
LineRead ReadRawLine(std::FILE* f, std::string& line, bool& atEnd)
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
        if (c == EOF || c == kEndOfFileMark) {
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

// The line's text ends at its first zero byte, as the C string functions
// read it; the bytes after it still count towards the length.
LineRead ReadLine(std::FILE* f, std::string& line, bool& atEnd, std::size_t& zero)
{
    const LineRead r = ReadRawLine(f, line, atEnd);
    zero = line.find('\0');
    if (zero != std::string::npos) line.resize(zero);
    return r;
}

// Spaces (0x20) only; tabs and everything else stay.
std::string TrimSpaces(const std::string& s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    const std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

using Use = SetupDescriptionLine::Use;

Use ApplyLine(const std::string& line, const LeadBytes& lb, std::string& name, std::string& title,
              std::string* refusedName, SetupDescriptionLine* seen)
{
    if (line.size() >= 2 && line[0] == '/' && line[1] == '/') return Use::kComment;
    const std::string entry = TrimSpaces(line);
    if (entry.empty()) return Use::kBlank;

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
    if (seen) seen->key = key, seen->value = value;

    if (EqualsIgnoringAsciiCase(key, "Name")) {
        // Name becomes a folder and the shortcut files: a value that is not
        // one file name could place them anywhere, and an empty one would
        // install into Program Files itself, so the line counts as absent.
        const NameError e = CheckFileNameComponent(value, lb);
        if (e == NameError::kNone) {
            name = value;
            return Use::kApplied;
        }
        if (refusedName) *refusedName = value;
        if (seen) seen->nameError = e;
        return Use::kRefusedName;
    }
    if (EqualsIgnoringAsciiCase(key, "Title")) {
        title = value;
        return Use::kApplied;
    }
    return eq == std::string::npos ? Use::kNotKeyValue : Use::kUnknownKey;
}

} // namespace

SetupDescriptionEnd ParseSetupDescription(std::FILE* f, const LeadBytes& lb, std::string& name,
                                          std::string& title, std::string* refusedName,
                                          std::vector<SetupDescriptionLine>* report)
{
    std::string line;
    line.reserve(kSetupDescriptionMaxLine + 1);
    for (std::size_t number = 1;; ++number) {
        bool atEnd = false;
        std::size_t zero = std::string::npos;
        const LineRead read = ReadLine(f, line, atEnd, zero);
        if (read == LineRead::kError) return SetupDescriptionEnd::kReadError;
        SetupDescriptionLine seen;
        const bool told = report && (read == LineRead::kTooLong || !atEnd || !line.empty() || zero != std::string::npos);
        if (read == LineRead::kTooLong) seen.use = Use::kTooLong;
        else if (!line.empty()) seen.use = ApplyLine(line, lb, name, title, refusedName, report ? &seen : nullptr);
        if (told) {
            seen.number = number;
            seen.text = line;
            seen.zeroAt = zero;
            report->push_back(std::move(seen));
        }
        if (read == LineRead::kTooLong) return SetupDescriptionEnd::kLineTooLong;
        if (atEnd) return SetupDescriptionEnd::kEndOfFile;
    }
}

SetupDescriptionEnd LoadSetupDescription(const std::string& path, const LeadBytes& lb, std::string& name,
                                         std::string& title)
{
    // Binary mode on every platform: line ends and 0x1A are handled by the
    // parser alike on Windows and in the native tree.
    FileOwner f(std::fopen(path.c_str(), "rb"));
    if (!f) return SetupDescriptionEnd::kNotOpened;
    return ParseSetupDescription(f.get(), lb, name, title);
}

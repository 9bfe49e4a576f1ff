// Lead-byte knowledge of a narrow (ANSI) code page.
//
// In double-byte code pages such as 936 the trail byte of a character can
// equal an ASCII character ("乗" is 81 5C, and 5C is the backslash), so every
// scan for a separator or placeholder must step over whole characters.
// Portable: the installer fills the table from the running system, the media
// tool and the tests from a code page number.
#ifndef KELVRA_BASE_CODEPAGE_H
#define KELVRA_BASE_CODEPAGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

class LeadBytes {
public:
    // A single-byte code page: no lead bytes.
    LeadBytes() : table_{} {}

    // The lead bytes of the common East Asian code pages (932, 936, 949,
    // 950); every other code page is taken as single-byte.
    static LeadBytes ForCodePage(unsigned codePage);

    bool IsLead(unsigned char c) const { return table_[c]; }
    void SetRange(unsigned char first, unsigned char last);

    // How the code page reads as UTF-16, where a table of it is at hand (the
    // installer has the system's). Windows judges some names, device names
    // among them, on that text. False when there is no decoder or the text
    // does not decode.
    using Decoder = std::function<bool(const std::string& narrow, std::u16string& wide)>;
    void SetDecoder(Decoder decoder) { decoder_ = std::move(decoder); }
    bool CanDecode() const { return static_cast<bool>(decoder_); }
    bool Decode(const std::string& narrow, std::u16string& wide) const
    {
        return decoder_ && decoder_(narrow, wide);
    }

private:
    bool table_[256];
    Decoder decoder_;
};

// Position of the first `ch` at or after `from` (which must start a
// character) that is a character of its own, not the trail byte of a
// double-byte character; std::string::npos when there is none.
std::size_t FindCharMb(const std::string& s, char ch, std::size_t from, const LeadBytes& lb);

// Position of the last such `ch`, or std::string::npos.
std::size_t FindLastCharMb(const std::string& s, char ch, const LeadBytes& lb);

// Whether the last character of `s` is `ch` (and not a trail byte).
bool EndsWithCharMb(const std::string& s, char ch, const LeadBytes& lb);

// Number of characters in a narrow text: a lead byte and its trail byte
// count once. Windows' 260-character path limit counts characters.
std::size_t CharCount(const std::string& s, const LeadBytes& lb);

// A path with this many characters still fits MAX_PATH with its zero.
constexpr std::size_t kMaxPathChars = 259;

#endif

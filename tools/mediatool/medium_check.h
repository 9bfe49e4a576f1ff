// The one check of a medium: assemble runs it on its staging folder before
// anything is put in place, verify on a medium, so that the same files get
// the same problems and warnings from both. It never prints; the commands
// say what it found.
#ifndef KELVRA_MEDIATOOL_MEDIUM_CHECK_H
#define KELVRA_MEDIATOOL_MEDIUM_CHECK_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "media/medium.h"
#include "tools/mediatool/signature_check.h"

namespace fs = std::filesystem;

// Record names that Windows takes for one file: ASCII letters compared
// without case, the trail bytes of double-byte characters as they are.
class CaseCollisions {
public:
    explicit CaseCollisions(const LeadBytes& lb) : lb_(lb) {}
    // False, with the earlier name, when `name` differs from an earlier
    // one only in case.
    bool Add(const std::string& name, std::string& earlier);

private:
    LeadBytes lb_;
    std::map<std::string, std::string> seen_;   // folded -> first name
};

// Whether a program image is what setup.exe must be: a PE file for i386
// with the Windows GUI subsystem. False, with the reason.
bool IsWin32GuiProgram(const std::string& image, std::string& why);

enum class Severity {
    kFine,            // what was found sound, for the summary
    kWarning,         // a problem only with --strict
    kNotForRelease,   // a demonstration medium (placeholder runtime files)
    kProblem,
};

struct Finding {
    Severity severity;
    std::string file;    // the medium's file it is about (UTF-8, '/'); empty: `where` alone names it
    std::string where;   // after the file's path (":LINE[:COLUMN]"), or on its own
    std::string why;
};

// What the check learnt of the medium, for the commands' summaries.
struct MediumFacts {
    bool listed = false;             // the checksum file was read
    std::vector<std::string> names;  // the names it lists
    std::string installer;           // the setup program it lists; empty when none is clear
    std::string description;         // the installer's description file; empty when it can have none
    std::string productName = medium::kDefaultProductName;
    std::string title;
    std::uint64_t records = 0;
    std::size_t longestPath = 0;     // in characters, under either Program Files folder
    std::string longestName;
    bool program = false;            // the installer is a 32-bit Windows GUI program
    std::string signature;           // the setup program's: "signed by CN=..., signature verified", "unsigned"
    std::string trust;               // what established its signer; empty when unsigned
};

struct MediumCheckOptions {
    unsigned cp = 936;
    // The checksum file was just made from these very files (assemble's
    // staging): they are not read again for their digests.
    bool digestsKnown = false;
    // Who must have signed the setup program (verify's --expect-signer and
    // --trust); with neither, a signed medium's signer is only a warning.
    sigcheck::Expectation expect;
};

struct MediumReport {
    std::vector<Finding> findings;
    MediumFacts facts;
    std::size_t Count(Severity s) const;
};

MediumReport CheckMedium(const fs::path& dir, const MediumCheckOptions& options);

// A finding as one line: "DIR/FILE[:LINE]: why", with `dir` the medium as
// the user knows it (assemble names the output, not its staging).
std::string FindingText(const Finding& f, const fs::path& dir);

#endif

// mediatool verify DIR: a whole medium checked before release, and the
// package checks that verify PACKAGE shares with it.
#ifndef KELVRA_MEDIATOOL_MEDIUM_CHECK_H
#define KELVRA_MEDIATOOL_MEDIUM_CHECK_H

#include <filesystem>
#include <map>
#include <string>

#include "base/codepage.h"
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

// Checks the medium in `dir` and prints every finding; returns the exit
// status (0 all holds, 1 problems). With `strict`, warnings count; a signed
// medium's signer must then be pinned or chained by `expect`.
int VerifyMedium(const fs::path& dir, unsigned cp, bool strict, const sigcheck::Expectation& expect);

#endif

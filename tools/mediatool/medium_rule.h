// What one rule of the medium check (medium_check.h) sees and adds to. A
// rule reads the medium below `dir`, uses what earlier rules learnt
// (`report.facts`, `listed`) and adds findings; it never prints. The rules
// and their order are in medium_check.cpp.
#ifndef KELVRA_MEDIATOOL_MEDIUM_RULE_H
#define KELVRA_MEDIATOOL_MEDIUM_RULE_H

#include <set>
#include <string>

#include "base/codepage.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/medium_check.h"

struct MediumContext {
    fs::path dir;
    MediumCheckOptions options;
    LeadBytes lb;
    MediumReport report;
    std::set<std::string> listed;   // the names the checksum file lists, as NormalName gives them
    // The package's line of the checksum file, when its digest is left to
    // the package rule, which takes it on the one read that walks it.
    const checksums::Entry* packageEntry = nullptr;
    std::vector<checksums::Entry> entries;

    fs::path Path(const std::string& name) const { return dir / fs::u8path(name); }
    void Add(Severity s, const std::string& file, const std::string& why) { Add(s, file, "", why); }
    void Add(Severity s, const std::string& file, const std::string& where, const std::string& why)
    {
        report.findings.push_back({s, file, where, why});
    }
    bool Listed(const std::string& name) const { return listed.count(name) != 0; }
};

using MediumRule = void (*)(MediumContext&);

// The rules of medium_trust_rules.cpp: the setup program's and the checksum
// file's signatures, and what the runtime files are.
void CheckSignatures(MediumContext& c);
void CheckRuntimeFiles(MediumContext& c);

#endif

// The medium check's rules that ask more than whether a file is there: who
// signed the setup program and its checksums, and whether the runtime files
// are the runtime. The verifiers themselves are in signature_check and
// runtime_check.
#include "tools/mediatool/medium_rule.h"

#include "tools/mediatool/runtime_check.h"
#include "tools/mediatool/signature_check.h"

void CheckSignatures(MediumContext& c)
{
    MediumFacts& facts = c.report.facts;
    if (!facts.program) return;
    const sigcheck::MediumSignatures s = sigcheck::CheckMedium(c.dir, facts.installer, c.options.expect);
    for (const auto& p : s.problems) c.Add(Severity::kProblem, p.first, p.second);
    for (const auto& w : s.warnings) c.Add(Severity::kWarning, w.first, w.second);
    facts.signature = s.program;
    facts.trust = s.trust;
    c.Add(Severity::kFine, facts.installer, "a 32-bit Windows GUI program, " + s.program);
}

// A labelled placeholder is a demonstration medium; anything else that is
// not the runtime is a problem.
void CheckRuntimeFiles(MediumContext& c)
{
    for (const runtime::Finding& f : runtime::CheckFiles(runtime::MediumFiles(c.dir)))
        c.Add(f.placeholder ? Severity::kNotForRelease : Severity::kProblem, f.name, f.why);
}

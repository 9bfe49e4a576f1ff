#include "tools/mediatool/cmd_stamp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "media/digest.h"
#include "base/ascii_text.h"
#include "base/file_owner.h"
#include "media/medium.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/options.h"

namespace {

// A refusal on standard error, and the exit status that goes with it.
int Refused(const char* command, const std::string& file, const std::string& reason)
{
    Refuse(command, file, reason);
    return kExitRefused;
}

int Usage(const char* command, const std::string& problem)
{
    UsageError(command, problem);
    return kExitUsage;
}

// Splits FILE from the options; answers false with a message on misuse.
bool ParseArgs(const char* command, const Args& args, bool allowAppend, std::string& file, bool& append,
               int& status)
{
    append = false;
    file.clear();
    ParsedArgs parsed;
    std::vector<OptionSpec> specs;
    if (allowAppend) specs.push_back({"append", 0, false});
    if (!ParseCommandLine(command, args, specs, parsed)) {
        status = kExitUsage;
        return false;
    }
    append = !parsed.options.empty();
    for (const std::string& a : parsed.operands) {
        if (file.empty() && !a.empty()) {
            file = a;
        } else {
            status = Usage(command, a.empty() ? "empty file name" : "one FILE only");
            return false;
        }
    }
    if (file.empty()) {
        status = Usage(command, "FILE missing");
        return false;
    }
    return true;
}

} // namespace

int RunStamp(const Args& args)
{
    std::string file;
    bool append = false;
    int status = kExitOk;
    if (!ParseArgs("stamp", args, true, file, append, status)) return status;

    FileOwner f(OpenFile(ArgPath(file), "r+b"));
    if (!f) return Refused("stamp", file, std::string("cannot open for writing: ") + std::strerror(errno));

    unsigned char digest[kStampSize];
    switch (StampStream(f.get(), append ? StampMode::kAppend : StampMode::kInPlace, digest)) {
    case StampResult::kStamped: break;
    case StampResult::kNoSize: return Refused("stamp", file, "cannot take its size");
    case StampResult::kTooShort:
        return Refused("stamp", file,
                      "shorter than 512 bytes, no trailer to hold the stamp in place (use --append)");
    case StampResult::kReadError: return Refused("stamp", file, std::string("cannot be read: ") + std::strerror(errno));
    case StampResult::kWriteError:
        return Refused("stamp", file, std::string("write failed: ") + std::strerror(errno));
    }
    if (!f.Close()) return Refused("stamp", file, std::string("write failed: ") + std::strerror(errno));

    // Read back through setup's own check, so that a file changed meanwhile
    // is not reported as stamped.
    FileOwner back(OpenFile(ArgPath(file), "rb"));
    const DigestVerdict v = back ? VerifyStreamDigest(back.get()) : DigestVerdict::kCannotOpen;
    if (v != DigestVerdict::kAccepted)
        return Refused("stamp", file, std::string("stamp written but not accepted: ") + DigestVerdictText(v));

    if (!Quiet())
        std::printf("%s: stamped %s, digest %s\n", file.c_str(), append ? "with an appended trailer" : "in place",
                    HexOf(digest, kStampSize).c_str());
    return kExitOk;
}

void HelpStamp()
{
    std::printf(
        "usage: mediatool stamp FILE [--append]\n\n"
        "Writes the digest stamp that setup needs to use FILE (%s).\n"
        "The stamp is the MD5 of everything before the last 512 bytes (the\n"
        "trailer) and three fixed salts, stored at trailer offset 158.\n\n"
        "  (default)  in place: FILE keeps its size; the 16 bytes at 354 bytes\n"
        "             before its end are overwritten. FILE must have at least\n"
        "             512 bytes. In a picture this changes 16 bytes of pixels.\n"
        "  --append   adds a 512-byte trailer holding the stamp; the existing\n"
        "             bytes stay untouched.\n"
        "  -q, --quiet  no summary\n\n"
        "Exit status: 0 stamped, 1 refused (unreadable, too short, write failed),\n"
        "2 usage error.\n",
        medium::kSplashName);
}

int RunCheckStamp(const Args& args)
{
    std::string file;
    bool append = false;
    int status = kExitOk;
    if (!ParseArgs("check-stamp", args, false, file, append, status)) return status;

    // Opened here, so that a refusal can give the system's reason.
    FileOwner f(OpenFile(ArgPath(file), "rb"));
    if (!f) return Refused("check-stamp", file, std::string("cannot be opened: ") + std::strerror(errno));
    const DigestVerdict v = VerifyStreamDigest(f.get());
    if (v == DigestVerdict::kAccepted) {
        if (!Quiet()) std::printf("%s: accepted: %s\n", file.c_str(), DigestVerdictText(v));
        return kExitOk;
    }
    std::printf("%s: refused: %s\n", file.c_str(), DigestVerdictText(v));
    return kExitRefused;
}

void HelpCheckStamp()
{
    std::printf(
        "usage: mediatool check-stamp FILE\n\n"
        "Tells whether setup would accept FILE as a stamped splash picture,\n"
        "with the same check setup runs. -q, --quiet: nothing when accepted.\n\n"
        "Exit status: 0 accepted, 1 refused, 2 usage error.\n");
}

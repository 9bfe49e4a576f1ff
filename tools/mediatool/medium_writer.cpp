#include "tools/mediatool/medium_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/medium.h"
#include "tools/mediatool/checksums.h"
#include "base/file_owner.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/temp_files.h"

namespace {

// Whether `a` is `b` or lies below it.
bool Within(const fs::path& a, const fs::path& b)
{
    const fs::path rel = a.lexically_relative(b);
    return !rel.empty() && *rel.begin() != "..";
}

std::string NameOf(const fs::path& p) { return PathText(p.filename()); }

// The folder that holds `dir` ("usb/" and "usb" alike).
fs::path ParentOf(const fs::path& dir)
{
    std::error_code ec;
    fs::path abs = fs::absolute(dir, ec).lexically_normal();
    if (abs.filename().empty()) abs = abs.parent_path();
    return abs.parent_path();
}

// A staging folder of a run of this tool that no longer runs.
bool IsLeftover(const fs::directory_entry& e)
{
    std::error_code ec;
    unsigned long pid = 0;
    return e.is_directory(ec) && !e.is_symlink(ec) && tempfiles::IsStagingFolderName(NameOf(e.path()), pid) &&
           !tempfiles::ProcessRunning(pid);
}

} // namespace

bool HoldsOnlyLeftovers(const fs::path& out)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(out, ec))
        if (!IsLeftover(e)) return false;
    return !ec;
}

std::vector<std::string> MediumFileNames(const std::string& setupName, const std::string& descriptionName)
{
    std::vector<std::string> names = {setupName, medium::kPackageName, checksums::kFileName,
                                      medium::kChecksumsSignatureName};
    if (!descriptionName.empty()) names.push_back(descriptionName);
    for (const medium::SideFile& f : medium::kSideFiles) names.push_back(f.name);
    return names;
}

MediumRefusal CheckOutputPlace(const fs::path& out, const std::vector<MediumInput>& inputs)
{
    std::error_code ec;
    const fs::path outAbs = fs::weakly_canonical(fs::absolute(out, ec), ec);
    for (const MediumInput& in : inputs) {
        if (in.path.empty()) continue;
        const fs::path inAbs = fs::weakly_canonical(fs::absolute(in.path, ec), ec);
        if (Within(inAbs, outAbs))
            return {PathText(out), "holds " + in.option + " " + PathText(in.path) +
                                       "; a medium written there could replace or remove what it is made from"};
        if (Within(outAbs, inAbs))
            return {PathText(out), "lies inside " + in.option + " " + PathText(in.path)};
    }
    return {};
}

bool MediumWriter::IsMediumName(const std::string& name) const
{
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool MediumWriter::Begin(MediumRefusal& refusal)
{
    std::error_code ec;
    if (!fs::exists(out_, ec)) {
        fs::create_directories(out_, ec);
        if (ec) {
            refusal = {PathText(out_), "cannot be created: " + ec.message()};
            return false;
        }
        createdOut_ = true;
        tempfiles::RemoveOnInterrupt(out_, true);
    }
    for (const std::string& name : names_) {
        const fs::path p = out_ / fs::u8path(name);
        if (fs::is_directory(fs::symlink_status(p, ec))) {
            refusal = {PathText(p), "a folder where the medium's file goes; it is not replaced"};
            return false;
        }
    }
    if (!RemoveLeftovers(refusal)) return false;
    std::string why;
    if (!tempfiles::CreateFolderIn(out_, stage_, why)) {
        refusal = {PathText(out_), "cannot hold a staging folder: " + why};
        stage_.clear();
        return false;
    }
    return true;
}

fs::path MediumWriter::Staged(const std::string& name)
{
    const fs::path p = stage_ / fs::u8path(name);
    if (std::find(staged_.begin(), staged_.end(), name) == staged_.end()) {
        staged_.push_back(name);
        tempfiles::RemoveOnInterrupt(p);
    }
    return p;
}

bool MediumWriter::RemoveLeftovers(MediumRefusal& refusal)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(out_, ec)) {
        if (!IsLeftover(e)) continue;
        const std::string name = NameOf(e.path());
        fs::remove_all(e.path(), ec);
        if (ec) {
            refusal = {PathText(e.path()), "left by an interrupted run, cannot be removed: " + ec.message()};
            return false;
        }
        leftovers_.push_back(name);
    }
    if (ec) refusal = {PathText(out_), "cannot be read: " + ec.message()};
    return !ec;
}

bool MediumWriter::Seal(MediumRefusal& refusal)
{
    // The checksums of everything this run wrote.
    std::vector<checksums::Entry> entries;
    for (const std::string& name : staged_) {
        if (name == checksums::kFileName || name == medium::kChecksumsSignatureName) continue;
        checksums::Entry e;
        e.name = name;
        for (const auto& k : known_)
            if (k.first == name) e.sha256 = k.second;
        std::string why;
        if (e.sha256.empty() && !checksums::FileSha256(Staged(name), e.sha256, why)) {
            refusal = {PathText(Staged(name)), "cannot be read back: " + why};
            return false;
        }
        entries.push_back(e);
    }
    const std::string text = checksums::Format(entries);
    {
        const fs::path sums = Staged(checksums::kFileName);
        FileOwner f(OpenFile(sums, "wb"));
        if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() || !f.Close()) {
            refusal = {PathText(sums), std::string("cannot be written: ") + std::strerror(errno)};
            return false;
        }
    }
    if (signSums_) {
        const fs::path signature = Staged(medium::kChecksumsSignatureName);
        std::string why;
        if (!signSums_(Staged(checksums::kFileName), signature, why)) {
            refusal = {PathText(signature), "cannot be written: " + why};
            return false;
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const checksums::Entry& a, const checksums::Entry& b) { return a.name < b.name; });
    for (const checksums::Entry& e : entries) sums_.push_back({e.name, e.sha256});

    // On the device before anything under the real names changes.
    for (const std::string& name : staged_) {
        std::string why;
        if (!tempfiles::FlushToDevice(Staged(name), false, why)) {
            refusal = {PathText(Staged(name)), "cannot be written to the device: " + why};
            return false;
        }
    }
    return true;
}

// The previous medium's files that this one does not replace: exactly what
// its checksum file lists (and the signature of that file).
bool MediumWriter::FindPrevious(std::vector<fs::path>& stale, MediumRefusal& refusal)
{
    std::string text, why;
    std::vector<checksums::Entry> listed;
    if (checksums::ReadFile(out_, text, why)) checksums::Parse(text, listed, why);
    std::vector<std::string> previous = {checksums::kFileName, medium::kChecksumsSignatureName};
    for (const checksums::Entry& e : listed) {
        std::string name;
        if (checksums::NormalName(e.name, name)) previous.push_back(name);
    }
    std::error_code ec;
    for (const std::string& name : previous) {
        const fs::path p = out_ / fs::u8path(name);
        if (std::find(staged_.begin(), staged_.end(), name) != staged_.end() ||
            std::find(removed_.begin(), removed_.end(), name) != removed_.end() ||
            !fs::is_regular_file(fs::symlink_status(p, ec)))
            continue;
        if (name != checksums::kFileName) removed_.push_back(name);
        stale.push_back(p);
    }
    for (const auto& e : fs::directory_iterator(out_, ec)) {
        const std::string name = NameOf(e.path());
        if (e.path() == stage_ || std::find(staged_.begin(), staged_.end(), name) != staged_.end() ||
            std::find(removed_.begin(), removed_.end(), name) != removed_.end())
            continue;
        kept_.push_back(name + (e.is_directory(ec) ? "/" : ""));
    }
    if (ec) refusal = {PathText(out_), "cannot be read: " + ec.message()};
    std::sort(kept_.begin(), kept_.end());
    std::sort(removed_.begin(), removed_.end());
    return !ec;
}

// One by one; the checksum file last, so that a medium caught halfway
// fails its check.
bool MediumWriter::MoveIntoPlace(const std::vector<fs::path>& stale, MediumRefusal& refusal)
{
    auto move = [&](const std::string& name) {
        std::string why;
        if (tempfiles::MoveOver(Staged(name), out_ / fs::u8path(name), why)) return true;
        refusal = {PathText(out_ / fs::u8path(name)), "cannot be put in place: " + why +
                                                          " (the medium in " + PathText(out_) + " is incomplete)"};
        return false;
    };
    for (const std::string& name : staged_)
        if (name != checksums::kFileName && !move(name)) return false;
    std::error_code ec;
    for (const fs::path& p : stale) {
        fs::remove(p, ec);
        if (ec) {
            refusal = {PathText(p), "cannot be removed: " + ec.message()};
            return false;
        }
    }
    return move(checksums::kFileName);
}

bool MediumWriter::Commit(MediumRefusal& refusal)
{
    tempfiles::HoldInterrupts hold;
    std::vector<fs::path> stale;
    if (!FindPrevious(stale, refusal) || !MoveIntoPlace(stale, refusal)) return false;
    std::error_code ec;
    fs::remove(stage_, ec);
    tempfiles::Forget(stage_);
    tempfiles::Forget(out_);
    committed_ = true;

    std::string why;
    if (!tempfiles::FlushToDevice(out_, true, why) ||
        (createdOut_ && !tempfiles::FlushToDevice(ParentOf(out_), true, why))) {
        refusal = {PathText(out_), "cannot be written to the device: " + why};
        return false;
    }
    return true;
}

void MediumWriter::Abandon()
{
    if (committed_) return;
    std::error_code ec;
    if (!stage_.empty()) {
        // The staging folder is this run's own, and so is all in it.
        fs::remove_all(stage_, ec);
        tempfiles::Forget(stage_);
        for (const std::string& name : staged_) tempfiles::Forget(stage_ / fs::u8path(name));
        stage_.clear();
    }
    if (createdOut_) fs::remove(out_, ec);   // only when still empty
    if (createdOut_) tempfiles::Forget(out_);
    createdOut_ = false;
}

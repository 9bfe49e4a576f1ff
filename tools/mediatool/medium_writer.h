// The folder a medium is written to. The files are staged in a folder of
// their own inside the target (the same file system, so a USB stick's root
// works), flushed to the device, and moved into place one by one. Of what
// was there, only the files the previous medium's checksum file lists go;
// everything else in the folder stays and is listed. A staging folder that
// a killed run of this tool left behind is removed.
#ifndef KELVRA_MEDIATOOL_MEDIUM_WRITER_H
#define KELVRA_MEDIATOOL_MEDIUM_WRITER_H

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// An input of assemble, for the refusal's message ("--payload", path).
struct MediumInput {
    std::string option;
    fs::path path;
};

// A refusal, with what it is about and why; empty `what` when none.
struct MediumRefusal {
    std::string what;
    std::string why;
};

// The names that make a medium with the setup program `setupName`: the
// program, its description file, the package, the side files, SHA256SUMS
// and its signature SHA256SUMS.p7s.
std::vector<std::string> MediumFileNames(const std::string& setupName, const std::string& descriptionName);

// Refused when `out` lies inside, or holds, one of the inputs: replacing the
// medium would then change or remove what it is made from.
MediumRefusal CheckOutputPlace(const fs::path& out, const std::vector<MediumInput>& inputs);

// Whether `out` holds nothing but staging folders that killed runs of this
// tool left (which the next run removes).
bool HoldsOnlyLeftovers(const fs::path& out);

class MediumWriter {
public:
    // `names`: MediumFileNames of this medium.
    MediumWriter(const fs::path& out, std::vector<std::string> names) : out_(out), names_(std::move(names)) {}
    MediumWriter(const MediumWriter&) = delete;
    MediumWriter& operator=(const MediumWriter&) = delete;
    // Removes the staging when the medium was not put in place.
    ~MediumWriter() { Abandon(); }

    // Creates the target when missing and the staging inside it, and
    // removes the staging of earlier runs that no longer run.
    bool Begin(MediumRefusal& refusal);
    const fs::path& Stage() const { return stage_; }
    // The staging folder's own name, plain ASCII.
    std::string StageName() const { return stage_.filename().string(); }
    // Where `name` is staged; remembered as written by this run.
    fs::path Staged(const std::string& name);
    // The SHA-256 of a staged file that its writer computed already, so that
    // Commit need not read the file again (the package can be large).
    void KnownDigest(const std::string& name, const std::string& sha256) { known_.push_back({name, sha256}); }

    // Signs the checksum file once Seal has written it: `sign` writes its
    // detached signature, which is checked and goes into place with the
    // medium (the checksum file does not list it; it covers that file).
    using ChecksumSigner = std::function<bool(const fs::path& sums, const fs::path& signature, std::string& why)>;
    void SignChecksumsWith(ChecksumSigner sign) { signSums_ = std::move(sign); }

    // Writes SHA256SUMS for every staged file into the staging, signs it
    // when a signer is set, and flushes them: the staging is then the whole
    // medium, to be checked.
    bool Seal(MediumRefusal& refusal);
    // After Seal: removes the previous medium's files this one does not
    // have, moves the files into place (the checksums last) and flushes the
    // folder.
    bool Commit(MediumRefusal& refusal);

    // After Commit: what the folder held besides the medium, and which of the
    // previous medium's files went (top-level names, folders with a '/').
    const std::vector<std::string>& Kept() const { return kept_; }
    const std::vector<std::string>& Removed() const { return removed_; }
    // After Begin: staging folders of earlier runs that were removed.
    const std::vector<std::string>& Leftovers() const { return leftovers_; }
    // The files written, with their SHA-256, in the order of SHA256SUMS.
    const std::vector<std::pair<std::string, std::string>>& Sums() const { return sums_; }

    void Abandon();

private:
    bool IsMediumName(const std::string& name) const;
    bool RemoveLeftovers(MediumRefusal& refusal);
    bool FindPrevious(std::vector<fs::path>& stale, MediumRefusal& refusal);
    bool MoveIntoPlace(const std::vector<fs::path>& stale, MediumRefusal& refusal);

    fs::path out_, stage_;
    std::vector<std::string> names_;
    std::vector<std::string> staged_;
    std::vector<std::string> kept_, removed_, leftovers_;
    std::vector<std::pair<std::string, std::string>> sums_, known_;
    ChecksumSigner signSums_;
    bool createdOut_ = false, committed_ = false;
};

#endif

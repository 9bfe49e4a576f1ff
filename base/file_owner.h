// Owner of a C stream: closes it when it goes, and tells on Close whether
// everything written reached the file.
#ifndef KELVRA_BASE_FILE_OWNER_H
#define KELVRA_BASE_FILE_OWNER_H

#include <cstdio>
#include <utility>

class FileOwner {
public:
    FileOwner() = default;
    explicit FileOwner(std::FILE* f) : f_(f) {}
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    FileOwner(FileOwner&& other) noexcept : f_(std::exchange(other.f_, nullptr)) {}
    FileOwner& operator=(FileOwner&& other) noexcept
    {
        if (this != &other) {
            Close();
            f_ = std::exchange(other.f_, nullptr);
        }
        return *this;
    }
    ~FileOwner() { Close(); }

    std::FILE* get() const { return f_; }
    explicit operator bool() const { return f_ != nullptr; }

    // False when the stream had an error or closing it failed, that is
    // when something written may not have reached the file.
    bool Close()
    {
        if (!f_) return true;
        const bool ok = !std::ferror(f_);
        const bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        return ok && closed;
    }

private:
    std::FILE* f_ = nullptr;
};

#endif

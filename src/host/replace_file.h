// Writing a file so that what was there survives any failure: the new content goes to a
// temporary file beside the target (".name.XXXXXX" in the same folder, so the rename never
// crosses file systems) and is renamed over the target only once it is complete. A replacement
// that is not committed removes its temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tarnwick {

// What a path names before anything is written to it.
enum class OutputKind {
    kFile,    // a regular file, or nothing yet: written beside and renamed over
    kDevice,  // a character or block device, or a FIFO: written in place
    kOther,   // a folder, a socket, a dangling link: never written
};

// Looks at path without opening it. error says why for kOther, and also when the folder of a
// kFile path cannot take a new file or an existing file is read-only (then false is returned).
bool ClassifyOutput(const std::string& path, OutputKind& kind, std::string& error);

struct PendingTemporary;

class ReplacementFile {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Refuses a target that exists and is not a regular file (it is not opened), and one that is
    // read-only; a symbolic link is followed to the file it names. The temporary file gets the
    // target's permissions, or mode (less the umask) for a new file. Null with error set on
    // failure.
    static std::unique_ptr<ReplacementFile> Create(const std::string& target, std::string& error,
                                                   unsigned mode = 0666);

    ReplacementFile(Key, std::string target, std::string temp, int fd);
    ~ReplacementFile();  // Discard() unless committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The open temporary file; -1 once closed.
    int fd() const { return m_fd; }
    const std::string& tempPath() const { return m_temp; }
    // The file that is replaced (a symbolic link resolved).
    const std::string& target() const { return m_target; }

    // Writes all of data at the current end of the temporary file.
    bool Write(std::span<const uint8_t> data, std::string& error);
    // Closes the descriptor but keeps the temporary file, for writers that open it by name.
    bool CloseFd(std::string& error);
    // Closes the temporary file and renames it over the target.
    bool Commit(std::string& error);
    // Closes and removes the temporary file; the target stays as it was.
    void Discard();

  private:
    std::string m_target;
    std::string m_temp;
    int m_fd;
    bool m_done = false;
    PendingTemporary* m_pending;  // lets a signal handler remove the temporary file
};

// Removes the temporary files of the replacements under way (up to 8 at a time are known). Safe
// in a signal handler: for a signal that ends the process before the replacements can.
void RemovePendingTemporaries();

// The whole content of path replaced by data, or on failure left as it was.
bool ReplaceFileContent(const std::string& path, std::span<const uint8_t> data, std::string& error);

}  // namespace tarnwick

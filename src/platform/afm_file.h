// AFM_File: the host framework's file class, over a POSIX file descriptor. The virtual
// operations keep the host's slot order; do not reorder them.
#pragma once

#include <cstdint>

namespace tarnwick {

class AFM_File {
  public:
    AFM_File() = default;
    AFM_File(const AFM_File&) = delete;
    AFM_File& operator=(const AFM_File&) = delete;

    virtual ~AFM_File();  // closes the file if open
    // "Open always" in every mode: a missing file is created (0666 less umask). Mode 0 reads,
    // 1 writes, 2 does both; any other mode opens without data access (reads and writes fail).
    // The path is kept (cut to 511 bytes) even when the open fails. 1 when a descriptor was got;
    // anything but a regular file is refused (0) without waiting on it.
    virtual int Open(const char* path, int mode);
    // The path operations give 0 and leave out untouched when no file is open. Separators are
    // both '\\' and '/'.
    virtual int GetPath(char* out);       // up to 512 bytes including the NUL
    virtual int GetDirectory(char* out);  // before the last separator; "" when there is none
    virtual int GetHandle();              // the descriptor, -1 when not open
    virtual int GetFileName(char* out);   // after the last separator, cut to 255 bytes + NUL
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual int Seek(int64_t offset, int origin);
    virtual int64_t Tell();  // -1 when not open or on failure
    // The pair (offset 0, origin 1) means "here" and skips the seek; any other pair seeks first.
    // Both loop until count bytes are done (or end of file); 0 on error.
    virtual uint32_t Read(void* buffer, uint32_t count, int64_t offset, int origin);
    virtual uint32_t Write(const void* buffer, uint32_t count, int64_t offset, int origin);
    virtual void Close();
    virtual int Delete();    // closes, then removes the file at the kept path if it is the one
                             // that was open
    virtual int Truncate();  // cuts the file at the current position

  protected:
    bool IsOpen() const { return m_hFile >= 0; }

    int m_hFile = -1;
    char m_szPath[512] = {};
};

}  // namespace tarnwick

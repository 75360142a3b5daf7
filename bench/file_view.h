// A whole file mapped read-only, to check a printed stream without copying it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::bench {

class FileView {
  public:
    // bytes() is empty and error() says why when the file cannot be mapped.
    explicit FileView(const std::string& path);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    std::span<const uint8_t> bytes() const { return {m_base, m_size}; }
    const std::string& error() const { return m_error; }

  private:
    const uint8_t* m_base = nullptr;
    std::size_t m_size = 0;
    std::string m_error;
};

}  // namespace tarnwick::bench

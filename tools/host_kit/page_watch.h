// Follows the printer stream as the driver writes it and counts the page ends (ESC*rC), skipping
// the binary row data so that bytes inside a row are never taken for a command. The driver
// writes each page's end with a flush, so the count is current after every print step.
#pragma once

#include <cstdint>
#include <span>

#include "inspect/stream_scanner.h"

namespace tarnwick::hostkit {

class PageWatch : private inspect::ScanHandler {
  public:
    PageWatch() : m_scanner(*this) {}
    PageWatch(const PageWatch&) = delete;
    PageWatch& operator=(const PageWatch&) = delete;

    void Feed(std::span<const uint8_t> bytes) { m_scanner.Feed(bytes); }
    int pagesEnded() const { return m_pagesEnded; }

  private:
    void OnText(uint64_t, std::string_view, bool) override {}
    uint64_t OnCommand(const inspect::EscapeCommand& command) override;
    void OnData(std::span<const uint8_t>) override {}
    void OnDataEnd(uint64_t, uint64_t) override {}
    void OnMalformed(uint64_t, const std::string&) override {}

    inspect::StreamScanner m_scanner;
    bool m_inRaster = false;
    int m_pagesEnded = 0;
};

}  // namespace tarnwick::hostkit

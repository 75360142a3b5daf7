// The printer language as a writer: the bytes of a page's header, its plane rows and its end,
// made from plain values (the job's settings, the header numbers of the page) and written into a
// byte sink. It keeps no counters and knows no engine: the print loop owns the job's state, and
// RTL hands the writer what it needs for each call.
#pragma once

#include <cstdint>
#include <span>

#include "rtl/command_text.h"
#include "rtl/header_values.h"
#include "tarnwick/records.h"

namespace tarnwick {

// Where the printer language's bytes go.
class ByteSink {
  public:
    virtual ~ByteSink();
    // Takes all of bytes; flush asks that they reach the printer now. False when the bytes
    // were not all taken.
    virtual bool Put(std::span<const uint8_t> bytes, bool flush) = 0;
};

// What of the job the header and the page end are made from.
struct JobValues {
    PrinterSettings settings{};
    const char* calibrationText = nullptr;  // "...~<value>"; null or without '~' sends 0.00
    int32_t joinMode = 0;                   // host record m_nJoinMode
    bool aborted = false;
};

class RtlWriter {
  public:
    // command is where commands and compressed rows are put together before they are written.
    RtlWriter(ByteSink& sink, std::span<uint8_t> command) : m_sink(sink), m_command(command) {}

    // UEL, the PJL job settings, the language entry, the raster geometry of `page`
    // (devHeight rows), compression 2, raster start, then `blankRows` blank rows.
    bool Header(const JobValues& job, const HeaderValues& page, int32_t devHeight,
                int32_t blankRows);
    // Blank rows: one zero-byte transfer that ends the row each.
    bool BlankRows(int32_t count);
    // One plane row, PackBits-compressed into the command buffer; last ends the row. The row
    // must fit the command buffer once compressed (PlaneRowFits).
    bool PlaneRow(std::span<const uint8_t> row, bool last);
    // Leaves raster graphics, advances or cuts the sheet and resets the printer, flushed.
    bool PageEnd(const JobValues& job);

    // Whether a plane row of that many bytes fits the command buffer once compressed (logged
    // when it does not).
    bool PlaneRowFits(int64_t length) const;

  private:
    bool Command(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    bool Text(const CommandText& text, bool flush);
    bool JobSettings(const JobValues& job);
    bool GenericPageEnd(const PrinterSettings& s);
    bool NamedPageEnd(const JobValues& job);

    ByteSink& m_sink;
    std::span<uint8_t> m_command;
};

}  // namespace tarnwick

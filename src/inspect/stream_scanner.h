// A push tokenizer for PJL/RTL printer streams. It splits the bytes into text runs, escape
// sequences and the binary payloads that some sequences announce, and trusts nothing: any byte
// sequence can be fed, in pieces of any size, with memory bounded by kMaxTextRun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::inspect {

// One escape sequence. A combined sequence ("ESC*b2m1A") gives one command per value.
struct EscapeCommand {
    uint64_t offset = 0;     // of the ESC that began the sequence
    char parameterized = 0;  // '*', '%', '&' ...; 0 for a two-character escape ("ESC E")
    char group = 0;          // 'r', 'b', 't' ...; 0 when there is none
    char terminator = 0;     // upper case; the second character of a two-character escape
    bool hasValue = false;
    int64_t value = 0;  // integer part, saturated at +-999,999,999,999
    bool fraction = false;
    // Printable form, e.g. "ESC*r1A", for reports.
    std::string Text() const;
};

class ScanHandler {
  public:
    virtual ~ScanHandler() = default;
    // A run of text up to and including a line feed (lineEnd) or up to an escape, the end of the
    // stream or kMaxTextRun bytes.
    virtual void OnText(uint64_t offset, std::string_view text, bool lineEnd) = 0;
    // Returns how many payload bytes follow the command (0 for none).
    virtual uint64_t OnCommand(const EscapeCommand& command) = 0;
    // Payload pieces of the last command, in order.
    virtual void OnData(std::span<const uint8_t> bytes) = 0;
    // The payload is over: complete, or cut off by the end of the stream after `received` bytes.
    virtual void OnDataEnd(uint64_t announced, uint64_t received) = 0;
    // Bytes that do not form an escape sequence.
    virtual void OnMalformed(uint64_t offset, const std::string& message) = 0;
};

inline constexpr std::size_t kMaxTextRun = 4096;

class StreamScanner {
  public:
    explicit StreamScanner(ScanHandler& handler) : m_handler(handler) {}

    void Feed(std::span<const uint8_t> bytes);
    // The end of the stream: hands out pending text, reports a cut-off sequence or payload.
    void Finish();

    uint64_t offset() const { return m_offset; }

  private:
    enum class State { kText, kEscape, kGroup, kValue, kData };

    void Step(uint8_t byte);
    void FlushText(bool lineEnd);
    void StartValue();
    void EndCommand(uint8_t terminator);
    void ValueByte(uint8_t byte);

    ScanHandler& m_handler;
    State m_state = State::kText;
    uint64_t m_offset = 0;  // of the next byte fed

    std::string m_text;
    uint64_t m_textOffset = 0;

    EscapeCommand m_command;
    int m_valueChars = 0;  // characters of the current value field
    bool m_negative = false;
    bool m_combined = false;  // the sequence goes on after the payload

    uint64_t m_dataAnnounced = 0;
    uint64_t m_dataLeft = 0;
};

}  // namespace tarnwick::inspect

// The fuzz entry points, one per parser of outside input. Each runs one input through its
// parser and returns the number of broken invariants it saw (0 when all held; a message names
// each on stderr). The libFuzzer mains trap on a nonzero result; the corpus replay test expects
// 0 for every stored input. Plain C++: no libFuzzer needed to call them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::fuzz {

// The bytes as a job ticket file next to a small valid data file, opened and printed through
// CDriver for a bounded number of steps, then aborted.
int FuzzJobTicket(const uint8_t* data, size_t size);
// The bytes as a job data file: OXJob::Load, every page's image and a few rows of each
// colorant; a file that loads and is small is also printed.
int FuzzJobData(const uint8_t* data, size_t size);
// The bytes as option text for the pair, binary and definition-string parsers.
int FuzzOptionText(const uint8_t* data, size_t size);
// The bytes as the job options / custom colour mode XML of a small valid job, printed to the end.
int FuzzJobOptionsXml(const uint8_t* data, size_t size);
// The bytes, split at NUL bytes, as the configuration files of a temporary OutputDrivers tree,
// read through the engine's dither, screening and translation queries.
int FuzzConfigFiles(const uint8_t* data, size_t size);
// The bytes as an enciphered configuration file (DecipherXml, AEnXMLTree::loadFromFileEn), and
// enciphered as the plain text of one.
int FuzzEncipheredXml(const uint8_t* data, size_t size);
// The bytes as a printer stream for the stream inspector (src/inspect), whole and in pieces,
// and drawn as a preview.
int FuzzInspectStream(const uint8_t* data, size_t size);
// The bytes as one plane row for PackBitsEncode, held to the reference encoder.
int FuzzPackBits(const uint8_t* data, size_t size);

}  // namespace tarnwick::fuzz

// The fuzz entry points, one per parser of outside input: each returns the number of invariants
// one input broke (named on stderr), which libFuzzer's main and the corpus replay expect to be 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::fuzz {

int FuzzJobTicket(const uint8_t* data, size_t size);      // the ticket of a small job
int FuzzJobData(const uint8_t* data, size_t size);        // a job data file, read and printed
int FuzzOptionText(const uint8_t* data, size_t size);     // option pairs, binary, definition
int FuzzJobOptionsXml(const uint8_t* data, size_t size);  // the job options of a small job
int FuzzConfigFiles(const uint8_t* data, size_t size);    // an OutputDrivers tree, NUL-split
int FuzzEncipheredXml(const uint8_t* data, size_t size);  // enciphered, and as plain text
int FuzzInspectStream(const uint8_t* data, size_t size);  // a printer stream for the inspector
int FuzzPackBits(const uint8_t* data, size_t size);       // one row against the reference

}  // namespace tarnwick::fuzz

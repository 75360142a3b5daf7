// The fuzz entry points, one per parser of outside input (each file of targets/ says what it
// checks). Each runs one input through its parser and returns the number of broken invariants it
// saw, naming each on stderr. The libFuzzer mains trap on a nonzero result; the corpus replay test
// expects 0 for every stored input. Plain C++: no libFuzzer needed to call them.
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

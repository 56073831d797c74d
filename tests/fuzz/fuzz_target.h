// The entry point every fuzz target defines, and a scratch file that holds one input.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace qx::fuzz {

// The parsers under test read files: each input is written to a file of its own in a private
// folder, named with `suffix` (the readers choose by extension).
QString scratchFile(const char* suffix, const uint8_t* data, size_t size);

} // namespace qx::fuzz

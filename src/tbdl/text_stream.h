#pragma once

#include <string>

namespace qv::tbdl {

// Reads a file as a text stream does on Windows: a CR LF pair arrives as one
// LF. False when the file cannot be opened or read; text is then empty.
bool ReadTextFile(const std::string& path, std::string* text);

// The same conversion on text already in memory.
void NormalizeLineEnds(std::string* text);

}  // namespace qv::tbdl

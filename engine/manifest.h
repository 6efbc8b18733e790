// The update manifest: the two profile files the package carries, read only
// from the staging folder, always with an empty default so that reading never
// writes into them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act {

// A missing manifest file reads as empty. One that is there but is no
// profile file (a folder in its place, binary content) would read as empty
// too, and the run would quietly carry no settings at all; this throws
// act::Error for it instead (75, naming the file).
void CheckManifestFile(FileSystem& fs, const std::string& file);

// A manifest value as text; empty when the file, section or key is missing.
std::string ReadManifestText(ProfileStore& profiles, const std::string& file,
                             const std::string& section, const std::string& key);

// A manifest count (see ToCount): 0 when missing or not a number; Overflow
// naming the key and file when it does not fit 16 bits.
int16_t ReadManifestCount(ProfileStore& profiles, const std::string& file,
                          const std::string& section, const std::string& key);

// An entry key: the prefix followed by the entry number's plain decimal
// digits ("seccion_" and 12 give "seccion_12").
std::string EntryKey(const char* prefix, int number);

}  // namespace act

// The two profile routines of the general module: every value the update
// engine takes from an INI file, or puts into one, passes through them.
#pragma once

#include <string>

#include "platform/profile_store.h"

namespace act {

// The value of key in section of the profile file at path, cut to 254
// characters; default_value when the key yields nothing (file, section or
// key absent, or the value empty). A non-empty default is then also written
// into the file in the key's place, so that the next reader finds it; an
// empty default writes nothing, which is why every manifest read passes one.
std::string leeIni(ProfileStore& store, const std::string& section, const std::string& key,
                   const std::string& default_value, const std::string& path);

// Writes value under key in section of the file at path, adding the section
// and the key when missing. False when the platform refuses the write (a
// read-only file, a missing folder); it never throws for that. Reads through
// the same store see the value at once; the file may get it only at the
// store's Flush, which the caller owes before anything else uses the file.
bool escribeIni(ProfileStore& store, const std::string& section, const std::string& key,
                const std::string& value, const std::string& path);

}  // namespace act

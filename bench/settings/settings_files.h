// The files of one product-settings stage, generated for the benchmark: an
// installed configuracion.ini of a chosen size, its staged copy as the
// package brings it, and the manifest actualizador.ini that lists the keys
// to carry. All three are Windows-1252 bytes, as the product writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace act::bench {

struct SettingsFiles {
  std::vector<uint8_t> installed;  // \zentaroDeck\configuracion.ini
  std::vector<uint8_t> staged;     // \zentaroDeck_NEW\configuracion.ini
  std::vector<uint8_t> manifest;   // \zentaroDeck_NEW\actualizador.ini
  size_t listed = 0;               // keys listed in the manifest
  size_t distinct = 0;             // different keys among them
};

// About target_bytes of settings in a few hundred sections of some fifty
// keys, with accented names and values, comments and blank lines. The
// manifest lists `keys` keys spread over the whole file (each key once while
// the file holds enough of them, then again). The package's copy differs
// from the installed file in the value of every listed key, lacks one listed
// key in a hundred, and the installed file leaves one in a hundred empty.
SettingsFiles MakeSettingsFiles(size_t target_bytes, size_t keys, uint32_t seed = 1);

}  // namespace act::bench

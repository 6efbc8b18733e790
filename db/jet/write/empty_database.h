// New, empty Jet 3 databases. Access's own skeleton (the four engine
// tables, their indexes and usage maps, the catalog rows of the engine's
// and Access's containers) is reproduced byte for byte from a template
// derived from an Access-written sample: the safe route, since which of
// these objects Access insists on is unknown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::db::jet {

// Pages in the template (the skeleton's pages 0..21).
constexpr uint32_t kEmptyTemplatePages = 22;

// The template's bytes (embedded at build time from empty_jet3.mdb).
std::vector<uint8_t> EmptyJet3Template();

// Creates `path` as a new empty Access 97 database. Fails with 58 when the
// file exists (through the file-system service).
void CreateDatabase(FileSystem& fs, const std::string& path);

// Derives the template from an Access 97 sample whose skeleton it shares
// (delTestV1997.mdb): removes the catalog rows of every table past the
// skeleton (user tables, Access's module tables) with their MSysACEs rows,
// index entries and long values, cuts the file to the skeleton's pages and
// marks every page past them free. The stored template is this function's
// output; the tests derive it again and compare.
std::vector<uint8_t> DeriveEmptyTemplate(std::vector<uint8_t> sample, const std::string& name);

}  // namespace act::db::jet

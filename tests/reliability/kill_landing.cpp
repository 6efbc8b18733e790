#include "tests/reliability/kill_landing.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace act::test {
namespace {

namespace stdfs = std::filesystem;

std::string FileDigest(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  uint64_t hash = 1469598103934665603ull, size = 0;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    size += static_cast<uint64_t>(in.gcount());
  }
  return std::to_string(size) + ":" + std::to_string(hash);
}

uint64_t SizeOf(const std::string& digest) { return std::stoull(digest.substr(0, digest.find(':'))); }

const char* const kManifests[] = {"actualizador.ini", "update_ss.ini"};

// The files of the new installation that each carry-over stage writes, in
// the order the run calls the stages (the names the sample manifest lists).
struct Stage {
  Landing landing;
  std::vector<std::string> prefixes;
};
const Stage kStages[] = {
    {Landing::kDatabase, {"datos.mdb"}},
    {Landing::kSettings, {"configuracion.ini"}},
    {Landing::kFolderCopies, {"skins", "fotos"}},
    {Landing::kFileCopies, {"licencia.txt"}},
    {Landing::kSearchSettings, {"supersearch/settings.ini"}},
};

bool Owned(const Stage& stage, const std::string& path) {
  for (const std::string& prefix : stage.prefixes) {
    if (path == prefix || path.starts_with(prefix + "/")) return true;
  }
  return false;
}

bool OwnedByAnyStage(const std::string& path) {
  if (path == "datos.new") return true;
  for (const Stage& stage : kStages) {
    if (Owned(stage, path)) return true;
  }
  return false;
}

// The staged database keeps the package's name until the swap renames it.
std::string StagedName(const std::string& path) { return path == "datos.mdb" ? "datos.new" : path; }

std::string Find(const Digest& digest, const std::string& path) {
  auto it = digest.find(path);
  return it == digest.end() ? "<missing>" : it->second;
}

// Whether the package copy has ended. A file that a stage rewrites later is
// judged by its stage, not here, except the database: one shorter than the
// package's is still being copied (the carry-over only makes it grow).
bool StagingCopied(const RunReferences& refs, const Digest& staging) {
  for (const auto& [path, digest] : refs.package) {
    const std::string staged = Find(staging, path);
    if (staged == "<missing>") return false;
    if (path == "datos.new") {
      if (SizeOf(staged) < SizeOf(digest)) return false;
    } else if (!OwnedByAnyStage(path) && staged != digest) {
      return false;
    }
  }
  return true;
}

}  // namespace

Digest TreeDigest(const stdfs::path& root) {
  Digest out;
  if (!stdfs::is_directory(root)) return {{"<absent>", ""}};
  for (const auto& entry : stdfs::recursive_directory_iterator(root)) {
    std::string rel = stdfs::relative(entry.path(), root).generic_string();
    out[rel] = entry.is_directory() ? "<folder>" : FileDigest(entry.path());
  }
  return out;
}

const char* LandingName(Landing landing) {
  switch (landing) {
    case Landing::kStagingCopy: return "staging copy";
    case Landing::kBeforeDatabase: return "versions, gate, attributes";
    case Landing::kDatabase: return "database carry-over";
    case Landing::kSettings: return "product settings";
    case Landing::kFolderCopies: return "folder copies";
    case Landing::kFileCopies: return "file copies";
    case Landing::kSearchSettings: return "search settings";
    case Landing::kFlush: return "staging flush, up to the database rename";
    case Landing::kSwapBeforeBackup: return "database rename, support folder, before the backup move";
    case Landing::kBackupOnly: return "after the backup move, before the promotion";
    case Landing::kManifests: return "manifest deletes";
    case Landing::kAfterLastStep: return "after the last step";
  }
  return "?";
}

Digest RunReferences::Staged() const {
  Digest staged = new_installation;
  for (const char* name : kManifests) staged[name] = Find(package, name);
  return staged;
}

Landing LandingOf(const RunReferences& refs, const Digest& installation, const Digest& staging) {
  if (installation.count("<absent>")) return Landing::kBackupOnly;
  if (installation != refs.old_installation) {
    for (const char* name : kManifests) {
      if (installation.count(name)) return Landing::kManifests;
    }
    return Landing::kAfterLastStep;
  }
  if (staging.count("<absent>")) return Landing::kStagingCopy;
  // The package brings no datos.mdb: it is the renamed datos.new.
  if (staging.count("datos.mdb")) return Landing::kSwapBeforeBackup;
  if (!StagingCopied(refs, staging)) return Landing::kStagingCopy;
  if (Find(staging, "datos.new") == Find(refs.package, "datos.new")) return Landing::kBeforeDatabase;
  for (const Stage& stage : kStages) {
    for (const auto& [path, digest] : refs.new_installation) {
      if (Owned(stage, path) && Find(staging, StagedName(path)) != digest) return stage.landing;
    }
  }
  return Landing::kFlush;
}

}  // namespace act::test

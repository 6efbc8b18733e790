// Builds sample zentaroDeck drives through the FileSystem interface, so the
// same code makes them on the posix backend and under Windows: an installed
// product, an update package with its manifest, and bulk folders for the
// staging benchmark. The profile files are written as Windows-1252 text with
// CRLF lines, the way the product's own files are.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::test {

// The bytes of a stand-in zentaroDeck.exe whose version record holds version
// ("2.0.0.0"), built by the MinGW resource compiler into exe_dir.
std::vector<uint8_t> VersionedExe(FileSystem& fs, const std::string& exe_dir,
                                  const std::string& version);

// UTF-8 to Windows-1252 (characters it lacks become '?').
std::string Cp1252(const std::string& utf8);

// Creates the folder and each missing folder above it.
void MakeFolders(FileSystem& fs, const std::string& path);
// Writes a file, creating its folders.
void PutFile(FileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes);
// Writes UTF-8 text as Windows-1252, with "\n" turned into CRLF.
void PutText(FileSystem& fs, const std::string& path, const std::string& utf8);

// What a sample holds. The defaults make a small but complete sample; the
// CLI test and the demo raise the counts.
struct SampleOptions {
  int sections = 2;            // settings sections listed in actualizador.ini
  int keys_per_section = 3;    // keys listed per section
  int skin_files = 2;          // files in \zentaroDeck\skins
  int photo_files = 2;         // files in \zentaroDeck\fotos
  size_t media_bytes = 64;     // size of each skin and photo
  std::string minimo;          // VERSIONES/minimo; empty leaves the key out
};

// Section i (1-based) of configuracion.ini, key j, and the installed and
// packaged values the sample gives it. Accented on purpose.
std::string SampleSection(int i);
std::string SampleKey(int j);
std::string InstalledValue(int i, int j);
std::string PackagedValue(int i, int j);

// drive\zentaroDeck: zentaroDeck.exe (exe), configuracion.ini (every listed
// key with InstalledValue, plus an unlisted [Privado] section),
// supersearch\settings.ini, datos.mdb, licencia.txt, skins\, fotos\.
void PutInstallation(FileSystem& fs, const std::string& drive,
                     const std::vector<uint8_t>& exe, const SampleOptions& options);

// updater_folder\zentaroDeck_NEW: zentaroDeck.exe (exe), actualizador.ini
// and update_ss.ini listing every sample key, the skins and fotos folders and
// licencia.txt, configuracion.ini with PackagedValue, datos.new and the
// search module's settings. updater_folder may be a drive root ("e:\").
void PutPackage(FileSystem& fs, const std::string& updater_folder,
                const std::vector<uint8_t>& exe, const SampleOptions& options);

// The manifest text PutPackage writes (UTF-8).
std::string SampleManifest(const SampleOptions& options);

// A folder of `files` files summing to about total_bytes, spread over
// subfolders of a hundred files each; for the staging benchmark.
void PutBulkFolder(FileSystem& fs, const std::string& folder, int files, uint64_t total_bytes);

// Every file and folder under root: relative path -> content (folders map to
// "<folder>"). Two snapshots compare equal when nothing under root changed.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(FileSystem& fs, const std::string& root);

}  // namespace act::test

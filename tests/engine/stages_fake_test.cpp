// The carry-over stages against recording fakes: which manifest entries and
// paths they look at and how they end on huge counts. The file-system fake
// holds every copy to the existence test of its source.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/manifest_copies.h"
#include "engine/settings_carry_over.h"
#include "memory_profile_store.h"
#include "platform/error.h"
#include "profile/mod_general.h"
#include "recording_file_system.h"

namespace act {
namespace {

using test::MemoryProfileStore;
using test::RecordingFileSystem;

const std::string kManifest = "c:\\zentaroDeck_NEW\\actualizador.ini";
const std::string kSource = "c:\\zentaroDeck\\configuracion.ini";
const std::string kStaged = "c:\\zentaroDeck_NEW\\configuracion.ini";

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}
bool AnyContains(const std::vector<std::string>& v, const std::string& part) {
  return std::any_of(v.begin(), v.end(),
                     [&](const std::string& s) { return s.find(part) != std::string::npos; });
}

TEST(ProfileRoutines, DefaultIsWrittenBackOnlyWhenNotEmpty) {
  MemoryProfileStore store;
  EXPECT_EQ(leeIni(store, "S", "k", "", "c:\\a.ini"), "");
  EXPECT_FALSE(store.HasFile("c:\\a.ini"));
  EXPECT_TRUE(store.writes.empty());

  EXPECT_EQ(leeIni(store, "S", "k", "1", "c:\\a.ini"), "1");
  EXPECT_EQ(store.Get("c:\\a.ini", "S", "k"), "1");

  store.Set("c:\\a.ini", "S", "empty", "");
  EXPECT_EQ(leeIni(store, "S", "empty", "x", "c:\\a.ini"), "x");
  EXPECT_EQ(store.Get("c:\\a.ini", "S", "empty"), "x");

  size_t writes = store.writes.size();
  EXPECT_EQ(leeIni(store, "S", "k", "other", "c:\\a.ini"), "1");
  EXPECT_EQ(store.writes.size(), writes);

  store.SetReadOnly("c:\\ro.ini");
  EXPECT_FALSE(escribeIni(store, "S", "k", "v", "c:\\ro.ini"));
  EXPECT_EQ(leeIni(store, "S", "k", "d", "c:\\ro.ini"), "d");  // refused write-back ignored
}

TEST(SettingsStage, CountOfOneNeverLooksAtEntryTwo) {
  MemoryProfileStore store;
  store.Set(kManifest, "SECCIONES", "secciones", "1");
  store.Set(kManifest, "SECCIONES", "seccion_1", "General");
  store.Set(kManifest, "SECCIONES", "seccion_maximo_1", "1");
  store.Set(kManifest, "SECCIONES", "seccion_2", "Otra");
  store.Set(kManifest, "SECCIONES", "seccion_maximo_2", "1");
  store.Set(kManifest, "General", "parametro_1", "volumen");
  store.Set(kManifest, "General", "parametro_2", "idioma");
  store.Set(kSource, "General", "volumen", "80");
  store.Set(kSource, "General", "idioma", "es");

  CarrySettings(kProductSettings, RunPaths("c:"), store);

  // Neither section 2 nor key 2, nor the setting that key names.
  EXPECT_FALSE(AnyContains(store.reads, "_2") || AnyContains(store.reads, "idioma"));
  EXPECT_EQ(store.writes, (std::vector<std::string>{kStaged + "|General|volumen=80"}));
  // The stage leaves nothing waiting in the store for the steps after it.
  EXPECT_EQ(store.flushes, 1);
  EXPECT_FALSE(store.HasUnflushedWrites());
}

TEST(SettingsStage, ListedTwiceIsWrittenTwiceAndEmptyValueIsNotCarried) {
  MemoryProfileStore store;
  store.Set(kManifest, "SECCIONES", "secciones", "1");
  store.Set(kManifest, "SECCIONES", "seccion_1", "G");
  store.Set(kManifest, "SECCIONES", "seccion_maximo_1", "3");
  store.Set(kManifest, "G", "parametro_1", "a");
  store.Set(kManifest, "G", "parametro_2", "vacio");
  store.Set(kManifest, "G", "parametro_3", "a");
  store.Set(kSource, "G", "a", "1");
  store.Set(kSource, "G", "vacio", "");
  store.Set(kStaged, "G", "vacio", "paquete");
  CarrySettings(kProductSettings, RunPaths("c:"), store);
  EXPECT_EQ(store.writes, (std::vector<std::string>{kStaged + "|G|a=1", kStaged + "|G|a=1"}));
  EXPECT_EQ(store.Get(kStaged, "G", "vacio"), "paquete");
}

TEST(SettingsStage, SearchStageUsesItsOwnFiles) {
  MemoryProfileStore store;
  const std::string manifest = "d:\\zentaroDeck_NEW\\update_ss.ini";
  store.Set(manifest, "SECCIONES_SS", "secciones", "1");
  store.Set(manifest, "SECCIONES_SS", "seccion_1", "Busqueda");
  store.Set(manifest, "SECCIONES_SS", "seccion_maximo_1", "1");
  store.Set(manifest, "Busqueda", "parametro_1", "modo");
  store.Set("d:\\zentaroDeck\\supersearch\\settings.ini", "Busqueda", "modo", "rápido");
  CarrySettings(kSearchSettings, RunPaths("d:"), store);
  EXPECT_EQ(store.Get("d:\\zentaroDeck_NEW\\supersearch\\settings.ini", "Busqueda", "modo"),
            "rápido");
}

TEST(SettingsStage, CountOf32767RunsEveryEntryThenOverflows) {
  MemoryProfileStore store;
  store.Set(kManifest, "SECCIONES", "secciones", "1");
  store.Set(kManifest, "SECCIONES", "seccion_1", "G");
  store.Set(kManifest, "SECCIONES", "seccion_maximo_1", "32767");
  store.Set(kManifest, "G", "parametro_32767", "ultimo");
  store.Set(kSource, "G", "ultimo", "z");
  try {
    CarrySettings(kProductSettings, RunPaths("c:"), store);
    ADD_FAILURE() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrOverflow);
  }
  EXPECT_EQ(store.Get(kStaged, "G", "ultimo"), "z");  // the last entry ran first
  EXPECT_FALSE(store.HasUnflushedWrites());  // what was carried is saved all the same
  EXPECT_TRUE(Contains(store.reads, kManifest + "|G|parametro_32767"));
}

TEST(SettingsStage, CountOutsideSixteenBitsFailsBeforeAnyEntry) {
  MemoryProfileStore store;
  store.Set(kManifest, "SECCIONES", "secciones", "40000");
  try {
    CarrySettings(kProductSettings, RunPaths("c:"), store);
    ADD_FAILURE() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrOverflow);
    EXPECT_NE(std::string(e.what()).find("secciones"), std::string::npos);
  }
  EXPECT_EQ(store.reads.size(), 1u);
}

TEST(ManifestCopies, CountOfOneNeverLooksAtEntryTwo) {
  MemoryProfileStore store;
  RecordingFileSystem fs;
  store.Set(kManifest, "COPIA_CARPETAS", "carpetas", "1");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_orig_1", "\\zentaroDeck\\skins");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_dest_1", "\\zentaroDeck_NEW\\skins");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_orig_2", "\\zentaroDeck\\fotos");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_dest_2", "\\zentaroDeck_NEW\\fotos");
  fs.folders = {"c:\\zentaroDeck\\skins", "c:\\zentaroDeck\\fotos"};
  CopyListedFolders(RunPaths("c:"), fs, store);
  EXPECT_EQ(fs.copies, std::vector<std::string>{"c:\\zentaroDeck\\skins -> c:\\zentaroDeck_NEW\\skins"});
  EXPECT_FALSE(AnyContains(store.reads, "_2"));
}

TEST(ManifestCopies, MissingSourceSkippedWithoutReadingItsDestination) {
  MemoryProfileStore store;
  RecordingFileSystem fs;
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivos", "3");
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivo_orig_1", "\\no\\hay.txt");
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivo_dest_1", "\\x.txt");
  // Entry 2 has no source value: it would name the bare drive "c:".
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivo_dest_2", "\\y.txt");
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivo_orig_3", "lista.txt");
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivo_dest_3", "\\zentaroDeck_NEW\\lista.txt");
  fs.files = {"c:lista.txt", "c:"};
  CopyListedFiles(RunPaths("c:"), fs, store);
  EXPECT_EQ(fs.copies, std::vector<std::string>{"c:lista.txt -> c:\\zentaroDeck_NEW\\lista.txt"});
  EXPECT_FALSE(Contains(store.reads, kManifest + "|COPIA_ARCHIVOS|archivo_dest_1"));
  EXPECT_FALSE(Contains(store.reads, kManifest + "|COPIA_ARCHIVOS|archivo_dest_2"));
}

TEST(ManifestCopies, CountOf32767RunsEveryEntryThenOverflows) {
  MemoryProfileStore store;
  RecordingFileSystem fs;
  store.Set(kManifest, "COPIA_CARPETAS", "carpetas", "32767");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_orig_32767", "\\a");
  store.Set(kManifest, "COPIA_CARPETAS", "carpeta_dest_32767", "\\b");
  fs.folders = {"c:\\a"};
  EXPECT_THROW(CopyListedFolders(RunPaths("c:"), fs, store), Error);
  EXPECT_EQ(fs.copies, std::vector<std::string>{"c:\\a -> c:\\b"});
}

TEST(ManifestStages, NeverWriteIntoTheManifest) {
  MemoryProfileStore store;
  RecordingFileSystem fs;
  store.Set(kManifest, "SECCIONES", "secciones", "2");  // entries missing
  store.Set(kManifest, "COPIA_CARPETAS", "carpetas", "2");
  store.Set(kManifest, "COPIA_ARCHIVOS", "archivos", "1");
  CarrySettings(kProductSettings, RunPaths("c:"), store);
  CopyListedFolders(RunPaths("c:"), fs, store);
  CopyListedFiles(RunPaths("c:"), fs, store);
  CarrySettings(kSearchSettings, RunPaths("c:"), store);
  EXPECT_FALSE(AnyContains(store.writes, "actualizador.ini"));
  EXPECT_FALSE(AnyContains(store.writes, "update_ss.ini"));
  EXPECT_TRUE(fs.asked.empty() && fs.copies.empty());
}

}  // namespace
}  // namespace act

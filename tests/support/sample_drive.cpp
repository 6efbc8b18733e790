#include "tests/support/sample_drive.h"

#include <algorithm>

#include "tests/support/temp_drive.h"

namespace act::test {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Media content that differs per file, so a wrong copy shows.
std::vector<uint8_t> Media(const std::string& name, size_t size) {
  std::vector<uint8_t> out(size);
  uint32_t x = 2166136261u;
  for (char c : name) x = (x ^ static_cast<uint8_t>(c)) * 16777619u;
  for (auto& b : out) x = x * 1103515245u + 12345u, b = static_cast<uint8_t>(x >> 16);
  return out;
}

}  // namespace

std::vector<uint8_t> VersionedExe(FileSystem& fs, const std::string& exe_dir,
                                  const std::string& version) {
  return fs.ReadFileBytes(act::testing::HostFile(exe_dir + "/zentaroDeck-" + version + ".exe"));
}

std::string Cp1252(const std::string& utf8) {
  static const char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    uint32_t cp;
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < len && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += len;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kHigh[k] && kHigh[k] == cp) mapped = static_cast<char>(0x80 + k);
    out += mapped;
  }
  return out;
}

void MakeFolders(FileSystem& fs, const std::string& path) {
  if (fs.FolderExists(path)) return;
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos && slash > 2) MakeFolders(fs, path.substr(0, slash));
  fs.CreateFolder(path);
}

void PutFile(FileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes) {
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos && slash > 2) MakeFolders(fs, path.substr(0, slash));
  fs.WriteFileBytes(path, bytes);
}

void PutText(FileSystem& fs, const std::string& path, const std::string& utf8) {
  std::string text;
  for (char c : Cp1252(utf8)) {
    if (c == '\n') text += '\r';
    text += c;
  }
  PutFile(fs, path, Bytes(text));
}

std::string SampleSection(int i) { return "Sección" + std::to_string(i); }
std::string SampleKey(int j) { return "clave_" + std::to_string(j); }
std::string InstalledValue(int i, int j) {
  return "instalado " + std::to_string(i) + "." + std::to_string(j) + " ñandú €";
}
std::string PackagedValue(int i, int j) {
  return "paquete " + std::to_string(i) + "." + std::to_string(j);
}

namespace {

std::string ConfigurationText(const SampleOptions& o, bool installed) {
  std::string text;
  for (int i = 1; i <= o.sections; ++i) {
    text += "[" + SampleSection(i) + "]\n";
    for (int j = 1; j <= o.keys_per_section; ++j)
      text += SampleKey(j) + "=" + (installed ? InstalledValue(i, j) : PackagedValue(i, j)) + "\n";
  }
  text += "[Privado]\nserie=" + std::string(installed ? "ZD-1234" : "ZD-0000") + "\n";
  return text;
}

std::string SearchSettingsText(bool installed) {
  return std::string("[Busqueda]\nmodo=") + (installed ? "rápido" : "normal") +
         "\nruta=" + (installed ? "d:\\música" : "c:\\musica") + "\nidioma=" +
         (installed ? "es" : "en") + "\n";
}

void PutMedia(FileSystem& fs, const std::string& folder, const char* stem, const char* ext,
              int count, size_t size) {
  MakeFolders(fs, folder);
  for (int n = 1; n <= count; ++n) {
    std::string name = stem + std::to_string(n) + ext;
    PutFile(fs, Join(folder, name), Media(folder + name, size));
  }
}

}  // namespace

void PutInstallation(FileSystem& fs, const std::string& drive, const std::vector<uint8_t>& exe,
                     const SampleOptions& o) {
  const std::string root = drive + "\\zentaroDeck";
  PutFile(fs, root + "\\zentaroDeck.exe", exe);
  PutText(fs, root + "\\configuracion.ini", ConfigurationText(o, true));
  PutText(fs, root + "\\supersearch\\settings.ini", SearchSettingsText(true));
  PutFile(fs, root + "\\datos.mdb", Bytes("base de datos instalada"));
  PutText(fs, root + "\\licencia.txt", "licencia del cliente\n");
  PutMedia(fs, root + "\\skins", "piel", ".skn", o.skin_files, o.media_bytes);
  PutMedia(fs, root + "\\fotos", "foto", ".jpg", o.photo_files, o.media_bytes);
}

std::string SampleManifest(const SampleOptions& o) {
  std::string m = "[VERSIONES]\n";
  if (!o.minimo.empty()) m += "minimo=" + o.minimo + "\n";
  m += "BDminimo=\n[SECCIONES]\nsecciones=" + std::to_string(o.sections) + "\n";
  for (int i = 1; i <= o.sections; ++i)
    m += "seccion_" + std::to_string(i) + "=" + SampleSection(i) + "\nseccion_maximo_" +
         std::to_string(i) + "=" + std::to_string(o.keys_per_section) + "\n";
  for (int i = 1; i <= o.sections; ++i) {
    m += "[" + SampleSection(i) + "]\n";
    for (int j = 1; j <= o.keys_per_section; ++j)
      m += "parametro_" + std::to_string(j) + "=" + SampleKey(j) + "\n";
  }
  m += "[COPIA_CARPETAS]\ncarpetas=2\n"
       "carpeta_orig_1=\\zentaroDeck\\skins\ncarpeta_dest_1=\\zentaroDeck_NEW\\skins\n"
       "carpeta_orig_2=\\zentaroDeck\\fotos\ncarpeta_dest_2=\\zentaroDeck_NEW\\fotos\n"
       "[COPIA_ARCHIVOS]\narchivos=1\n"
       "archivo_orig_1=\\zentaroDeck\\licencia.txt\n"
       "archivo_dest_1=\\zentaroDeck_NEW\\licencia.txt\n";
  return m;
}

void PutPackage(FileSystem& fs, const std::string& updater_folder,
                const std::vector<uint8_t>& exe, const SampleOptions& o) {
  const std::string root = Join(updater_folder, "zentaroDeck_NEW");
  PutFile(fs, root + "\\zentaroDeck.exe", exe);
  PutText(fs, root + "\\actualizador.ini", SampleManifest(o));
  PutText(fs, root + "\\update_ss.ini",
          "[SECCIONES_SS]\nsecciones=1\nseccion_1=Busqueda\nseccion_maximo_1=2\n"
          "[Busqueda]\nparametro_1=modo\nparametro_2=ruta\n");
  PutText(fs, root + "\\configuracion.ini", ConfigurationText(o, false));
  PutText(fs, root + "\\supersearch\\settings.ini", SearchSettingsText(false));
  PutFile(fs, root + "\\datos.new", Bytes("base de datos nueva"));
  PutMedia(fs, root + "\\skins", "nueva", ".skn", 1, o.media_bytes);
}

void PutBulkFolder(FileSystem& fs, const std::string& folder, int files, uint64_t total_bytes) {
  MakeFolders(fs, folder);
  const size_t each = files > 0 ? static_cast<size_t>(total_bytes / files) : 0;
  std::string sub;
  for (int n = 0; n < files; ++n) {
    if (n % 100 == 0) {
      sub = Join(folder, "grupo" + std::to_string(n / 100));
      fs.CreateFolder(sub);
    }
    // Sizes vary from half to one and a half times the mean, like media.
    size_t size = each / 2 + (each * static_cast<size_t>(n % 11)) / 10;
    PutFile(fs, Join(sub, "archivo" + std::to_string(n) + ".dat"),
            Media(std::to_string(n), size));
  }
}

Snapshot TakeSnapshot(FileSystem& fs, const std::string& root) {
  Snapshot out;
  struct Walker {
    FileSystem& fs;
    Snapshot& out;
    void Walk(const std::string& folder, const std::string& relative) {
      for (const std::string& name : fs.ListFolder(folder)) {
        std::string path = Join(folder, name);
        std::string rel = relative.empty() ? name : relative + "\\" + name;
        if (fs.FolderExists(path)) {
          out[rel] = "<folder>";
          Walk(path, rel);
        } else {
          std::vector<uint8_t> bytes = fs.ReadFileBytes(path);
          out[rel] = std::string(bytes.begin(), bytes.end());
        }
      }
    }
  } walker{fs, out};
  walker.Walk(root, "");
  return out;
}

}  // namespace act::test

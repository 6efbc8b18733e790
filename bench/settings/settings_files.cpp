#include "bench/settings/settings_files.h"

#include <algorithm>
#include <random>
#include <string>

#include "platform/cp1252.h"

namespace act::bench {
namespace {

struct Entry {
  std::string key, value;
};
struct Section {
  std::string name;
  std::vector<Entry> entries;
};

const char* const kSectionStems[] = {"Audio",      "Pantalla", "Reproducción", "Música",
                                     "Géneros",    "Publicidad", "Monedero",   "Teclado",
                                     "Iluminación", "Canción"};
const char* const kKeyStems[] = {"Volumen", "Título", "Año",      "Posición", "Señal",
                                 "Color",   "Ruta",   "Duración", "Retardo",  "Pista"};
const char* const kWords[] = {"canción", "año",   "señal",  "música", "ñandú", "pingüino",
                              "€",       "¿qué?", "sí",     "éxito",  "órgano", "niño",
                              "C:\\zentaroDeck\\skins", "100", "rojo", "«disco»"};

std::string Phrase(std::mt19937& random, int words) {
  std::string text;
  for (int i = 0; i < words; ++i) {
    if (i) text += ' ';
    text += kWords[random() % std::size(kWords)];
  }
  return text;
}

std::string Render(const std::vector<Section>& sections, bool decorate) {
  std::string text;
  if (decorate) text += "; configuración de zentaroDeck\r\n";
  for (const Section& s : sections) {
    text += "[" + s.name + "]\r\n";
    for (size_t i = 0; i < s.entries.size(); ++i) {
      // The installed file was last written by the product, which leaves a
      // comment here and there and blank lines between sections.
      if (decorate && i == 7) text += "; valores por omisión\r\n";
      text += s.entries[i].key + "=" + s.entries[i].value + "\r\n";
    }
    if (decorate) text += "\r\n";
  }
  return text;
}

std::vector<uint8_t> Bytes(const std::string& utf8) {
  std::string ansi = Utf8ToCp1252(utf8);
  return std::vector<uint8_t>(ansi.begin(), ansi.end());
}

}  // namespace

SettingsFiles MakeSettingsFiles(size_t target_bytes, size_t keys, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Section> installed;
  size_t bytes = 0;
  while (bytes < target_bytes) {
    Section s;
    s.name = std::string(kSectionStems[installed.size() % std::size(kSectionStems)]) + "_" +
             std::to_string(installed.size() + 1);
    for (int k = 0; k < 50 && bytes < target_bytes; ++k) {
      Entry e;
      e.key = std::string(kKeyStems[k % std::size(kKeyStems)]) + "_" + std::to_string(k + 1);
      e.value = Phrase(random, 1 + random() % 5);
      if (random() % 20 == 0) e.value = "\"" + e.value + "\"";
      if (random() % 1000 == 0) e.value = std::string(300, 'x');  // cut to 254 on reading
      bytes += e.key.size() + e.value.size() + 3;
      s.entries.push_back(std::move(e));
    }
    bytes += s.name.size() + 4;
    installed.push_back(std::move(s));
  }

  // The listed keys, spread evenly over the file, grouped by section.
  std::vector<std::pair<size_t, size_t>> all;
  for (size_t s = 0; s < installed.size(); ++s) {
    for (size_t k = 0; k < installed[s].entries.size(); ++k) all.emplace_back(s, k);
  }
  std::vector<std::vector<size_t>> listed(installed.size());
  std::vector<bool> chosen(all.size());
  for (size_t i = 0; i < keys; ++i) {
    size_t at = keys <= all.size() ? i * all.size() / keys : i % all.size();
    listed[all[at].first].push_back(all[at].second);
    chosen[at] = true;
  }

  std::vector<Section> staged = installed;
  size_t n = 0;
  for (size_t s = 0; s < installed.size(); ++s) {
    for (size_t k : listed[s]) {
      staged[s].entries[k].value = "paquete " + std::to_string(++n);
      if (n % 100 == 50) installed[s].entries[k].value.clear();
    }
  }
  // One listed key in a hundred is new to the installed product's version:
  // the package lacks it and the carry-over adds it.
  for (size_t s = 0; s < staged.size(); ++s) {
    auto& entries = staged[s].entries;
    for (size_t i = entries.size(); i-- > 0;) {
      bool is_listed = std::find(listed[s].begin(), listed[s].end(), i) != listed[s].end();
      if (is_listed && (s * 50 + i) % 100 == 3) entries.erase(entries.begin() + i);
    }
  }

  std::string manifest = "[SECCIONES]\r\n";
  std::string lists;
  int16_t count = 0;
  for (size_t s = 0; s < installed.size(); ++s) {
    if (listed[s].empty()) continue;
    ++count;
    manifest += "seccion_" + std::to_string(count) + "=" + installed[s].name + "\r\n";
    manifest += "seccion_maximo_" + std::to_string(count) + "=" +
                std::to_string(listed[s].size()) + "\r\n";
    lists += "[" + installed[s].name + "]\r\n";
    for (size_t j = 0; j < listed[s].size(); ++j) {
      lists += "parametro_" + std::to_string(j + 1) + "=" +
               installed[s].entries[listed[s][j]].key + "\r\n";
    }
  }
  manifest = "[actualizador]\r\nminimo=1.0.0.0\r\n" + manifest + "secciones=" +
             std::to_string(count) + "\r\n" + lists;

  SettingsFiles files;
  files.installed = Bytes(Render(installed, true));
  files.staged = Bytes(Render(staged, true));
  files.manifest = Bytes(manifest);
  files.listed = keys;
  files.distinct = std::count(chosen.begin(), chosen.end(), true);
  return files;
}

}  // namespace act::bench

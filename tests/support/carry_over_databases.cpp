#include "tests/support/carry_over_databases.h"

#include <algorithm>
#include <cctype>

#include "db/exec/statement_executor.h"
#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/value_conversion.h"
#include "platform/error.h"

#include "db/jet/write/empty_database.h"

namespace act::test {
namespace {

using db::Value;

const char* const kArtists[] = {"José Álvarez", "Mónica Peña", "Los Güeros del Ñandú",
                                "Orquesta Aragón", "Chabuca Granda"};
const char* const kGenres[] = {"Cumbia", "Ranchera", "Balada romántica", "Pop en español",
                               "Música andina", "Bolero", "Salsa", "Vallenato"};

std::string Num(int64_t n) { return std::to_string(n); }

bool Without(const CarryOverDatabaseContent& c, const std::string& table) {
  return std::find(c.without_tables.begin(), c.without_tables.end(), table) !=
         c.without_tables.end();
}

// Appends rows straight through the table writer: one statement per row
// would flush and sync a million times.
template <typename MakeRow>
void AppendRows(db::jet::Database& db, const std::string& table, int64_t first, int64_t count,
                MakeRow make_row) {
  if (count <= 0) return;
  auto def = db.Table(table);
  db::jet::Pager& pager = db.pager();
  pager.BeginDeferredWrites();
  db::jet::PageAllocator allocator(db);
  db::jet::TableWriter writer(db, allocator, def);
  for (int64_t id = first; id < first + count; ++id) {
    std::vector<Value> given = make_row(id);
    std::vector<Value> values(def->columns.size());
    for (size_t i = 0; i < def->columns.size(); ++i) {
      // Columns matched by position of creation: the table's columns are
      // sorted by column number, which is the order they were created in.
      values[i] = *db::jet::ConvertForColumn(def->columns[i], given.at(i));
    }
    writer.Append(std::move(values));
    if (pager.pending_writes() > 1024) {
      writer.Finish();
      pager.FlushWrites();
    }
  }
  writer.Finish();
  pager.FlushWrites();
  db.Reload();
}

}  // namespace

std::vector<Value> SongRow(int64_t id, const std::string& mark) {
  return {Value::Long(int32_t(id)),
          Value::Text("Canción de la montaña nº " + Num(id) + mark),
          Value::Text(kArtists[id % 5]),
          Value::Text("Éxitos del año " + Num(1970 + id % 50)),
          Value::Text(kGenres[id % 8]),
          Value::Long(int32_t(120 + id % 300)),
          Value::Text("c:\\zentaroDeck\\música\\" + Num(id) + ".mp3"),
          Value::Long(int32_t(id % 97))};
}
std::vector<Value> ShopSongRow(int64_t id, const std::string& mark) {
  static const char* const kFirst[] = {
      "Canción", "Corazón", "Mañana",   "Niña",     "Pájaro", "Ángel",  "Sueño",
      "Lágrimas", "Última", "Camión",   "Señora",   "Bésame", "Olvídame", "Añoranza",
      "Perfidia", "Río",    "Jardín",   "Café",     "Luna",   "Güera"};
  static const char* const kSecond[] = {"de otoño",    "del ayer",    "sin ti",     "de cristal",
                                        "en la playa", "para Begoña", "de Aragón",  "del mar",
                                        "al amanecer", "de San Juan", "bajo la lluvia",
                                        "de mi tierra"};
  static const char* const kAlbums[] = {"Éxitos",   "Grandes éxitos", "En vivo",  "Boleros de oro",
                                        "Lo mejor", "Recuerdos",      "Clásicos", "Fiesta"};
  // 1000003 and 999983 are prime: p and q run over their residues in no order.
  const int64_t p = (id * 7919 + 13) % 1000003;
  const int64_t q = (id * 104729 + 7) % 999983;
  return {Value::Long(int32_t(id)),
          Value::Text(std::string(kFirst[p % 20]) + " " + kSecond[q % 12] + " " + Num(p) + mark),
          Value::Text(std::string(kArtists[q % 5]) + " " + Num(q % 12000)),
          Value::Text(std::string(kAlbums[p % 8]) + " " + Num(p % 25000)),
          Value::Text(kGenres[(p + q) % 8]),
          Value::Long(int32_t(120 + q % 300)),
          Value::Text("c:\\zentaroDeck\\música\\" + Num(id) + ".mp3"),
          Value::Long(int32_t((p * 7 + q) % 997))};
}

std::vector<Value> CdRow(int id, const std::string& mark) {
  return {Value::Long(id), Value::Text("Disco compacto Nº " + Num(id) + mark),
          Value::Text(kArtists[id % 5]), Value::Long(10 + id % 12)};
}
std::vector<Value> GenreRow(int id, const std::string& mark) {
  return {Value::Long(id), Value::Text(kGenres[id % 8] + std::string(" ") + Num(id) + mark)};
}
std::vector<Value> GenreAlbumRow(int id, const std::string& mark) {
  return {Value::Long(id), Value::Text("Éxitos del año " + Num(1970 + id % 50) + mark)};
}
std::vector<Value> AdRow(int id, const std::string& mark) {
  return {Value::Long(id), Value::Text("Anunciante Peñalver " + Num(id) + mark),
          Value::Text("c:\\zentaroDeck\\publicidad\\anuncio" + Num(id) + ".jpg"),
          Value::Long(id * 3)};
}
std::vector<Value> PaymentRow(int id, const std::string& mark) {
  return {Value::Long(id), Value::DateTime(40000.0 + id + 0.5),
          Value::Currency(int64_t(id) * 12500), Value::Text("Recaudación máquina " + Num(id) + mark)};
}

std::vector<std::string> CarryOverSchema(const CarryOverDatabaseContent& c) {
  std::vector<std::string> s = {
      std::string("CREATE TABLE configuracion (elemento TEXT(50)") +
          (c.unique_elemento ? " UNIQUE" : "") + ", valor_s TEXT(255), valor " +
          (c.valor_as_text ? "TEXT(20))" : "LONG)"),
  };
  auto add = [&](const std::string& table, std::string ddl) {
    if (!Without(c, table)) s.push_back(std::move(ddl));
  };
  add("informacion_cd",
      "CREATE TABLE informacion_cd (codigo LONG PRIMARY KEY, titulo TEXT(100), "
      "artista TEXT(100), pistas INTEGER)");
  std::string songs = "CREATE TABLE canciones (id COUNTER PRIMARY KEY";
  for (const char* col : {"titulo TEXT(100)", "artista TEXT(100)", "album TEXT(100)",
                          "genero TEXT(50)", "duracion LONG", "archivo TEXT(255)",
                          "reproducciones LONG"}) {
    std::string name(col, std::string(col).find(' '));
    if (name != c.canciones_without_column) songs += std::string(", ") + col;
  }
  add("canciones", songs + ")");
  if (c.shop_songs && !Without(c, "canciones")) {
    for (const char* column : {"titulo", "artista", "album"}) {
      if (column == c.canciones_without_column) continue;
      std::string name = column;
      name[0] = char(std::toupper(name[0]));
      s.push_back("CREATE INDEX por" + name + " ON canciones (" + column + ")");
    }
  }
  add("generos", "CREATE TABLE " + c.generos_name + " (id LONG PRIMARY KEY, nombre TEXT(50))");
  add("genero_album",
      "CREATE TABLE genero_album (id_genero LONG, album TEXT(100), "
      "CONSTRAINT genero_album_clave UNIQUE (id_genero, album))");
  add("publicidad",
      "CREATE TABLE publicidad (id LONG PRIMARY KEY, anunciante TEXT(100), archivo TEXT(255), "
      "veces LONG)");
  add("dinero",
      "CREATE TABLE dinero (id LONG PRIMARY KEY, fecha DATETIME, importe CURRENCY, "
      "concepto TEXT(100))");
  return s;
}

void WriteCarryOverDatabase(FileSystem& fs, const std::string& path,
                            const CarryOverDatabaseContent& c) {
  db::jet::CreateDatabase(fs, path);
  auto db = db::jet::Database::Open(fs, path, /*writable=*/true);
  for (const std::string& ddl : CarryOverSchema(c)) db::exec::ExecuteStatement(fs, *db, ddl);
  db->Reload();

  // Settings go in one by one, in the order given, so the unique index
  // refuses duplicates just as the product's database would.
  AppendRows(*db, "configuracion", 0, int64_t(c.settings.size()), [&](int64_t i) {
    const Setting& s = c.settings[size_t(i)];
    return std::vector<Value>{s.elemento, s.valor_s, s.valor};
  });
  auto subset = [&](std::vector<Value> row) {
    if (c.canciones_without_column.empty()) return row;
    const char* names[] = {"id", "titulo", "artista", "album", "genero", "duracion", "archivo",
                           "reproducciones"};
    std::vector<Value> out;
    for (size_t i = 0; i < row.size(); ++i)
      if (names[i] != c.canciones_without_column) out.push_back(row[i]);
    return out;
  };
  if (!Without(c, "canciones"))
    AppendRows(*db, "canciones", c.first_song, c.songs, [&](int64_t id) {
      return subset(c.shop_songs ? ShopSongRow(id, c.mark) : SongRow(id, c.mark));
    });
  if (!Without(c, "informacion_cd"))
    AppendRows(*db, "informacion_cd", c.first_cd, c.cds, [&](int64_t id) { return CdRow(int(id), c.mark); });
  if (!Without(c, "generos"))
    AppendRows(*db, c.generos_name, c.first_genre, c.genres, [&](int64_t id) { return GenreRow(int(id), c.mark); });
  if (!Without(c, "genero_album"))
    AppendRows(*db, "genero_album", c.first_genre, c.genres,
               [&](int64_t id) { return GenreAlbumRow(int(id), c.mark); });
  if (!Without(c, "publicidad"))
    AppendRows(*db, "publicidad", c.first_ad, c.ads, [&](int64_t id) { return AdRow(int(id), c.mark); });
  if (!Without(c, "dinero"))
    AppendRows(*db, "dinero", c.first_payment, c.payments,
               [&](int64_t id) { return PaymentRow(int(id), c.mark); });
}

CarryOverDatabaseContent InstalledContent(int64_t songs) {
  CarryOverDatabaseContent c;
  c.settings = {
      {Value::Text("versionBD"), Value::Text("3.1"), Value::Long(31)},
      {Value::Text("VersionCLI"), Value::Text("3.1.0"), Value::Long(310)},
      {Value::Text("idioma"), Value::Text("español"), Value::Long(1)},
      {Value::Text("volumen"), Value::Text("alto"), Value::Long(85)},
      {Value::Text("saludo"), Value::Text("Don't Stop"), Value::Long(-3)},
      {Value::Text("creditos"), Value::Null(), Value::Long(1200)},
      {Value::Text("tema"), Value::Text("oscuro"), Value::Null()},
      {Value::Text("lista'favorita"), Value::Text("rock"), Value::Long(11)},
  };
  c.songs = songs;
  c.cds = 12;
  c.genres = 6;
  c.ads = 5;
  c.payments = 9;
  return c;
}

CarryOverDatabaseContent PackageContent() {
  CarryOverDatabaseContent c;
  c.settings = {
      {Value::Text("versionBD"), Value::Text("4.0"), Value::Long(40)},
      {Value::Text("VersionCLI"), Value::Text("4.0.0"), Value::Long(400)},
      {Value::Text("idioma"), Value::Text("inglés"), Value::Long(2)},
      {Value::Text("volumen"), Value::Text(""), Value::Long(50)},
      {Value::Text("saludo"), Value::Text("Hola"), Value::Long(0)},
      {Value::Text("creditos"), Value::Text("0"), Value::Long(0)},
      {Value::Text("tema"), Value::Text("claro"), Value::Long(7)},
      {Value::Text("novedad"), Value::Text("sólo en la 4.0"), Value::Long(4)},
      {Value::Text("lista'favorita"), Value::Text("pop"), Value::Long(1)},
  };
  // Shipped rows; the first of each table collide with installed keys.
  c.songs = 3;
  c.first_song = 1;
  c.cds = 2;
  c.first_cd = 12;
  c.genres = 2;
  c.first_genre = 6;
  c.ads = 2;
  c.first_ad = 5;
  c.payments = 0;
  c.mark = " (paquete)";
  return c;
}

}  // namespace act::test

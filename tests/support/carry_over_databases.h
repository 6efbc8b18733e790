// Pairs of zentaroDeck databases for the carry-over's tests and benchmark,
// written through our own engine: an installed datos.mdb and a package
// datos.new, each holding configuracion and the six data tables. The rows
// are made from a seed, so a test can compute the rows it expects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/value.h"
#include "platform/file_system.h"

namespace act::test {

// One configuracion row.
struct Setting {
  db::Value elemento, valor_s, valor;
};

struct CarryOverDatabaseContent {
  std::vector<Setting> settings;
  int64_t songs = 0;       // canciones rows, ids first_song ..
  int64_t first_song = 1;
  int cds = 0;             // informacion_cd rows, ids first_cd ..
  int first_cd = 1;
  int genres = 0;          // generos rows (ids from first_genre) and one
  int first_genre = 1;     // genero_album row per genre
  int ads = 0;             // publicidad rows, ids first_ad ..
  int first_ad = 1;
  int payments = 0;        // dinero rows, ids first_payment ..
  int first_payment = 1;
  // Tables left out of the database (to test a table missing on one side).
  std::vector<std::string> without_tables;
  // A column of canciones left out (to test a column missing on one side).
  std::string canciones_without_column;
  // Added to the main text of every data row, so that a shipped row and an
  // installed row with the same key can be told apart.
  std::string mark;
  // The unique index on configuracion.elemento; without it, one element
  // can have two rows.
  bool unique_elemento = true;
  // The genres table's name: "Generos" makes an installation whose genres
  // table is not named exactly "generos".
  std::string generos_name = "generos";
  // configuracion.valor as TEXT(20) instead of LONG, so that it can hold
  // a value that is no number.
  bool valor_as_text = false;
  // canciones as a shop's catalogue holds it: ordinary indexes on titulo,
  // artista and album (porTitulo, porArtista, porAlbum) and rows made by
  // ShopSongRow, whose values come in no order.
  bool shop_songs = false;
};

// The statements that make the seven tables and their indexes.
std::vector<std::string> CarryOverSchema(const CarryOverDatabaseContent& content);

// Writes a new Jet 3 database at path (which must not exist) with the
// content's tables and rows.
void WriteCarryOverDatabase(FileSystem& fs, const std::string& path,
                            const CarryOverDatabaseContent& content);

// The rows of each data table as the generator writes them, for checks.
std::vector<db::Value> SongRow(int64_t id, const std::string& mark = "");  // id, titulo, artista, album, genero, duracion, archivo, reproducciones
// A song of a shop that added its songs over the years: each column walks
// its own stride through its values, so titles, artists and albums come in
// no order (about 1,000,000 titles, 60,000 artists, 200,000 albums).
std::vector<db::Value> ShopSongRow(int64_t id, const std::string& mark = "");
std::vector<db::Value> CdRow(int id, const std::string& mark = "");
std::vector<db::Value> GenreRow(int id, const std::string& mark = "");
std::vector<db::Value> GenreAlbumRow(int id, const std::string& mark = "");
std::vector<db::Value> AdRow(int id, const std::string& mark = "");
std::vector<db::Value> PaymentRow(int id, const std::string& mark = "");

// A typical installed database and the package that updates it: settings
// that differ, version rows that differ, and shipped data rows of which
// some collide with installed keys.
CarryOverDatabaseContent InstalledContent(int64_t songs);
CarryOverDatabaseContent PackageContent();

}  // namespace act::test

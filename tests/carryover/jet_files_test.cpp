// Whole carry-overs on Jet 3 files written by the fixture generator, read
// back through our engine; the installed file is compared byte for byte.
#include <gtest/gtest.h>

#include <map>

#include "db/dao/dao.h"
#include "db/jet/file/pager.h"
#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "platform/error.h"
#include "platform/profile_store.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using db::Value;
using test::CarryOverDatabaseContent;

}  // namespace
}  // namespace act

namespace act::db {
// Values in failure messages as their kind and text.
inline void PrintTo(const Value& v, std::ostream* os) {
  *os << int(v.kind()) << ":" << v.ToText();
}
}  // namespace act::db

namespace act {
namespace {

using Rows = std::map<std::string, std::vector<Value>>;  // by first column's text

class CarryOverFiles : public ::testing::Test {
 protected:
  std::string Installed() { return d_.Path("\\zentaroDeck\\datos.mdb"); }
  std::string Staged() { return d_.Path("\\zentaroDeck_NEW\\datos.new"); }

  void Make(const CarryOverDatabaseContent& installed, const CarryOverDatabaseContent& staged,
            const std::string& bd_minimo = "") {
    d_.MakeFolders("\\zentaroDeck");
    d_.MakeFolders("\\zentaroDeck_NEW");
    test::WriteCarryOverDatabase(d_.fs(), Installed(), installed);
    test::WriteCarryOverDatabase(d_.fs(), Staged(), staged);
    std::string manifest = "[VERSIONES]\nminimo=1.0\n";
    if (!bd_minimo.empty()) manifest += "BDminimo=" + bd_minimo + "\n";
    test::PutText(d_.fs(), d_.Path("\\zentaroDeck_NEW\\actualizador.ini"), manifest);
    installed_bytes_ = d_.fs().ReadFileBytes(Installed());
  }

  void Run(const std::string& version = "3.5") {
    auto profiles = NewPlatformProfileStore(d_.fs());
    CarryOverRules carry(*profiles, [this] { return NewDaoCarryOverEngine(d_.fs()); });
    carry.traspasaBaseDatos(RunPaths(d_.drive()), version, NoObserver());
  }

  // Runs and returns the error; fails the test when there is none.
  Error RunFails(const std::string& version = "3.5") {
    try {
      Run(version);
    } catch (const Error& e) {
      return e;
    }
    ADD_FAILURE() << "the carry-over did not fail";
    return Error(0, "");
  }

  Rows Read(const std::string& path, const std::string& table) {
    dao::DBEngine engine(d_.fs());
    auto db = engine.OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT * FROM " + table);
    Rows rows;
    int16_t n = rs->Fields().Count();
    while (!rs->Eof()) {
      std::vector<Value> row;
      for (int16_t i = 0; i < n; ++i) row.push_back(rs->Fields().Item(i).Value());
      std::string key = row[0].ToText();
      if (table != "configuracion") key = std::string(8 - std::min<size_t>(8, key.size()), '0') + key;
      if (table == "genero_album") key += "|" + row[1].ToText();
      EXPECT_EQ(rows.count(key), 0u) << table << " " << key;
      rows[key] = row;
      rs->MoveNext();
    }
    db->Close();
    return rows;
  }

  void ExpectInstalledUnchanged() {
    EXPECT_TRUE(d_.fs().ReadFileBytes(Installed()) == installed_bytes_)
        << "the installed database changed";
  }

  act::testing::TempDrive d_;
  std::vector<uint8_t> installed_bytes_;
};

TEST_F(CarryOverFiles, SettingsAndRowsCarriedInstalledFileUnchanged) {
  Make(test::InstalledContent(50), test::PackageContent());
  Run();
  ExpectInstalledUnchanged();

  Rows config = Read(Staged(), "configuracion");
  auto expect = [&](const char* name, const Value& text, const Value& number) {
    ASSERT_EQ(config.count(name), 1u) << name;
    EXPECT_EQ(config[name][1], text) << name;
    EXPECT_EQ(config[name][2], number) << name;
  };
  // Version rows keep the package's values.
  expect("versionBD", Value::Text("4.0"), Value::Long(40));
  expect("VersionCLI", Value::Text("4.0.0"), Value::Long(400));
  // Both carried, separately.
  expect("idioma", Value::Text("español"), Value::Long(1));
  // Empty staged text keeps it; the number is carried.
  expect("volumen", Value::Text(""), Value::Long(85));
  // The apostrophe arrives intact; a staged 0 is a value.
  expect("saludo", Value::Text("Don't Stop"), Value::Long(-3));
  // An installed Null text becomes the empty text.
  expect("creditos", Value::Text(""), Value::Long(1200));
  // An installed Null number keeps the staged number.
  expect("tema", Value::Text("oscuro"), Value::Long(7));
  // Missing from the installation: the package's values.
  expect("novedad", Value::Text("sólo en la 4.0"), Value::Long(4));
  // An apostrophe in the element name.
  expect("lista'favorita", Value::Text("rock"), Value::Long(11));
  EXPECT_EQ(config.size(), 9u);

  // Rows: the installed ones appended, those whose key the package ships
  // left out (the package's row stays).
  Rows songs = Read(Staged(), "canciones");
  ASSERT_EQ(songs.size(), 50u);
  for (int64_t id = 1; id <= 50; ++id) {
    std::string key = std::string(8 - std::to_string(id).size(), '0') + std::to_string(id);
    EXPECT_EQ(songs[key], test::SongRow(id, id <= 3 ? " (paquete)" : "")) << id;
  }
  Rows cds = Read(Staged(), "informacion_cd");
  EXPECT_EQ(cds.size(), 13u);
  EXPECT_EQ(cds["00000012"], test::CdRow(12, " (paquete)"));
  EXPECT_EQ(cds["00000011"], test::CdRow(11));
  Rows genres = Read(Staged(), "generos");
  EXPECT_EQ(genres.size(), 7u);
  EXPECT_EQ(genres["00000006"], test::GenreRow(6, " (paquete)"));
  EXPECT_EQ(Read(Staged(), "genero_album").size(), 8u);
  Rows ads = Read(Staged(), "publicidad");
  EXPECT_EQ(ads.size(), 6u);
  EXPECT_EQ(ads["00000005"], test::AdRow(5, " (paquete)"));
  EXPECT_EQ(ads["00000004"], test::AdRow(4));
  Rows money = Read(Staged(), "dinero");
  ASSERT_EQ(money.size(), 9u);
  EXPECT_EQ(money["00000009"], test::PaymentRow(9));
}

TEST_F(CarryOverFiles, GateComparesVersionsAsText) {
  Make(test::InstalledContent(20), test::PackageContent(), "3.10");
  Run("3.2");  // "3.2" > "3.10" as text: the gate passes
  EXPECT_EQ(Read(Staged(), "canciones").size(), 20u);
}

TEST_F(CarryOverFiles, BelowTheMinimumCopiesOnlyAdvertisingAndMoney) {
  Make(test::InstalledContent(20), test::PackageContent(), "4.0");
  Run("3.5");
  ExpectInstalledUnchanged();
  EXPECT_EQ(Read(Staged(), "canciones").size(), 3u);
  EXPECT_EQ(Read(Staged(), "informacion_cd").size(), 2u);
  EXPECT_EQ(Read(Staged(), "generos").size(), 2u);
  EXPECT_EQ(Read(Staged(), "publicidad").size(), 6u);
  EXPECT_EQ(Read(Staged(), "dinero").size(), 9u);
}

TEST_F(CarryOverFiles, GenresTableNotNamedExactlyGenerosIsNotCopied) {
  CarryOverDatabaseContent installed = test::InstalledContent(5);
  installed.generos_name = "Generos";
  Make(installed, test::PackageContent());
  Run();
  EXPECT_EQ(Read(Staged(), "generos").size(), 2u);
  EXPECT_EQ(Read(Staged(), "genero_album").size(), 2u);
  EXPECT_EQ(Read(Staged(), "dinero").size(), 9u);
}

TEST_F(CarryOverFiles, TwoInstalledRowsForOneElementFirstWins) {
  CarryOverDatabaseContent installed = test::InstalledContent(1);
  installed.unique_elemento = false;
  installed.settings.push_back({Value::Text("IDIOMA"), Value::Text("francés"), Value::Long(9)});
  Make(installed, test::PackageContent());
  Run();
  Rows config = Read(Staged(), "configuracion");
  EXPECT_EQ(config["idioma"][1], Value::Text("español"));
  EXPECT_EQ(config["idioma"][2], Value::Long(1));
}

TEST_F(CarryOverFiles, NullElementoIsLeftOutByTheWalk) {
  // NOT IN over a Null is not true: Jet's walk never yields that row.
  CarryOverDatabaseContent staged = test::PackageContent();
  staged.settings.push_back({Value::Null(), Value::Text("huérfano"), Value::Long(5)});
  Make(test::InstalledContent(1), staged);
  Run();
  EXPECT_EQ(Read(Staged(), "configuracion")["idioma"][1], Value::Text("español"));
}

// --- Bad input: the error names the statement or file, the installed
// database stays as it was, the staged one stays readable. ----------------

TEST_F(CarryOverFiles, StagedConfigurationWithOnlyVersionRows) {
  CarryOverDatabaseContent staged = test::PackageContent();
  staged.settings.resize(2);
  Make(test::InstalledContent(3), staged);
  Error e = RunFails();
  EXPECT_EQ(e.number(), 3021);
  EXPECT_NE(std::string(e.what()).find("NOT IN ('versionBD','VersionCLI')"), std::string::npos)
      << e.what();
  ExpectInstalledUnchanged();
  EXPECT_EQ(Read(Staged(), "canciones").size(), 3u);
}

TEST_F(CarryOverFiles, StagedValorThatIsNoNumber) {
  CarryOverDatabaseContent staged = test::PackageContent();
  staged.valor_as_text = true;
  staged.settings.push_back({Value::Text("roto"), Value::Null(), Value::Text("doce")});
  Make(test::InstalledContent(3), staged);
  Error e = RunFails();
  EXPECT_EQ(e.number(), 13);
  EXPECT_NE(std::string(e.what()).find("roto"), std::string::npos) << e.what();
  ExpectInstalledUnchanged();
  // The settings before the bad row were carried.
  EXPECT_EQ(Read(Staged(), "configuracion")["idioma"][1], Value::Text("español"));
}

TEST_F(CarryOverFiles, TableOrColumnMissing) {
  struct Case {
    const char* name;
    CarryOverDatabaseContent installed, staged;
    const char* named;
  };
  std::vector<Case> cases;
  cases.push_back({"installed without dinero", test::InstalledContent(2), test::PackageContent(),
                   "Insert INTO dinero"});
  cases.back().installed.without_tables = {"dinero"};
  cases.push_back({"staged without canciones", test::InstalledContent(2), test::PackageContent(),
                   "Insert INTO canciones"});
  cases.back().staged.without_tables = {"canciones"};
  cases.push_back({"staged canciones without a column", test::InstalledContent(2),
                   test::PackageContent(), "reproducciones"});
  cases.back().staged.canciones_without_column = "reproducciones";
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* folder : {"\\zentaroDeck", "\\zentaroDeck_NEW"})
      if (d_.fs().FolderExists(d_.Path(folder))) d_.fs().DeleteFolder(d_.Path(folder), true);
    Make(c.installed, c.staged);
    Error e = RunFails();
    EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    ExpectInstalledUnchanged();
    EXPECT_FALSE(Read(Staged(), "configuracion").empty());
  }
}

TEST_F(CarryOverFiles, DamagedDatabaseFiles) {
  Make(test::InstalledContent(2), test::PackageContent());
  std::vector<uint8_t> staged = d_.fs().ReadFileBytes(Staged());

  // The installed file cut short.
  std::vector<uint8_t> cut(installed_bytes_.begin(), installed_bytes_.begin() + 3000);
  d_.fs().WriteFileBytes(Installed(), cut);
  installed_bytes_ = cut;
  Error e = RunFails();
  EXPECT_NE(std::string(e.what()).find("datos.mdb"), std::string::npos) << e.what();
  ExpectInstalledUnchanged();
  EXPECT_TRUE(d_.fs().ReadFileBytes(Staged()) == staged);

  // A staged file that is no database.
  test::WriteCarryOverDatabase(d_.fs(), d_.Path("\\otra.mdb"), test::InstalledContent(2));
  installed_bytes_ = d_.fs().ReadFileBytes(d_.Path("\\otra.mdb"));
  d_.fs().WriteFileBytes(Installed(), installed_bytes_);
  d_.fs().WriteFileBytes(Staged(), {'n', 'o', ' ', 'd', 'b'});
  e = RunFails();
  EXPECT_EQ(e.number(), 3343);
  EXPECT_NE(std::string(e.what()).find("datos.new"), std::string::npos) << e.what();
  ExpectInstalledUnchanged();
}

TEST_F(CarryOverFiles, ACatalogueTooLargeForTheFormatEndsWith3036) {
  // The limit of 1 GB brought down to a few pages more than the staged file
  // holds, which the installed songs outgrow.
  Make(test::InstalledContent(3000), test::PackageContent());
  const uint64_t limit = d_.fs().ReadFileBytes(Staged()).size() / 2048 + 8;
  db::jet::Pager::LimitPagesForTests(uint32_t(limit));
  Error e = RunFails();
  db::jet::Pager::LimitPagesForTests(0);
  EXPECT_EQ(e.number(), 3036) << e.what();
  EXPECT_NE(std::string(e.what()).find("datos.new"), std::string::npos) << e.what();
  EXPECT_LE(d_.fs().ReadFileBytes(Staged()).size(), limit * 2048);
  ExpectInstalledUnchanged();
}

}  // namespace
}  // namespace act

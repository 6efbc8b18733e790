// The carry-over's steps against a recording engine: which statements it
// builds, in which order, and what it does with Null, empty, numeric and
// quoted values.
#include <gtest/gtest.h>

#include "engine/database_carry_over_dao.h"
#include "platform/error.h"
#include "tests/carryover/recording_engine.h"
#include "tests/engine/memory_profile_store.h"

namespace act {
namespace {

using db::Value;
using test::ConfigRow;

const std::string kInstalled = "c:\\zentaroDeck\\datos.mdb";
const std::string kStaged = "c:\\zentaroDeck_NEW\\datos.new";
const std::string kManifest = "c:\\zentaroDeck_NEW\\actualizador.ini";
const std::string kWalk =
    "OpenRecordset " + kStaged +
    ": SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')";

std::string TextLookup(const std::string& name) {
  return "OpenRecordset " + kInstalled +
         ": SELECT elemento,valor_s FROM configuracion WHERE elemento='" + name + "'";
}
std::string NumberLookup(const std::string& name) {
  return "OpenRecordset " + kInstalled +
         ": SELECT elemento,valor FROM configuracion WHERE elemento='" + name + "'";
}
std::string TextUpdate(const std::string& value, const std::string& name) {
  return "Execute " + kStaged + ": UPDATE configuracion SET valor_s = '" + value +
         "' WHERE elemento='" + name + "'";
}
std::string NumberUpdate(const std::string& value, const std::string& name) {
  return "Execute " + kStaged + ": UPDATE configuracion SET valor = " + value +
         " WHERE elemento='" + name + "'";
}
std::string Copy(const std::string& table) {
  return "Execute " + kInstalled + ": Insert INTO " + table +
         " IN 'c:\\zentaroDeck_NEW\\datos.new' SELECT * FROM " + table;
}

ConfigRow Row(Value e, Value s, Value n) { return ConfigRow{std::move(e), std::move(s), std::move(n)}; }
ConfigRow Row(const char* e, Value s, Value n) { return Row(Value::Text(e), std::move(s), std::move(n)); }

class CarryOverSteps : public ::testing::Test {
 protected:
  CarryOverSteps() {
    engine_ = new test::RecordingEngine;
    installed().tables = {"canciones", "configuracion", "dinero",    "genero_album",
                          "generos",   "informacion_cd", "publicidad"};
    carry_ = std::make_unique<DaoDatabaseCarryOver>(profiles_, [this] {
      ++engines_made_;
      return std::unique_ptr<CarryOverEngine>(engine_);
    });
  }
  test::FakeDatabase& installed() { return engine_->databases[kInstalled]; }
  test::FakeDatabase& staged() { return engine_->databases[kStaged]; }
  void Run(const std::string& version = "2.0") { carry_->traspasaBaseDatos("c:", version, NoObserver()); }
  std::vector<std::string> Statements() const { return engine_->Statements(); }
  std::vector<std::string> Copies() const {
    std::vector<std::string> out;
    for (auto& s : Statements())
      if (s.find("Insert INTO") != std::string::npos) out.push_back(s);
    return out;
  }
  std::vector<std::string> AllCopies() const {
    return {Copy("informacion_cd"), Copy("canciones"), Copy("generos"),
            Copy("genero_album"),   Copy("publicidad"), Copy("dinero")};
  }

  test::MemoryProfileStore profiles_;
  test::RecordingEngine* engine_;  // owned by carry_ once made
  int engines_made_ = 0;
  std::unique_ptr<DaoDatabaseCarryOver> carry_;
};

TEST_F(CarryOverSteps, ExactStatementsAndCallsInOrder) {
  staged().configuracion = {Row("versionBD", Value::Text("9"), Value::Long(9)),
                            Row("idioma", Value::Text("es"), Value::Long(1)),
                            Row("VersionCLI", Value::Text("9"), Value::Long(9)),
                            Row("volumen", Value::Null(), Value::Long(50))};
  installed().configuracion = {Row("versionBD", Value::Text("1"), Value::Long(1)),
                               Row("IDIOMA", Value::Text("en"), Value::Long(2)),
                               Row("volumen", Value::Text("alto"), Value::Long(-80))};
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "1.5");
  Run("2.0");
  std::vector<std::string> expected = {
      "OpenDatabase " + kInstalled,
      "OpenDatabase " + kStaged,
      kWalk,
      "MoveFirst walk",
      // Text first, then the number, each looked up anew.
      TextLookup("idioma"),
      TextUpdate("en", "idioma"),
      NumberLookup("idioma"),
      NumberUpdate("2", "idioma"),
      // The staged valor_s is Null: only the number is carried.
      NumberLookup("volumen"),
      NumberUpdate("-80", "volumen"),
      Copy("informacion_cd"),
      Copy("canciones"),
      "TableDefs.Refresh " + kInstalled,
      "TableDefs.Count " + kInstalled,
      "TableDefs.Item 0",
      "TableDefs.Item 1",
      "TableDefs.Item 2",
      "TableDefs.Item 3",
      "TableDefs.Item 4",
      Copy("generos"),
      Copy("genero_album"),
      Copy("publicidad"),
      Copy("dinero"),
      "Close walk",
      "Close lookup volumen",
      "Close " + kInstalled,
      "Close " + kStaged,
  };
  EXPECT_EQ(engine_->calls, expected);
  EXPECT_EQ(profiles_.reads, std::vector<std::string>{kManifest + "|VERSIONES|BDminimo"});
  EXPECT_TRUE(profiles_.writes.empty());
}

TEST_F(CarryOverSteps, EmptyStagedValuesAndMissingSettingsKeepTheStagedRow) {
  staged().configuracion = {Row("soloTexto", Value::Text("a"), Value::Null()),
                            Row("vacio", Value::Text(""), Value::Null()),
                            Row("nuevo", Value::Text("x"), Value::Long(0))};
  installed().configuracion = {Row("soloTexto", Value::Text("b"), Value::Long(7)),
                               Row("vacio", Value::Text("lleno"), Value::Long(7))};
  Run();
  // 0 is a value: "nuevo" is looked up twice and, missing, changed by neither.
  std::vector<std::string> expected = {kWalk,
                                       TextLookup("soloTexto"),
                                       TextUpdate("b", "soloTexto"),
                                       TextLookup("nuevo"),
                                       NumberLookup("nuevo")};
  for (auto& c : AllCopies()) expected.push_back(c);
  EXPECT_EQ(Statements(), expected);
}

TEST_F(CarryOverSteps, FirstInstalledRowWinsAndNullTextBecomesEmpty) {
  staged().configuracion = {Row("skin", Value::Text("azul"), Value::Long(1)),
                            Row("nota", Value::Text("x"), Value::Null())};
  installed().configuracion = {Row("skin", Value::Text("rojo"), Value::Long(3)),
                               Row("skin", Value::Text("verde"), Value::Long(4)),
                               Row("nota", Value::Null(), Value::Null())};
  Run();
  auto s = Statements();
  EXPECT_EQ(s[2], TextUpdate("rojo", "skin"));
  EXPECT_EQ(s[4], NumberUpdate("3", "skin"));
  EXPECT_EQ(s[6], TextUpdate("", "nota"));
}

TEST_F(CarryOverSteps, VersionRowsAreNeverLookedUp) {
  staged().configuracion = {Row("versionBD", Value::Text("2"), Value::Long(2)),
                            Row("VERSIONCLI", Value::Text("2"), Value::Long(2)),
                            Row("otro", Value::Text("o"), Value::Null())};
  installed().configuracion = {Row("versionBD", Value::Text("1"), Value::Long(1))};
  Run();
  auto s = Statements();
  ASSERT_EQ(s[0], kWalk);
  EXPECT_EQ(s[1], TextLookup("otro"));
  for (size_t i = 1; i < s.size(); ++i) EXPECT_EQ(s[i].find("ersion"), std::string::npos) << s[i];
}

TEST_F(CarryOverSteps, DataTableGateComparesVersionsAsText) {
  staged().configuracion = {Row("a", Value::Null(), Value::Null())};
  // 1.9 is above 1.10 as text: everything copied.
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "1.10");
  Run("1.9");
  EXPECT_EQ(Copies(), AllCopies());

  // Below the minimum only advertising and money.
  engine_->calls.clear();
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "2.0");
  Run("1.9");
  EXPECT_EQ(Copies(), (std::vector<std::string>{Copy("publicidad"), Copy("dinero")}));
  for (auto& c : engine_->calls) EXPECT_EQ(c.find("TableDefs"), std::string::npos);

  // Equal passes.
  engine_->calls.clear();
  Run("2.0");
  EXPECT_EQ(Copies(), AllCopies());

  // The same engine served all three runs; it was made once.
  EXPECT_EQ(engines_made_, 1);
}

TEST_F(CarryOverSteps, GenerosMustMatchWithLetterCase) {
  staged().configuracion = {Row("a", Value::Null(), Value::Null())};
  installed().tables = {"canciones", "configuracion", "Generos", "genero_album", "GENEROS"};
  Run();
  EXPECT_EQ(Copies(), (std::vector<std::string>{Copy("informacion_cd"), Copy("canciones"),
                                                 Copy("publicidad"), Copy("dinero")}));
  int items = 0;
  for (auto& c : engine_->calls) items += c.rfind("TableDefs.Item", 0) == 0;
  EXPECT_EQ(items, 5);
}

TEST_F(CarryOverSteps, ApostrophesAreDoubledInNamesAndValues) {
  staged().configuracion = {Row("cancion'favorita", Value::Text("x"), Value::Long(1))};
  installed().configuracion = {Row("cancion'favorita", Value::Text("Don't Stop"), Value::Long(5))};
  Run();
  auto s = Statements();
  EXPECT_EQ(s[1], TextLookup("cancion''favorita"));
  EXPECT_EQ(s[2], TextUpdate("Don''t Stop", "cancion''favorita"));
  EXPECT_EQ(s[3], NumberLookup("cancion''favorita"));
  EXPECT_EQ(s[4], NumberUpdate("5", "cancion''favorita"));
}

TEST_F(CarryOverSteps, NoLookupOpenedClosesOnlyWhatIsOpen) {
  staged().configuracion = {Row("a", Value::Null(), Value::Text(""))};
  Run();
  std::vector<std::string> tail(engine_->calls.end() - 3, engine_->calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Close walk", "Close " + kInstalled, "Close " + kStaged}));
  EXPECT_EQ(engine_->calls.end()[-4], Copy("dinero"));
}

TEST_F(CarryOverSteps, NullInstalledNumberKeepsTheStagedNumber) {
  staged().configuracion = {Row("volumen", Value::Text("x"), Value::Long(50)),
                            Row("tema", Value::Null(), Value::Long(2))};
  installed().configuracion = {Row("volumen", Value::Text("y"), Value::Null()),
                               Row("tema", Value::Null(), Value::Long(4))};
  Run();
  auto s = Statements();
  ASSERT_GE(s.size(), 6u);
  EXPECT_EQ(s[2], TextUpdate("y", "volumen"));
  EXPECT_EQ(s[3], NumberLookup("volumen"));
  // No update for volumen; the run goes on to the next setting.
  EXPECT_EQ(s[4], NumberLookup("tema"));
  EXPECT_EQ(s[5], NumberUpdate("4", "tema"));
}

TEST_F(CarryOverSteps, StagedNumberMustConvertToLong) {
  staged().configuracion = {Row("bien", Value::Null(), Value::Text(" 12.5 ")),
                            Row("mal", Value::Null(), Value::Text("doce")),
                            Row("despues", Value::Null(), Value::Long(1))};
  installed().configuracion = {Row("bien", Value::Null(), Value::Long(3))};
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_NE(std::string(e.what()).find("mal"), std::string::npos) << e.what();
  }
  // What ran before the bad row stays; nothing after it ran.
  EXPECT_EQ(Statements(), (std::vector<std::string>{kWalk, NumberLookup("bien"),
                                                     NumberUpdate("3", "bien")}));

  engine_->calls.clear();
  staged().configuracion = {Row("grande", Value::Null(), Value::Double(2147483648.0))};
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST_F(CarryOverSteps, BadStagedConfigurationStopsBeforeAnyChange) {
  // Only the version rows: making the first row current fails.
  staged().configuracion = {Row("versionBD", Value::Text("2"), Value::Long(2)),
                            Row("VersionCLI", Value::Text("2"), Value::Long(2))};
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3021);
  }
  EXPECT_EQ(Statements(), std::vector<std::string>{kWalk});

  // A Null elemento that reaches the walk has no text form.
  engine_->calls.clear();
  staged().configuracion = {Row(Value::Null(), Value::Text("x"), Value::Long(1))};
  staged().walk_yields_null_elemento = true;
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 94);
  }
  EXPECT_EQ(Statements(), std::vector<std::string>{kWalk});
}

TEST_F(CarryOverSteps, FailingCopyStopsTheRest) {
  staged().configuracion = {Row("a", Value::Null(), Value::Null())};
  installed().missing_tables = {"canciones"};
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3078);
    EXPECT_NE(std::string(e.what()).find("Insert INTO canciones"), std::string::npos);
  }
  EXPECT_EQ(Copies(), (std::vector<std::string>{Copy("informacion_cd"), Copy("canciones")}));
}

TEST_F(CarryOverSteps, MissingDatabaseFails) {
  engine_->databases.erase(kStaged);
  installed();
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3024);
    EXPECT_NE(std::string(e.what()).find("datos.new"), std::string::npos);
  }
}

}  // namespace
}  // namespace act

// The carry-over's steps against a recording engine: which statements it
// builds and what it does with Null, empty, numeric and quoted values. Every
// run is also checked against the rules that hold whatever the data (Run).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/database/carry_over_rules.h"
#include "platform/error.h"
#include "tests/carryover/recording_engine.h"
#include "tests/engine/memory_profile_store.h"

namespace act {
namespace {

using db::Value;
using test::Setting;

const std::string kInstalled = "c:\\zentaroDeck\\datos.mdb";
const std::string kStaged = "c:\\zentaroDeck_NEW\\datos.new";
const std::string kManifest = "c:\\zentaroDeck_NEW\\actualizador.ini";
const std::string kWalk =
    "OpenRecordset " + kStaged +
    ": SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')";

std::string Lookup(const std::string& column, const std::string& name) {
  return "OpenRecordset " + kInstalled + ": SELECT elemento," + column +
         " FROM configuracion WHERE elemento='" + name + "'";
}
std::string TextLookup(const std::string& name) { return Lookup("valor_s", name); }
std::string NumberLookup(const std::string& name) { return Lookup("valor", name); }
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

// The lookup whose value an update writes: the same column, the same element.
std::string LookupOf(const std::string& update) {
  const size_t name = std::min(update.find(" WHERE elemento='") + 17, update.size());
  return Lookup(update.find(" SET valor_s ") != std::string::npos ? "valor_s" : "valor",
                update.substr(name, update.size() - name - 1));
}

Setting Row(Value e, Value s, Value n) { return Setting{std::move(e), std::move(s), std::move(n)}; }
Setting Row(const char* e, Value s, Value n) { return Row(Value::Text(e), std::move(s), std::move(n)); }

class CarryOverSteps : public ::testing::Test {
 protected:
  CarryOverSteps() {
    engine_ = new test::RecordingEngine;
    installed().tables = {"canciones", "configuracion", "dinero",    "genero_album",
                          "generos",   "informacion_cd", "publicidad"};
    carry_ = std::make_unique<CarryOverRules>(profiles_, [this] {
      ++engines_made_;
      return std::unique_ptr<CarryOverEngine>(engine_);
    });
  }
  test::FakeDatabase& installed() { return engine_->databases[kInstalled]; }
  test::FakeDatabase& staged() { return engine_->databases[kStaged]; }
  // One carry-over, which the next Run or TearDown checks against the rules.
  void Run(const std::string& version = "2.0") {
    ExpectRulesKept();
    engine_->calls.clear();
    completed_ = false;
    carry_->traspasaBaseDatos(RunPaths("c:"), version, NoObserver());
    completed_ = true;
  }
  void TearDown() override { ExpectRulesKept(); }
  void ExpectRulesKept() {
    const std::vector<std::string>& calls = engine_->calls;
    int position = 0;
    bool looked_up = false;
    for (size_t i = 0; i < calls.size(); ++i) {
      const std::string& c = calls[i];
      looked_up |= c.starts_with("OpenRecordset " + kInstalled);
      // The installed database is only read: the only statements run on it
      // are the table copies, which write into the staged file.
      EXPECT_TRUE(!c.starts_with("Execute " + kInstalled) || c.find(" IN '" + kStaged + "' ") != npos) << c;
      // An update writes what the lookup right before it found.
      EXPECT_TRUE(!c.starts_with("Execute " + kStaged) || calls[i - 1] == LookupOf(c)) << c;
      // TableDefs from position 0 on, one by one (the fake has none past the count).
      EXPECT_TRUE(!c.starts_with("TableDefs.Item ") || c == "TableDefs.Item " + std::to_string(position++))
          << c;
    }
    if (!completed_) return;
    // Closed last of all, in this order; the lookup only if one was opened.
    std::vector<std::string> closing = {"Close walk", "Close lookup", "Close " + kInstalled,
                                        "Close " + kStaged};
    if (!looked_up) closing.erase(closing.begin() + 1);
    EXPECT_EQ(std::vector<std::string>(calls.end() - std::min(calls.size(), closing.size()), calls.end()),
              closing);
  }
  static constexpr size_t npos = std::string::npos;
  size_t At(const std::string& call) const {
    return std::ranges::find(engine_->calls, call) - engine_->calls.begin();
  }
  bool Ran(const std::string& call) const { return At(call) < engine_->calls.size(); }
  std::vector<std::string> Executed(const std::string& database) const {
    std::vector<std::string> out;
    for (auto& c : engine_->calls)
      if (c.starts_with("Execute " + database)) out.push_back(c);
    return out;
  }
  std::vector<std::string> Copies() const { return Executed(kInstalled); }
  // The settings changed in the staged database, in any order.
  std::set<std::string> Updates() const { auto u = Executed(kStaged); return {u.begin(), u.end()}; }
  std::vector<std::string> AllCopies() const {
    return {Copy("informacion_cd"), Copy("canciones"), Copy("generos"),
            Copy("genero_album"),   Copy("publicidad"), Copy("dinero")};
  }

  test::MemoryProfileStore profiles_;
  test::RecordingEngine* engine_;  // owned by carry_ once made
  int engines_made_ = 0;
  bool completed_ = false;
  std::unique_ptr<CarryOverRules> carry_;
};

TEST_F(CarryOverSteps, CarriesTheTextFirstThenTheNumberThenTheTables) {
  staged().configuracion = {Row("versionBD", Value::Text("9"), Value::Long(9)),
                            Row("idioma", Value::Text("es"), Value::Long(1)),
                            Row("VersionCLI", Value::Text("9"), Value::Long(9)),
                            Row("volumen", Value::Null(), Value::Long(50))};
  installed().configuracion = {Row("versionBD", Value::Text("1"), Value::Long(1)),
                               Row("IDIOMA", Value::Text("en"), Value::Long(2)),
                               Row("volumen", Value::Text("alto"), Value::Long(-80))};
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "1.5");
  Run("2.0");
  // The staged text of volumen is Null: only its number is carried.
  EXPECT_EQ(Updates(), (std::set<std::string>{TextUpdate("en", "idioma"), NumberUpdate("2", "idioma"),
                                               NumberUpdate("-80", "volumen")}));
  EXPECT_LT(At(TextUpdate("en", "idioma")), At(NumberLookup("idioma")));
  EXPECT_FALSE(Ran(TextLookup("volumen")));
  EXPECT_EQ(Copies(), AllCopies());
  EXPECT_FALSE(Ran("TableDefs.Item 5"));  // the scan ends at generos, position 4
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
  EXPECT_EQ(Updates(), std::set<std::string>{TextUpdate("b", "soloTexto")});
  EXPECT_FALSE(Ran(NumberLookup("soloTexto")) || Ran(TextLookup("vacio")) || Ran(NumberLookup("vacio")));
  EXPECT_TRUE(Ran(TextLookup("nuevo")) && Ran(NumberLookup("nuevo")));
  EXPECT_EQ(Copies(), AllCopies());
}

TEST_F(CarryOverSteps, FirstInstalledRowWinsAndNullTextBecomesEmpty) {
  staged().configuracion = {Row("skin", Value::Text("azul"), Value::Long(1)),
                            Row("nota", Value::Text("x"), Value::Null())};
  installed().configuracion = {Row("skin", Value::Text("rojo"), Value::Long(3)),
                               Row("skin", Value::Text("verde"), Value::Long(4)),
                               Row("nota", Value::Null(), Value::Null())};
  Run();
  EXPECT_EQ(Updates(), (std::set<std::string>{TextUpdate("rojo", "skin"), NumberUpdate("3", "skin"),
                                               TextUpdate("", "nota")}));
}

TEST_F(CarryOverSteps, VersionRowsAreNeverLookedUp) {
  staged().configuracion = {Row("versionBD", Value::Text("2"), Value::Long(2)),
                            Row("VERSIONCLI", Value::Text("2"), Value::Long(2)),
                            Row("otro", Value::Text("o"), Value::Null())};
  installed().configuracion = {Row("versionBD", Value::Text("1"), Value::Long(1))};
  Run();
  EXPECT_TRUE(Ran(TextLookup("otro")));
  for (auto& c : engine_->calls) EXPECT_TRUE(c == kWalk || c.find("ersion") == npos) << c;
}

TEST_F(CarryOverSteps, DataTableGateComparesVersionsAsText) {
  staged().configuracion = {Row("a", Value::Null(), Value::Null())};
  // 1.9 is above 1.10 as text: everything copied.
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "1.10");
  Run("1.9");
  EXPECT_EQ(Copies(), AllCopies());

  // Below the minimum only advertising and money.
  profiles_.Set(kManifest, "VERSIONES", "BDminimo", "2.0");
  Run("1.9");
  EXPECT_EQ(Copies(), (std::vector<std::string>{Copy("publicidad"), Copy("dinero")}));
  for (auto& c : engine_->calls) EXPECT_EQ(c.find("TableDefs"), std::string::npos);

  // Equal passes.
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
  EXPECT_TRUE(Ran("TableDefs.Item 4"));  // each of the five tables looked at
}

TEST_F(CarryOverSteps, ApostrophesAreDoubledInNamesAndValues) {
  staged().configuracion = {Row("cancion'favorita", Value::Text("x"), Value::Long(1))};
  installed().configuracion = {Row("cancion'favorita", Value::Text("Don't Stop"), Value::Long(5))};
  Run();
  // Each lookup names the element as its update does (Run's rules).
  EXPECT_EQ(Updates(), (std::set<std::string>{TextUpdate("Don''t Stop", "cancion''favorita"),
                                               NumberUpdate("5", "cancion''favorita")}));
}

// With no lookup ever opened, Run's closing rule expects none closed.
TEST_F(CarryOverSteps, NoLookupOpenedClosesOnlyWhatIsOpen) {
  staged().configuracion = {Row("a", Value::Null(), Value::Text(""))};
  Run();
  EXPECT_EQ(engine_->calls.end()[-4], Copy("dinero"));
}

TEST_F(CarryOverSteps, NullInstalledNumberKeepsTheStagedNumber) {
  staged().configuracion = {Row("volumen", Value::Text("x"), Value::Long(50)),
                            Row("tema", Value::Null(), Value::Long(2))};
  installed().configuracion = {Row("volumen", Value::Text("y"), Value::Null()),
                               Row("tema", Value::Null(), Value::Long(4))};
  Run();
  // No number update for volumen; the run goes on to the next setting.
  EXPECT_TRUE(Ran(NumberLookup("volumen")));
  EXPECT_EQ(Updates(), (std::set<std::string>{TextUpdate("y", "volumen"), NumberUpdate("4", "tema")}));
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
  EXPECT_EQ(engine_->calls.back(), NumberUpdate("3", "bien"));

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
  EXPECT_TRUE(Copies().empty() && Updates().empty());

  // A Null elemento that reaches the walk has no text form.
  staged().configuracion = {Row(Value::Null(), Value::Text("x"), Value::Long(1))};
  staged().walk_yields_null_elemento = true;
  try {
    Run();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 94);
  }
  EXPECT_TRUE(Copies().empty() && Updates().empty());
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

#include "dialogs/editor/editor_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <tuple>

#include "korvix/db/sqlite.h"

namespace korvix::dialogs::editor_testing {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
    "AlgorithmName varchar(100), Description varchar(255));"
    "CREATE TABLE Personalstamm (PersonalNr varchar(20), Titel varchar(40), "
    "Vorname varchar(40), Nachname varchar(40));";

std::string Literal(const db::Value& value) {
  if (!value) return "NULL";
  std::string out = "'";
  for (char c : *value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

db::Value Read(const db::Recordset& rs, const char* column) {
  db::Value value;
  EXPECT_TRUE(rs.Field(column, &value)) << column << ": " << rs.last_error();
  return value;
}

}  // namespace

void PrintTo(const ToolkitFactory& factory, std::ostream* os) { *os << factory.name; }

std::string FactoryName(const ::testing::TestParamInfo<ToolkitFactory>& info) {
  return info.param.name;
}

void PrintTo(const Row& row, std::ostream* os) {
  auto show = [os](const db::Value& v) { *os << (v ? "\"" + *v + "\"" : std::string("Null")); };
  *os << "{";
  show(row.code);
  *os << ", ";
  show(row.owner);
  *os << ", ";
  show(row.name);
  *os << ", ";
  show(row.description);
  *os << "}";
}

void EditorTest::SetUp() {
  toolkit_ = GetParam().make();
  ASSERT_TRUE(toolkit_);
  static std::atomic<int> counter{0};
  path_ = (std::filesystem::temp_directory_path() /
           ("korvix-editor-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
            ".sqlite"))
              .string();
  db::SqliteOptions options;
  options.create_if_missing = true;
  std::string error;
  connection_ = db::OpenSqlite(path_, options, &error);
  ASSERT_TRUE(connection_) << error;
  ASSERT_TRUE(connection_->Execute(kSchema, &error)) << error;
}

void EditorTest::TearDown() {
  connection_.reset();
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

void EditorTest::Seed(const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    std::string error;
    ASSERT_TRUE(connection_->Execute("INSERT INTO DoubletAlgorithms VALUES (" + Literal(r.code) +
                                         ", " + Literal(r.owner) + ", " + Literal(r.name) + ", " +
                                         Literal(r.description) + ")",
                                     &error))
        << error;
  }
}

std::vector<Row> EditorTest::Rows() {
  // A session of its own: the test's connection may have been closed.
  db::SqliteOptions options;
  std::string error;
  std::unique_ptr<db::Connection> reader = db::OpenSqlite(path_, options, &error);
  EXPECT_TRUE(reader) << error;
  std::vector<Row> rows;
  if (!reader) return rows;
  db::Recordset rs;
  EXPECT_TRUE(rs.Open("Select * From DoubletAlgorithms", reader.get(), db::adOpenKeyset,
                      db::adLockReadOnly))
      << rs.last_error();
  while (rs.Eof() == std::optional<bool>(false)) {
    rows.push_back(Row{Read(rs, "AlgorithmCode"), Read(rs, "PersonalNr"),
                       Read(rs, "AlgorithmName"), Read(rs, "Description")});
    if (!rs.MoveNext()) break;
  }
  rs.Close();
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return std::tie(a.code, a.owner, a.name, a.description) <
           std::tie(b.code, b.owner, b.name, b.description);
  });
  return rows;
}

std::unique_ptr<FrmAlgorithm> EditorTest::MakeEditor(const Caller& caller) {
  auto editor = std::make_unique<FrmAlgorithm>(*toolkit_);
  editor->Connection = connection_.get();
  editor->AlgoCode = caller.AlgoCode;
  editor->AlgoPersonalNr = caller.AlgoPersonalNr;
  editor->AlgoName = caller.AlgoName;
  editor->AlgoDescription = caller.AlgoDescription;
  editor->IsAdmin = caller.IsAdmin;
  editor->PersonalNr = caller.PersonalNr;
  return editor;
}

std::unique_ptr<FrmAlgorithm> EditorTest::Run(const Caller& caller, ui::Script script) {
  toolkit_->QueueScript("frmAlgorithm", std::move(script));
  std::unique_ptr<FrmAlgorithm> editor = MakeEditor(caller);
  editor->ShowData();
  EXPECT_EQ(toolkit_->pending_scripts("frmAlgorithm"), 0u) << "the window was never shown";
  return editor;
}

std::string RowText(const ui::User& user, int i) {
  return user.State({"cboField", i}).text + "|" + user.State({"cboLength", i}).text + "|" +
         user.State({"cboLeftRight", i}).text + "|" + user.State({"cboSoundex", i}).text;
}

std::vector<std::string> RowTexts(const ui::User& user) {
  std::vector<std::string> rows;
  for (int i = 0; i < 10; ++i) rows.push_back(RowText(user, i));
  return rows;
}

std::vector<std::string> Padded(std::vector<std::string> used) {
  used.resize(10, "|||");
  return used;
}

std::string FieldEnabling(const ui::User& user) {
  std::string mask;
  for (int i = 0; i < 10; ++i) mask += user.State({"cboField", i}).enabled ? 'F' : '.';
  return mask;
}

std::string DetailEnabling(const ui::User& user) {
  std::string mask;
  for (int i = 0; i < 10; ++i) {
    int enabled = 0;
    for (const char* box : {"cboLength", "cboLeftRight", "cboSoundex"}) {
      enabled += user.State({box, i}).enabled ? 1 : 0;
    }
    mask += enabled == 3 ? 'D' : enabled == 0 ? '.' : '?';
  }
  return mask;
}

}  // namespace korvix::dialogs::editor_testing

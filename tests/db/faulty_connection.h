// A connection that forwards to a real one and fails one step on command,
// to prove that every write is whole whatever step of it fails.
//
// A step is every statement the component runs through the connection:
// Execute (set-up, savepoints, commit), a record set's query, insert,
// update and delete, the beginning of a transaction and each lock. Rolling
// back is never failed: it is what a failure leads to.
#ifndef KORVIX_TESTS_PLATFORM_DB_FAULTY_CONNECTION_H_
#define KORVIX_TESTS_PLATFORM_DB_FAULTY_CONNECTION_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/connection.h"
#include "db/backend.h"

namespace korvix::db::testing {

class FaultyConnection final : public Connection, private Backend {
 public:
  enum class Mode {
    kRefuse,       // the step does not run and fails
    kLoseAnswer,   // the step runs, then reports failure (the answer was lost)
  };

  explicit FaultyConnection(std::unique_ptr<Connection> inner) : inner_(std::move(inner)) {}
  // Fails the `n`-th step from now on (1-based; 0: none) and restarts the count.
  void FailAt(int n, Mode mode) { fail_at_ = n, mode_ = mode, steps_ = 0; }
  int steps() const { return steps_; }
  Connection& inner() { return *inner_; }

  bool IsOpen() const noexcept override { return inner_->IsOpen(); }
  void Close() noexcept override { inner_->Close(); }

 private:
  Backend& backend() override { return *this; }
  Backend& real() { return BackendOf(*inner_); }

  template <typename Run>
  bool Step(Run&& run, std::string* error) {
    if (++steps_ != fail_at_) return run();
    if (mode_ == Mode::kLoseAnswer) (void)run();
    if (error != nullptr) *error = "injected failure";
    return false;
  }

  bool RunScript(std::string_view sql, std::string* error) override {
    return Step([&] { return real().RunScript(sql, error); }, error);
  }
  bool Query(std::string_view sql, const TableSelect* table, RowSet* out,
             std::string* error) override {
    return Step([&] { return real().Query(sql, table, out, error); }, error);
  }
  bool InsertRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const std::vector<Assignment>& values, Row* stored, std::string* error) override {
    return Step([&] { return real().InsertRow(table, columns, values, stored, error); }, error);
  }
  bool UpdateRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const RowKey& key, const std::vector<Assignment>& values, Row* stored,
                 std::string* error) override {
    return Step([&] { return real().UpdateRow(table, columns, key, values, stored, error); },
                error);
  }
  bool DeleteRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const RowKey& key, std::string* error) override {
    return Step([&] { return real().DeleteRow(table, columns, key, error); }, error);
  }
  std::string EscapeString(std::string_view value) override { return real().EscapeString(value); }
  bool InTransaction() override { return real().InTransaction(); }
  bool Begin(std::string* error) override { return Step([&] { return real().Begin(error); }, error); }
  bool Lock(std::string_view key, std::string* error) override {
    return Step([&] { return real().Lock(key, error); }, error);
  }
  void Rollback(std::string_view sql) override { real().Rollback(sql); }

  std::unique_ptr<Connection> inner_;
  int fail_at_ = 0;
  Mode mode_ = Mode::kRefuse;
  int steps_ = 0;
};

}  // namespace korvix::db::testing

#endif  // KORVIX_TESTS_PLATFORM_DB_FAULTY_CONNECTION_H_

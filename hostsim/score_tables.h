// The categories and expression definitions of a document as a person reads them: aligned text
// tables for `scorix-sim show`, and a before/after comparison for `scorix-sim run` that says which
// category moved to which slot and whether every expression definition kept its category.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/record_store.h"

namespace hostsim {

struct CategorySlot {
  std::uint16_t slot;              // the record's item number
  std::optional<std::int16_t> id;  // the number stored at byte 0, which expressions refer to
  std::string name;
  bool user_created;
  Bytes record;
};

enum class ExpressionKind { kText, kShape };

struct ExpressionDefinition {
  ExpressionKind kind;
  std::uint16_t number;
  std::optional<std::uint8_t> category;
  std::optional<std::string> description;  // text expressions only
  Bytes record;
};

// The item-numbered category and expression records of a store, in the host's order.
struct ScoreView {
  std::vector<CategorySlot> categories;
  std::vector<ExpressionDefinition> expressions;

  // The first category whose stored id is `id`, as an expression's category byte names it.
  const CategorySlot* FindCategory(int id) const;
  int CountExpressions(ExpressionKind kind, int category_id) const;
  int CountKind(ExpressionKind kind) const;
};

ScoreView ReadScore(const RecordStore& store);

// A table of text columns, each as wide as its widest cell.
class TextTable {
 public:
  enum class Align { kLeft, kRight };
  void AddColumn(std::string header, Align align = Align::kLeft);
  // Missing cells are blank; extra cells are ignored.
  void AddRow(std::vector<std::string> cells);
  std::size_t RowCount() const { return rows_.size(); }
  std::string Render() const;

 private:
  struct Column {
    std::string header;
    Align align;
  };
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

std::string CategoriesTable(const ScoreView& score);
std::string ExpressionsTable(const ScoreView& score);

struct ScoreComparison {
  std::string categories_table;   // every slot, before and after
  std::string expressions_table;  // every expression definition, its category before and after
  int categories_moved = 0;       // slots that now hold a category from another slot
  int expressions_repointed = 0;  // definitions whose category number changed
  // Everything that is not a plain move: a definition that ended up in another category, bytes
  // nobody should have changed, records that appeared or disappeared.
  std::vector<std::string> problems;
};

ScoreComparison CompareScores(const ScoreView& before, const ScoreView& after);

}  // namespace hostsim

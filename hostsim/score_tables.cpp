#include "hostsim/score_tables.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <utility>

#include "hostsim/score_records.h"

namespace hostsim {

namespace {

const char* KindName(ExpressionKind kind) {
  return kind == ExpressionKind::kText ? "text" : "shape";
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string Quoted(const std::string& text) {
  return "\"" + Printable(text) + "\"";
}

std::string SlotLabel(const CategorySlot& category) {
  std::string label = std::to_string(category.slot);
  // A category whose stored id is not its item number is worth seeing: expressions follow the id.
  if (category.id && *category.id != static_cast<std::int16_t>(category.slot)) {
    label += " (id " + std::to_string(*category.id) + ")";
  }
  return label;
}

std::string CategoryOf(const ScoreView& score, const ExpressionDefinition& expression) {
  if (!expression.category) return "(record too short)";
  const CategorySlot* category = score.FindCategory(*expression.category);
  const std::string number = std::to_string(*expression.category);
  return category ? number + " " + Printable(category->name) : number + " (no such category)";
}

std::string CategoryNameOf(const ScoreView& score, const ExpressionDefinition& expression) {
  if (!expression.category) return "";
  const CategorySlot* category = score.FindCategory(*expression.category);
  return category ? category->name : "";
}

std::string DescriptionCell(const ExpressionDefinition& expression) {
  if (expression.kind == ExpressionKind::kShape) return "";
  return expression.description ? Printable(*expression.description) : "(unterminated)";
}

std::string ExpressionLabel(const ExpressionDefinition& expression) {
  std::string label =
      std::string(KindName(expression.kind)) + " expression " + std::to_string(expression.number);
  if (expression.description) label += " (" + Quoted(*expression.description) + ")";
  return label;
}

// The bytes of a category record apart from its id: what travels with a category between slots.
Bytes CategoryContents(const Bytes& record) {
  if (record.size() <= category_record::kName) return Bytes();
  return Bytes(record.begin() + category_record::kName, record.end());
}

// Everything in an expression definition except its category byte.
bool SameApartFromCategory(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (i != expression_record::kCategory && a[i] != b[i]) return false;
  }
  return true;
}

template <typename Key, typename Value>
std::vector<Key> UnionOfKeys(const std::map<Key, Value>& a, const std::map<Key, Value>& b) {
  std::vector<Key> keys;
  for (const auto& [key, value] : a) keys.push_back(key);
  for (const auto& [key, value] : b) {
    if (!a.count(key)) keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

// Says where a slot's new contents came from and whether that is a clean move.
class CategoryMoves {
 public:
  CategoryMoves(const ScoreView& before, ScoreComparison* result)
      : before_(before), result_(result) {}

  std::string Describe(const CategorySlot* was, const CategorySlot* now) {
    if (!was) return Problem("added", "category slot " + std::to_string(now->slot) + " appeared");
    if (!now) return Problem("removed", "category slot " + std::to_string(was->slot) + " vanished");
    if (was->record == now->record) return "";
    const Bytes contents = CategoryContents(now->record);
    if (const CategorySlot* source = FindBefore(
            [&](const CategorySlot& c) { return CategoryContents(c.record) == contents; })) {
      if (source->slot == now->slot) {
        return Problem("id changed",
                       "category slot " + std::to_string(now->slot) + " changed its stored id");
      }
      ++result_->categories_moved;
      return "from slot " + std::to_string(source->slot);
    }
    if (const CategorySlot* source = FindBefore([&](const CategorySlot& c) {
          return c.name == now->name && c.user_created == now->user_created;
        })) {
      if (source->slot != now->slot) ++result_->categories_moved;
      return Problem("from slot " + std::to_string(source->slot) + ", other bytes differ",
                     "category " + Quoted(now->name) + " in slot " + std::to_string(now->slot) +
                         " lost bytes it had in slot " + std::to_string(source->slot));
    }
    return Problem("changed", "category slot " + std::to_string(now->slot) +
                                  " holds a record no category had before");
  }

 private:
  template <typename Predicate>
  const CategorySlot* FindBefore(Predicate matches) const {
    for (const CategorySlot& category : before_.categories) {
      if (matches(category)) return &category;
    }
    return nullptr;
  }

  std::string Problem(const std::string& cell, const std::string& problem) {
    result_->problems.push_back(problem);
    return cell;
  }

  const ScoreView& before_;
  ScoreComparison* result_;
};

std::string CompareCategories(const ScoreView& before, const ScoreView& after,
                              ScoreComparison* result) {
  std::map<std::uint16_t, const CategorySlot*> was, now;
  for (const auto& category : before.categories) was[category.slot] = &category;
  for (const auto& category : after.categories) now[category.slot] = &category;

  TextTable table;
  table.AddColumn("Slot", TextTable::Align::kRight);
  for (const char* side : {"Before", "After"}) {
    table.AddColumn(side);
    table.AddColumn("User");
    table.AddColumn("Text", TextTable::Align::kRight);
    table.AddColumn("Shape", TextTable::Align::kRight);
  }
  table.AddColumn("Moved");
  CategoryMoves moves(before, result);
  for (const std::uint16_t slot : UnionOfKeys(was, now)) {
    const CategorySlot* old_category = was.count(slot) ? was[slot] : nullptr;
    const CategorySlot* new_category = now.count(slot) ? now[slot] : nullptr;
    std::vector<std::string> row{SlotLabel(old_category ? *old_category : *new_category)};
    for (const auto& [score, category] :
         {std::make_pair(&before, old_category), std::make_pair(&after, new_category)}) {
      if (!category) {
        row.insert(row.end(), {"-", "", "", ""});
        continue;
      }
      const int id = category->id.value_or(-1);
      row.push_back(Printable(category->name));
      row.push_back(YesNo(category->user_created));
      row.push_back(std::to_string(score->CountExpressions(ExpressionKind::kText, id)));
      row.push_back(std::to_string(score->CountExpressions(ExpressionKind::kShape, id)));
    }
    row.push_back(moves.Describe(old_category, new_category));
    table.AddRow(std::move(row));
  }
  return table.Render();
}

std::string DescribeExpressionChange(const ScoreView& before, const ScoreView& after,
                                     const ExpressionDefinition* was,
                                     const ExpressionDefinition* now, ScoreComparison* result) {
  if (!was || !now) {
    const ExpressionDefinition& which = was ? *was : *now;
    result->problems.push_back(ExpressionLabel(which) + (was ? " vanished" : " appeared"));
    return was ? "removed" : "added";
  }
  std::string change;
  if (was->category != now->category) {
    ++result->expressions_repointed;
    change = "re-pointed";
  }
  const std::string old_name = CategoryNameOf(before, *was);
  const std::string new_name = CategoryNameOf(after, *now);
  if (old_name != new_name) {
    result->problems.push_back(ExpressionLabel(*now) + " was in " + Quoted(old_name) +
                               ", is now in " + Quoted(new_name));
    change += change.empty() ? "WRONG CATEGORY" : ", WRONG CATEGORY";
  }
  if (!SameApartFromCategory(was->record, now->record)) {
    result->problems.push_back(ExpressionLabel(*now) + " changed bytes other than its category");
    change += change.empty() ? "bytes changed" : ", bytes changed";
  }
  return change;
}

std::string CompareExpressions(const ScoreView& before, const ScoreView& after,
                               ScoreComparison* result) {
  using Key = std::pair<ExpressionKind, std::uint16_t>;
  std::map<Key, const ExpressionDefinition*> was, now;
  for (const auto& expression : before.expressions)
    was[{expression.kind, expression.number}] = &expression;
  for (const auto& expression : after.expressions)
    now[{expression.kind, expression.number}] = &expression;

  TextTable table;
  table.AddColumn("Kind");
  table.AddColumn("Number", TextTable::Align::kRight);
  table.AddColumn("Description");
  table.AddColumn("Category before");
  table.AddColumn("Category after");
  table.AddColumn("Change");
  for (const Key& key : UnionOfKeys(was, now)) {
    const ExpressionDefinition* old_expression = was.count(key) ? was[key] : nullptr;
    const ExpressionDefinition* new_expression = now.count(key) ? now[key] : nullptr;
    const ExpressionDefinition& shown = new_expression ? *new_expression : *old_expression;
    table.AddRow({KindName(key.first), std::to_string(key.second), DescriptionCell(shown),
                  old_expression ? CategoryOf(before, *old_expression) : "-",
                  new_expression ? CategoryOf(after, *new_expression) : "-",
                  DescribeExpressionChange(before, after, old_expression, new_expression, result)});
  }
  return table.Render();
}

void ReadExpressions(const RecordStore& store, std::uint32_t tag, ExpressionKind kind,
                     ScoreView* score) {
  for (const auto& [id, record] : store.All(tag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    ExpressionDefinition expression{kind, *number, ExpressionCategoryOf(*record), std::nullopt,
                                    *record};
    if (kind == ExpressionKind::kText) expression.description = ExpressionDescriptionOf(*record);
    score->expressions.push_back(std::move(expression));
  }
}

}  // namespace

const CategorySlot* ScoreView::FindCategory(int id) const {
  for (const CategorySlot& category : categories) {
    if (category.id && *category.id == id) return &category;
  }
  return nullptr;
}

int ScoreView::CountExpressions(ExpressionKind kind, int category_id) const {
  return static_cast<int>(std::count_if(expressions.begin(), expressions.end(),
                                        [&](const ExpressionDefinition& expression) {
                                          return expression.kind == kind && expression.category &&
                                                 *expression.category == category_id;
                                        }));
}

int ScoreView::CountKind(ExpressionKind kind) const {
  return static_cast<int>(std::count_if(
      expressions.begin(), expressions.end(),
      [kind](const ExpressionDefinition& expression) { return expression.kind == kind; }));
}

ScoreView ReadScore(const RecordStore& store) {
  ScoreView score;
  for (const auto& [id, record] : store.All(kCategoryTag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    score.categories.push_back(
        {*number, CategoryIdOf(*record), CategoryNameOf(*record), IsUserCreated(*record), *record});
  }
  ReadExpressions(store, kTextExpressionTag, ExpressionKind::kText, &score);
  ReadExpressions(store, kShapeExpressionTag, ExpressionKind::kShape, &score);
  return score;
}

void TextTable::AddColumn(std::string header, Align align) {
  columns_.push_back({std::move(header), align});
}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

std::string TextTable::Render() const {
  std::vector<std::size_t> widths;
  for (const Column& column : columns_) widths.push_back(column.header.size());
  for (const auto& row : rows_) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::ostringstream out;
  auto write_line = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string padding(widths[i] - cells[i].size(), ' ');
      if (i > 0) line += "  ";
      line += columns_[i].align == Align::kRight ? padding + cells[i] : cells[i] + padding;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << "  " << line << "\n";
  };
  std::vector<std::string> headers, rules;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    headers.push_back(columns_[i].header);
    rules.push_back(std::string(widths[i], '-'));
  }
  write_line(headers);
  write_line(rules);
  for (const auto& row : rows_) write_line(row);
  return out.str();
}

std::string CategoriesTable(const ScoreView& score) {
  TextTable table;
  table.AddColumn("Slot", TextTable::Align::kRight);
  table.AddColumn("Name");
  table.AddColumn("User-created");
  table.AddColumn("Text", TextTable::Align::kRight);
  table.AddColumn("Shape", TextTable::Align::kRight);
  for (const CategorySlot& category : score.categories) {
    const int id = category.id.value_or(-1);
    table.AddRow({SlotLabel(category), Printable(category.name), YesNo(category.user_created),
                  std::to_string(score.CountExpressions(ExpressionKind::kText, id)),
                  std::to_string(score.CountExpressions(ExpressionKind::kShape, id))});
  }
  return table.Render();
}

std::string ExpressionsTable(const ScoreView& score) {
  TextTable table;
  table.AddColumn("Kind");
  table.AddColumn("Number", TextTable::Align::kRight);
  table.AddColumn("Category", TextTable::Align::kRight);
  table.AddColumn("Category name");
  table.AddColumn("Description");
  for (const ExpressionDefinition& expression : score.expressions) {
    const CategorySlot* category =
        expression.category ? score.FindCategory(*expression.category) : nullptr;
    table.AddRow({KindName(expression.kind), std::to_string(expression.number),
                  expression.category ? std::to_string(*expression.category) : "(short)",
                  category ? Printable(category->name) : "(no such category)",
                  DescriptionCell(expression)});
  }
  return table.Render();
}

ScoreComparison CompareScores(const ScoreView& before, const ScoreView& after) {
  ScoreComparison result;
  result.categories_table = CompareCategories(before, after, &result);
  result.expressions_table = CompareExpressions(before, after, &result);
  return result;
}

}  // namespace hostsim

#include "plugin/alphabetizer.h"

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include "plugin/record_journal.h"

namespace {

const char kEditName[] = "Sort Categories";
const char kMessageCaption[] = "Alphabetizer";

const char kIncompleteLoad[] =
    "The categories were not sorted, because Scorix did not hand out every category and "
    "expression definition in full.\n\nThe score is unchanged.";
const char kChangedDuringLoad[] =
    "The categories were not sorted, because they changed while they were being read.\n\nThe "
    "score is unchanged.";
const char kSaveRefused[] =
    "The categories were not sorted, because Scorix refused to save a record. Every change was "
    "undone.\n\nThe score is unchanged.";
const char kRestoreFailed[] =
    "The categories were not sorted, because Scorix refused to save a record, and some of the "
    "records already changed could not be restored.\n\nPlease check the categories and expressions "
    "of the score.";

// An expression definition holds its category in one byte.
constexpr int kHighestReachableCategory = 255;

void Tell(HWND owner, const char* text) {
  MessageBoxA(owner, text, kMessageCaption, MB_OK | MB_ICONWARNING);
}

bool SameBytes(__FCBaseData* a, __FCBaseData* b) {
  return a->GetLoadedSize() == b->GetLoadedSize() &&
         a->GetDataID().other.cmper == b->GetDataID().other.cmper &&
         std::memcmp(a->GetDataBlock(), b->GetDataBlock(),
                     static_cast<std::size_t>(a->GetLoadedSize())) == 0;
}

// Both loads of the categories must hold the same records in the same order: the slots of the
// second are where the first, once sorted, is written.
bool SameCategories(const FCCategoryDefs& first, const FCCategoryDefs& second) {
  if (first.GetCount() != second.GetCount()) return false;
  for (int index = 0; index < first.GetCount(); ++index) {
    FCCategoryDef* a = first.GetCategoryDefAt(index);
    FCCategoryDef* b = second.GetCategoryDefAt(index);
    if (!a || !b || !SameBytes(a, b)) return false;
  }
  return true;
}

// The elements of a collection as data records (null for any that is not one), looked up once
// for the checks, the journal and the saves that each go over every record.
std::vector<__FCBaseData*> RecordsOf(const __FCCollection& collection) {
  std::vector<__FCBaseData*> records(static_cast<std::size_t>(collection.GetCount()));
  for (int index = 0; index < collection.GetCount(); ++index) {
    records[static_cast<std::size_t>(index)] =
        dynamic_cast<__FCBaseData*>(collection.GetItemAt(index));
  }
  return records;
}

// Every record the host named was delivered, a fixed-size one with all its bytes (a short one
// could not be written back without inventing the rest).
bool LoadedCompletely(const __FCCollectionData& collection,
                      const std::vector<__FCBaseData*>& records) {
  if (!collection.LoadReachedEnd()) return false;
  for (__FCBaseData* record : records) {
    if (!record || !record->IsLoaded()) return false;
    if (!record->IsDynamicSize() && record->GetLoadedSize() != record->DataSize()) return false;
  }
  return true;
}

FCTextExpressionDef* DefinitionAt(const FCTextExpressionDefs& expressions, int index) {
  return expressions.GetTextExpressionDefAt(index);
}

FCShapeExpressionDef* DefinitionAt(const FCShapeExpressionDefs& expressions, int index) {
  return expressions.GetShapeExpressionDefAt(index);
}

}  // namespace

// ---- FCAlphabetizer ----

FCAlphabetizer::~FCAlphabetizer() {
  delete[] _textrepointed;
  delete[] _shaperepointed;
}

void FCAlphabetizer::AssignTextExpressions(FCTextExpressionDefs* expressions) {
  _textexpressions = expressions;
  delete[] _textrepointed;
  _textrepointed = nullptr;
  _textcount = expressions ? expressions->GetCount() : 0;
  _textrepointed = new unsigned char[static_cast<std::size_t>(_textcount)]();
  _IndexByCategory(expressions, _textcount, &_textindex);
}

void FCAlphabetizer::AssignShapeExpressions(FCShapeExpressionDefs* expressions) {
  _shapeexpressions = expressions;
  delete[] _shaperepointed;
  _shaperepointed = nullptr;
  _shapecount = expressions ? expressions->GetCount() : 0;
  _shaperepointed = new unsigned char[static_cast<std::size_t>(_shapecount)]();
  _IndexByCategory(expressions, _shapecount, &_shapeindex);
}

template <class Definitions>
void FCAlphabetizer::_IndexByCategory(const Definitions* expressions, int count,
                                      CategoryIndex* index) {
  index->first.assign(kCategoryNumbers + 1, 0);
  index->positions.clear();
  index->definitions.clear();
  if (!expressions) return;
  // Each definition is looked at once; then the positions are placed number by number, each
  // number's in collection order.
  std::vector<unsigned char> numbers(static_cast<std::size_t>(count));
  std::vector<__FCBase*> found(static_cast<std::size_t>(count), nullptr);
  for (int position = 0; position < count; ++position) {
    auto* definition = DefinitionAt(*expressions, position);
    if (!definition || !definition->HasCategoryByte()) continue;
    const auto number = static_cast<unsigned char>(definition->GetCategoryByte());
    numbers[static_cast<std::size_t>(position)] = number;
    found[static_cast<std::size_t>(position)] = definition;
    ++index->first[static_cast<std::size_t>(number) + 1];
  }
  for (std::size_t number = 0; number < kCategoryNumbers; ++number) {
    index->first[number + 1] += index->first[number];
  }
  index->positions.resize(static_cast<std::size_t>(index->first.back()));
  index->definitions.resize(index->positions.size());
  std::vector<int> next(index->first.begin(), index->first.end() - 1);
  for (int position = 0; position < count; ++position) {
    __FCBase* definition = found[static_cast<std::size_t>(position)];
    if (!definition) continue;
    const auto at = static_cast<std::size_t>(next[numbers[static_cast<std::size_t>(position)]]++);
    index->positions[at] = position;
    index->definitions[at] = definition;
  }
}

int FCAlphabetizer::Compare(__FCBase* a, __FCBase* b) {
  auto* first = dynamic_cast<FCCategoryDef*>(a);
  auto* second = dynamic_cast<FCCategoryDef*>(b);
  if (!first || !second) return 0;
  if (!first->IsUserCreated() || !second->IsUserCreated()) return 0;
  return first->CompareName(*second);
}

bool FCAlphabetizer::IterateIndex(__FCBase* element, int index) {
  auto* sorted = dynamic_cast<FCCategoryDef*>(element);
  FCCategoryDef* slot =
      _unsortedcategories ? _unsortedcategories->GetCategoryDefAt(index) : nullptr;
  if (sorted && slot) CopyMembers(sorted, slot);
  return _allsaved;
}

void FCAlphabetizer::CopyMembers(FCCategoryDef* sorted, FCCategoryDef* slot) {
  const int newnumber = slot->GetID();
  slot->CopyRecordFrom(*sorted);
  slot->SetID(static_cast<short>(newnumber));
  if (slot->IsUserCreated()) {
    const bool saved = _journal ? _journal->Save(slot) : slot->Save();
    if (!saved) {
      _allsaved = false;
      return;
    }
  }
  const int oldnumber = sorted->GetID();
  _Repoint(_textexpressions, _textrepointed, _textcount, _textindex, oldnumber, newnumber);
  _Repoint(_shapeexpressions, _shaperepointed, _shapecount, _shapeindex, oldnumber, newnumber);
}

// A definition that is not yet marked still names the number it was indexed under, so the
// index finds exactly the definitions that a walk over all of them would re-point.
template <class Definitions>
void FCAlphabetizer::_Repoint(Definitions* expressions, unsigned char* repointed, int marks,
                              const CategoryIndex& index, int oldnumber, int newnumber) {
  if (!expressions || !repointed || !index.Names(oldnumber)) return;
  using Definition = std::remove_pointer_t<decltype(DefinitionAt(*expressions, 0))>;
  const auto number = static_cast<std::size_t>(oldnumber);
  for (int at = index.first[number]; at < index.first[number + 1]; ++at) {
    const int position = index.positions[static_cast<std::size_t>(at)];
    __FCBase* element = index.definitions[static_cast<std::size_t>(at)];
    // Indexed as a Definition; still the collection's element at that position.
    if (position >= marks || expressions->GetItemAt(position) != element) continue;
    auto* definition = static_cast<Definition*>(element);
    if (repointed[position] || !definition->HasCategoryByte() ||
        definition->GetCategoryByte() != oldnumber) {
      continue;
    }
    definition->SetCategoryByte(static_cast<unsigned char>(newnumber & 0xFF));
    repointed[position] = 1;
  }
}

// ---- The command ----

namespace {

// The position of the first category that expression definitions refer to and that would move
// to a number their one-byte category field cannot hold; -1 when there is none.
int CategoryMovedOutOfReach(const FCCategoryDefs& sorted, const FCCategoryDefs& slots,
                            const FCAlphabetizer& handler) {
  for (int index = 0; index < sorted.GetCount(); ++index) {
    FCCategoryDef* moved = sorted.GetCategoryDefAt(index);
    FCCategoryDef* slot = slots.GetCategoryDefAt(index);
    if (!moved || !slot || moved->GetID() == slot->GetID()) continue;
    const int newnumber = slot->GetID();
    if (newnumber >= 0 && newnumber <= kHighestReachableCategory) continue;
    if (handler.IsNamed(moved->GetID())) return index;
  }
  return -1;
}

void TellOutOfReach(HWND owner, FCCategoryDef* category, int newnumber) {
  char text[400];
  std::snprintf(text, sizeof text,
                "The categories were not sorted, because the category \"%.66s\" would move to "
                "number %d, and expressions can only refer to categories up to %d.\n\nThe score "
                "is unchanged.",
                category->GetName().c_str(), newnumber, kHighestReachableCategory);
  Tell(owner, text);
}

bool SaveEvery(const std::vector<__FCBaseData*>& records, RecordJournal* journal) {
  for (__FCBaseData* record : records) {
    if (!record || !journal->Save(record)) return false;
  }
  return true;
}

}  // namespace

void Alphabetizer() {
  Alphabetizer(nullptr);
}

void Alphabetizer(HWND owner) {
  FCAlphabetizer handler;
  FCCategoryDefs sorted;
  FCCategoryDefs reference;
  sorted.LoadAll(kScorixApiVersion);
  reference.LoadAll(kScorixApiVersion);
  FCTextExpressionDefs texts;
  texts.LoadAll(kScorixApiVersion);
  FCShapeExpressionDefs shapes;
  shapes.LoadAll(kScorixApiVersion);

  const std::vector<__FCBaseData*> slot_records = RecordsOf(reference);
  const std::vector<__FCBaseData*> text_records = RecordsOf(texts);
  const std::vector<__FCBaseData*> shape_records = RecordsOf(shapes);
  if (!LoadedCompletely(sorted, RecordsOf(sorted)) || !LoadedCompletely(reference, slot_records) ||
      !LoadedCompletely(texts, text_records) || !LoadedCompletely(shapes, shape_records)) {
    Tell(owner, kIncompleteLoad);
    return;
  }
  if (!SameCategories(sorted, reference)) {
    Tell(owner, kChangedDuringLoad);
    return;
  }

  sorted.Sort(&handler);
  handler.AssignUnsortedCategories(&reference);
  handler.AssignTextExpressions(&texts);
  handler.AssignShapeExpressions(&shapes);
  const int unreachable = CategoryMovedOutOfReach(sorted, reference, handler);
  if (unreachable >= 0) {
    TellOutOfReach(owner, sorted.GetCategoryDefAt(unreachable),
                   reference.GetCategoryDefAt(unreachable)->GetID());
    return;
  }

  RecordJournal journal;
  journal.Capture(slot_records);
  journal.Capture(text_records);
  journal.Capture(shape_records);
  handler.AssignJournal(&journal);

  const bool edit_open =
      FX_StartScorixEdit(reinterpret_cast<std::intptr_t>(kEditName), kScorixApiVersion) != 0;
  sorted.ForEachIndex(&handler);
  const bool saved =
      handler.AllSaved() && SaveEvery(text_records, &journal) && SaveEvery(shape_records, &journal);
  if (saved) {
    FX_EndScorixEdit(kScorixApiVersion);
    return;
  }
  if (edit_open && FX_CancelScorixEdit(kScorixApiVersion) != 0) {
    Tell(owner, kSaveRefused);
    return;
  }
  // No edit to cancel, or the host refused to cancel it: write back what was already saved, last
  // first. (A host that refused the cancel may keep its edit open; the binding has already
  // counted it as closed, so it is not ended from here.)
  const bool restored = journal.RestoreSaved();
  if (!edit_open) FX_EndScorixEdit(kScorixApiVersion);
  Tell(owner, restored ? kSaveRefused : kRestoreFailed);
}

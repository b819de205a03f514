// QX Alphabetizer: sorts the document's user-created categories by name and re-points every text
// and shape expression definition at its category's new slot.
//
// Categories are not renumbered: their contents move between the existing numbers (slots), so the
// slot that held the n-th category in the host's order ends up holding the n-th category in sorted
// order. Built-in categories never move. Nothing is written until the whole change has been
// checked, and the change is made as one edit that is undone if the host refuses a save.
#pragma once

#include <vector>

#include "framework/framework.h"

class RecordJournal;

// Runs the whole command on the current document.
void Alphabetizer();
// The same, with the host window as the owner of the boxes that explain a refusal, so they stay
// in front of the score like the confirmation box.
void Alphabetizer(HWND owner);

// The command's iterator handler: orders categories by name (Compare) and, walked over the
// sorted categories (IterateIndex), moves each into the slot of the same position in the host's
// order and re-points the expression definitions of the category it moved.
class FCAlphabetizer : public FCIteratorHandler {
 public:
  FCAlphabetizer() = default;
  FCAlphabetizer(const FCAlphabetizer&) = delete;
  FCAlphabetizer& operator=(const FCAlphabetizer&) = delete;
  virtual ~FCAlphabetizer();

  // Attaches the expression definitions to re-point, each with a "re-pointed" mark per element
  // (all clear), so that every definition moves at most once.
  void AssignTextExpressions(FCTextExpressionDefs* expressions);
  void AssignShapeExpressions(FCShapeExpressionDefs* expressions);
  // The second load of the categories, in the host's order: the slots.
  void AssignUnsortedCategories(FCCategoryDefs* categories) { _unsortedcategories = categories; }
  // Where slot saves go; without a journal nothing is saved.
  void AssignJournal(RecordJournal* journal) { _journal = journal; }

  bool IterateIndex(__FCBase* element, int index) override;
  // Byte order of the names for two user-created categories; 0 ("leave them") when either is
  // built in, so built-in categories keep their slots whatever the host's order.
  int Compare(__FCBase* a, __FCBase* b) override;

  // Moves the sorted category's record into the slot (which keeps its own number), saves the slot
  // when it holds a user-created category, and re-points the definitions of the moved category.
  void CopyMembers(FCCategoryDef* sorted, FCCategoryDef* slot);

  // False once a slot save was refused; the walk stops there.
  bool AllSaved() const { return _allsaved; }
  // Whether an attached text or shape expression definition names the category number.
  bool IsNamed(int number) const { return _textindex.Names(number) || _shapeindex.Names(number); }

 private:
  static constexpr int kCategoryNumbers = 256;  // a definition names its category in one byte

  // The definitions that name each category number (0 to 255), taken once when the definitions
  // are attached, so that re-pointing a category visits only the definitions of its own number,
  // not every definition once for every category. Number n's are entries first[n] up to (not
  // including) first[n + 1] of `positions` (their places in the collection, ascending) and of
  // `definitions` (the definitions themselves).
  struct CategoryIndex {
    std::vector<int> first;
    std::vector<int> positions;
    std::vector<__FCBase*> definitions;

    bool Names(int number) const {
      return number >= 0 && number < kCategoryNumbers && !first.empty() &&
             first[static_cast<std::size_t>(number)] < first[static_cast<std::size_t>(number) + 1];
    }
  };

  template <class Definitions>
  static void _IndexByCategory(const Definitions* expressions, int count, CategoryIndex* index);
  // Re-points every unmarked definition of the old number at the new one and marks it.
  template <class Definitions>
  void _Repoint(Definitions* expressions, unsigned char* repointed, int marks,
                const CategoryIndex& index, int oldnumber, int newnumber);

  FCTextExpressionDefs* _textexpressions = nullptr;
  FCShapeExpressionDefs* _shapeexpressions = nullptr;
  unsigned char* _textrepointed = nullptr;
  unsigned char* _shaperepointed = nullptr;
  int _textcount = 0;         // the marks allocated for the text definitions
  int _shapecount = 0;        // and for the shape definitions
  CategoryIndex _textindex;   // where the text definitions of each category number are
  CategoryIndex _shapeindex;  // and the shape definitions
  FCCategoryDefs* _unsortedcategories = nullptr;
  RecordJournal* _journal = nullptr;
  bool _allsaved = true;
};

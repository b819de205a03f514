// The sorting command against a hostile host. The input's first bytes build the document
// (category and expression definition records of any size and content, built-in and user-created
// categories in any order, category numbers that collide or reach past 255, records of
// neighbouring tags); the rest is the host's script, one decision per record or edit call: answer
// honestly, refuse, deliver short, deliver nothing, claim more than was asked for, answer a size
// query wrongly, walk back to a record already handed out or on to one that does not exist, offer
// or refuse edit transactions, refuse to end or cancel one.
//
// After every run the outcome is held to what the command promises:
//  - the document is byte for byte unchanged or exactly the correctly sorted one, computed by the
//    plain reference below (no framework: records as the host holds them). The one exception is
//    the case the command reports as such: without an edit to cancel, the host refused to take
//    back what was already written; then every record is its original or its sorted self;
//  - a document the command must refuse (a category or shape record of the wrong size, an empty
//    text record, a category that expressions name moving past 255) is never written to;
//  - a run whose host answered everything honestly ends sorted, without a box;
//  - every refusal is told in exactly one box, owned by the host window, and a completed sort in
//    none;
//  - every edit the host opened was ended or cancelled, the binding's edit depth is back at 0 and
//    no frame is held; AddressSanitizer and LeakSanitizer see to every block.
//
// The script never makes the host answer "no further record" early, nor report a record smaller
// than it is: such a host is indistinguishable from one with fewer or smaller records, and no
// plug-in could notice. For the same reason no category or shape record is longer than its fixed
// layout: the command reads and writes exactly the layout's bytes, the size that the version word
// it passes asks for, so a longer record would be one of another version.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "hostsim/scripted_desktop.h"
#include "hostsim/sim_host.h"
#include "plugin/alphabetizer.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"
#include "vaz/vaz.h"

namespace {

using hostsim::Bytes;
using hostsim::Identity;
using hostsim::kCategoryTag;
using hostsim::kShapeExpressionTag;
using hostsim::kTextExpressionTag;
using hostsim::RecordStore;
using hostsim::Word;

constexpr std::size_t kCategorySize = 104;
constexpr std::size_t kNameOffset = 2;
constexpr std::size_t kNameWidth = 66;
constexpr std::size_t kFlagsOffset = 102;
constexpr std::uint8_t kUserCreated = 0x80;
constexpr std::size_t kCategoryByte = 26;
constexpr std::size_t kShapeSize = 34;
constexpr std::uint16_t kHighestNumber = 65534;

const HWND kHostWindow = reinterpret_cast<HWND>(0x00051230);

// --- The document --------------------------------------------------------------------------------

std::int16_t CategoryId(const Bytes& record) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(record[0] | (record[1] << 8)));
}

void SetCategoryId(Bytes* record, std::int16_t id) {
  const auto word = static_cast<std::uint16_t>(id);
  (*record)[0] = static_cast<std::uint8_t>(word & 0xFF);
  (*record)[1] = static_cast<std::uint8_t>(word >> 8);
}

bool UserCreated(const Bytes& record) {
  return record.size() > kFlagsOffset && (record[kFlagsOffset] & kUserCreated) != 0;
}

// A few letters, so that names often share their beginnings or are equal; bytes above 0x7F test
// that names compare as unsigned bytes.
std::uint8_t NameByte(fuzz::ByteReader& in) {
  static const std::uint8_t kLetters[] = {'A', 'a', 'B', 'b', 'Z', 'z', ' ', 0x80, 0xE9, 0xFF};
  return kLetters[in.Below(sizeof kLetters)];
}

// The next item number: mostly the one after, sometimes a gap, now and then a leap (so that
// numbers pass 255).
std::uint16_t NextNumber(fuzz::ByteReader& in, std::uint32_t number) {
  const std::uint8_t step = in.Byte();
  std::uint32_t next = number + 1;
  if ((step & 0x70) == 0x70) next += in.Below(4);
  if ((step & 0x0F) == 0x0F) next += 100 + in.Byte();
  return static_cast<std::uint16_t>(next > kHighestNumber ? kHighestNumber : next);
}

// A record size: mostly the usual one, sometimes any size below it or, for a record whose size
// the host tells, above it.
std::size_t RecordSize(fuzz::ByteReader& in, std::size_t usual, bool fixed) {
  const std::size_t longest = fixed ? usual : usual + 12;
  return in.Below(8) == 0 ? in.Below(static_cast<std::uint32_t>(longest + 1)) : usual;
}

void Resize(fuzz::ByteReader& in, Bytes* record, std::size_t size) {
  const std::size_t old_size = record->size();
  record->resize(size);
  for (std::size_t i = old_size; i < size; ++i) (*record)[i] = in.Byte();
}

void AddCategories(fuzz::ByteReader& in, RecordStore* store, std::vector<std::int16_t>* ids) {
  const std::uint32_t count = in.Below(20);
  std::uint32_t number = in.Below(4) == 0 ? in.Below(3) : 0;
  for (std::uint32_t i = 0; i < count && number < kHighestNumber; ++i) {
    number = NextNumber(in, number);
    Bytes record(kCategorySize);
    for (std::size_t offset = 0; offset < kCategorySize; ++offset) {
      record[offset] = hostsim::FillByte(kCategoryTag, static_cast<std::uint16_t>(number), offset);
    }
    const std::uint8_t shape = in.Byte();
    std::int16_t id = static_cast<std::int16_t>(number);
    if ((shape & 0x07) == 0x07) {
      static const std::int16_t kOddIds[] = {-1, 0, 255, 256, 300, 1, 2, 3};
      id = (shape & 0x08) ? static_cast<std::int16_t>(in.Word()) : kOddIds[in.Below(8)];
    }
    SetCategoryId(&record, id);
    const std::size_t length = (shape & 0x30) == 0x30 ? 60 + in.Below(7) : in.Below(6);
    for (std::size_t k = 0; k < length; ++k) record[kNameOffset + k] = NameByte(in);
    if (length < kNameWidth) record[kNameOffset + length] = 0;
    record[kFlagsOffset] =
        static_cast<std::uint8_t>((in.Byte() & 0x7F) | (shape & 0x40 ? 0 : 0x80));
    Resize(in, &record, RecordSize(in, kCategorySize, true));
    ids->push_back(id);
    store->Put(kCategoryTag, hostsim::ItemIdentity(static_cast<std::uint16_t>(number)),
               std::move(record));
  }
}

// Expression definitions name a category of the document most of the time, any byte otherwise.
void AddExpressions(fuzz::ByteReader& in, RecordStore* store, std::uint32_t tag,
                    std::size_t usual_size, const std::vector<std::int16_t>& ids) {
  const std::uint32_t count = in.Below(24);
  std::uint32_t number = in.Below(4) == 0 ? in.Below(3) : 0;
  for (std::uint32_t i = 0; i < count && number < kHighestNumber; ++i) {
    number = NextNumber(in, number);
    const std::size_t size = RecordSize(in, usual_size, tag == kShapeExpressionTag);
    Bytes record(size);
    for (std::size_t offset = 0; offset < size; ++offset) {
      record[offset] = hostsim::FillByte(tag, static_cast<std::uint16_t>(number), offset);
    }
    if (size > kCategoryByte) {
      const std::uint8_t pick = in.Byte();
      record[kCategoryByte] = !ids.empty() && pick < 224
                                  ? static_cast<std::uint8_t>(ids[pick % ids.size()] & 0xFF)
                                  : in.Byte();
    }
    store->Put(tag, hostsim::ItemIdentity(static_cast<std::uint16_t>(number)), std::move(record));
  }
}

// Records of the neighbouring tags: a walk must stop at the end of its own tag.
void AddNeighbours(fuzz::ByteReader& in, RecordStore* store) {
  static const std::uint32_t kNeighbours[] = {kCategoryTag - 1, kCategoryTag + 1,
                                              kTextExpressionTag + 1, kShapeExpressionTag - 1};
  const std::uint32_t count = in.Below(3);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t tag = kNeighbours[in.Below(4)];
    store->Put(tag, hostsim::ItemIdentity(static_cast<std::uint16_t>(in.Below(4))),
               Bytes(1 + in.Below(40), in.Byte()));
  }
}

// --- The reference: the sorted document, computed on the host's records --------------------------

// The name's bytes: up to its NUL or the end of its 66-byte field.
std::string NameOf(const Bytes& record) {
  std::string name;
  for (std::size_t i = kNameOffset; i < kNameOffset + kNameWidth && record[i] != 0; ++i) {
    name += static_cast<char>(record[i]);
  }
  return name;
}

// strcmp's order: unsigned bytes, a shorter name before a longer one that begins with it.
bool SortsAfter(const std::string& a, const std::string& b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x > y;
  }
  return a.size() > b.size();
}

struct Expected {
  bool sortable = false;
  RecordStore sorted;
};

// Repoints every unmarked definition of `tag` that names `oldnumber` at `newnumber`.
void Repoint(RecordStore* store, std::uint32_t tag, std::vector<bool>* marks, int oldnumber,
             int newnumber) {
  const auto definitions = store->All(tag);
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    const Bytes& record = *definitions[i].second;
    if ((*marks)[i] || record.size() <= kCategoryByte || record[kCategoryByte] != oldnumber) {
      continue;
    }
    Bytes repointed = record;
    repointed[kCategoryByte] = static_cast<std::uint8_t>(newnumber & 0xFF);
    store->Put(tag, definitions[i].first, std::move(repointed));
    (*marks)[i] = true;
  }
}

bool NamedByAnExpression(const RecordStore& store, int number) {
  for (const std::uint32_t tag : {kTextExpressionTag, kShapeExpressionTag}) {
    for (const auto& [id, record] : store.All(tag)) {
      if (record->size() > kCategoryByte && (*record)[kCategoryByte] == number) return true;
    }
  }
  return false;
}

Expected Reference(const RecordStore& document) {
  Expected expected;
  const auto categories = document.All(kCategoryTag);
  for (const auto& [id, record] : categories) {
    if (record->size() != kCategorySize) return expected;
  }
  for (const auto& [id, record] : document.All(kShapeExpressionTag)) {
    if (record->size() != kShapeSize) return expected;
  }
  for (const auto& [id, record] : document.All(kTextExpressionTag)) {
    if (record->empty()) return expected;
  }

  // The user-created categories, exchange-sorted by name in the slots they occupy; built-in
  // categories keep theirs.
  std::vector<const Bytes*> order;
  std::vector<std::size_t> user_slots;
  for (std::size_t i = 0; i < categories.size(); ++i) {
    order.push_back(categories[i].second);
    if (UserCreated(*categories[i].second)) user_slots.push_back(i);
  }
  for (std::size_t i = 0; i + 1 < user_slots.size(); ++i) {
    for (std::size_t j = i + 1; j < user_slots.size(); ++j) {
      const Bytes*& earlier = order[user_slots[i]];
      const Bytes*& later = order[user_slots[j]];
      if (SortsAfter(NameOf(*earlier), NameOf(*later))) std::swap(earlier, later);
    }
  }

  // A category that expressions name may not move to a number they cannot hold.
  for (std::size_t i = 0; i < categories.size(); ++i) {
    const int oldnumber = CategoryId(*order[i]);
    const int newnumber = CategoryId(*categories[i].second);
    if (oldnumber != newnumber && (newnumber < 0 || newnumber > 255) &&
        NamedByAnExpression(document, oldnumber)) {
      return expected;
    }
  }

  expected.sortable = true;
  expected.sorted = document;
  std::vector<bool> text_marks(document.All(kTextExpressionTag).size(), false);
  std::vector<bool> shape_marks(document.All(kShapeExpressionTag).size(), false);
  for (std::size_t i = 0; i < categories.size(); ++i) {
    const int oldnumber = CategoryId(*order[i]);
    const int newnumber = CategoryId(*categories[i].second);
    if (UserCreated(*order[i])) {
      Bytes moved = *order[i];
      SetCategoryId(&moved, static_cast<std::int16_t>(newnumber));
      expected.sorted.Put(kCategoryTag, categories[i].first, std::move(moved));
    }
    Repoint(&expected.sorted, kTextExpressionTag, &text_marks, oldnumber, newnumber);
    Repoint(&expected.sorted, kShapeExpressionTag, &shape_marks, oldnumber, newnumber);
  }
  return expected;
}

// --- The hostile host ----------------------------------------------------------------------------

using fuzz::At;

Identity IdentityAt(Word address) {
  Identity id{};
  std::memcpy(id.data(), At<const std::uint8_t>(address), id.size());
  return id;
}

struct HostState {
  fuzz::ByteReader* script = nullptr;
  bool transactions_offered = true;
  std::vector<RecordStore> transactions;
  bool perturbed = false;      // some answer was not the honest one
  int edits_started = 0;       // edits the host opened
  int edits_closed = 0;        // End or Cancel calls while an edit was open
  int saves = 0;               // save calls the host saw
  bool close_refused = false;  // the host refused to end or cancel an open edit

  RecordStore& Records() { return hostsim::SimHost::Instance().Records(); }

  // The host's decision for one call: 0 honest, otherwise one of the odd answers.
  int Decide(int odd_answers) {
    if (script->Empty()) return 0;
    const std::uint8_t decision = script->Byte();
    if (decision < 200) return 0;
    perturbed = true;
    return 1 + decision % odd_answers;
  }
};

HostState state;

Word Load(const Word* args) {
  const Word tag = args[0], id = args[1], buffer = args[2], size = args[3];
  if (!id || !size) return 0;
  const Bytes* record = state.Records().Find(static_cast<std::uint32_t>(tag), IdentityAt(id));
  auto* size_variable = At<std::int32_t>(size);
  const int decision = state.Decide(6);
  if (decision == 1) return 0;  // refused
  if (!buffer) {
    if (decision == 2) {  // a size query answered too large, with nothing, or below zero
      static const std::int32_t kWrong[] = {0, -1, -1000};
      const std::uint32_t pick = state.script->Below(5);
      *size_variable = pick < 3 ? kWrong[pick]
                                : (record ? static_cast<std::int32_t>(record->size()) : 0) + 1 +
                                      static_cast<std::int32_t>(state.script->Below(200));
      return 1;
    }
    if (!record) return 0;
    *size_variable = static_cast<std::int32_t>(record->size());
    return 1;
  }
  if (!record) return 0;
  const std::int32_t capacity = *size_variable;
  const std::int32_t whole =
      capacity <= 0 ? 0
                    : std::min<std::int32_t>(capacity, static_cast<std::int32_t>(record->size()));
  std::int32_t delivered = whole;
  if (decision == 3 && whole > 0) {  // delivered short, and said so
    delivered = static_cast<std::int32_t>(state.script->Below(static_cast<std::uint32_t>(whole)));
  }
  if (decision == 4) delivered = 0;  // said yes, delivered nothing
  if (delivered > 0) {
    std::memcpy(At<std::uint8_t>(buffer), record->data(), static_cast<std::size_t>(delivered));
  }
  *size_variable = delivered;
  if (decision == 5) {
    // Claims more than it delivered: more than was asked for when it filled the buffer (the
    // plug-in must not believe the excess), a negative count otherwise.
    *size_variable = delivered == capacity && capacity > 0
                         ? capacity + 1 + static_cast<std::int32_t>(state.script->Dword() >> 2)
                         : -1 - static_cast<std::int32_t>(state.script->Below(100));
  }
  // A wide answer whose low 16 bits are 0 is a refusal to a caller that reads 16 bits.
  if (decision == 6) return state.script->Below(2) ? 0x10000 : 0xFFFF0001;
  return 1;
}

Word Next(const Word* args) {
  const Word tag = args[0], id = args[1];
  if (!id) return 0;
  const auto kind = static_cast<std::uint32_t>(tag);
  const Identity from = IdentityAt(id);
  const int decision = state.Decide(2);
  const auto all = state.Records().All(kind);
  if (decision == 1 && !all.empty()) {
    // Back to a record already handed out: the first of the tag, or the same one again.
    const Identity back =
        state.script->Below(2) || !state.Records().Find(kind, from) ? all.front().first : from;
    std::memcpy(At<std::uint8_t>(id), back.data(), back.size());
    return 1;
  }
  if (decision == 2) {  // on to a record that does not exist
    std::uint16_t number = static_cast<std::uint16_t>(60000 + state.script->Below(200));
    while (state.Records().Find(kind, hostsim::ItemIdentity(number))) ++number;
    const Identity phantom = hostsim::ItemIdentity(number);
    std::memcpy(At<std::uint8_t>(id), phantom.data(), phantom.size());
    return 1;
  }
  const auto to = state.Records().Next(kind, from);
  if (!to) return 0;
  std::memcpy(At<std::uint8_t>(id), to->data(), to->size());
  return 1;
}

Word Save(const Word* args) {
  const Word tag = args[0], id = args[1], buffer = args[2];
  const auto size = static_cast<std::int32_t>(args[3]);
  ++state.saves;
  if (state.Decide(1) == 1) return 0;  // refused
  if (!id || !buffer || size < 0) return 0;
  const Identity identity = IdentityAt(id);
  if (!state.Records().Find(static_cast<std::uint32_t>(tag), identity)) return 0;
  const auto* bytes = At<const std::uint8_t>(buffer);
  state.Records().Put(static_cast<std::uint32_t>(tag), identity, Bytes(bytes, bytes + size));
  return 1;
}

Word StartEdit(const Word*) {
  if (!state.transactions_offered || state.Decide(1) == 1) return 0;
  state.transactions.push_back(state.Records());
  ++state.edits_started;
  return 1;
}

Word EndEdit(const Word*) {
  if (state.transactions.empty()) return 0;
  ++state.edits_closed;
  if (state.Decide(1) == 1) {
    state.close_refused = true;
    return 0;
  }
  state.transactions.pop_back();
  return 1;
}

Word CancelEdit(const Word*) {
  if (state.transactions.empty()) return 0;
  ++state.edits_closed;
  if (state.Decide(1) == 1) {
    state.close_refused = true;
    return 0;
  }
  state.Records() = std::move(state.transactions.back());
  state.transactions.pop_back();
  return 1;
}

// --- Explaining a case (FUZZ_EXPLAIN=1 in the environment, when replaying an input) -----------

void DescribeStore(const char* title, const RecordStore& store) {
  std::fprintf(stderr, "%s:\n", title);
  for (const auto& [key, bytes] : store.Records()) {
    std::fprintf(stderr, "  tag %08X item %u size %zu", static_cast<unsigned>(key.tag),
                 static_cast<unsigned>(hostsim::IdentityWord(key.id, 0)), bytes.size());
    if (key.tag == kCategoryTag && bytes.size() == kCategorySize) {
      std::fprintf(stderr, " id %d %s \"%s\"", CategoryId(bytes),
                   UserCreated(bytes) ? "user" : "built-in",
                   hostsim::Printable(NameOf(bytes)).c_str());
    } else if (key.tag != kCategoryTag && bytes.size() > kCategoryByte) {
      std::fprintf(stderr, " category %u", static_cast<unsigned>(bytes[kCategoryByte]));
    }
    std::fputc('\n', stderr);
  }
}

void Explain(const RecordStore& original, const Expected& expected,
             const hostsim::ScriptedDesktop& desktop) {
  DescribeStore("document", original);
  if (expected.sortable) {
    DescribeStore("expected after the sort", expected.sorted);
  } else {
    std::fprintf(stderr, "expected: refused\n");
  }
  DescribeStore("after the command", state.Records());
  std::fprintf(stderr, "host calls:\n");
  for (const auto& call : hostsim::SimHost::Instance().Calls()) {
    std::fprintf(stderr, "  %s ->%llu\n", call.name.c_str(),
                 static_cast<unsigned long long>(call.result));
  }
  for (const auto& box : desktop.Boxes()) std::fprintf(stderr, "box: %s\n", box.text.c_str());
  std::fprintf(stderr, "perturbed: %s\n", state.perturbed ? "yes" : "no");
}

// --- The oracle ----------------------------------------------------------------------------------

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Without an edit to cancel, a host that refused to take back what was written leaves each record
// either as it was or as the sort made it.
bool EachRecordOriginalOrSorted(const RecordStore& after, const RecordStore& original,
                                const RecordStore& sorted) {
  if (after.Records().size() != original.Records().size()) return false;
  for (const auto& [key, bytes] : after.Records()) {
    const Bytes* before = original.Find(key.tag, key.id);
    const Bytes* wanted = sorted.Find(key.tag, key.id);
    if (!before || !wanted || (bytes != *before && bytes != *wanted)) return false;
  }
  return true;
}

void CheckOutcome(const RecordStore& original, const Expected& expected,
                  const hostsim::ScriptedDesktop& desktop) {
  const RecordStore& after = state.Records();
  FUZZ_CHECK(ScorixEditDepth == 0, "the binding still counts an open edit");
  FUZZ_CHECK(LoadedTGFCounter == 0, "a frame is still held");
  FUZZ_CHECK(state.edits_closed == state.edits_started,
             "an edit the host opened was not ended or cancelled");
  FUZZ_CHECK(state.close_refused || state.transactions.empty(), "an edit was left open");
  FUZZ_CHECK(desktop.Boxes().size() <= 1, "more than one box");
  for (const auto& box : desktop.Boxes()) {
    FUZZ_CHECK(box.caption == "Alphabetizer" && box.owner == kHostWindow,
               "a box not owned by the host window, or without the command's caption");
  }

  if (!expected.sortable) {
    FUZZ_CHECK(after == original, "a document that must be refused was changed");
    FUZZ_CHECK(state.saves == 0 && state.edits_started == 0,
               "a document that must be refused was written to");
    FUZZ_CHECK(desktop.Boxes().size() == 1, "a refusal was not told");
    return;
  }
  if (!state.perturbed) {
    FUZZ_CHECK(after == expected.sorted, "an honest host's document was not sorted correctly");
    FUZZ_CHECK(desktop.Boxes().empty(), "a box after an honest sort");
    return;
  }
  if (desktop.Boxes().empty()) {
    FUZZ_CHECK(after == expected.sorted, "no box, but the document is not the sorted one");
    return;
  }
  const std::string& told = desktop.Boxes().front().text;
  if (Contains(told, "did not hand out") || Contains(told, "changed while")) {
    FUZZ_CHECK(state.saves == 0 && state.edits_started == 0,
               "a refused load was followed by writing");
  }
  if (Contains(told, "could not be restored")) {
    FUZZ_CHECK(EachRecordOriginalOrSorted(after, original, expected.sorted),
               "a record is neither its original nor its sorted self");
  } else {
    FUZZ_CHECK(after == original, "a refusal left the document changed");
  }
}

struct Setup {
  hostsim::ScriptedDesktop desktop;
  Setup() { platform::SetDesktop(&desktop); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  fuzz::ByteReader in(data, size);

  const std::uint8_t flags = in.Byte();
  RecordStore document;
  std::vector<std::int16_t> ids;
  AddCategories(in, &document, &ids);
  AddExpressions(in, &document, kTextExpressionTag, 34 + in.Below(24), ids);
  AddExpressions(in, &document, kShapeExpressionTag, kShapeSize, ids);
  AddNeighbours(in, &document);
  const Expected expected = Reference(document);

  auto& host = fuzz::FreshHost();
  host.SetBehavior("FX_LoadEData", Load);
  host.SetBehavior("FX_NextEData", Next);
  host.SetBehavior("FX_SaveEData", Save);
  host.SetBehavior("FX_StartScorixEdit", StartEdit);
  host.SetBehavior("FX_EndScorixEdit", EndEdit);
  host.SetBehavior("FX_CancelScorixEdit", CancelEdit);
  host.Records() = document;
  setup.desktop.Clear();
  state = HostState();
  state.script = &in;  // what is left of the input is the host's script
  state.transactions_offered = (flags & 0x03) != 0x03;

  Alphabetizer(kHostWindow);

  if (fuzz::Explaining()) Explain(document, expected, setup.desktop);
  CheckOutcome(document, expected, setup.desktop);
  state = HostState();
  return 0;
}

// Text records of varying length (FCRawText) against a host whose every answer the input decides:
// the size it reports for a record (honest, none, negative, more or less than it will deliver, or
// anything at all), the bytes it writes into the block it is offered and the count it says it
// delivered, whether it refuses a query, a load, a step or a save. Two text objects are loaded,
// stepped, set, saved, cloned into each other and replaced, in any order.
//
// Every block the object hands over is a heap block of its own, so AddressSanitizer stops the
// host's writes to the capacity it was offered and its reads of the bytes it was given to save;
// LeakSanitizer sees every block released. On top of that, a plain model of each object (what its
// block must hold, whether it counts as loaded, its identity) holds every step to what the class
// promises:
//  - each load asks the host for the size once, with the framework's API version, and offers
//    exactly that capacity; a size below 0 or above the largest text believed is not asked for,
//    nor allocated; the generic load every data object has sizes the block by one answer and
//    offers no more than the next;
//  - the text read back is always terminated, never longer than the bytes the block holds, and
//    is the delivered bytes (or the text last set) up to their first zero byte;
//  - a save writes exactly the delivered bytes or the text last set (never the zero bytes that
//    fill a block past what was delivered), under the object's identity and version, and
//    succeeds exactly when the host accepts it; an object that holds nothing loaded saves
//    nothing and says so;
//  - a clone holds the same text, loaded size and identity, in a block of its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/rawtext.h"
#include "hostsim/sim_host.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::At;
using hostsim::Word;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kTextTag = 0x62747874;  // 'btxt'

// A concrete text class, as a plug-in writes one.
class FuzzText : public FCRawText {
 public:
  using FCRawText::FCRawText;
  std::uint32_t Tag() override { return kTextTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FuzzText(version); }
  bool LoadFirst() override { return Load(1); }
};

// The script of the current input. FUZZ_EXPLAIN=1 prints every step of a replayed input.
fuzz::ByteReader* script = nullptr;
bool explain = false;

// --- The host ------------------------------------------------------------------------------------

// The host's record calls, as it saw them, since the last look.
struct HostCall {
  enum Kind { kSizeQuery, kLoad, kSave, kStep } kind;
  EDataID id;                 // the identity it was given
  std::uint32_t version;      // the version word it was given
  std::int32_t capacity = 0;  // a load: the size variable as it came in
  std::int32_t written = 0;   // a load: the bytes it wrote into the buffer
  std::int32_t reported = 0;  // a load or size query: the size variable as it left it
  Bytes bytes;                // a load: what it wrote (before zero fill); a save: what it read
  bool accepted = false;      // the low 16 bits of its answer were not 0
  bool moved = false;         // a step: it rewrote the identity
};

struct Host {
  Bytes stored;  // the record an honest answer delivers: the last save accepted
  std::vector<HostCall> calls;
};

Host host;

EDataID IdentityAt(Word address) {
  EDataID id;
  std::memcpy(&id, At<const void>(address), sizeof id);
  return id;
}

// The answer word: mostly 1 or 0; a wide word sometimes, whose low 16 bits alone decide.
Word Answer(bool* accepted) {
  Word answer = 1;
  switch (script->Below(8)) {
    case 0:
    case 1:
      answer = 0;
      break;
    case 2:
      answer = script->Below(2) ? 0x10000 : 0xFFFF0001;
      break;
    default:
      break;
  }
  *accepted = (answer & 0xFFFF) != 0;
  return answer;
}

// A size a host may report: honest, none, negative, wrong either way, or anything. The largest
// size believed, and the one above it, come now and then (a load of that size is slow).
std::int32_t ReportedSize(std::int32_t honest) {
  static const std::int32_t kExtremes[] = {
      INT32_MAX,  INT32_MIN, INT32_MAX - 1, 0x40000000, FCRawText::kMostTextBytes + 1,
      0x00100000, 65536,     4096};
  switch (script->Below(12)) {
    case 0:
      return 0;
    case 1:
      return -1 - static_cast<std::int32_t>(script->Below(200));
    case 2:
      return honest + 1 + static_cast<std::int32_t>(script->Below(300));
    case 3:
      return honest > 0 ? static_cast<std::int32_t>(script->Below(
                              static_cast<std::uint32_t>(std::min<std::int32_t>(honest, 255))))
                        : 0;
    case 4:
      return static_cast<std::int32_t>(script->Dword());
    case 5: {
      const std::int32_t extreme = kExtremes[script->Below(sizeof kExtremes / sizeof kExtremes[0])];
      return extreme == FCRawText::kMostTextBytes + 1 && script->Below(16) == 0 ? extreme - 1
                                                                                : extreme;
    }
    case 6:
      return static_cast<std::int32_t>(script->Below(256));
    default:
      return honest;
  }
}

// Writes into the buffer the host was offered: the stored record, or bytes of the script's, up
// to the whole capacity (so that a capacity larger than the block is caught).
std::int32_t Deliver(std::uint8_t* buffer, std::int32_t capacity, Bytes* written) {
  written->clear();
  if (!buffer || capacity <= 0) return 0;
  const auto stored = static_cast<std::int32_t>(host.stored.size());
  std::int32_t count = std::min(capacity, stored);
  bool honest = true;
  switch (script->Below(6)) {
    case 0:
      count = capacity;
      honest = false;
      break;
    case 1:
      count = static_cast<std::int32_t>(script->Below(256) % (std::int64_t{capacity} + 1));
      honest = false;
      break;
    default:
      break;
  }
  written->resize(static_cast<std::size_t>(count));
  if (honest) {
    std::copy(host.stored.begin(), host.stored.begin() + count, written->begin());
  } else {
    // The script's bytes, zero bytes among them, then one byte repeated to the end.
    const std::uint8_t fill = script->Byte();
    const std::int32_t scripted = std::min<std::int32_t>(count, 300);
    for (std::int32_t i = 0; i < scripted; ++i) {
      (*written)[static_cast<std::size_t>(i)] = script->Below(4) == 0 ? 0 : script->Byte();
    }
    std::fill(written->begin() + scripted, written->end(), fill);
  }
  if (count > 0) std::memcpy(buffer, written->data(), written->size());
  return count;
}

// The call as the host sees it arrive: the identity and the version word it was given.
HostCall Arriving(HostCall::Kind kind, const Word* args) {
  FUZZ_CHECK(static_cast<std::uint32_t>(args[0]) == kTextTag, "the host was asked for another tag");
  HostCall call{};
  call.kind = kind;
  call.id = IdentityAt(args[1]);
  call.version = static_cast<std::uint32_t>(args[4]);
  return call;
}

// Answers the call as the script says, and keeps it for the checks. A save the host accepts is
// what an honest load delivers from then on.
Word Answered(HostCall call) {
  const Word answer = Answer(&call.accepted);
  if (call.kind == HostCall::kSave && call.accepted) host.stored = call.bytes;
  if (explain) {
    static const char* const kKinds[] = {"size query", "load", "save", "step"};
    std::fprintf(stderr, "  host %s: capacity %d, wrote %d, reported %d, %zu bytes%s, %s\n",
                 kKinds[call.kind], call.capacity, call.written, call.reported, call.bytes.size(),
                 call.moved ? ", moved on" : "", call.accepted ? "yes" : "no");
  }
  host.calls.push_back(std::move(call));
  return answer;
}

Word HostLoad(const Word* args) {
  HostCall call = Arriving(args[2] == 0 ? HostCall::kSizeQuery : HostCall::kLoad, args);
  auto* size = At<std::int32_t>(args[3]);
  FUZZ_CHECK(size != nullptr, "a load without a size variable");
  call.capacity = *size;
  if (call.kind == HostCall::kSizeQuery) {
    *size = ReportedSize(static_cast<std::int32_t>(host.stored.size()));
  } else {
    call.written = Deliver(At<std::uint8_t>(args[2]), call.capacity, &call.bytes);
    *size = script->Below(3) == 0 ? ReportedSize(call.written) : call.written;
  }
  call.reported = *size;
  return Answered(std::move(call));
}

Word HostSave(const Word* args) {
  HostCall call = Arriving(HostCall::kSave, args);
  const auto size = static_cast<std::int32_t>(args[3]);
  FUZZ_CHECK(args[2] != 0 && size > 0, "a save of nothing reached the host");
  // Every byte the host is given is read.
  const auto* bytes = At<const std::uint8_t>(args[2]);
  call.bytes.assign(bytes, bytes + size);
  return Answered(std::move(call));
}

Word HostStep(const Word* args) {
  HostCall call = Arriving(HostCall::kStep, args);
  FUZZ_CHECK(args[2] == 0 && args[3] == 0, "a step asked for bytes");
  if (script->Below(4) != 0) {
    EDataID next;
    for (auto& byte : next.bytes) byte = script->Byte();
    std::memcpy(At<void>(args[1]), &next, sizeof next);
    call.moved = true;
  }
  return Answered(std::move(call));
}

// --- The model of one text object ----------------------------------------------------------------

struct Model {
  bool has_block = false;  // the object holds storage
  Bytes held;              // what the storage holds, the terminator of our own not counted
  std::int32_t loaded = 0;
  EDataID id{};
  std::uint32_t version = kScorixApiVersion;
};

struct Text {
  std::unique_ptr<FuzzText> object;
  Model model;
};

bool SameIdentity(const EDataID& a, const EDataID& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string TextOf(const Model& model) {
  if (!model.has_block) return "";
  const auto end = std::find(model.held.begin(), model.held.end(), 0);
  return std::string(model.held.begin(), end);
}

// The object as the model says it is.
void Check(const Text& text) {
  const char* got = text.object->GetText();
  FUZZ_CHECK(got != nullptr, "GetText answered null");
  const Model& model = text.model;
  // AddressSanitizer stops strlen at the end of the block if no zero byte ends the text there.
  const std::size_t length = std::strlen(got);
  FUZZ_CHECK(length <= model.held.size(), "the text runs past the bytes the block holds");
  FUZZ_CHECK(std::string(got, length) == TextOf(model), "the text is not what the block holds");
  FUZZ_CHECK(text.object->GetLoadedSize() == model.loaded, "the loaded size is wrong");
  FUZZ_CHECK((text.object->GetDataBlock() != nullptr) == model.has_block,
             "the storage is there when it should not be, or the reverse");
  FUZZ_CHECK(SameIdentity(text.object->GetDataID(), model.id), "the identity is wrong");
  FUZZ_CHECK(text.object->GetVersion() == model.version, "the version word is wrong");
}

std::vector<HostCall> TakeCalls() {
  std::vector<HostCall> calls;
  calls.swap(host.calls);
  return calls;
}

// What a size query left for the object: the reported size, or 0 when the host refused.
std::int32_t SizeAnswered(const HostCall& query) {
  FUZZ_CHECK(query.kind == HostCall::kSizeQuery, "a size query was expected");
  FUZZ_CHECK(query.version == kScorixApiVersion, "the size query did not carry the API version");
  FUZZ_CHECK(query.capacity == 0, "the size variable of the query did not start at 0");
  return query.accepted ? query.reported : 0;
}

bool Believable(std::int32_t size) {
  return size >= 0 && size <= FCRawText::kMostTextBytes;
}

// The load itself into a fresh block of `block_size` bytes, offered with `capacity`.
void ExpectDelivery(Model* model, bool result, const HostCall& load, std::int32_t block_size,
                    std::int32_t capacity) {
  FUZZ_CHECK(load.kind == HostCall::kLoad, "a load was expected");
  FUZZ_CHECK(load.capacity == capacity, "the load offered another capacity than it should");
  FUZZ_CHECK(load.version == model->version, "the load did not carry the object's version");
  FUZZ_CHECK(SameIdentity(load.id, model->id), "the load named another record");
  FUZZ_CHECK(result == load.accepted, "the load's result is not the host's answer");
  // The block holds what the host wrote and zero bytes after it. After a refusal only its text
  // matters (nothing is loaded, so nothing is saved): the model keeps it to the first zero byte
  // past what was written, however large the block.
  const std::int32_t kept = load.accepted ? std::clamp(load.reported, 0, capacity) : block_size;
  const auto written = static_cast<std::int32_t>(load.bytes.size());
  model->held.assign(load.bytes.begin(), load.bytes.begin() + std::min(written, kept));
  if (load.accepted) {
    // A claim beyond the capacity, or below zero, is not believed; bytes past the count are zero.
    model->held.resize(static_cast<std::size_t>(kept), 0);
  } else if (kept > written) {
    model->held.push_back(0);
  }
  model->has_block = true;
  model->loaded = load.accepted ? kept : 0;
}

// The class's own load of the record under the identity already set: one size query, then the
// load at exactly that capacity.
void ExpectLoad(Model* model, bool result, const std::vector<HostCall>& calls) {
  FUZZ_CHECK(!calls.empty(), "a load did not ask the host");
  FUZZ_CHECK(SameIdentity(calls[0].id, model->id), "the size query named another record");
  const std::int32_t size = SizeAnswered(calls[0]);
  if (!Believable(size)) {
    // A size no text record can have: nothing is asked for and nothing is held.
    FUZZ_CHECK(calls.size() == 1 && !result, "an unbelievable size was asked for");
    *model = Model{false, {}, 0, model->id, model->version};
    return;
  }
  FUZZ_CHECK(calls.size() == 2, "a load is one size query and one load");
  ExpectDelivery(model, result, calls[1], size, size);
}

void RunLoad(Text* text) {
  const auto number = static_cast<short>(script->Below(4) == 0 ? script->Word() : script->Below(4));
  if (explain) std::fprintf(stderr, "load %d\n", number);
  text->model.id.other.cmper = static_cast<unsigned short>(number);
  const bool result = text->object->Load(number);
  ExpectLoad(&text->model, result, TakeCalls());
}

void RunLoadNext(Text* text) {
  if (explain) std::fprintf(stderr, "load next\n");
  const bool result = text->object->LoadNext();
  std::vector<HostCall> calls = TakeCalls();
  FUZZ_CHECK(!calls.empty() && calls[0].kind == HostCall::kStep, "a step did not ask the host");
  const HostCall step = calls[0];
  FUZZ_CHECK(SameIdentity(step.id, text->model.id), "the step started from another record");
  FUZZ_CHECK(step.version == text->model.version, "the step did not carry the object's version");
  if (step.moved) text->model.id = text->object->GetDataID();
  if (!step.accepted) {
    // The end of the records: nothing else changes.
    FUZZ_CHECK(calls.size() == 1 && !result, "a refused step went on");
    FUZZ_CHECK(text->object->ReachedEndOfRecords(), "a refused step is the end of the records");
    return;
  }
  calls.erase(calls.begin());
  ExpectLoad(&text->model, result, calls);
}

// The generic load every data object has: it sizes the block by one query and the capacity by
// another, so a host whose answers differ between the two is held to the smaller.
void RunLoadDataBlock(Text* text) {
  if (explain) std::fprintf(stderr, "generic load\n");
  const bool result = text->object->LoadDataBlock();
  const std::vector<HostCall> calls = TakeCalls();
  FUZZ_CHECK(calls.size() == 3, "the generic load is two size queries and one load");
  FUZZ_CHECK(SameIdentity(calls[0].id, text->model.id) && SameIdentity(calls[1].id, text->model.id),
             "a size query named another record");
  const std::int32_t first = SizeAnswered(calls[0]);
  const std::int32_t block_size = Believable(first) ? first : 0;
  const std::int32_t capacity = std::min(std::max(SizeAnswered(calls[1]), 0), block_size);
  ExpectDelivery(&text->model, result, calls[2], block_size, capacity);
}

void RunSetText(Text* text) {
  std::string value;
  const std::uint32_t length = script->Below(4) == 0 ? script->Word() % 2000 : script->Below(40);
  for (std::uint32_t i = 0; i < length && !script->Empty(); ++i) {
    const std::uint8_t byte = script->Byte();
    if (byte == 0) break;
    value += static_cast<char>(byte);
  }
  if (explain) std::fprintf(stderr, "set text of %zu bytes\n", value.size());
  // Now and then the object's own text, which must be copied before the old block goes.
  const int source = static_cast<int>(script->Below(8));
  if (source == 0) {
    value = text->object->GetText();
    text->object->SetText(text->object->GetText());
  } else if (source == 1) {
    value.clear();
    text->object->SetText(nullptr);
  } else {
    text->object->SetText(value.c_str());
  }
  FUZZ_CHECK(host.calls.empty(), "setting the text asked the host");
  text->model.has_block = true;
  text->model.held.assign(value.begin(), value.end());
  text->model.held.push_back(0);
}

void RunSave(Text* text, bool as) {
  const auto number = static_cast<short>(script->Below(3) == 0 ? script->Word() : script->Below(4));
  if (explain) std::fprintf(stderr, as ? "save as %d\n" : "save\n", number);
  if (as) text->model.id.other.cmper = static_cast<unsigned short>(number);
  const bool result = as ? text->object->SaveAs(number) : text->object->Save();
  const std::vector<HostCall> calls = TakeCalls();
  const Model& model = text->model;
  if (model.loaded <= 0 || !model.has_block || model.held.empty()) {
    FUZZ_CHECK(calls.empty() && !result, "an object holding nothing loaded was saved");
    return;
  }
  FUZZ_CHECK(calls.size() == 1 && calls[0].kind == HostCall::kSave, "a save is one host call");
  FUZZ_CHECK(calls[0].bytes == model.held, "the save did not write the bytes the block holds");
  FUZZ_CHECK(SameIdentity(calls[0].id, model.id), "the save named another record");
  FUZZ_CHECK(calls[0].version == model.version, "the save did not carry the object's version");
  FUZZ_CHECK(result == calls[0].accepted, "a save's result is not the host's answer");
}

void RunDataSize(Text* text) {
  const std::int32_t size = text->object->DataSize();
  const std::vector<HostCall> calls = TakeCalls();
  FUZZ_CHECK(calls.size() == 1 && calls[0].kind == HostCall::kSizeQuery,
             "DataSize is one size query");
  FUZZ_CHECK(calls[0].version == kScorixApiVersion, "the size query did not carry the API version");
  FUZZ_CHECK(size == (calls[0].accepted ? calls[0].reported : 0),
             "DataSize is not the host's answer (0 when it refused)");
}

// `to` becomes a copy of `from` (or a fresh clone of it); `to` may be `from` itself.
void RunClone(Text* to, Text* from) {
  if (explain) std::fprintf(stderr, "clone%s\n", to == from ? " of itself" : "");
  if (script->Below(2) == 0) {
    std::unique_ptr<__FCBaseData> clone(from->object->CreateClone());
    auto* text = dynamic_cast<FuzzText*>(clone.get());
    FUZZ_CHECK(text != nullptr, "a clone is not of the class");
    clone.release();
    Text copy{std::unique_ptr<FuzzText>(text), from->model};
    Check(copy);
    FUZZ_CHECK(
        !from->model.has_block || copy.object->GetDataBlock() != from->object->GetDataBlock(),
        "a clone shares its source's block");
    *to = std::move(copy);
  } else {
    to->object->CloneFrom(from->object.get());
    if (to != from) to->model = from->model;
  }
  FUZZ_CHECK(host.calls.empty(), "a clone asked the host");
}

std::uint32_t PickVersion() {
  static const std::uint32_t kVersions[] = {kScorixApiVersion, 0, 0x0A000000, 0xFFFFFFFF};
  return script->Below(4) == 0 ? kVersions[script->Below(4)] : kScorixApiVersion;
}

Text NewText() {
  Text text;
  text.model.version = PickVersion();
  text.object = std::make_unique<FuzzText>(text.model.version);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  explain = fuzz::Explaining();
  fuzz::ByteReader reader(data, size);
  script = &reader;
  auto& sim = fuzz::FreshHost();
  sim.SetBehavior("FX_LoadEData", HostLoad);
  sim.SetBehavior("FX_SaveEData", HostSave);
  sim.SetBehavior("FX_NextEData", HostStep);
  host = Host();
  const std::uint32_t stored = reader.Below(4) == 0 ? reader.Word() % 3000 : reader.Below(40);
  for (std::uint32_t i = 0; i < stored; ++i) host.stored.push_back(reader.Byte());

  Text texts[2] = {NewText(), NewText()};
  const int steps = 1 + static_cast<int>(reader.Below(16));
  for (int step = 0; step < steps && !reader.Empty(); ++step) {
    Text& text = texts[reader.Below(2)];
    switch (reader.Below(10)) {
      case 0:
      case 1:
      case 2:
        RunLoad(&text);
        break;
      case 3:
        if (reader.Below(3) == 0) {
          RunLoadDataBlock(&text);
        } else {
          RunLoadNext(&text);
        }
        break;
      case 4:
        RunSetText(&text);
        break;
      case 5:
      case 6:
        RunSave(&text, reader.Below(2) == 0);
        break;
      case 7:
        RunDataSize(&text);
        break;
      case 8:
        RunClone(&text, &texts[reader.Below(2)]);
        break;
      default:
        text = NewText();
        break;
    }
    Check(texts[0]);
    Check(texts[1]);
  }
  script = nullptr;
  return 0;
}

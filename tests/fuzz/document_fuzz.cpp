// The simulated host's JSON document reader on any text: it gives a document or a clear error,
// never a crash, an exception or a half-filled store; and a document it accepts saves to a text
// that reads back as the very same records.
#include <cstddef>
#include <cstdint>
#include <string>

#include "hostsim/document.h"
#include "hostsim/record_store.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using hostsim::Bytes;
using hostsim::RecordStore;

// An error names its place ("categories[3].name", "document") before a colon, then the problem.
bool IsClearError(const std::string& error) {
  const std::size_t colon = error.find(": ");
  return colon != std::string::npos && colon > 0 && colon + 2 < error.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // A store that already holds a record: a refused document must leave it exactly as it was.
  RecordStore store;
  store.Put(0x7A7A7A7A, hostsim::ItemIdentity(7), Bytes{1, 2, 3});
  const RecordStore before = store;
  std::string error;
  if (!hostsim::LoadDocument(text, &store, &error)) {
    FUZZ_CHECK(store == before, "a refused document changed the store");
    FUZZ_CHECK(IsClearError(error), "a refused document without a clear error");
    return 0;
  }
  FUZZ_CHECK(error.empty(), "an accepted document came with an error");

  // What is saved reads back as the same records, byte for byte; and saving that again gives the
  // same text.
  const std::string saved = hostsim::SaveDocument(store);
  RecordStore again;
  std::string again_error;
  FUZZ_CHECK(hostsim::LoadDocument(saved, &again, &again_error), "a saved document was refused");
  FUZZ_CHECK(again == store, "a saved document read back as other records");
  FUZZ_CHECK(hostsim::SaveDocument(again) == saved, "saving twice gave two texts");
  return 0;
}

// Random documents for the simulated host: categories with names of any printable bytes, some of
// them the user's, text and shape expression definitions naming them (or no category at all),
// and the music of a few staves and measures with rests and chords in two layers. Every record's
// bytes are random but for the fields a document names, so a plug-in that loses or mixes up
// bytes it does not own is caught.
//
// A document is made from its seed alone, with a generator whose output the language fixes, so
// a seed gives the same document on every build and platform: a failure seen once can be seen
// again.
#pragma once

#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// The document of `seed` as the JSON text a document file holds.
std::string RandomDocumentText(std::uint32_t seed);
// The same document as the host holds it.
RecordStore RandomDocument(std::uint32_t seed);

}  // namespace hostsim

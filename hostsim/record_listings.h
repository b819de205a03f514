// The records of a document besides categories and expression definitions, as `scorix-sim show`
// lists them for a person: raw texts, incident runs, staves and current staves with their
// transposition, clef definitions, measure-number regions, pages, articulation definitions, key
// signatures and MIDI expressions, the selection, and the music: the layer setup and the entries
// of every frame, with their notes and their details.
//
// A kind is listed only when the document holds records of it, so a document of categories and
// expression definitions alone shows exactly what it always did. Records are read as far as they
// go: a record too short for a field says so instead of being read past its end.
#pragma once

#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// Each listed kind as "\n<Heading>:\n" and its table; empty when there is nothing to list. A
// MIDI expression's fields that its record does not reach are left blank. The selection, when
// there is one, is a line of its own ("Selection: from slot 1 (key 0), measure 2, position 512
// to ..."). The music comes last: "Layers: N per staff" (the hidden layers, and a line of the
// slots that show another staff for key 0 and for each other slot key that has a map), then
// "Entries:", one row per entry (number, position, duration, note or rest, flags, and each
// note's displacement, raise/lower and ID), the staff, measure and layer on the first row of
// each frame, each entry followed by a "detail" row per detail record of its number (tag,
// incident, size and the first 16 bytes in hex). It is listed when the document has frames or a
// layer setup other than the default. The details of entries that no frame holds come last,
// under "Details of entries in no frame".
std::string RecordListings(const RecordStore& store);

// The entries that differ between two documents, as "\nEntries, before and after:\n" and a
// table with a "before" and an "after" row for each (an entry only on one side shows "(none)" on
// the other); empty when every frame is the same.
std::string FrameChanges(const RecordStore& before, const RecordStore& after);

// A raw text as a person reads it: the text quoted with its unprintable bytes escaped, and what
// is odd about it: "(empty)", "(unterminated)", "(empty, unterminated)" for a record of no bytes,
// or "(N more bytes after the NUL)" when it holds a NUL before its last byte.
std::string DescribeText(const Bytes& record);

// "0x534F4D43 'SOMC'": the tag in hex, and as four characters when they are all printable.
std::string TagLabel(std::uint32_t tag);

}  // namespace hostsim

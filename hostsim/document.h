// Documents of the simulated host as JSON: categories and expression definitions, raw texts,
// incident runs, staves, clefs, measure-number regions, entry details, pages, articulation
// definitions, key signatures and MIDI expressions in a friendly form, every other record raw by
// tag and identity.
//
//   {
//     "categories": [ {"number": 1, "name": "Dynamics", "usercreated": false} ],
//     "textExpressions": [ {"number": 1, "category": 1, "description": "pp"} ],
//     "shapeExpressions": [ {"number": 1, "category": 2} ],
//     "texts": [ {"tag": "0x74787431", "number": -1, "text": "Fine", "terminated": false} ],
//     "incidents": [ {"tag": "0x626C6B31", "number": 3,
//                     "incidents": [ {"inci": 0, "bytes": "0100"}, {"inci": 2, "bytes": ""} ]} ],
//     "staves": [ {"number": 2, "chromatic": true, "interval": -7, "alteration": 0} ],
//     "currentStaves": [ {"staff": 2, "measure": 9, "position": 512, "transposition": 66} ],
//     "clefs": [ {"number": 0, "baseline": -12} ],
//     "measureNumberRegions": [ {"number": 1, "layout": 88, "startMeasure": 1,
//                                "endMeasure": 10, "startNumber": 1} ],
//     "layers": 4, "hiddenLayers": [2], "slots": {"1": 2, "2": 1},
//     "slotKeys": {"7": {"1": 2, "2": 1}},
//     "selection": {"startSlot": 1, "startMeasure": 2, "startPosition": 512,
//                   "endSlot": 2, "endMeasure": 3, "endPosition": 1024},
//     "frames": [ {"staff": 1, "measure": 1, "layer": 0, "entries": [
//                   {"duration": 1024, "notes": [{"displacement": 3}, {"displacement": -2}]},
//                   {"duration": 1024} ]} ],
//     "midiExpressions": [ {"staff": 1, "measure": 2, "inci": 0, "position": 0, "status": 176,
//                           "data1": 7, "data2": 100} ],
//     "details": [ {"tag": "0x654E4454", "entry": 70000,
//                   "incidents": [ {"inci": 0, "bytes": "0700000000000000"} ]} ],
//     "pages": [ {"number": 1, "firstSystem": 1} ],
//     "articulationDefs": [ {"number": 1, "font": 3, "automatic": true, "side": 2} ],
//     "keySignatures": [ {"number": 1, "keyWord": 253} ],
//     "records": [ {"tag": "0x6F743134", "id": "0100000000000000", "bytes": "..."} ]
//   }
//
// Every friendly entry may carry "bytes", the whole record in hex; the named fields that are
// present are then written over it. A category's "number" is its item number and, unless
// "categoryid" says otherwise, also the id stored at byte 0. Without "bytes" a record is built
// from its fields, and every byte that nobody interprets holds the fill pattern below, so a
// plug-in that loses or mixes up such bytes is caught. Numbers run from 1 to 65534 and are unique
// per kind; a category name takes at most 66 bytes (66 leaves no room for the terminator, which
// the host allows); an expression's category is 0..255.
//
// The other kinds:
// - "texts": a raw text record of any tag that has no section of its own, identity = "number"
//   (-32768..32767) in bytes 0-1, the rest 0. "text" gives the record as the text and a NUL, or
//   the text alone with "terminated": false (an empty unterminated text is a record of 0 bytes);
//   "bytes" gives it whole instead.
// - "incidents": the incident records of one item of any such tag: "number" the item
//   (1..65534, bytes 0-1), each incident "inci" (0..32767, bytes 2-3) with its "bytes"; the
//   incident numbers may leave gaps. A tag holds texts or incident runs, not both.
// - "staves": staff records (114 bytes), "number" the staff. "transposition" gives the word at
//   byte 20 whole (0..65535), or "chromatic", "interval", "alteration", "simplifyKey" (default
//   true) and "setToClef" (default false) give it decoded (see staff_records.h); without either
//   it keeps the bytes given, or is 0 when the record is built.
// - "currentStaves": the current staff records, 114 bytes as a staff record, at "staff"
//   (1..65534), "measure" (1..65534) and "position" (signed 32-bit, default 0), with the
//   transposition as for staves.
// - "clefs": clef definitions (18 bytes), "number" counted from 0 (0..65534), "baseline" the
//   signed 16-bit word at byte 0.
// - "measureNumberRegions": "layout" 196 (the default) or 88 bytes (older hosts; taken from
//   "bytes" when only they are given); "startMeasure", "endMeasure" (the region's last measure)
//   and "startNumber" (the number shown at the start measure), each -32768..32767, stored as the
//   host keeps them (the end plus 1 and the number less 1, wrapping in 16 bits).
// - "layers": the number of layers a staff has, as FX_GetMaxLayers answers it (-32768..32767,
//   default 4; a hostile count is allowed). "hiddenLayers": the layers (0..layers-1) that
//   FX_GetShowLayer answers 0 for. "slots": the slots that do not show the staff of their own
//   number, {"slot": staff, ...}, each -32768..32767; the map must be one-to-one, every staff it
//   names a slot of it too ({"1": 3, "3": 1}), and no slot named twice ("1" and "01");
//   FX_SlotToInst and FX_InstToSlot answer the identity for every other number. This is the map
//   of slot key 0. "slotKeys": the maps of other slot keys, {"key": {"slot": staff, ...}, ...},
//   each key 1..65535 and each map with the rules of "slots"; a key without a map (or with an
//   empty one) shows every slot's own staff.
// - "selection": what the user has selected, as FX_GetCurERegions reports it: "startSlot",
//   "startMeasure", "endSlot", "endMeasure" (required, -32768..32767), "startPosition" and
//   "endPosition" (signed 32-bit, default 0 and 2147483647, the whole of the end measure),
//   "startSlotKey" and "endSlotKey" (0..65535, default 0). Without it nothing is selected.
// - "frames": the music of one staff (1..32767), measure (1..32767) and layer (0..layers-1),
//   each named once, with its "entries" (default none) in order. The host lends a frame for every
//   (staff, measure, layer) named here, and an empty one for each other layer of a staff and
//   measure named here. An entry is built from "duration" (-32768..32767, required without
//   "bytes"), "position" (signed 32-bit; default where the entry before it ends, 0 for the
//   first), "clef" (-32768..32767, default 0), "flags" (0..4294967295; default the is-note bit
//   0x40000000 when it has notes, 0 for a rest), "entnum" (signed 32-bit; default the lowest
//   positive number no entry of the document names) and "notes" (at most 12, each
//   "displacement" and "raiselower" -32768..32767 default 0, "noteid" -32768..32767 default the
//   lowest positive ID the entry leaves free, "noteflags" 0..4294967295 default the ID's low 5
//   bits in bits 16-20, as a cleaned frame holds them); numnotes is the number of notes, and the
//   unused note slots are zero. Or "bytes" gives the 146-byte entry whole (numnotes, which may
//   be hostile, 13 or -1, included), and the named fields are written over it: "notes" then sets
//   numnotes and the named fields of the slots it gives, and leaves the other slots as they are.
// - "midiExpressions": MIDI events attached to a cell, at identity words "staff" (1..32767),
//   "measure" (1..32767), "inci" (0..32767, gaps allowed) and 0, each identity once. Built from
//   "status" (0..255, required without "bytes"), "position" (signed 32-bit), "data1" and "data2"
//   (-32768..32767), all three default 0, as a record of 10 bytes whose byte 5 holds the fill
//   pattern. "bytes" gives the record whole, of any length (short ones included), and the named
//   fields are written over it where it reaches them; a field it does not reach is refused.
// - "details": the entry details of one entry under a tag that naming it here declares a detail
//   tag (not a tag with a section of its own, nor one that holds texts or incident runs):
//   "entry" the entry number (signed 32-bit, bytes 0-3; it need not be an entry of a frame), each
//   incident "inci" (0..32767, bytes 4-5) with its "bytes"; gaps are allowed. The host numbers
//   the records of such a tag by incident under each entry (see detail_records.h).
// - "pages": page records (24 bytes), "firstSystem" the signed 16-bit word at byte 8.
// - "articulationDefs": articulation definitions (32 bytes): "font" the main symbol's font
//   number (0..255, byte 2), "noFont" bit 0x02 of byte 3, "automatic" bit 0x0008 and "side"
//   (0..7) bits 0-2 of the word at byte 4 (see layout_records.h). One built from its fields alone
//   has font 0, a font, and is placed by hand on side 0; the other bits of byte 3 and of the
//   word at byte 4 hold the fill pattern.
// - "keySignatures": key signature records (8 bytes), "keyWord" the word at byte 0 (0..65535):
//   bits 0-7 the signed count of sharps (negative: flats), bits 8-15 the mode.
//
// Loading is all or nothing: a malformed document is refused with a message that names the place
// (`categories[3].name: expected a string of at most 66 bytes`) and the store is left untouched.
// Saving writes the known kinds in the friendly form (with their full "bytes" where they have
// fields of their own), texts, incident runs and entry details under the tags the document gave
// them in, and everything else raw, so loading the saved text gives back the same records byte
// for byte. A MIDI expression is saved with its fields when it has 10 bytes and with its "bytes"
// alone otherwise; one at an identity the section cannot name goes raw.
// Frames are saved with every entry named and whole in "bytes", the layer setup only where it
// differs from the default, and the selection when there is one. The first three sections and
// "records" are always written, the others only when they hold something. (A store filled by hand
// with a frame no document can name, staff 0 say, saves a document that does not load.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// The fill pattern: byte `offset` of record `number` of kind `tag` holds
//   0xA5 + 0x1D * offset + 0x3B * (number & 0xFF) + 0x65 * (number >> 8) + salt   (mod 256)
// with salt 0x00 for categories, 0x40 for text and 0x80 for shape expression definitions, 0xC0
// for staves, 0x20 for current staves, 0x60 for clefs, 0xA0 for measure-number regions, 0x50 for
// pages, 0x70 for articulation definitions, 0xB0 for key signatures and 0x90 for MIDI
// expressions. A current staff record's number here is (staff + 256 * measure + position) mod
// 65536, a MIDI expression's (staff + 256 * measure + inci) mod 65536.
// Neighbouring bytes differ, and two records differ in every filled byte unless their numbers
// collide modulo 256 in a way no sample document comes near.
std::uint8_t FillByte(std::uint32_t tag, std::uint16_t number, std::size_t offset);

// The fill pattern of the bytes of an entry built from its fields that nobody interprets (6-7,
// 12-13, 140-143): the formula above with salt 0xE0 and, for number, (staff + 7 * measure +
// 31 * layer + 101 * index) mod 65536, index the entry's place in its frame.
std::uint8_t EntryFillByte(const FrameKey& key, std::size_t index, std::size_t offset);

// The size a text expression definition built without "bytes" gets: the description, its NUL,
// and a few filled bytes up to the next multiple of four.
std::size_t DefaultTextExpressionSize(std::size_t description_length);

bool LoadDocument(const std::string& json_text, RecordStore* store, std::string* error);
bool LoadDocumentFile(const std::string& path, RecordStore* store, std::string* error);

std::string SaveDocument(const RecordStore& store);
bool SaveDocumentFile(const RecordStore& store, const std::string& path, std::string* error);

}  // namespace hostsim

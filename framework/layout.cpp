#include "framework/layout.h"

#include <memory>

using record_field::ReadHeld;

// ---------------------------------------------------------------------------------------------
// FCPage

short FCPage::GetFirstSystem() const {
  return ReadHeld<std::int16_t>(_record, _HeldBytes(), kFirstSystemOffset);
}

bool FCPage::UpdateLayout(bool flag) {
  const unsigned short page = GetItemNo();
  FX_UpdateLayout(static_cast<short>(page), flag ? 1 : 0, kScorixApiVersion);
  return Load(page);
}

void FCPage::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("First system: ", GetFirstSystem());
}

// ---------------------------------------------------------------------------------------------
// FCStaffSystems

std::int32_t FCStaffSystems::UpdateFullLayout() {
  return static_cast<std::int32_t>(FX_UpdateLayout(1, 0, kScorixApiVersion));
}

// ---------------------------------------------------------------------------------------------
// FCMeasures

void FCMeasures::LoadRegion(const FCMusicRegion* region, std::uint32_t version) {
  ClearElements();
  if (!region) return;
  std::unique_ptr<__FCBaseData> element(CreateElement(version));
  auto* loader = dynamic_cast<__FCNoInciOther*>(element.get());
  if (!loader) return;
  // Counted wider than the region's 16-bit measure numbers, so an end of 32767 ends the walk.
  for (std::int32_t measure = region->GetStartMeasure(); measure <= region->GetEndMeasure();
       ++measure) {
    if (!loader->Load(static_cast<unsigned short>(measure & 0xFFFF))) continue;
    std::unique_ptr<__FCBaseData> clone(loader->CreateClone());
    if (!clone) continue;
    Add(clone.get());
    clone.release();
  }
}

// ---------------------------------------------------------------------------------------------
// FCStaffLists

void FCStaffLists::LoadAllSystems() {
  DebugMsg("Implement LoadAllSystems!");
}

// ---------------------------------------------------------------------------------------------
// FCArticulationDef

namespace {

// The side for each side code 0 to 7 of an automatically placed articulation.
constexpr FCArticulationDef::AUTOPOS_SIDES kSideOfCode[] = {
    FCArticulationDef::AUTOPOS_SIDE_2,    FCArticulationDef::AUTOPOS_SIDE_3,
    FCArticulationDef::AUTOPOS_SIDE_5,    FCArticulationDef::AUTOPOS_SIDE_4,
    FCArticulationDef::AUTOPOS_SIDE_1,    FCArticulationDef::AUTOPOS_SIDE_NONE,
    FCArticulationDef::AUTOPOS_SIDE_NONE, FCArticulationDef::AUTOPOS_SIDE_NONE};

}  // namespace

unsigned char FCArticulationDef::GetMainSymbolFontNumber() const {
  return ReadHeld<unsigned char>(_record, _HeldBytes(), kFontOffset);
}

unsigned char FCArticulationDef::GetFlags() const {
  return ReadHeld<unsigned char>(_record, _HeldBytes(), kFlagsOffset);
}

std::uint16_t FCArticulationDef::GetPlacementWord() const {
  return ReadHeld<std::uint16_t>(_record, _HeldBytes(), kPlacementOffset);
}

void FCArticulationDef::GetMainSymbolFont(char* name) {
  if (!name) return;
  name[0] = '\0';
  if (GetFlags() & kNoFontBit) return;
  const short font = GetMainSymbolFontNumber();
  if (FX_FontNumToName(font, reinterpret_cast<std::intptr_t>(name), kScorixApiVersion) == 0) {
    // Whatever a failing host left in the array is no name.
    name[0] = '\0';
    return;
  }
  // A name that fills the array is cut to leave room for its terminator.
  name[kFontNameSize - 1] = '\0';
}

FCArticulationDef::AUTOPOS_SIDES FCArticulationDef::GetAutoPosSide() const {
  const std::uint16_t word = GetPlacementWord();
  if (!(word & kAutomaticBit)) return AUTOPOS_SIDE_NONE;
  return kSideOfCode[word & kSideCodeBits];
}

void FCArticulationDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("Main symbol font: ", GetMainSymbolFontNumber());
  DebugOutBool("Main symbol has no font: ", (GetFlags() & kNoFontBit) != 0);
  DebugOutDigit("Automatic placement side: ", GetAutoPosSide());
}

// ---------------------------------------------------------------------------------------------
// FCKeySignature

std::uint16_t FCKeySignature::GetKeyWord() const {
  return ReadHeld<std::uint16_t>(_record, _HeldBytes(), kKeyWordOffset);
}

int FCKeySignature::_Count() const {
  const std::uint16_t word = GetKeyWord();
  const int mode = word >> 8;
  if (mode != 0 && mode != 1) return 0;
  return static_cast<std::int8_t>(word & 0xFF);
}

short FCKeySignature::CountFlats() const {
  const int count = _Count();
  return static_cast<short>(count < 0 ? -count : 0);
}

short FCKeySignature::CountSharps() const {
  const int count = _Count();
  return static_cast<short>(count > 0 ? count : 0);
}

void FCKeySignature::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutHex("Key word: ", GetKeyWord());
  DebugOutDigit("Flats: ", CountFlats());
  DebugOutDigit("Sharps: ", CountSharps());
}

#include "framework/staff.h"

#include <algorithm>

using record_field::ReadWord16;
using record_field::Wrap16;
using record_field::WriteWord16;

namespace {

// The low `bits` bits of `value` read as a two's complement number.
short SignedField(std::uint32_t value, int bits) {
  const std::uint32_t field = value & ((1u << bits) - 1u);
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<short>(field >= sign ? static_cast<std::int32_t>(field) - (1 << bits)
                                          : static_cast<std::int32_t>(field));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCStaff

std::uint16_t FCStaff::GetTranspositionWord() const {
  return ReadWord16(_record, kTranspositionOffset);
}

short FCStaff::GetTransposeAlteration() const {
  const std::uint16_t word = GetTranspositionWord();
  if (word == 0) return 0;
  if (word & kChromaticBit) return SignedField(word >> 8, 4);
  return SignedField(word, 6);
}

short FCStaff::GetTransposeInterval() const {
  const std::uint16_t word = GetTranspositionWord();
  if (word == 0) return 0;
  if (word & kChromaticBit) return SignedField(word, 8);
  return SignedField(word >> 6, 6);
}

void FCStaff::DebugDump() {
  __FCNoInciOther::DebugDump();
  const std::uint16_t word = GetTranspositionWord();
  DebugOutBool("Transposition: ", word != 0);
  DebugOutBool("Chromatic Transposition:", (word & kChromaticBit) != 0);
  DebugOutBool("Transposition - Set to clef: ", (word & kSetToClefBit) != 0);
  DebugOutBool("Transposition - Simplify key: ", (word & kKeepKeyBit) == 0);
  DebugOutDigit("Transposition - Alteration: ", GetTransposeAlteration());
  DebugOutDigit("Transposition - Interval: ", GetTransposeInterval());
}

// ---------------------------------------------------------------------------------------------
// FCCurrentStaffSpec

bool FCCurrentStaffSpec::LoadAt(short staff, short measure, std::int32_t position) {
  // Built afresh: no byte of an earlier identity may name another point of the music.
  std::memset(&_dataid, 0, sizeof _dataid);
  std::memcpy(&_dataid.bytes[0], &staff, sizeof staff);
  std::memcpy(&_dataid.bytes[2], &measure, sizeof measure);
  std::memcpy(&_dataid.bytes[4], &position, sizeof position);
  return LoadDataBlock();
}

short FCCurrentStaffSpec::GetStaff() const {
  return static_cast<short>(ReadWord16(_dataid.bytes, 0));
}

short FCCurrentStaffSpec::GetMeasure() const {
  return static_cast<short>(ReadWord16(_dataid.bytes, 2));
}

std::int32_t FCCurrentStaffSpec::GetPosition() const {
  std::int32_t position;
  std::memcpy(&position, &_dataid.bytes[4], sizeof position);
  return position;
}

// ---------------------------------------------------------------------------------------------
// FCClefDef

short FCClefDef::GetBaselineDisplacement() const {
  return static_cast<short>(ReadWord16(_record, kBaselineOffset));
}

// ---------------------------------------------------------------------------------------------
// FCMeasureNumberRegion

std::int32_t FCMeasureNumberRegion::_Layout() {
  if (_layout == 0) {
    _layout = RunningScorixVersion >= kFirstVersionWithLargeRecord ? kRecordSize : kOldRecordSize;
  }
  return _layout;
}

unsigned char* FCMeasureNumberRegion::_Storage() {
  return _Layout() == kRecordSize ? _record : _oldrecord;
}

void* FCMeasureNumberRegion::Allocate() {
  _blocksize = _Layout();
  return _Storage();
}

void FCMeasureNumberRegion::CloneMemoryFrom(__FCBaseData* source) {
  auto* region = dynamic_cast<FCMeasureNumberRegion*>(source);
  if (!region || region == this) return;
  if (_layout == 0) _layout = region->_Layout();
  if (_layout != region->_Layout()) return;  // the two records do not share a layout
  std::memcpy(_Storage(), region->_Storage(), static_cast<std::size_t>(_layout));
  _datablock = _Storage();
  _blocksize = _layout;
  // A source the host delivered short stays short, so saves keep inside the delivered bytes.
  const std::int32_t delivered = region->_loadedsize;
  _loadedsize = delivered > 0 && delivered < _layout ? delivered : _layout;
}

void FCMeasureNumberRegion::SetStartMeasure(short measure) {
  WriteWord16(_Storage(), _Offset(132, 6), static_cast<std::uint16_t>(measure));
}

void FCMeasureNumberRegion::SetEndMeasure(short measure) {
  WriteWord16(_Storage(), _Offset(134, 8), static_cast<std::uint16_t>(Wrap16(measure + 1)));
}

void FCMeasureNumberRegion::SetStartNumber(short number) {
  WriteWord16(_Storage(), _Offset(140, 16), static_cast<std::uint16_t>(Wrap16(number - 1)));
}

short FCMeasureNumberRegion::GetStartMeasure() {
  return static_cast<short>(ReadWord16(_Storage(), _Offset(132, 6)));
}

short FCMeasureNumberRegion::GetEndMeasure() {
  return Wrap16(static_cast<std::int16_t>(ReadWord16(_Storage(), _Offset(134, 8))) - 1);
}

short FCMeasureNumberRegion::GetStartNumber() {
  return Wrap16(static_cast<std::int16_t>(ReadWord16(_Storage(), _Offset(140, 16))) + 1);
}

bool FCMeasureNumberRegion::ContainsMeasure(short measure) {
  return GetStartMeasure() <= measure && measure <= GetEndMeasure();
}

// ---------------------------------------------------------------------------------------------
// FCMeasure

namespace {

constexpr std::uint16_t kKeyAuxBit = 0x0020;
constexpr std::uint16_t kKeyMeBit = 0x0800;
constexpr std::uint16_t kTimeAuxBit = 0x0010;
constexpr std::uint16_t kTimeMeBit = 0x0400;
constexpr std::uint16_t kFullNamesAuxBit = 0x0800;
constexpr std::uint16_t kBarlineBits = 0x00F0;
constexpr int kBarlineShift = 4;
constexpr std::uint16_t kPositioningBits = 0x0007;
constexpr std::uint16_t kPositioningCodes[] = {4, 0, 6};

}  // namespace

FCMeasure::FCMeasure(std::uint32_t version, std::int32_t record_size)
    : __FCNoInciOther(version),
      _recordsize(std::clamp(record_size, kMinRecordSize, kMaxRecordSize)) {}

void* FCMeasure::Allocate() {
  _blocksize = _recordsize;
  return _record;
}

void FCMeasure::CloneMemoryFrom(__FCBaseData* source) {
  auto* measure = dynamic_cast<FCMeasure*>(source);
  if (!measure || measure == this || measure->_recordsize != _recordsize) return;
  std::memcpy(_record, measure->_record, static_cast<std::size_t>(_recordsize));
  _datablock = _record;
  _blocksize = _recordsize;
  const std::int32_t delivered = measure->_loadedsize;
  _loadedsize = delivered > 0 && delivered < _recordsize ? delivered : _recordsize;
}

void FCMeasure::_SetFlag(std::int32_t offset, std::uint16_t mask, bool state) {
  std::uint16_t word = _GetWord(offset);
  Set16BitFlag(&word, mask, state);
  WriteWord16(_record, offset, word);
}

void FCMeasure::_SetDisplay(std::uint16_t aux_bit, std::uint16_t me_bit, DISPLAY_STATES state) {
  if (state != DISPLAY_AUTOMATIC && state != DISPLAY_ALWAYS && state != DISPLAY_NEVER) return;
  _SetAuxFlag(aux_bit, state == DISPLAY_NEVER);
  _SetMeFlag(me_bit, state == DISPLAY_ALWAYS);
}

FCMeasure::DISPLAY_STATES FCMeasure::_GetDisplay(std::uint16_t aux_bit,
                                                 std::uint16_t me_bit) const {
  if (_GetWord(kAuxFlagsOffset) & aux_bit) return DISPLAY_NEVER;
  if (_GetWord(kMeFlagsOffset) & me_bit) return DISPLAY_ALWAYS;
  return DISPLAY_AUTOMATIC;
}

void FCMeasure::SetKeySignatureDisplay(DISPLAY_STATES state) {
  _SetDisplay(kKeyAuxBit, kKeyMeBit, state);
}

FCMeasure::DISPLAY_STATES FCMeasure::GetKeySignatureDisplay() const {
  return _GetDisplay(kKeyAuxBit, kKeyMeBit);
}

void FCMeasure::SetTimeSignatureDisplay(DISPLAY_STATES state) {
  _SetDisplay(kTimeAuxBit, kTimeMeBit, state);
}

FCMeasure::DISPLAY_STATES FCMeasure::GetTimeSignatureDisplay() const {
  return _GetDisplay(kTimeAuxBit, kTimeMeBit);
}

bool FCMeasure::_GetBarlineMask(BARLINE_STYLES style, std::uint16_t* code) const {
  const auto value = static_cast<int>(style);
  const bool known = value >= BARLINE_STYLE_0 && value <= BARLINE_STYLE_6;
  if (code) *code = known ? static_cast<std::uint16_t>(value) : 0;
  return known;
}

void FCMeasure::_SetBarlineCode(std::int32_t offset, BARLINE_STYLES style) {
  std::uint16_t code = 0;
  if (!_GetBarlineMask(style, &code)) return;
  const auto word =
      static_cast<std::uint16_t>((_GetWord(offset) & ~kBarlineBits) | (code << kBarlineShift));
  WriteWord16(_record, offset, word);
}

FCMeasure::BARLINE_STYLES FCMeasure::_GetBarlineCode(std::int32_t offset) const {
  const int code = (_GetWord(offset) & kBarlineBits) >> kBarlineShift;
  return code <= BARLINE_STYLE_6 ? static_cast<BARLINE_STYLES>(code) : BARLINE_STYLE_0;
}

void FCMeasure::SetBarline(BARLINE_STYLES style) {
  _SetBarlineCode(kMeFlagsOffset, style);
}

FCMeasure::BARLINE_STYLES FCMeasure::GetBarline() const {
  return _GetBarlineCode(kMeFlagsOffset);
}

void FCMeasure::SetLeftBarline(BARLINE_STYLES style) {
  _SetBarlineCode(kNewFlagsOffset, style);
}

FCMeasure::BARLINE_STYLES FCMeasure::GetLeftBarline() const {
  return _GetBarlineCode(kNewFlagsOffset);
}

void FCMeasure::SetShowFullNames(bool state) {
  if (RunningScorixVersion < kFirstVersionWithFullNames) return;
  _SetAuxFlag(kFullNamesAuxBit, state);
}

bool FCMeasure::GetShowFullNames() const {
  if (RunningScorixVersion < kFirstVersionWithFullNames) return false;
  return (_GetWord(kAuxFlagsOffset) & kFullNamesAuxBit) != 0;
}

void FCMeasure::SetPositioningNotesMode(POSITIONING_MODES mode) {
  const auto value = static_cast<int>(mode);
  if (value < POSITIONING_MODE_0 || value > POSITIONING_MODE_2) return;
  const auto word = static_cast<std::uint16_t>((_GetWord(kAuxFlagsOffset) & ~kPositioningBits) |
                                               kPositioningCodes[value]);
  WriteWord16(_record, kAuxFlagsOffset, word);
}

FCMeasure::POSITIONING_MODES FCMeasure::GetPositioningNotesMode() const {
  const int code = _GetWord(kAuxFlagsOffset) & kPositioningBits;
  if (code == 4) return POSITIONING_MODE_0;
  if (code == 0) return POSITIONING_MODE_1;
  return POSITIONING_MODE_2;
}

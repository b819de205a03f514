// The rows of the host API tables, each bound to its binding function.
#include "tests/unit/binding/host_api_rows.h"

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "vaz/vaz.h"

namespace binding_test {

namespace {

// Memory behind the sample pointer arguments: zeroed before every call, so that a frame has no
// entries, a size variable says 0 and an identity is all zero.
constexpr std::size_t kMaxArguments = 24;
alignas(8) unsigned char scratch[kMaxArguments][256];

void ClearScratch() {
  std::memset(scratch, 0, sizeof scratch);
}

Word Low(std::uint64_t bits) {
  return static_cast<Word>(bits & 0xFFFFFFFFu);
}
Word High(std::uint64_t bits) {
  return static_cast<Word>(bits >> 32);
}

// Pi: both halves of its bits are non-zero and differ, so their order on the stack shows.
constexpr std::uint64_t kSampleDoubleBits = 0x400921FB54442D18ull;

template <typename T>
struct Arg;

template <>
struct Arg<short> {
  static char Width(bool) { return 'S'; }
  static short Value(std::size_t i, bool) {
    return static_cast<short>(-0x100 - static_cast<int>(i));
  }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    // Sign-extended through the whole word: 0xFFFFFF00 on i386, 0xFFFFFFFFFFFFFF00 on x86_64.
    words.push_back(static_cast<Word>(static_cast<std::intptr_t>(-0x100)) - static_cast<Word>(i));
  }
};

template <>
struct Arg<unsigned short> {
  static char Width(bool) { return 'U'; }
  static unsigned short Value(std::size_t i, bool) {
    return static_cast<unsigned short>(0xFF00u + i);
  }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    words.push_back(0x0000FF00u + static_cast<Word>(i));
  }
};

template <>
struct Arg<unsigned char> {
  static char Width(bool) { return 'B'; }
  static unsigned char Value(std::size_t i, bool) { return static_cast<unsigned char>(0xF0u + i); }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    words.push_back(0x000000F0u + static_cast<Word>(i));
  }
};

// A 32-bit integer L value (a record size).
template <>
struct Arg<std::int32_t> {
  static char Width(bool) { return 'L'; }
  static std::int32_t Value(std::size_t i, bool) {
    return 0x10203000 + static_cast<std::int32_t>(i);
  }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    words.push_back(0x10203000u + static_cast<Word>(i));
  }
};

// An L value that may be an address: as wide as a word. On 64-bit builds it is its own type, and
// its sample fills all 64 bits (the top one set), so a binding that cut it to 32 bits shows.
struct NotAWordType;
using WordValue =
    std::conditional_t<std::is_same_v<std::intptr_t, std::int32_t>, NotAWordType, std::intptr_t>;
constexpr std::uint64_t kWideSample = 0x8765432110203000ull;
template <>
struct Arg<WordValue> {
  static char Width(bool) { return 'L'; }
  static std::intptr_t Value(std::size_t i, bool) {
    return static_cast<std::intptr_t>(static_cast<std::uintptr_t>(kWideSample + i));
  }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    words.push_back(static_cast<Word>(kWideSample + i));
  }
};

// An unsigned 32-bit argument is the version word when it comes last, a tag otherwise.
template <>
struct Arg<std::uint32_t> {
  static char Width(bool last) { return last ? 'V' : 'L'; }
  static std::uint32_t Value(std::size_t i, bool last) {
    return last ? kSampleVersion : 0x20304000u + i;
  }
  static void Expect(std::size_t i, bool last, std::vector<Word>& words) {
    words.push_back(last ? 0x0F000200u : 0x20304000u + static_cast<Word>(i));
  }
};

template <>
struct Arg<double> {
  static char Width(bool) { return 'D'; }
  static double Value(std::size_t, bool) {
    double value;
    std::memcpy(&value, &kSampleDoubleBits, sizeof value);
    return value;
  }
  static void Expect(std::size_t, bool, std::vector<Word>& words) {
    words.push_back(Low(kSampleDoubleBits));
    words.push_back(High(kSampleDoubleBits));
  }
};

template <typename T>
struct Arg<T*> {
  static char Width(bool) { return 'L'; }
  static T* Value(std::size_t i, bool) { return reinterpret_cast<T*>(scratch[i]); }
  static void Expect(std::size_t i, bool, std::vector<Word>& words) {
    words.push_back(static_cast<Word>(reinterpret_cast<std::uintptr_t>(scratch[i])));
  }
};

template <typename R>
struct Result;
template <>
struct Result<short> {
  static constexpr char kWidth = 'S';
  static constexpr bool kWholeWord = false;
  static std::intptr_t Widen(short value) { return value; }
};
template <>
struct Result<unsigned short> {
  static constexpr char kWidth = 'U';
  static constexpr bool kWholeWord = false;
  static std::intptr_t Widen(unsigned short value) { return value; }
};
template <>
struct Result<unsigned char> {
  static constexpr char kWidth = 'B';
  static constexpr bool kWholeWord = false;
  static std::intptr_t Widen(unsigned char value) { return value; }
};
template <>
struct Result<std::int32_t> {
  static constexpr char kWidth = 'L';
  // On a 32-bit build the 32-bit integer is the whole word.
  static constexpr bool kWholeWord = sizeof(std::intptr_t) == sizeof(std::int32_t);
  static std::intptr_t Widen(std::int32_t value) { return value; }
};
template <>
struct Result<WordValue> {
  static constexpr char kWidth = 'L';
  static constexpr bool kWholeWord = true;
  static std::intptr_t Widen(std::intptr_t value) { return value; }
};
template <typename T>
struct Result<T*> {
  static constexpr char kWidth = 'L';
  static constexpr bool kWholeWord = true;
  static std::intptr_t Widen(T* value) { return reinterpret_cast<std::intptr_t>(value); }
};

template <typename R, typename... A, std::size_t... I>
ApiRow MakeRow(const char* name, R(WINAPI* binding)(A...), const char* arguments, char result,
               MissingAnswer if_missing, std::index_sequence<I...>) {
  constexpr std::size_t kCount = sizeof...(A);
  static_assert(kCount <= kMaxArguments, "enough sample memory for every pointer argument");
  ApiRow row{name, arguments, result, if_missing, {}, Result<R>::kWidth, Result<R>::kWholeWord,
             {},   {}};
  row.declared_arguments = std::string{Arg<A>::Width(I + 1 == kCount)...};
  (Arg<A>::Expect(I, I + 1 == kCount, row.expected_words), ...);
  row.call = [binding] {
    ClearScratch();
    return Result<R>::Widen(binding(Arg<A>::Value(I, I + 1 == kCount)...));
  };
  return row;
}

template <typename R, typename... A>
ApiRow Row(const char* name, R(WINAPI* binding)(A...), const char* arguments, char result,
           MissingAnswer if_missing) {
  return MakeRow(name, binding, arguments, result, if_missing, std::index_sequence_for<A...>{});
}

#define HOST_API_ROW(name, arguments, result, if_missing) \
  Row(#name, &name, arguments, result, if_missing)

std::vector<ApiRow> BuildRows() {
  return {
      // Dialogs, alerts and the user interface
      HOST_API_ROW(FX_Dialog, "SLLSLV", 'L', Required()),
      HOST_API_ROW(FX_EndDialog, "LV", 'L', Required()),
      HOST_API_ROW(FX_EnableDlgItem, "LLSV", 'L', Required()),
      HOST_API_ROW(FX_ShowHideDlgItem, "LLSV", 'L', ThroughWin32()),
      HOST_API_ROW(FX_SetDlgFocus, "LLV", 'L', Required()),
      HOST_API_ROW(FX_GetDlgCntlVal, "LLLSV", 'L', Required()),
      HOST_API_ROW(FX_SetDlgCntlVal, "LLLLV", 'L', Required()),
      HOST_API_ROW(FX_GetDlgItemVal, "LLSV", 'L', Required()),
      HOST_API_ROW(FX_SetDlgItemVal, "LLSLV", 'L', Required()),
      HOST_API_ROW(FX_GetDlgString, "LLLSV", 'L', Required()),
      HOST_API_ROW(FX_SetDlgString, "LLLV", 'L', Required()),
      HOST_API_ROW(FX_GetDlgItemUser, "LLSLV", 'L', Required()),
      HOST_API_ROW(FX_SetDlgItemUser, "LLSDV", 'L', Required()),
      HOST_API_ROW(FX_AlertMessage, "LULLV", 'S', Required()),
      HOST_API_ROW(FX_FontDialog, "LLLSSV", 'S', Required()),
      HOST_API_ROW(FX_SymbolDialog, "LLLV", 'S', Required()),
      HOST_API_ROW(FX_SelectionDialog, "LSLLV", 'S', Required()),
      HOST_API_ROW(FX_SelectExpressionDialog, "LLLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_SetTimer, "LSLV", 'L', Required()),
      HOST_API_ROW(FX_KillTimer, "LSV", 'L', Answers(0)),
      HOST_API_ROW(FX_EnableBusyDetection, "SV", 'S', Answers(0)),
      HOST_API_ROW(FX_RebuildMenuSystem, "UV", 'L', Answers(0)),
      HOST_API_ROW(FX_ExecuteMenuItem, "LV", 'S', Answers(0)),
      HOST_API_ROW(FX_OpenHelpItem, "LV", 'L', Answers(0)),
      // Music editing, regions and layout
      HOST_API_ROW(FX_GetMaxLayers, "V", 'S', Answers(4)),
      HOST_API_ROW(FX_GetShowLayer, "SV", 'S', Required()),
      HOST_API_ROW(FX_SlotToInst, "SUV", 'S', Required()),
      HOST_API_ROW(FX_InstToSlot, "SUV", 'S', Required()),
      HOST_API_ROW(FX_GetCurERegions, "LLLV", 'S', Required()),
      HOST_API_ROW(FX_SetCurERegion, "LV", 'L', Answers(0)),
      HOST_API_ROW(FX_RebeamRegion, "LLV", 'S', Required()),
      HOST_API_ROW(FX_RebarRegion, "LUSSSV", 'S', Required()),
      HOST_API_ROW(FX_NoteMover, "LLSSSV", 'L', Required()),
      HOST_API_ROW(FX_MassMover, "LLV", 'S', Answers(0)),
      HOST_API_ROW(FX_SelectNote, "LSV", 'L', Required()),
      HOST_API_ROW(FX_CopyCutMusic, "LSV", 'L', Answers(0)),
      HOST_API_ROW(FX_InsertMergeMusic, "LLBV", 'B', Answers(0)),
      HOST_API_ROW(FX_DisposeScxClipFileToken, "LV", 'B', Answers(0)),
      HOST_API_ROW(FX_InsertMeasures, "SSSV", 'S', Answers(0)),
      HOST_API_ROW(FX_DeleteMeasures, "SSSV", 'S', Answers(0)),
      HOST_API_ROW(FX_DeleteMidiExpressions, "SSV", 'L', Answers(0)),
      HOST_API_ROW(FX_DeleteTempoRecords, "SV", 'L', Answers(0)),
      HOST_API_ROW(FX_AutoRehearsalInsert, "SSSLSV", 'S', Answers(0)),
      HOST_API_ROW(FX_AnalyzeChord, "LLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetKeySig, "SSSLV", 'S', Required()),
      HOST_API_ROW(FX_GetMeasureDuration, "SSV", 'L', Required()),
      HOST_API_ROW(FX_GetTGFDuration, "LV", 'L', Required()),
      HOST_API_ROW(FX_UpdateLayout, "SSV", 'L', Required()),
      HOST_API_ROW(FX_RedrawMusic, "LV", 'L', Required()),
      HOST_API_ROW(FX_ScrollTo, "SSV", 'L', Required()),
      // Edit transactions
      HOST_API_ROW(FX_StartScorixEdit, "LV", 'L', Answers(0)),
      HOST_API_ROW(FX_EndScorixEdit, "V", 'S', Answers(0)),
      HOST_API_ROW(FX_CancelScorixEdit, "V", 'L', Answers(0)),
      HOST_API_ROW(FX_StartMassEdit, "LLV", 'L', Required()),
      HOST_API_ROW(FX_EndMassEdit, "LSV", 'L', Required()),
      HOST_API_ROW(FX_MassEditProgress, "LSSSSV", 'S', Required()),
      // MIDI and playback
      HOST_API_ROW(FX_Playback, "SSSUV", 'L', Required()),
      HOST_API_ROW(FX_ListenToMidi, "LLV", 'S', Required()),
      HOST_API_ROW(FX_CopyMidi, "LLLV", 'S', Required()),
      HOST_API_ROW(FX_PasteMidi, "LLLV", 'S', Required()),
      HOST_API_ROW(FX_NoteToMidi, "LSV", 'S', Required()),
      HOST_API_ROW(FX_MidiNoteToString, "SLSSV", 'L', Required()),
      HOST_API_ROW(FX_StringToMidiNote, "LV", 'S', Required()),
      HOST_API_ROW(FX_ProcessMidiData, "LV", 'L', Answers(-1)),
      HOST_API_ROW(FX_GetPlaybackSystem, "V", 'S', Answers(-1)),
      HOST_API_ROW(FX_QueryK2Slot, "LLLLLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_QueryAriaSlot, "LLLLLLLLLLLLLLLLLLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetPercMapRefData, "ULLSV", 'S', Answers(0)),
      HOST_API_ROW(FX_CreatePercMapRefData, "LLV", 'U', Answers(0)),
      // Fonts and text
      HOST_API_ROW(FX_FontNameToNum, "LV", 'S', Required()),
      HOST_API_ROW(FX_FontNumToName, "SLV", 'S', Required()),
      HOST_API_ROW(FX_SetDefaultMusicFont, "SSUV", 'B', Answers(0)),
      HOST_API_ROW(FX_GetTextEncoding, "V", 'L', Answers(-2)),
      HOST_API_ROW(FX_GetSyllable, "LLLLV", 'L', Required()),
      HOST_API_ROW(FX_SyllableInfo, "LSSLSLLLLV", 'S', Required()),
      HOST_API_ROW(FX_ParseCaretCommand, "LLLLV", 'L', Required()),
      // Documents, paths and windows
      HOST_API_ROW(FX_GetCurrentNoduraDocument, "V", 'S', Answers(0)),
      HOST_API_ROW(FX_SetCurrentNoduraDocument, "SV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetNextNoduraDocument, "SV", 'S', Answers(0)),
      HOST_API_ROW(FX_NewNoduraDocument, "V", 'S', Answers(0)),
      HOST_API_ROW(FX_CloseNoduraDocument, "SV", 'S', Answers(0)),
      HOST_API_ROW(FX_IsNoduraDocumentDirty, "SV", 'S', Answers(0)),
      HOST_API_ROW(FX_SetNoduraDocumentDirty, "SSV", 'L', Answers(0)),
      HOST_API_ROW(FX_OpenDocument, "LSSSSSV", 'S', Answers(0)),
      HOST_API_ROW(FX_SaveDocument, "LSSV", 'S', Answers(0)),
      HOST_API_ROW(FX_CloseCurrentDocumentWindow, "V", 'S', Answers(0)),
      HOST_API_ROW(FX_GetDocumentPath, "SLV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetScorixPath, "LLV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetGraphicPath, "LLLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_CreateGraphic, "LSLLLLV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetWindowCount, "V", 'S', Answers(0)),
      HOST_API_ROW(FX_GetWindowInfoList, "LSV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetCurrentWindowInfo, "LV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetCurrentWindow, "V", 'L', Answers(0)),
      HOST_API_ROW(FX_SetCurrentWindow, "LV", 'S', Answers(0)),
      // Printing
      HOST_API_ROW(FX_GetPrintSettings, "LV", 'L', Answers(0)),
      HOST_API_ROW(FX_PrintCurrentDocument, "LV", 'S', Answers(0)),
      HOST_API_ROW(FX_PrintDocument, "SLV", 'S', Answers(0)),
      HOST_API_ROW(FX_PrintDocuments, "LSLV", 'L', Answers(0)),
      // Linked parts
      HOST_API_ROW(FX_GetCurrentPartID, "V", 'S', Answers(-1)),
      HOST_API_ROW(FX_SetCurrentPartID, "SV", 'L', Answers(0)),
      HOST_API_ROW(FX_SetCurrentPartInView, "SV", 'L', Answers(0)),
      HOST_API_ROW(FX_GetNextPartID, "SV", 'S', Answers(-1)),
      HOST_API_ROW(FX_GetPartName, "SV", 'L', BlankText()),
      HOST_API_ROW(FX_CountParts, "V", 'L', Answers(-1)),
      HOST_API_ROW(FX_GetKvtParts, "LV", 'L', Answers(0)),
      // Layout metrics
      HOST_API_ROW(FX_GetEntryMetrics, "SSLLLSV", 'S', Required()),
      HOST_API_ROW(FX_GetTGFEntryMetrics, "LLLSV", 'S', Required()),
      HOST_API_ROW(FX_GetEntryMetrics2009a, "SSLLLSV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetTGFEntryMetrics2009a, "LLLSV", 'S', Answers(0)),
      HOST_API_ROW(FX_GetMeasureMetrics, "SSLSV", 'S', Answers(0)),
      HOST_API_ROW(FX_FreeEntryMetrics, "LV", 'L', Answers(0)),
      HOST_API_ROW(FX_FreeMeasureMetrics, "LV", 'L', Answers(0)),
      // Data records
      HOST_API_ROW(FX_LoadEData, "LLLLV", 'S', Required()),
      HOST_API_ROW(FX_SaveEData, "LLLLV", 'S', Required()),
      HOST_API_ROW(FX_CreateEData, "LLLLV", 'S', Required()),
      HOST_API_ROW(FX_DeleteEData, "LLV", 'S', Required()),
      HOST_API_ROW(FX_PreviousEData, "LLLLV", 'S', Required()),
      HOST_API_ROW(FX_NextEData, "LLLLV", 'S', Required()),
      // Frames
      HOST_API_ROW(FX_LoadTGF, "USSSSV", 'L', Required()),
      HOST_API_ROW(FX_SaveTGF, "LV", 'S', Required()),
      HOST_API_ROW(FX_InsertEXENTRY, "LSSV", 'S', Required()),
      HOST_API_ROW(FX_DeleteEXENTRY, "LSSV", 'S', Required()),
      HOST_API_ROW(FX_ReduceEntries, "LV", 'L', Required()),
      HOST_API_ROW(FX_FreeTGF, "LV", 'L', Required()),
  };
}

#undef HOST_API_ROW

}  // namespace

const std::vector<ApiRow>& HostApiRows() {
  static const std::vector<ApiRow> rows = BuildRows();
  return rows;
}

}  // namespace binding_test

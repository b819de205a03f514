// The host's FX_ functions as the plug-in calls them: one binding function per host export, with
// the export's own name, argument order and widths (S short, U unsigned short, B unsigned char,
// L integer or address, D double, V the version word) and result width. Each looks its export up by
// name on first use; see vaz/binding.h for the rules and the tags [required] and [fallback: value].
#pragma once

#include "platform/win32.h"
#include "vaz/records.h"

// The host executable's module: "SCORIX.EXE", else "VAVAVER.EXE"; looked up once, kept even when
// neither is found (then every export is missing).
HMODULE GetScorixHandle();

// Records the version of the running host, as it reported it to the plug-in.
void SetScorixFrameworkVersion(std::uint32_t version);

// The running host's version; 0x0F000200 until the host reports one. Record classes read it to
// choose between record layouts; the binding functions do not.
extern std::uint32_t RunningScorixVersion;

// Open edit transactions (FX_StartScorixEdit not yet ended or cancelled), open mass edits, and
// frames loaded but not yet freed. Kept only; ScorixEditDepth bounds FX_End/FX_CancelScorixEdit.
extern std::int32_t ScorixEditDepth;
extern std::int32_t MassEditDepth;
extern std::int32_t LoadedTGFCounter;

// Data records. A non-zero result means success.
short WINAPI FX_LoadEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t* size,
                          std::uint32_t version);
short WINAPI FX_SaveEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                          std::uint32_t version);
short WINAPI FX_CreateEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                            std::uint32_t version);
short WINAPI FX_DeleteEData(std::uint32_t tag, EDataID* id, std::uint32_t version);
short WINAPI FX_PreviousEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                              std::uint32_t version);
short WINAPI FX_NextEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                          std::uint32_t version);

// Frames of one staff, measure and layer. Saving, inserting, deleting and reducing clean the frame
// first (CleanTGF), before the export is looked up.
EXTGF2005a* WINAPI FX_LoadTGF(unsigned short a1, short staff, short measure, short layer, short a5,
                              std::uint32_t version);
short WINAPI FX_SaveTGF(EXTGF2005a* frame, std::uint32_t version);
short WINAPI FX_InsertEXENTRY(EXTGF2005a* frame, short a2, short a3, std::uint32_t version);
short WINAPI FX_DeleteEXENTRY(EXTGF2005a* frame, short a2, short a3, std::uint32_t version);
std::int32_t WINAPI FX_ReduceEntries(EXTGF2005a* frame, std::uint32_t version);
std::int32_t WINAPI FX_FreeTGF(EXTGF2005a* frame, std::uint32_t version);

// Makes every entry of the frame fit to go back to the host: note IDs unique and non-zero,
// mirrored into bits 16-20 of the note flags, note slots beyond the last note zeroed, and a rest
// given one note record while CanAddNoteRecordToRests holds. The boolean has no effect. A null
// frame, an entry array the frame does not carry, and an entry whose note count is outside 0 to
// 12 are left alone.
void CleanTGF(const EXTGF2005a* frame, bool);

// While true, cleaning turns an entry without notes into one with a placeholder note record.
extern bool CanAddNoteRecordToRests;

// Dialogs, alerts and the user interface
std::intptr_t WINAPI FX_Dialog(short a1, std::intptr_t a2, std::intptr_t a3, short a4,
                               std::intptr_t a5, std::uint32_t version);
std::intptr_t WINAPI FX_EndDialog(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_EnableDlgItem(std::intptr_t a1, std::intptr_t a2, short a3,
                                      std::uint32_t version);
std::intptr_t WINAPI FX_ShowHideDlgItem(std::intptr_t a1, std::intptr_t a2, short a3,
                                        std::uint32_t version);
std::intptr_t WINAPI FX_SetDlgFocus(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
std::intptr_t WINAPI FX_GetDlgCntlVal(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                      short a4, std::uint32_t version);
std::intptr_t WINAPI FX_SetDlgCntlVal(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                      std::intptr_t a4, std::uint32_t version);
std::intptr_t WINAPI FX_GetDlgItemVal(std::intptr_t a1, std::intptr_t a2, short a3,
                                      std::uint32_t version);
std::intptr_t WINAPI FX_SetDlgItemVal(std::intptr_t a1, std::intptr_t a2, short a3,
                                      std::intptr_t a4, std::uint32_t version);
std::intptr_t WINAPI FX_GetDlgString(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4,
                                     std::uint32_t version);
std::intptr_t WINAPI FX_SetDlgString(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                     std::uint32_t version);
std::intptr_t WINAPI FX_GetDlgItemUser(std::intptr_t a1, std::intptr_t a2, short a3,
                                       std::intptr_t a4, std::uint32_t version);
std::intptr_t WINAPI FX_SetDlgItemUser(std::intptr_t a1, std::intptr_t a2, short a3, double a4,
                                       std::uint32_t version);
short WINAPI FX_AlertMessage(std::intptr_t a1, unsigned short a2, std::intptr_t a3,
                             std::intptr_t a4, std::uint32_t version);
short WINAPI FX_FontDialog(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4, short a5,
                           std::uint32_t version);
short WINAPI FX_SymbolDialog(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                             std::uint32_t version);
short WINAPI FX_SelectionDialog(std::intptr_t a1, short a2, std::intptr_t a3, std::intptr_t a4,
                                std::uint32_t version);
short WINAPI FX_SelectExpressionDialog(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                       std::intptr_t a4, std::uint32_t version);
std::intptr_t WINAPI FX_SetTimer(std::intptr_t a1, short a2, std::intptr_t a3,
                                 std::uint32_t version);
std::intptr_t WINAPI FX_KillTimer(std::intptr_t a1, short a2, std::uint32_t version);
short WINAPI FX_EnableBusyDetection(short a1, std::uint32_t version);
std::intptr_t WINAPI FX_RebuildMenuSystem(unsigned short a1, std::uint32_t version);
short WINAPI FX_ExecuteMenuItem(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_OpenHelpItem(std::intptr_t a1, std::uint32_t version);

// Music editing, regions and layout
short WINAPI FX_GetMaxLayers(std::uint32_t version);
short WINAPI FX_GetShowLayer(short a1, std::uint32_t version);
short WINAPI FX_SlotToInst(short a1, unsigned short a2, std::uint32_t version);
short WINAPI FX_InstToSlot(short a1, unsigned short a2, std::uint32_t version);
short WINAPI FX_GetCurERegions(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                               std::uint32_t version);
std::intptr_t WINAPI FX_SetCurERegion(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_RebeamRegion(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
short WINAPI FX_RebarRegion(std::intptr_t a1, unsigned short a2, short a3, short a4, short a5,
                            std::uint32_t version);
std::intptr_t WINAPI FX_NoteMover(std::intptr_t a1, std::intptr_t a2, short a3, short a4, short a5,
                                  std::uint32_t version);
short WINAPI FX_MassMover(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
std::intptr_t WINAPI FX_SelectNote(EXENTRY* entry, short a2, std::uint32_t version);
std::intptr_t WINAPI FX_CopyCutMusic(std::intptr_t a1, short a2, std::uint32_t version);
unsigned char WINAPI FX_InsertMergeMusic(std::intptr_t a1, std::intptr_t a2, unsigned char a3,
                                         std::uint32_t version);
unsigned char WINAPI FX_DisposeScxClipFileToken(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_InsertMeasures(short a1, short a2, short a3, std::uint32_t version);
short WINAPI FX_DeleteMeasures(short a1, short a2, short a3, std::uint32_t version);
std::intptr_t WINAPI FX_DeleteMidiExpressions(short a1, short a2, std::uint32_t version);
std::intptr_t WINAPI FX_DeleteTempoRecords(short a1, std::uint32_t version);
short WINAPI FX_AutoRehearsalInsert(short a1, short a2, short a3, std::intptr_t a4, short a5,
                                    std::uint32_t version);
short WINAPI FX_AnalyzeChord(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                             std::uint32_t version);
short WINAPI FX_GetKeySig(short a1, short a2, short a3, std::intptr_t a4, std::uint32_t version);
std::intptr_t WINAPI FX_GetMeasureDuration(short a1, short a2, std::uint32_t version);
std::intptr_t WINAPI FX_GetTGFDuration(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_UpdateLayout(short a1, short a2, std::uint32_t version);
std::intptr_t WINAPI FX_RedrawMusic(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_ScrollTo(short a1, short a2, std::uint32_t version);

// Edit transactions
std::intptr_t WINAPI FX_StartScorixEdit(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_EndScorixEdit(std::uint32_t version);
std::intptr_t WINAPI FX_CancelScorixEdit(std::uint32_t version);
std::intptr_t WINAPI FX_StartMassEdit(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
std::intptr_t WINAPI FX_EndMassEdit(std::intptr_t a1, short a2, std::uint32_t version);
short WINAPI FX_MassEditProgress(std::intptr_t a1, short a2, short a3, short a4, short a5,
                                 std::uint32_t version);

// MIDI and playback
std::intptr_t WINAPI FX_Playback(short a1, short a2, short a3, unsigned short a4,
                                 std::uint32_t version);
short WINAPI FX_ListenToMidi(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
short WINAPI FX_CopyMidi(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                         std::uint32_t version);
short WINAPI FX_PasteMidi(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                          std::uint32_t version);
short WINAPI FX_NoteToMidi(std::intptr_t a1, short a2, std::uint32_t version);
std::intptr_t WINAPI FX_MidiNoteToString(short a1, std::intptr_t a2, short a3, short a4,
                                         std::uint32_t version);
short WINAPI FX_StringToMidiNote(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_ProcessMidiData(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_GetPlaybackSystem(std::uint32_t version);
short WINAPI FX_QueryK2Slot(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
                            std::intptr_t a5, std::intptr_t a6, std::uint32_t version);
short WINAPI FX_QueryAriaSlot(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                              std::intptr_t a4, std::intptr_t a5, std::intptr_t a6,
                              std::intptr_t a7, std::intptr_t a8, std::intptr_t a9,
                              std::intptr_t a10, std::intptr_t a11, std::intptr_t a12,
                              std::intptr_t a13, std::intptr_t a14, std::intptr_t a15,
                              std::intptr_t a16, std::intptr_t a17, std::intptr_t a18,
                              std::intptr_t a19, std::uint32_t version);
short WINAPI FX_GetPercMapRefData(unsigned short a1, std::intptr_t a2, std::intptr_t a3, short a4,
                                  std::uint32_t version);
unsigned short WINAPI FX_CreatePercMapRefData(std::intptr_t a1, std::intptr_t a2,
                                              std::uint32_t version);

// Fonts and text
short WINAPI FX_FontNameToNum(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_FontNumToName(short a1, std::intptr_t a2, std::uint32_t version);
unsigned char WINAPI FX_SetDefaultMusicFont(short a1, short a2, unsigned short a3,
                                            std::uint32_t version);
std::intptr_t WINAPI FX_GetTextEncoding(std::uint32_t version);
std::intptr_t WINAPI FX_GetSyllable(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                    std::intptr_t a4, std::uint32_t version);
short WINAPI FX_SyllableInfo(std::intptr_t a1, short a2, short a3, std::intptr_t a4, short a5,
                             std::intptr_t a6, std::intptr_t a7, std::intptr_t a8, std::intptr_t a9,
                             std::uint32_t version);
std::intptr_t WINAPI FX_ParseCaretCommand(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                          std::intptr_t a4, std::uint32_t version);

// Documents, paths and windows
short WINAPI FX_GetCurrentNoduraDocument(std::uint32_t version);
short WINAPI FX_SetCurrentNoduraDocument(short a1, std::uint32_t version);
short WINAPI FX_GetNextNoduraDocument(short a1, std::uint32_t version);
short WINAPI FX_NewNoduraDocument(std::uint32_t version);
short WINAPI FX_CloseNoduraDocument(short a1, std::uint32_t version);
short WINAPI FX_IsNoduraDocumentDirty(short a1, std::uint32_t version);
std::intptr_t WINAPI FX_SetNoduraDocumentDirty(short a1, short a2, std::uint32_t version);
short WINAPI FX_OpenDocument(std::intptr_t a1, short a2, short a3, short a4, short a5, short a6,
                             std::uint32_t version);
short WINAPI FX_SaveDocument(std::intptr_t a1, short a2, short a3, std::uint32_t version);
short WINAPI FX_CloseCurrentDocumentWindow(std::uint32_t version);
short WINAPI FX_GetDocumentPath(short a1, std::intptr_t a2, std::uint32_t version);
short WINAPI FX_GetScorixPath(std::intptr_t a1, std::intptr_t a2, std::uint32_t version);
short WINAPI FX_GetGraphicPath(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                               std::intptr_t a4, std::uint32_t version);
short WINAPI FX_CreateGraphic(std::intptr_t a1, short a2, std::intptr_t a3, std::intptr_t a4,
                              std::intptr_t a5, std::intptr_t a6, std::uint32_t version);
short WINAPI FX_GetWindowCount(std::uint32_t version);
short WINAPI FX_GetWindowInfoList(std::intptr_t a1, short a2, std::uint32_t version);
short WINAPI FX_GetCurrentWindowInfo(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_GetCurrentWindow(std::uint32_t version);
short WINAPI FX_SetCurrentWindow(std::intptr_t a1, std::uint32_t version);

// Printing
std::intptr_t WINAPI FX_GetPrintSettings(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_PrintCurrentDocument(std::intptr_t a1, std::uint32_t version);
short WINAPI FX_PrintDocument(short a1, std::intptr_t a2, std::uint32_t version);
std::intptr_t WINAPI FX_PrintDocuments(std::intptr_t a1, short a2, std::intptr_t a3,
                                       std::uint32_t version);

// Linked parts
short WINAPI FX_GetCurrentPartID(std::uint32_t version);
std::intptr_t WINAPI FX_SetCurrentPartID(short a1, std::uint32_t version);
std::intptr_t WINAPI FX_SetCurrentPartInView(short a1, std::uint32_t version);
short WINAPI FX_GetNextPartID(short a1, std::uint32_t version);
const char* WINAPI FX_GetPartName(short a1, std::uint32_t version);
std::intptr_t WINAPI FX_CountParts(std::uint32_t version);
std::intptr_t WINAPI FX_GetKvtParts(std::intptr_t a1, std::uint32_t version);

// Layout metrics
short WINAPI FX_GetEntryMetrics(short a1, short a2, std::intptr_t a3, std::intptr_t a4,
                                std::intptr_t a5, short a6, std::uint32_t version);
short WINAPI FX_GetTGFEntryMetrics(EXTGF2005a* frame, EEntryMetrics* entry_metrics,
                                   EMeasureMetrics* measure_metrics, short a4,
                                   std::uint32_t version);
short WINAPI FX_GetEntryMetrics2009a(short a1, short a2, std::intptr_t a3, std::intptr_t a4,
                                     std::intptr_t a5, short a6, std::uint32_t version);
short WINAPI FX_GetTGFEntryMetrics2009a(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                                        short a4, std::uint32_t version);
short WINAPI FX_GetMeasureMetrics(short a1, short a2, std::intptr_t a3, short a4,
                                  std::uint32_t version);
std::intptr_t WINAPI FX_FreeEntryMetrics(std::intptr_t a1, std::uint32_t version);
std::intptr_t WINAPI FX_FreeMeasureMetrics(std::intptr_t a1, std::uint32_t version);

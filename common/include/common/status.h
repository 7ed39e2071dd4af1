// The printer status word, the Status block and the names of every kernel
// object the language-monitor side, QORCIL and QORSM share.
#pragma once

#include "qor/base.h"

#include <cstddef>

namespace qor::status {

// Printer status word: the spooler's PRINTER_STATUS positions for the low
// bits plus this system's own high bits.
inline constexpr DWORD kFatalError = 0x00000002;
inline constexpr DWORD kPaperJam = 0x00000008;
inline constexpr DWORD kPaperOut = 0x00000010;
inline constexpr DWORD kManualFeed = 0x00000020;
inline constexpr DWORD kOffline = 0x00000080;
inline constexpr DWORD kPrinting = 0x00000400;
inline constexpr DWORD kAutoRecoverError = 0x00002000;
inline constexpr DWORD kCoverOpen = 0x00400000;
inline constexpr DWORD kCutterError = 0x20000000;
inline constexpr DWORD kPaperNearEnd = 0x40000000;
// Composed by the status monitor only; never stored in the Status block.
inline constexpr DWORD kMonitorNotConnected = 0x08000000;
inline constexpr DWORD kMonitorNoAnswer = 0x10000000;
inline constexpr DWORD kMonitorNoBidi = 0x80000000;

// Every bit a status word in the Status block may carry.
inline constexpr DWORD kAllPrinterBits = kFatalError | kPaperJam | kPaperOut | kManualFeed | kOffline |
                                         kPrinting | kAutoRecoverError | kCoverOpen | kCutterError |
                                         kPaperNearEnd;

// What GetQorPrinterStatus hands back when the printer does not answer.
inline constexpr DWORD kNoAnswerResult = 0x80000000;

// Control word of the Status block.
inline constexpr DWORD kControlAnnounce = 0x00000001;  // status monitor re-announces
inline constexpr DWORD kControlValid = 0x00010000;     // status word filled
inline constexpr DWORD kControlNoConnection = 0x10000000;

// Texts the status monitor shows when a bit becomes set or clear; null when
// that edge has no message.
struct ConditionText {
    DWORD bit;
    const char* when_set;
    const char* when_cleared;
};
// The ten printer conditions in table order.
const ConditionText* condition_texts(size_t* count);
// The entry for one bit, or null.
const ConditionText* condition_text(DWORD bit);

}  // namespace qor::status

namespace qor::names {

inline constexpr char kStatusBlock[] = "QOR_KIOSK_Shared_Memory_Status";
inline constexpr char kDataBlock[] = "QOR_KIOSK_Shared_Memory_Data";
inline constexpr char kReplyBlock[] = "QOR_KIOSK_Shared_Memory_StatusRaw";
inline constexpr char kStatusMutex[] = "QOR_KIOSK_MUTEX_StatusSync";
inline constexpr char kDataMutex[] = "QOR_KIOSK_MUTEX_DataSync";
inline constexpr char kReplyMutex[] = "QOR_KIOSK_MUTEX_StatusRawSync";
inline constexpr char kRequestMutex[] = "QOR_CIL_MUTEX_RejectRequest";
inline constexpr char kOpenSessionMutex[] = "QOR_CIL_MUTEX_OpenCilFunc";
inline constexpr char kMonitorFirstOpenMutex[] = "QOR_PSM_MUTEX_FirstOpen";
inline constexpr char kMonitorChangeBidiEvent[] = "QOR_PSM_EVENT_ChangeBidi";
inline constexpr char kMonitorExitThreadEvent[] = "QOR_PSM_EVENT_ExitThread";

// Requests QORCIL sends with GetPrinterDataA; answered by the model module.
inline constexpr char kRequestStartDocPort[] = "QOR_StartDocPort";
inline constexpr char kRequestCheckConnection[] = "QOR_CheckConnection";
inline constexpr char kRequestDummy[] = "QOR_DummyRequest";
inline constexpr char kRequestGetStatus[] = "QOR_GetStatusRequest";
inline constexpr char kRequestGetHistory[] = "QOR_GetHistoryRequest";
inline constexpr char kRequestGetData[] = "QOR_GetDataRequest";
inline constexpr char kRequestSendData[] = "QOR_SendDataRequest";
inline constexpr char kRequestEndDocPort[] = "QOR_EndDocPort";

}  // namespace qor::names

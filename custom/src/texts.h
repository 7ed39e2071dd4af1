// The setup tool's captions and messages.
#pragma once

namespace custom::texts {

inline constexpr char kProgramTitle[] = "QOR Hardware Setting Tool";
inline constexpr char kErrorCaption[] = "Error message";
inline constexpr char kWarningCaption[] = "Warning message";

inline constexpr char kLibraryMissing[] = " Unable to load library.  [QORCIL.DLL] \n Please retry install ";
inline constexpr char kLibraryMissingInExchange[] = " Unable to load library.  [QORCIL.DLL]  ";
inline constexpr char kUnknownInterface[] = "Unknown interface which is indicated by the printer driver.";
inline constexpr char kNoBidirectional[] = "Don't support bi-direction.";
inline constexpr char kCannotAccess[] = "Unable to access with the ZEM-D printer.";
inline constexpr char kNoDriver[] = "Unable to find the ZEM-D printer driver.";
inline constexpr char kPortFailed[] = "Unable to initialize the [ %s ] port . \nPlease check the connection of the printer. ";
inline constexpr char kNoSettingData[] = "Unable to get [DIP SW] data. \nPlease check the [%s] settings.";
inline constexpr char kNotAcquired[] = "The printer's infomations was not acquired ";
inline constexpr char kNotSelected[] = "Input error.  Some items isn't selected.\n";
inline constexpr char kWriteFailed[] = " Unable to set hardware_setting for the printer. ";
inline constexpr char kWriteDone[] = " Setting was completed.  Do you print a result? ";
inline constexpr char kTestPrintFailed[] = "Unable to send testprint command to the printer.";
inline constexpr char kResetFailed[] = " Unable to send hardware_reset command to the printer. ";
inline constexpr char kUnknownFile[] = "    Unknow file     ";

inline constexpr char kConnectionTest[] = "It is communicating with \"%s\".";
inline constexpr char kReading[] = " Receive the setting data from the printer......";
inline constexpr char kWriting[] = "Send hardware setting command to the printer......";
inline constexpr char kPrinting[] = "It is printing.";
inline constexpr char kResetting[] = "It is resetting.";

}  // namespace custom::texts

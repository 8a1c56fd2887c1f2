#include "serial/errors/message_table.h"

#include "serial/errors/error_codes.h"

namespace {

using R = RivuMessageNumberLookupRecord;

// Every error code of the component with the text it has always shown (a
// mapped code must always carry a message), and of the status and log message
// numbers only those the component shows: the dialer's ready line and the
// dispatch log vocabulary. The status lines and log state names of the
// dialer, telnet, protocol, fax, packet, telephony and socket components this
// system does not have are left out rather than given made-up texts; looking
// one up falls back to the platform's text, as for any number without an entry.
constexpr R kRecords[] = {
    {ecOK, "OK"},

    // File and device input/output
    {ecFileNotFound, "File not found"},
    {ecPathNotFound, "Path not found"},
    {ecTooManyFiles, "Too many open files"},
    {ecAccessDenied, "File access denied"},
    {ecInvalidHandle, "Invalid file handle"},
    {ecOutOfMemory, "Insufficient memory"},
    {ecInvalidDrive, "Invalid drive"},
    {ecNoMoreFiles, "No more files"},
    {ecDiskRead, "Attempt to read beyond end of file"},
    {ecDiskFull, "Disk is full"},
    {ecNotAssigned, "File/device not assigned"},
    {ecNotOpen, "File/device not open"},
    {ecNotOpenInput, "File/device not open for input"},
    {ecNotOpenOutput, "File/device not open for output"},
    {ecWriteProtected, "Disk is write-protected"},
    {ecUnknownUnit, "Unknown disk unit"},
    {ecDriveNotReady, "Drive is not ready"},
    {ecUnknownCommand, "Unknown command"},
    {ecCrcError, "Data error"},
    {ecBadStructLen, "Bad request structure length"},
    {ecSeekError, "Seek error"},
    {ecUnknownMedia, "Unknown media type"},
    {ecSectorNotFound, "Disk sector not found"},
    {ecOutOfPaper, "Printer is out of paper"},
    {ecDeviceWrite, "Device write error"},
    {ecDeviceRead, "Device read error"},
    {ecHardwareFailure, "General failure"},

    // General
    {ecBadHandle, "Bad handle passed to com function"},
    {ecBadArgument, "Bad argument passed to function"},
    {ecGotQuitMsg, "Got quit message"},
    {ecBufferTooBig, "Terminal buffer greater than 65521"},
    {ecPortNotAssigned, "ComPort component not assigned"},
    {ecInternal, "Internal error creating window class"},
    {ecModemNotAssigned, "Modem component not assigned"},
    {ecPhonebookNotAssigned, "Phonebook component not assigned"},
    {ecCannotUseWithWinSock, "Component not compatible with WinSock"},

    // Opening a port
    {ecBadId, "ie_BadId - Specified comport doesn't exist"},
    {ecBaudRate, "ie_Baudrate - unsupported baud rate"},
    {ecByteSize, "ie_Bytesize - invalid byte size"},
    {ecDefault, "ie_Default - error in default parameters"},
    {ecHardware, "ie_Hardware - Specified comport in use"},
    {ecMemory, "ie_Memory - unable to allocate queues"},
    {ecCommNotOpen, "ie_NOpen - device not open"},
    {ecAlreadyOpen, "ie_Open - device already open"},
    {ecNoHandles, "No more handles, can't open port"},
    {ecNoTimers, "No timers available"},
    {ecNoPortSelected, "The ComNumber property of the TRivuComPort has not been set"},
    {ecNotOpenedByTapi, "Comport was not opened by Tapi"},

    // Serial input/output
    {ecNullApi, "No device layer specified"},
    {ecNotSupported, "Function not supported by driver"},
    {ecRegisterHandlerFailed, "EnableCommNotification failed"},
    {ecPutBlockFail, "Failed to put entire block"},
    {ecGetBlockFail, "Failed to get entire block"},
    {ecOutputBufferTooSmall, "Output buffer too small for block"},
    {ecBufferIsEmpty, "Buffer is empty"},
    {ecTracingNotEnabled, "Tracing not enabled"},
    {ecLoggingNotEnabled, "Logging not enabled"},
    {ecBaseAddressNotSet, "Base address not set"},

    // Modem and dialer
    {ecModemNotStarted, "Modem not started"},
    {ecModemBusy, "Modem is busy"},
    {ecModemNotDialing, "Modem is not dialing"},
    {ecNotDialing, "Dialer is not dialing"},
    {ecAlreadyDialing, "Already dialing"},
    {ecModemNotResponding, "Modem not responding"},
    {ecModemRejectedCommand, "Modem rejected the command"},
    {ecModemStatusMismatch, "Modem status mismatch"},
    {ecDeviceNotSelected, "No modem device selected"},
    {ecModemDetectedBusy, "Called number is busy"},
    {ecModemNoDialtone, "No dial tone"},
    {ecModemNoCarrier, "No carrier"},
    {ecModemNoAnswer, "No answer"},
    {ecInitFail, "Modem initialisation failed"},
    {ecLoginFail, "Login failed"},
    {ecMinorSrvErr, "Minor server error"},
    {ecFatalSrvErr, "Fatal server error"},
    {ecModemNotFound, "Modem not found"},
    {ecInvalidFile, "Invalid modem definition file"},

    // Dialer status
    {4201, "Ready"},

    // Triggers
    {ecNoMoreTriggers, "No more trigger slots"},
    {ecTriggerTooLong, "Data trigger too long"},
    {ecBadTriggerHandle, "Bad trigger handle"},

    // Data packets
    {ecStartStringEmpty, "Packet start string is empty"},
    {ecPacketTooSmall, "Packet size too small"},
    {ecNoEndCharCount, "Packet has neither end string nor size"},
    {ecEmptyEndString, "Packet end string is empty"},
    {ecZeroSizePacket, "Packet size is zero"},
    {ecPacketTooLong, "Packet too long"},

    // File transfer protocols
    {ecBadFileList, "Bad file list"},
    {ecNoSearchMask, "No search mask given"},
    {ecNoMatchingFiles, "No files match the search mask"},
    {ecDirNotFound, "Directory not found"},
    {ecCancelRequested, "Transfer cancelled"},
    {ecTimeout, "Protocol timed out"},
    {ecProtocolError, "Protocol error"},
    {ecTooManyErrors, "Too many errors"},
    {ecSequenceError, "Block sequence error"},
    {ecNoFilename, "No file name given"},
    {ecFileRejected, "File rejected by receiver"},
    {ecCantWriteFile, "Cannot write file"},
    {ecTableFull, "Protocol table full"},
    {ecAbortNoCarrier, "Transfer aborted: carrier lost"},
    {ecBadProtocolFunction, "Function not supported by protocol"},
    {ecProtocolAbort, "Transfer aborted by remote"},

    // Keyed record database
    {ecKeyTooLong, "Key too long"},
    {ecDataTooLarge, "Record data too large"},
    {ecNoFieldsDefined, "No fields defined"},
    {ecIniWrite, "Error writing record file"},
    {ecIniRead, "Error reading record file"},
    {ecNoIndexKey, "No index key"},
    {ecRecordExists, "Record already exists"},
    {ecRecordNotFound, "Record not found"},
    {ecMustHaveIdxVal, "Index value required"},
    {ecDatabaseFull, "Database full"},
    {ecDatabaseEmpty, "Database empty"},
    {ecDatabaseNotPrepared, "Database not prepared"},
    {ecBadFieldList, "Bad field list"},
    {ecBadFieldForIndex, "Field cannot be used as index"},

    // State machine and speech engine
    {ecNoStateMachine, "No state machine"},
    {ecNoStartState, "No start state"},
    {ecNoSapiEngine, "No speech engine"},

    // Fax, fax viewer, printer driver installation
    {ecFaxBadFormat, "Bad fax file format"},
    {ecBadGraphicsFormat, "Unsupported graphics format"},
    {ecConvertAbort, "Conversion aborted"},
    {ecUnpackAbort, "Unpacking aborted"},
    {ecCantMakeBitmap, "Cannot create bitmap"},
    {ecNoImageLoaded, "No image loaded"},
    {ecNoImageBlockMarked, "No image block marked"},
    {ecFontFileNotFound, "Font file not found"},
    {ecInvalidPageNumber, "Invalid page number"},
    {ecBmpTooBig, "Bitmap too big"},
    {ecEnhFontTooBig, "Enhanced font too big"},
    {ecFaxBadMachine, "Remote fax machine not compatible"},
    {ecFaxBadModemResult, "Unexpected modem response"},
    {ecFaxTrainError, "Fax training failed"},
    {ecFaxInitError, "Fax modem initialisation failed"},
    {ecFaxBusy, "Fax line busy"},
    {ecFaxVoiceCall, "Voice call answered"},
    {ecFaxDataCall, "Data call answered"},
    {ecFaxNoDialTone, "No dial tone"},
    {ecFaxNoCarrier, "No fax carrier"},
    {ecFaxSessionError, "Fax session error"},
    {ecFaxPageError, "Fax page error"},
    {ecFaxGDIPrintError, "Fax print error"},
    {ecFaxMixedResolution, "Mixed resolutions in one fax"},
    {ecFaxConverterInitFail, "Fax converter initialisation failed"},
    {ecNoAnswer, "No answer"},
    {ecAlreadyMonitored, "Line already monitored"},
    {ecUniAlreadyInstalled, "Printer driver already installed"},
    {ecUniCannotGetSysDir, "Cannot get system folder"},
    {ecUniCannotGetWinDir, "Cannot get platform folder"},
    {ecUniUnknownLayout, "Unknown installation layout"},
    {ecUniCannotInstallFile, "Cannot install driver file"},
    {ecDrvCopyError, "Error copying driver files"},
    {ecCannotAddPrinter, "Cannot add printer"},
    {ecDrvBadResources, "Bad driver resources"},
    {ecDrvDriverNotFound, "Printer driver not found"},
    {ecUniCannotGetPrinterDriverDir, "Cannot get printer driver folder"},
    {ecInstallDriverFailed, "Printer driver installation failed"},

    // Short messages
    {ecSMSBusy, "Message service busy"},
    {ecSMSTimedOut, "Message service timed out"},
    {ecSMSTooLong, "Short message too long"},
    {ecSMSUnknownStatus, "Unknown message status"},

    // Mobile phone equipment
    {ecMEFailure, "Phone failure"},
    {ecServiceRes, "Message service reserved"},
    {ecBadOperation, "Operation not allowed"},
    {ecUnsupported, "Operation not supported"},
    {ecInvalidPDU, "Invalid PDU mode parameter"},
    {ecInvalidText, "Invalid text mode parameter"},
    {ecSIMInsert, "SIM not inserted"},
    {ecSIMPin, "SIM PIN required"},
    {ecSIMPH, "Phone SIM PIN required"},
    {ecSIMFailure, "SIM failure"},
    {ecSIMBusy, "SIM busy"},
    {ecSIMWrong, "SIM wrong"},
    {ecSIMPUK, "SIM PUK required"},
    {ecSIMPIN2, "SIM PIN2 required"},
    {ecSIMPUK2, "SIM PUK2 required"},
    {ecMemFail, "Phone memory failure"},
    {ecInvalidMemIndex, "Invalid memory index"},
    {ecMemFull, "Phone memory full"},
    {ecSMSCAddUnknown, "Service centre address unknown"},
    {ecNoNetwork, "No network service"},
    {ecNetworkTimeout, "Network timeout"},
    {ecCNMAAck, "No acknowledgement expected"},

    // Unknown
    {ecUnknown, "Unknown error"},

    // Telephony line
    {ecAllocated, "Line already allocated"},
    {ecBadDeviceID, "Bad device ID"},
    {ecBearerModeUnavail, "Bearer mode unavailable"},
    {ecCallUnavail, "Call unavailable"},
    {ecCompletionOverrun, "Completion overrun"},
    {ecConferenceFull, "Conference full"},
    {ecDialBilling, "Dialing stopped at billing tone"},
    {ecDialDialtone, "Dialing stopped at dial tone"},
    {ecDialPrompt, "Dialing stopped at prompt"},
    {ecDialQuiet, "Dialing stopped at quiet"},
    {ecIncompatibleApiVersion, "Incompatible telephony version"},
    {ecIncompatibleExtVersion, "Incompatible extension version"},
    {ecIniFileCorrupt, "Telephony settings corrupt"},
    {ecInUse, "Line in use"},
    {ecInvalAddress, "Invalid address"},
    {ecInvalAddressID, "Invalid address ID"},
    {ecInvalAddressMode, "Invalid address mode"},
    {ecInvalAddressState, "Invalid address state"},
    {ecInvalAppHandle, "Invalid application handle"},
    {ecInvalAppName, "Invalid application name"},
    {ecInvalBearerMode, "Invalid bearer mode"},
    {ecInvalCallComplMode, "Invalid call completion mode"},
    {ecInvalCallHandle, "Invalid call handle"},
    {ecInvalCallParams, "Invalid call parameters"},
    {ecInvalCallPrivilege, "Invalid call privilege"},
    {ecInvalCallSelect, "Invalid call select"},
    {ecInvalCallState, "Invalid call state"},
    {ecInvalCallStatelist, "Invalid call state list"},
    {ecInvalCard, "Invalid calling card"},
    {ecInvalCompletionID, "Invalid completion ID"},
    {ecInvalConfCallHandle, "Invalid conference call handle"},
    {ecInvalConsultCallHandle, "Invalid consultation call handle"},
    {ecInvalCountryCode, "Invalid country code"},
    {ecInvalDeviceClass, "Invalid device class"},
    {ecInvalDeviceHandle, "Invalid device handle"},
    {ecInvalDialParams, "Invalid dial parameters"},
    {ecInvalDigitList, "Invalid digit list"},
    {ecInvalDigitMode, "Invalid digit mode"},
    {ecInvalDigits, "Invalid digits"},
    {ecInvalExtVersion, "Invalid extension version"},
    {ecInvalGroupID, "Invalid group ID"},
    {ecInvalLineHandle, "Invalid line handle"},
    {ecInvalLineState, "Invalid line state"},
    {ecInvalLocation, "Invalid location"},
    {ecInvalMediaList, "Invalid media list"},
    {ecInvalMediaMode, "Invalid media mode"},
    {ecInvalMessageID, "Invalid message ID"},
    {ecInvalParam, "Invalid parameter"},
    {ecInvalParkID, "Invalid park ID"},
    {ecInvalParkMode, "Invalid park mode"},
    {ecInvalPointer, "Invalid pointer"},
    {ecInvalPrivSelect, "Invalid privilege select"},
    {ecInvalRate, "Invalid rate"},
    {ecInvalRequestMode, "Invalid request mode"},
    {ecInvalTerminalID, "Invalid terminal ID"},
    {ecInvalTerminalMode, "Invalid terminal mode"},
    {ecInvalTimeout, "Invalid timeout"},
    {ecInvalTone, "Invalid tone"},
    {ecInvalToneList, "Invalid tone list"},
    {ecInvalToneMode, "Invalid tone mode"},
    {ecInvalTransferMode, "Invalid transfer mode"},
    {ecLineMapperFailed, "Line mapper failed"},
    {ecNoConference, "No conference"},
    {ecNoDevice, "No device"},
    {ecNoDriver, "No driver"},
    {ecNoMem, "No memory"},
    {ecNoRequest, "No request"},
    {ecNotOwner, "Not owner"},
    {ecNotRegistered, "Not registered"},
    {ecOperationFailed, "Operation failed"},
    {ecOperationUnavail, "Operation unavailable"},
    {ecRateUnavail, "Rate unavailable"},
    {ecResourceUnavail, "Resource unavailable"},
    {ecRequestOverrun, "Request overrun"},
    {ecStructureTooSmall, "Structure too small"},
    {ecTargetNotFound, "Target not found"},
    {ecTargetSelf, "Target is self"},
    {ecUninitialized, "Telephony not initialised"},
    {ecUserUserInfoTooBig, "User-to-user information too big"},
    {ecReinit, "Telephony reinitialising"},
    {ecAddressBlocked, "Address blocked"},
    {ecBillingRejected, "Billing rejected"},
    {ecInvalFeature, "Invalid feature"},
    {ecNoMultipleInstance, "Multiple instances not allowed"},

    // Telephony component and voice-over-IP
    {ecTapiBusy, "Telephony device busy"},
    {ecTapiNotSet, "Telephony device not set"},
    {ecTapiNoSelect, "No telephony device selected"},
    {ecTapiLoadFail, "Cannot load telephony service"},
    {ecTapiGetAddrFail, "Cannot get telephony address"},
    {ecTapiUnexpected, "Unexpected telephony error"},
    {ecTapiVoiceNotSupported, "Voice not supported by device"},
    {ecTapiWaveFail, "Wave device error"},
    {ecTapiCIDBlocked, "Caller ID blocked"},
    {ecTapiCIDOutOfArea, "Caller ID out of area"},
    {ecTapiWaveFormatError, "Wave format error"},
    {ecTapiWaveReadError, "Wave read error"},
    {ecTapiWaveBadFormat, "Bad wave format"},
    {ecTapiTranslateFail, "Cannot translate address"},
    {ecTapiWaveDeviceInUse, "Wave device in use"},
    {ecTapiWaveFileExists, "Wave file already exists"},
    {ecTapiWaveNoData, "No wave data"},
    {ecVoIPNotSupported, "Voice-over-IP not supported"},
    {ecVoIPCallBusy, "Voice-over-IP call busy"},
    {ecVoIPBadAddress, "Bad voice-over-IP address"},
    {ecVoIPNoAnswer, "Voice-over-IP call not answered"},
    {ecVoIPCancelled, "Voice-over-IP call cancelled"},
    {ecVoIPRejected, "Voice-over-IP call rejected"},
    {ecVoIPFailed, "Voice-over-IP call failed"},
    {ecVoIPTapi3NotInstalled, "Voice-over-IP telephony service not installed"},
    {ecVoIPH323NotFound, "H.323 service not found"},
    {ecVoIPTapi3EventFailure, "Voice-over-IP event failure"},

    // Remote access
    {ecRasLoadFail, "Cannot load remote access library"},

    // Dispatch log entry types (RivuDispatchTypeMessageBase + type)
    {15001, "No event"},
    {15002, "Dispatch"},
    {15003, "Trigger"},
    {15004, "Error"},
    {15005, "Thread"},
    {15006, "TrigAllc"},
    {15007, "TrigDisp"},
    {15008, "TrgHdAlc"},
    {15009, "TrgHdDsp"},
    {15010, "TrDatChg"},
    {15011, "Telnet"},
    {15012, "Fax"},
    {15013, "XModem"},
    {15014, "YModem"},
    {15015, "ZModem"},
    {15016, "Kermit"},
    {15017, "Ascii"},
    {15018, "BPlus"},
    {15019, "Packet"},
    {15020, "User"},
    {15021, "Script"},

    // Dispatch log subtypes (RivuDispatchSubTypeMessageBase + subtype)
    {15100, ""},
    {15101, "ReadCom"},
    {15102, "WriteCom"},
    {15103, "Line status"},
    {15104, "Modem status"},
    {15105, "Avail"},
    {15106, "Timer"},
    {15107, "Data"},
    {15108, "Status"},
    {15109, "Start"},
    {15110, "Exit"},
    {15111, "Sleep"},
    {15112, "Wake"},
    {15113, "Data"},
    {15114, "Timer"},
    {15115, "Status"},
    {15116, "Avail"},
    {15117, "Window"},
    {15118, "Procedure"},
    {15119, "Method"},
    {15352, "Status Queued"},
    {15353, "Data Queued"},
    {15354, "Data Written"},

    // Dispatch log header
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},

    // Modem status tags, bits 0 to 7
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
};

constexpr bool SortedByUniqueMagnitude(std::span<const R> records) {
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (MessageMagnitude(records[i - 1].number) >= MessageMagnitude(records[i].number))
      return false;
  }
  return true;
}

constexpr bool TextsFit(std::span<const R> records) {
  for (const R& r : records) {
    if (r.text.size() > RivuMaxMessageLength) return false;
  }
  return true;
}

// Every lookup is a 16-bit magnitude; a larger number could never be found.
constexpr bool NumbersFit16Bits(std::span<const R> records) {
  for (const R& r : records) {
    if (r.number < -32767 || r.number > 32767) return false;
  }
  return true;
}

static_assert(kRecords[0].number == ecOK);
static_assert(SortedByUniqueMagnitude(kRecords), "the binary search needs sorted magnitudes");
static_assert(TextsFit(kRecords));
static_assert(NumbersFit16Bits(kRecords));

}  // namespace

constinit const std::span<const RivuMessageNumberLookupRecord> RivuMessageNumberLookup{kRecords};

// Exceptions of the serial port component. Inside the component every
// operation returns an integer code; CheckException turns a negative code into
// one of these at the component's public face.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

// Base of every exception here: a message text, returned by what().
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

class ERivuException : public Exception {
 public:
  // Stores the code as given (sign included); the message is the lookup text
  // for the low 16 bits of the code.
  explicit ERivuException(int32_t code);
  // ErrorCode 0.
  explicit ERivuException(std::string message);

  int32_t ErrorCode() const noexcept { return errorCode_; }

  // The message number of a code: its magnitude.
  static int32_t MapCodeToStringID(int32_t code);

 private:
  int32_t errorCode_ = 0;
};

// A class that adds nothing to its base but its name.
#define RIVU_EXCEPTION_CLASS(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  };

// Groups, one per range of codes
RIVU_EXCEPTION_CLASS(EGeneral, ERivuException)
RIVU_EXCEPTION_CLASS(EOpenComm, ERivuException)
RIVU_EXCEPTION_CLASS(ESerialIO, ERivuException)
RIVU_EXCEPTION_CLASS(EModem, ERivuException)
RIVU_EXCEPTION_CLASS(ETrigger, ERivuException)
RIVU_EXCEPTION_CLASS(EPacket, ERivuException)
RIVU_EXCEPTION_CLASS(EProtocol, ERivuException)
RIVU_EXCEPTION_CLASS(EINI, ERivuException)
RIVU_EXCEPTION_CLASS(EFax, ERivuException)
RIVU_EXCEPTION_CLASS(ETapi, ERivuException)
RIVU_EXCEPTION_CLASS(ERas, ERivuException)
RIVU_EXCEPTION_CLASS(EAdTerminal, ERivuException)
RIVU_EXCEPTION_CLASS(EXML, ERivuException)
RIVU_EXCEPTION_CLASS(EStateMachine, ERivuException)

// Leaves, under the group of their code

// Under EGeneral
RIVU_EXCEPTION_CLASS(EBadArgument, EGeneral)
RIVU_EXCEPTION_CLASS(EGotQuitMsg, EGeneral)
RIVU_EXCEPTION_CLASS(EBufferTooBig, EGeneral)
RIVU_EXCEPTION_CLASS(EPortNotAssigned, EGeneral)
RIVU_EXCEPTION_CLASS(EInternal, EGeneral)
RIVU_EXCEPTION_CLASS(EModemNotAssigned, EGeneral)
RIVU_EXCEPTION_CLASS(EPhonebookNotAssigned, EGeneral)
RIVU_EXCEPTION_CLASS(ECannotUseWithWinSock, EGeneral)

// Under EOpenComm
RIVU_EXCEPTION_CLASS(EBadId, EOpenComm)
RIVU_EXCEPTION_CLASS(EBaudRate, EOpenComm)
RIVU_EXCEPTION_CLASS(EByteSize, EOpenComm)
RIVU_EXCEPTION_CLASS(EDefault, EOpenComm)
RIVU_EXCEPTION_CLASS(EHardware, EOpenComm)
RIVU_EXCEPTION_CLASS(EMemory, EOpenComm)
RIVU_EXCEPTION_CLASS(ECommNotOpen, EOpenComm)
RIVU_EXCEPTION_CLASS(EAlreadyOpen, EOpenComm)
RIVU_EXCEPTION_CLASS(ENoHandles, EOpenComm)
RIVU_EXCEPTION_CLASS(ENoTimers, EOpenComm)
RIVU_EXCEPTION_CLASS(ENoPortSelected, EOpenComm)
RIVU_EXCEPTION_CLASS(ENotOpenedByTapi, EOpenComm)

// Under ESerialIO
RIVU_EXCEPTION_CLASS(ENullApi, ESerialIO)
RIVU_EXCEPTION_CLASS(ERegisterHandlerFailed, ESerialIO)
RIVU_EXCEPTION_CLASS(EPutBlockFail, ESerialIO)
RIVU_EXCEPTION_CLASS(EGetBlockFail, ESerialIO)
RIVU_EXCEPTION_CLASS(EOutputBufferTooSmall, ESerialIO)
RIVU_EXCEPTION_CLASS(EBufferIsEmpty, ESerialIO)
RIVU_EXCEPTION_CLASS(ETracingNotEnabled, ESerialIO)
RIVU_EXCEPTION_CLASS(ELoggingNotEnabled, ESerialIO)
RIVU_EXCEPTION_CLASS(EBaseAddressNotSet, ESerialIO)

// Under EModem
RIVU_EXCEPTION_CLASS(EModemNotStarted, EModem)
RIVU_EXCEPTION_CLASS(EModemBusy, EModem)
RIVU_EXCEPTION_CLASS(EModemNotDialing, EModem)
RIVU_EXCEPTION_CLASS(ENotDialing, EModem)
RIVU_EXCEPTION_CLASS(EAlreadyDialing, EModem)
RIVU_EXCEPTION_CLASS(EModemNotResponding, EModem)
RIVU_EXCEPTION_CLASS(EModemRejectedCommand, EModem)
RIVU_EXCEPTION_CLASS(EModemStatusMismatch, EModem)
// no code maps to these
RIVU_EXCEPTION_CLASS(EDeviceNotSelected, EModem)
RIVU_EXCEPTION_CLASS(EModemDetectedBusy, EModem)
RIVU_EXCEPTION_CLASS(ENoDialtone, EModem)
RIVU_EXCEPTION_CLASS(ENoCarrier, EModem)
RIVU_EXCEPTION_CLASS(ENoAnswer, EModem)

// Under ETrigger
RIVU_EXCEPTION_CLASS(ENoMoreTriggers, ETrigger)
RIVU_EXCEPTION_CLASS(ETriggerTooLong, ETrigger)
RIVU_EXCEPTION_CLASS(EBadTriggerHandle, ETrigger)

// Under EPacket (no code maps to these)
RIVU_EXCEPTION_CLASS(EInvalidProperty, EPacket)
RIVU_EXCEPTION_CLASS(EStringSizeError, EPacket)

// Under EProtocol (its codes raise EProtocol itself)
RIVU_EXCEPTION_CLASS(ETimeout, EProtocol)
RIVU_EXCEPTION_CLASS(ETooManyErrors, EProtocol)
RIVU_EXCEPTION_CLASS(ESequenceError, EProtocol)

// Under EINI (three of its codes raise EInternal)
RIVU_EXCEPTION_CLASS(EKeyTooLong, EINI)
RIVU_EXCEPTION_CLASS(EDataTooLarge, EINI)
RIVU_EXCEPTION_CLASS(EIniWrite, EINI)
RIVU_EXCEPTION_CLASS(EIniRead, EINI)
RIVU_EXCEPTION_CLASS(ERecordExists, EINI)
RIVU_EXCEPTION_CLASS(ERecordNotFound, EINI)
RIVU_EXCEPTION_CLASS(EDatabaseFull, EINI)
RIVU_EXCEPTION_CLASS(EDatabaseEmpty, EINI)
RIVU_EXCEPTION_CLASS(EBadFieldList, EINI)
RIVU_EXCEPTION_CLASS(EBadFieldForIndex, EINI)

// Under EFax
RIVU_EXCEPTION_CLASS(EFaxBadFormat, EFax)
RIVU_EXCEPTION_CLASS(EBadGraphicsFormat, EFax)
RIVU_EXCEPTION_CLASS(EConvertAbort, EFax)
RIVU_EXCEPTION_CLASS(EUnpackAbort, EFax)
RIVU_EXCEPTION_CLASS(ECantMakeBitmap, EFax)
RIVU_EXCEPTION_CLASS(EInvalidPageNumber, EFax)
RIVU_EXCEPTION_CLASS(EFaxBadMachine, EFax)
RIVU_EXCEPTION_CLASS(EFaxBadModemResult, EFax)
RIVU_EXCEPTION_CLASS(EFaxTrainError, EFax)
RIVU_EXCEPTION_CLASS(EFaxInitError, EFax)
RIVU_EXCEPTION_CLASS(EFaxBusy, EFax)
RIVU_EXCEPTION_CLASS(EFaxVoiceCall, EFax)
RIVU_EXCEPTION_CLASS(EFaxDataCall, EFax)
RIVU_EXCEPTION_CLASS(EFaxNoDialTone, EFax)
RIVU_EXCEPTION_CLASS(EFaxNoCarrier, EFax)
RIVU_EXCEPTION_CLASS(EFaxSessionError, EFax)
RIVU_EXCEPTION_CLASS(EFaxPageError, EFax)
// no code maps to these
RIVU_EXCEPTION_CLASS(ENoImageLoaded, EFax)
RIVU_EXCEPTION_CLASS(ENoImageBlockMarked, EFax)
RIVU_EXCEPTION_CLASS(EAlreadyMonitored, EFax)

// Under ETapi
RIVU_EXCEPTION_CLASS(ETapiAllocated, ETapi)
RIVU_EXCEPTION_CLASS(ETapiBadDeviceID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiBearerModeUnavail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiCallUnavail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiCompletionOverrun, ETapi)
RIVU_EXCEPTION_CLASS(ETapiConferenceFull, ETapi)
RIVU_EXCEPTION_CLASS(ETapiDialBilling, ETapi)
RIVU_EXCEPTION_CLASS(ETapiDialDialtone, ETapi)
RIVU_EXCEPTION_CLASS(ETapiDialPrompt, ETapi)
RIVU_EXCEPTION_CLASS(ETapiDialQuiet, ETapi)
RIVU_EXCEPTION_CLASS(ETapiIncompatibleApiVersion, ETapi)
RIVU_EXCEPTION_CLASS(ETapiIncompatibleExtVersion, ETapi)
RIVU_EXCEPTION_CLASS(ETapiIniFileCorrupt, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInUse, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAddress, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAddressID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAddressMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAddressState, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAppHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalAppName, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalBearerMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallComplMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallParams, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallPrivilege, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallSelect, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallState, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCallStatelist, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCard, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCompletionID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalConfCallHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalConsultCallHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalCountryCode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDeviceClass, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDeviceHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDialParams, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDigitList, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDigitMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalDigits, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalExtVersion, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalGroupID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalLineHandle, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalLineState, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalLocation, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalMediaList, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalMediaMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalMessageID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalParam, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalParkID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalParkMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalPointer, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalPrivSelect, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalRate, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalRequestMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalTerminalID, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalTerminalMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalTimeout, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalTone, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalToneList, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalToneMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalTransferMode, ETapi)
RIVU_EXCEPTION_CLASS(ETapiLineMapperFailed, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoConference, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoDevice, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoDriver, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoMem, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoRequest, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNotOwner, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNotRegistered, ETapi)
RIVU_EXCEPTION_CLASS(ETapiOperationFailed, ETapi)
RIVU_EXCEPTION_CLASS(ETapiOperationUnavail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiRateUnavail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiResourceUnavail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiRequestOverrun, ETapi)
RIVU_EXCEPTION_CLASS(ETapiStructureTooSmall, ETapi)
RIVU_EXCEPTION_CLASS(ETapiTargetNotFound, ETapi)
RIVU_EXCEPTION_CLASS(ETapiTargetSelf, ETapi)
RIVU_EXCEPTION_CLASS(ETapiUninitialized, ETapi)
RIVU_EXCEPTION_CLASS(ETapiUserUserInfoTooBig, ETapi)
RIVU_EXCEPTION_CLASS(ETapiReinit, ETapi)
RIVU_EXCEPTION_CLASS(ETapiAddressBlocked, ETapi)
RIVU_EXCEPTION_CLASS(ETapiBillingRejected, ETapi)
RIVU_EXCEPTION_CLASS(ETapiInvalFeature, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoMultipleInstance, ETapi)
RIVU_EXCEPTION_CLASS(ETapiBusy, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNotSet, ETapi)
RIVU_EXCEPTION_CLASS(ETapiNoSelect, ETapi)
RIVU_EXCEPTION_CLASS(ETapiLoadFail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiGetAddrFail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiVoiceNotSupported, ETapi)
RIVU_EXCEPTION_CLASS(ETapiWaveFail, ETapi)
RIVU_EXCEPTION_CLASS(ETapiTranslateFail, ETapi)
// no code maps to these
RIVU_EXCEPTION_CLASS(ETapiUnexpected, ETapi)
RIVU_EXCEPTION_CLASS(EVoIPNotSupported, ETapi)

// Under ERas
RIVU_EXCEPTION_CLASS(ERasLoadFail, ERas)

// Under EAdTerminal (no code maps to these)
RIVU_EXCEPTION_CLASS(EAdTermRangeError, EAdTerminal)
RIVU_EXCEPTION_CLASS(EAdTermInvalidParameter, EAdTerminal)
RIVU_EXCEPTION_CLASS(EAdTermTooLarge, EAdTerminal)

#undef RIVU_EXCEPTION_CLASS

// Markup stream errors: where in the stream, and for filter and parser errors
// the line, the position in it and the reason.
class EAdStreamError : public EXML {
 public:
  EAdStreamError(int32_t code, int64_t streamPos) : EXML(code), streamPos_(streamPos) {}
  EAdStreamError(std::string message, int64_t streamPos)
      : EXML(std::move(message)), streamPos_(streamPos) {}

  int64_t StreamPos() const noexcept { return streamPos_; }

 private:
  int64_t streamPos_;
};

class EAdFilterError : public EAdStreamError {
 public:
  EAdFilterError(int32_t code, int64_t streamPos, int32_t line, int32_t linePos, std::string reason)
      : EAdStreamError(code, streamPos),
        line_(line),
        linePos_(linePos),
        reason_(std::move(reason)) {}
  EAdFilterError(std::string message, int64_t streamPos, int32_t line, int32_t linePos,
                 std::string reason)
      : EAdStreamError(std::move(message), streamPos),
        line_(line),
        linePos_(linePos),
        reason_(std::move(reason)) {}

  int32_t Line() const noexcept { return line_; }
  int32_t LinePos() const noexcept { return linePos_; }
  const std::string& Reason() const noexcept { return reason_; }

 private:
  int32_t line_;
  int32_t linePos_;
  std::string reason_;
};

class EAdParserError : public EAdFilterError {
 public:
  using EAdFilterError::EAdFilterError;
};

// Beside the hierarchy: a code and a text given by the raiser.
class ERivuPagerException : public Exception {
 public:
  ERivuPagerException(int32_t code, std::string message)
      : Exception(std::move(message)), errorCode_(code) {}
  int32_t ErrorCode() const noexcept { return errorCode_; }

 private:
  int32_t errorCode_;
};

class ERivuGSMPhoneException : public Exception {
 public:
  ERivuGSMPhoneException(int32_t code, std::string message)
      : Exception(std::move(message)), errorCode_(code) {}
  int32_t ErrorCode() const noexcept { return errorCode_; }

 private:
  int32_t errorCode_;
};

// File and device input/output failure; ErrorCode is the positive error number.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int32_t errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  int32_t ErrorCode() const noexcept { return errorCode_; }

 private:
  int32_t errorCode_;
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
};

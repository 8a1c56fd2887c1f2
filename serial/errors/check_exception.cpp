#include "serial/errors/check_exception.h"

#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/errors/message_lookup.h"

namespace {

// Raises the class a mapped code stands for; returns for any other code.
void RaiseMapped(int32_t code) {
#define RAISE(ec, Class) \
  case ec:               \
    throw Class(code);
  switch (code) {
    RAISE(ecBadArgument, EBadArgument)
    RAISE(ecGotQuitMsg, EGotQuitMsg)
    RAISE(ecBufferTooBig, EBufferTooBig)
    RAISE(ecPortNotAssigned, EPortNotAssigned)
    RAISE(ecInternal, EInternal)
    RAISE(ecModemNotAssigned, EModemNotAssigned)
    RAISE(ecPhonebookNotAssigned, EPhonebookNotAssigned)
    RAISE(ecCannotUseWithWinSock, ECannotUseWithWinSock)
    RAISE(ecBadId, EBadId)
    RAISE(ecBaudRate, EBaudRate)
    RAISE(ecByteSize, EByteSize)
    RAISE(ecDefault, EDefault)
    RAISE(ecHardware, EHardware)
    RAISE(ecMemory, EMemory)
    RAISE(ecCommNotOpen, ECommNotOpen)
    RAISE(ecAlreadyOpen, EAlreadyOpen)
    RAISE(ecNoHandles, ENoHandles)
    RAISE(ecNoTimers, ENoTimers)
    RAISE(ecNoPortSelected, ENoPortSelected)
    RAISE(ecNotOpenedByTapi, ENotOpenedByTapi)
    RAISE(ecNullApi, ENullApi)
    RAISE(ecRegisterHandlerFailed, ERegisterHandlerFailed)
    RAISE(ecPutBlockFail, EPutBlockFail)
    RAISE(ecGetBlockFail, EGetBlockFail)
    RAISE(ecOutputBufferTooSmall, EOutputBufferTooSmall)
    RAISE(ecBufferIsEmpty, EBufferIsEmpty)
    RAISE(ecTracingNotEnabled, ETracingNotEnabled)
    RAISE(ecLoggingNotEnabled, ELoggingNotEnabled)
    RAISE(ecBaseAddressNotSet, EBaseAddressNotSet)
    RAISE(ecModemNotStarted, EModemNotStarted)
    RAISE(ecModemBusy, EModemBusy)
    RAISE(ecModemNotDialing, EModemNotDialing)
    RAISE(ecNotDialing, ENotDialing)
    RAISE(ecAlreadyDialing, EAlreadyDialing)
    RAISE(ecModemNotResponding, EModemNotResponding)
    RAISE(ecModemRejectedCommand, EModemRejectedCommand)
    RAISE(ecModemStatusMismatch, EModemStatusMismatch)
    RAISE(ecNoMoreTriggers, ENoMoreTriggers)
    RAISE(ecTriggerTooLong, ETriggerTooLong)
    RAISE(ecBadTriggerHandle, EBadTriggerHandle)
    RAISE(ecTimeout, EProtocol)
    RAISE(ecTooManyErrors, EProtocol)
    RAISE(ecSequenceError, EProtocol)
    RAISE(ecKeyTooLong, EKeyTooLong)
    RAISE(ecDataTooLarge, EDataTooLarge)
    RAISE(ecNoFieldsDefined, EInternal)
    RAISE(ecIniWrite, EIniWrite)
    RAISE(ecIniRead, EIniRead)
    RAISE(ecNoIndexKey, EInternal)
    RAISE(ecRecordExists, ERecordExists)
    RAISE(ecRecordNotFound, ERecordNotFound)
    RAISE(ecDatabaseFull, EDatabaseFull)
    RAISE(ecDatabaseEmpty, EDatabaseEmpty)
    RAISE(ecDatabaseNotPrepared, EInternal)
    RAISE(ecBadFieldList, EBadFieldList)
    RAISE(ecBadFieldForIndex, EBadFieldForIndex)
    RAISE(ecFaxBadFormat, EFaxBadFormat)
    RAISE(ecBadGraphicsFormat, EBadGraphicsFormat)
    RAISE(ecConvertAbort, EConvertAbort)
    RAISE(ecUnpackAbort, EUnpackAbort)
    RAISE(ecCantMakeBitmap, ECantMakeBitmap)
    RAISE(ecInvalidPageNumber, EInvalidPageNumber)
    RAISE(ecFaxBadMachine, EFaxBadMachine)
    RAISE(ecFaxBadModemResult, EFaxBadModemResult)
    RAISE(ecFaxTrainError, EFaxTrainError)
    RAISE(ecFaxInitError, EFaxInitError)
    RAISE(ecFaxBusy, EFaxBusy)
    RAISE(ecFaxVoiceCall, EFaxVoiceCall)
    RAISE(ecFaxDataCall, EFaxDataCall)
    RAISE(ecFaxNoDialTone, EFaxNoDialTone)
    RAISE(ecFaxNoCarrier, EFaxNoCarrier)
    RAISE(ecFaxSessionError, EFaxSessionError)
    RAISE(ecFaxPageError, EFaxPageError)
    RAISE(ecAllocated, ETapiAllocated)
    RAISE(ecBadDeviceID, ETapiBadDeviceID)
    RAISE(ecBearerModeUnavail, ETapiBearerModeUnavail)
    RAISE(ecCallUnavail, ETapiCallUnavail)
    RAISE(ecCompletionOverrun, ETapiCompletionOverrun)
    RAISE(ecConferenceFull, ETapiConferenceFull)
    RAISE(ecDialBilling, ETapiDialBilling)
    RAISE(ecDialDialtone, ETapiDialDialtone)
    RAISE(ecDialPrompt, ETapiDialPrompt)
    RAISE(ecDialQuiet, ETapiDialQuiet)
    RAISE(ecIncompatibleApiVersion, ETapiIncompatibleApiVersion)
    RAISE(ecIncompatibleExtVersion, ETapiIncompatibleExtVersion)
    RAISE(ecIniFileCorrupt, ETapiIniFileCorrupt)
    RAISE(ecInUse, ETapiInUse)
    RAISE(ecInvalAddress, ETapiInvalAddress)
    RAISE(ecInvalAddressID, ETapiInvalAddressID)
    RAISE(ecInvalAddressMode, ETapiInvalAddressMode)
    RAISE(ecInvalAddressState, ETapiInvalAddressState)
    RAISE(ecInvalAppHandle, ETapiInvalAppHandle)
    RAISE(ecInvalAppName, ETapiInvalAppName)
    RAISE(ecInvalBearerMode, ETapiInvalBearerMode)
    RAISE(ecInvalCallComplMode, ETapiInvalCallComplMode)
    RAISE(ecInvalCallHandle, ETapiInvalCallHandle)
    RAISE(ecInvalCallParams, ETapiInvalCallParams)
    RAISE(ecInvalCallPrivilege, ETapiInvalCallPrivilege)
    RAISE(ecInvalCallSelect, ETapiInvalCallSelect)
    RAISE(ecInvalCallState, ETapiInvalCallState)
    RAISE(ecInvalCallStatelist, ETapiInvalCallStatelist)
    RAISE(ecInvalCard, ETapiInvalCard)
    RAISE(ecInvalCompletionID, ETapiInvalCompletionID)
    RAISE(ecInvalConfCallHandle, ETapiInvalConfCallHandle)
    RAISE(ecInvalConsultCallHandle, ETapiInvalConsultCallHandle)
    RAISE(ecInvalCountryCode, ETapiInvalCountryCode)
    RAISE(ecInvalDeviceClass, ETapiInvalDeviceClass)
    RAISE(ecInvalDeviceHandle, ETapiInvalDeviceHandle)
    RAISE(ecInvalDialParams, ETapiInvalDialParams)
    RAISE(ecInvalDigitList, ETapiInvalDigitList)
    RAISE(ecInvalDigitMode, ETapiInvalDigitMode)
    RAISE(ecInvalDigits, ETapiInvalDigits)
    RAISE(ecInvalExtVersion, ETapiInvalExtVersion)
    RAISE(ecInvalGroupID, ETapiInvalGroupID)
    RAISE(ecInvalLineHandle, ETapiInvalLineHandle)
    RAISE(ecInvalLineState, ETapiInvalLineState)
    RAISE(ecInvalLocation, ETapiInvalLocation)
    RAISE(ecInvalMediaList, ETapiInvalMediaList)
    RAISE(ecInvalMediaMode, ETapiInvalMediaMode)
    RAISE(ecInvalMessageID, ETapiInvalMessageID)
    RAISE(ecInvalParam, ETapiInvalParam)
    RAISE(ecInvalParkID, ETapiInvalParkID)
    RAISE(ecInvalParkMode, ETapiInvalParkMode)
    RAISE(ecInvalPointer, ETapiInvalPointer)
    RAISE(ecInvalPrivSelect, ETapiInvalPrivSelect)
    RAISE(ecInvalRate, ETapiInvalRate)
    RAISE(ecInvalRequestMode, ETapiInvalRequestMode)
    RAISE(ecInvalTerminalID, ETapiInvalTerminalID)
    RAISE(ecInvalTerminalMode, ETapiInvalTerminalMode)
    RAISE(ecInvalTimeout, ETapiInvalTimeout)
    RAISE(ecInvalTone, ETapiInvalTone)
    RAISE(ecInvalToneList, ETapiInvalToneList)
    RAISE(ecInvalToneMode, ETapiInvalToneMode)
    RAISE(ecInvalTransferMode, ETapiInvalTransferMode)
    RAISE(ecLineMapperFailed, ETapiLineMapperFailed)
    RAISE(ecNoConference, ETapiNoConference)
    RAISE(ecNoDevice, ETapiNoDevice)
    RAISE(ecNoDriver, ETapiNoDriver)
    RAISE(ecNoMem, ETapiNoMem)
    RAISE(ecNoRequest, ETapiNoRequest)
    RAISE(ecNotOwner, ETapiNotOwner)
    RAISE(ecNotRegistered, ETapiNotRegistered)
    RAISE(ecOperationFailed, ETapiOperationFailed)
    RAISE(ecOperationUnavail, ETapiOperationUnavail)
    RAISE(ecRateUnavail, ETapiRateUnavail)
    RAISE(ecResourceUnavail, ETapiResourceUnavail)
    RAISE(ecRequestOverrun, ETapiRequestOverrun)
    RAISE(ecStructureTooSmall, ETapiStructureTooSmall)
    RAISE(ecTargetNotFound, ETapiTargetNotFound)
    RAISE(ecTargetSelf, ETapiTargetSelf)
    RAISE(ecUninitialized, ETapiUninitialized)
    RAISE(ecUserUserInfoTooBig, ETapiUserUserInfoTooBig)
    RAISE(ecReinit, ETapiReinit)
    RAISE(ecAddressBlocked, ETapiAddressBlocked)
    RAISE(ecBillingRejected, ETapiBillingRejected)
    RAISE(ecInvalFeature, ETapiInvalFeature)
    RAISE(ecNoMultipleInstance, ETapiNoMultipleInstance)
    RAISE(ecTapiBusy, ETapiBusy)
    RAISE(ecTapiNotSet, ETapiNotSet)
    RAISE(ecTapiNoSelect, ETapiNoSelect)
    RAISE(ecTapiLoadFail, ETapiLoadFail)
    RAISE(ecTapiGetAddrFail, ETapiGetAddrFail)
    RAISE(ecTapiVoiceNotSupported, ETapiVoiceNotSupported)
    RAISE(ecTapiWaveFail, ETapiWaveFail)
    RAISE(ecTapiTranslateFail, ETapiTranslateFail)
    RAISE(ecRasLoadFail, ERasLoadFail)
    default:
      return;
  }
#undef RAISE
}

}  // namespace

int32_t CheckException(const TRivuLoadState* component, int32_t code) {
  if (code >= 0) return code;
  // A component restored from its stored description must not fail half-way.
  if (component != nullptr && component->Loading()) return code;

  // File and device errors, including platform error numbers with no entry.
  if (code >= ecHardwareFailure && code <= ecFileNotFound) {
    if (code == ecOutOfMemory) throw EOutOfMemory();
    throw EInOutError(RivuLoadStr(static_cast<int16_t>(code)), -code);
  }

  RaiseMapped(code);
  throw ERivuException("Rivu exception");
}

int32_t XlatException(const std::exception& e) {
  if (const auto* rivu = dynamic_cast<const ERivuException*>(&e)) return rivu->ErrorCode();
  if (const auto* io = dynamic_cast<const EInOutError*>(&e)) return -io->ErrorCode();
  if (dynamic_cast<const EOutOfMemory*>(&e) != nullptr) return ecOutOfMemory;
  return -9999;
}

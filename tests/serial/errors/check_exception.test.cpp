#include "serial/errors/check_exception.h"

#include <cxxabi.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeindex>
#include <vector>

#include "serial/component/base_component.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/errors/message_lookup.h"
#include "serial/errors/platform_error_text.h"

namespace {

std::string Demangle(const std::type_index& t) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(t.name(), nullptr, nullptr, &status), &std::free);
  return status == 0 ? std::string(name.get()) : std::string(t.name());
}

// Runs CheckException and hands back what it raised (null when it returned).
std::exception_ptr Raised(int32_t code, const TRivuBaseComponent* component = nullptr) {
  try {
    CheckException(component, code);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

struct MappedRow {
  int32_t code;
  std::type_index type;
};

// Every mapped code with the exact class it must raise.
const MappedRow kMapped[] = {
    {ecBadArgument, typeid(EBadArgument)},
    {ecGotQuitMsg, typeid(EGotQuitMsg)},
    {ecBufferTooBig, typeid(EBufferTooBig)},
    {ecPortNotAssigned, typeid(EPortNotAssigned)},
    {ecInternal, typeid(EInternal)},
    {ecModemNotAssigned, typeid(EModemNotAssigned)},
    {ecPhonebookNotAssigned, typeid(EPhonebookNotAssigned)},
    {ecCannotUseWithWinSock, typeid(ECannotUseWithWinSock)},
    {ecBadId, typeid(EBadId)},
    {ecBaudRate, typeid(EBaudRate)},
    {ecByteSize, typeid(EByteSize)},
    {ecDefault, typeid(EDefault)},
    {ecHardware, typeid(EHardware)},
    {ecMemory, typeid(EMemory)},
    {ecCommNotOpen, typeid(ECommNotOpen)},
    {ecAlreadyOpen, typeid(EAlreadyOpen)},
    {ecNoHandles, typeid(ENoHandles)},
    {ecNoTimers, typeid(ENoTimers)},
    {ecNoPortSelected, typeid(ENoPortSelected)},
    {ecNotOpenedByTapi, typeid(ENotOpenedByTapi)},
    {ecNullApi, typeid(ENullApi)},
    {ecRegisterHandlerFailed, typeid(ERegisterHandlerFailed)},
    {ecPutBlockFail, typeid(EPutBlockFail)},
    {ecGetBlockFail, typeid(EGetBlockFail)},
    {ecOutputBufferTooSmall, typeid(EOutputBufferTooSmall)},
    {ecBufferIsEmpty, typeid(EBufferIsEmpty)},
    {ecTracingNotEnabled, typeid(ETracingNotEnabled)},
    {ecLoggingNotEnabled, typeid(ELoggingNotEnabled)},
    {ecBaseAddressNotSet, typeid(EBaseAddressNotSet)},
    {ecModemNotStarted, typeid(EModemNotStarted)},
    {ecModemBusy, typeid(EModemBusy)},
    {ecModemNotDialing, typeid(EModemNotDialing)},
    {ecNotDialing, typeid(ENotDialing)},
    {ecAlreadyDialing, typeid(EAlreadyDialing)},
    {ecModemNotResponding, typeid(EModemNotResponding)},
    {ecModemRejectedCommand, typeid(EModemRejectedCommand)},
    {ecModemStatusMismatch, typeid(EModemStatusMismatch)},
    {ecNoMoreTriggers, typeid(ENoMoreTriggers)},
    {ecTriggerTooLong, typeid(ETriggerTooLong)},
    {ecBadTriggerHandle, typeid(EBadTriggerHandle)},
    {ecTimeout, typeid(EProtocol)},
    {ecTooManyErrors, typeid(EProtocol)},
    {ecSequenceError, typeid(EProtocol)},
    {ecKeyTooLong, typeid(EKeyTooLong)},
    {ecDataTooLarge, typeid(EDataTooLarge)},
    {ecNoFieldsDefined, typeid(EInternal)},
    {ecIniWrite, typeid(EIniWrite)},
    {ecIniRead, typeid(EIniRead)},
    {ecNoIndexKey, typeid(EInternal)},
    {ecRecordExists, typeid(ERecordExists)},
    {ecRecordNotFound, typeid(ERecordNotFound)},
    {ecDatabaseFull, typeid(EDatabaseFull)},
    {ecDatabaseEmpty, typeid(EDatabaseEmpty)},
    {ecDatabaseNotPrepared, typeid(EInternal)},
    {ecBadFieldList, typeid(EBadFieldList)},
    {ecBadFieldForIndex, typeid(EBadFieldForIndex)},
    {ecFaxBadFormat, typeid(EFaxBadFormat)},
    {ecBadGraphicsFormat, typeid(EBadGraphicsFormat)},
    {ecConvertAbort, typeid(EConvertAbort)},
    {ecUnpackAbort, typeid(EUnpackAbort)},
    {ecCantMakeBitmap, typeid(ECantMakeBitmap)},
    {ecInvalidPageNumber, typeid(EInvalidPageNumber)},
    {ecFaxBadMachine, typeid(EFaxBadMachine)},
    {ecFaxBadModemResult, typeid(EFaxBadModemResult)},
    {ecFaxTrainError, typeid(EFaxTrainError)},
    {ecFaxInitError, typeid(EFaxInitError)},
    {ecFaxBusy, typeid(EFaxBusy)},
    {ecFaxVoiceCall, typeid(EFaxVoiceCall)},
    {ecFaxDataCall, typeid(EFaxDataCall)},
    {ecFaxNoDialTone, typeid(EFaxNoDialTone)},
    {ecFaxNoCarrier, typeid(EFaxNoCarrier)},
    {ecFaxSessionError, typeid(EFaxSessionError)},
    {ecFaxPageError, typeid(EFaxPageError)},
    {ecAllocated, typeid(ETapiAllocated)},
    {ecBadDeviceID, typeid(ETapiBadDeviceID)},
    {ecBearerModeUnavail, typeid(ETapiBearerModeUnavail)},
    {ecCallUnavail, typeid(ETapiCallUnavail)},
    {ecCompletionOverrun, typeid(ETapiCompletionOverrun)},
    {ecConferenceFull, typeid(ETapiConferenceFull)},
    {ecDialBilling, typeid(ETapiDialBilling)},
    {ecDialDialtone, typeid(ETapiDialDialtone)},
    {ecDialPrompt, typeid(ETapiDialPrompt)},
    {ecDialQuiet, typeid(ETapiDialQuiet)},
    {ecIncompatibleApiVersion, typeid(ETapiIncompatibleApiVersion)},
    {ecIncompatibleExtVersion, typeid(ETapiIncompatibleExtVersion)},
    {ecIniFileCorrupt, typeid(ETapiIniFileCorrupt)},
    {ecInUse, typeid(ETapiInUse)},
    {ecInvalAddress, typeid(ETapiInvalAddress)},
    {ecInvalAddressID, typeid(ETapiInvalAddressID)},
    {ecInvalAddressMode, typeid(ETapiInvalAddressMode)},
    {ecInvalAddressState, typeid(ETapiInvalAddressState)},
    {ecInvalAppHandle, typeid(ETapiInvalAppHandle)},
    {ecInvalAppName, typeid(ETapiInvalAppName)},
    {ecInvalBearerMode, typeid(ETapiInvalBearerMode)},
    {ecInvalCallComplMode, typeid(ETapiInvalCallComplMode)},
    {ecInvalCallHandle, typeid(ETapiInvalCallHandle)},
    {ecInvalCallParams, typeid(ETapiInvalCallParams)},
    {ecInvalCallPrivilege, typeid(ETapiInvalCallPrivilege)},
    {ecInvalCallSelect, typeid(ETapiInvalCallSelect)},
    {ecInvalCallState, typeid(ETapiInvalCallState)},
    {ecInvalCallStatelist, typeid(ETapiInvalCallStatelist)},
    {ecInvalCard, typeid(ETapiInvalCard)},
    {ecInvalCompletionID, typeid(ETapiInvalCompletionID)},
    {ecInvalConfCallHandle, typeid(ETapiInvalConfCallHandle)},
    {ecInvalConsultCallHandle, typeid(ETapiInvalConsultCallHandle)},
    {ecInvalCountryCode, typeid(ETapiInvalCountryCode)},
    {ecInvalDeviceClass, typeid(ETapiInvalDeviceClass)},
    {ecInvalDeviceHandle, typeid(ETapiInvalDeviceHandle)},
    {ecInvalDialParams, typeid(ETapiInvalDialParams)},
    {ecInvalDigitList, typeid(ETapiInvalDigitList)},
    {ecInvalDigitMode, typeid(ETapiInvalDigitMode)},
    {ecInvalDigits, typeid(ETapiInvalDigits)},
    {ecInvalExtVersion, typeid(ETapiInvalExtVersion)},
    {ecInvalGroupID, typeid(ETapiInvalGroupID)},
    {ecInvalLineHandle, typeid(ETapiInvalLineHandle)},
    {ecInvalLineState, typeid(ETapiInvalLineState)},
    {ecInvalLocation, typeid(ETapiInvalLocation)},
    {ecInvalMediaList, typeid(ETapiInvalMediaList)},
    {ecInvalMediaMode, typeid(ETapiInvalMediaMode)},
    {ecInvalMessageID, typeid(ETapiInvalMessageID)},
    {ecInvalParam, typeid(ETapiInvalParam)},
    {ecInvalParkID, typeid(ETapiInvalParkID)},
    {ecInvalParkMode, typeid(ETapiInvalParkMode)},
    {ecInvalPointer, typeid(ETapiInvalPointer)},
    {ecInvalPrivSelect, typeid(ETapiInvalPrivSelect)},
    {ecInvalRate, typeid(ETapiInvalRate)},
    {ecInvalRequestMode, typeid(ETapiInvalRequestMode)},
    {ecInvalTerminalID, typeid(ETapiInvalTerminalID)},
    {ecInvalTerminalMode, typeid(ETapiInvalTerminalMode)},
    {ecInvalTimeout, typeid(ETapiInvalTimeout)},
    {ecInvalTone, typeid(ETapiInvalTone)},
    {ecInvalToneList, typeid(ETapiInvalToneList)},
    {ecInvalToneMode, typeid(ETapiInvalToneMode)},
    {ecInvalTransferMode, typeid(ETapiInvalTransferMode)},
    {ecLineMapperFailed, typeid(ETapiLineMapperFailed)},
    {ecNoConference, typeid(ETapiNoConference)},
    {ecNoDevice, typeid(ETapiNoDevice)},
    {ecNoDriver, typeid(ETapiNoDriver)},
    {ecNoMem, typeid(ETapiNoMem)},
    {ecNoRequest, typeid(ETapiNoRequest)},
    {ecNotOwner, typeid(ETapiNotOwner)},
    {ecNotRegistered, typeid(ETapiNotRegistered)},
    {ecOperationFailed, typeid(ETapiOperationFailed)},
    {ecOperationUnavail, typeid(ETapiOperationUnavail)},
    {ecRateUnavail, typeid(ETapiRateUnavail)},
    {ecResourceUnavail, typeid(ETapiResourceUnavail)},
    {ecRequestOverrun, typeid(ETapiRequestOverrun)},
    {ecStructureTooSmall, typeid(ETapiStructureTooSmall)},
    {ecTargetNotFound, typeid(ETapiTargetNotFound)},
    {ecTargetSelf, typeid(ETapiTargetSelf)},
    {ecUninitialized, typeid(ETapiUninitialized)},
    {ecUserUserInfoTooBig, typeid(ETapiUserUserInfoTooBig)},
    {ecReinit, typeid(ETapiReinit)},
    {ecAddressBlocked, typeid(ETapiAddressBlocked)},
    {ecBillingRejected, typeid(ETapiBillingRejected)},
    {ecInvalFeature, typeid(ETapiInvalFeature)},
    {ecNoMultipleInstance, typeid(ETapiNoMultipleInstance)},
    {ecTapiBusy, typeid(ETapiBusy)},
    {ecTapiNotSet, typeid(ETapiNotSet)},
    {ecTapiNoSelect, typeid(ETapiNoSelect)},
    {ecTapiLoadFail, typeid(ETapiLoadFail)},
    {ecTapiGetAddrFail, typeid(ETapiGetAddrFail)},
    {ecTapiVoiceNotSupported, typeid(ETapiVoiceNotSupported)},
    {ecTapiWaveFail, typeid(ETapiWaveFail)},
    {ecTapiTranslateFail, typeid(ETapiTranslateFail)},
    {ecRasLoadFail, typeid(ERasLoadFail)},
};

// The group a mapped code's class must descend from, by the code's range.
bool InExpectedGroup(const ERivuException& e, int32_t code) {
  if (code <= -1001 && code >= -1009) return dynamic_cast<const EGeneral*>(&e);
  if (code <= -2001 && code >= -2012) return dynamic_cast<const EOpenComm*>(&e);
  if (code <= -3001 && code >= -3010) return dynamic_cast<const ESerialIO*>(&e);
  if (code <= -4001 && code >= -4021) return dynamic_cast<const EModem*>(&e);
  if (code <= -5001 && code >= -5003) return dynamic_cast<const ETrigger*>(&e);
  if (code <= -6001 && code >= -6016) return dynamic_cast<const EProtocol*>(&e);
  // Three database codes raise the general EInternal.
  if (code == -7003 || code == -7006 || code == -7012) return dynamic_cast<const EGeneral*>(&e);
  if (code <= -7001 && code >= -7014) return dynamic_cast<const EINI*>(&e);
  if (code <= -8001 && code >= -8092) return dynamic_cast<const EFax*>(&e);
  if (code <= -13801 && code >= -13959) return dynamic_cast<const ETapi*>(&e);
  if (code == -13980) return dynamic_cast<const ERas*>(&e);
  return false;
}

TEST(CheckException, MappedCodesRaiseTheirLeafWithCodeAndTableText) {
  ASSERT_EQ(std::size(kMapped), 166u);
  for (const MappedRow& row : kMapped) {
    SCOPED_TRACE(row.code);
    std::exception_ptr raised = Raised(row.code);
    ASSERT_TRUE(raised);
    try {
      std::rethrow_exception(raised);
    } catch (const ERivuException& e) {
      EXPECT_EQ(Demangle(typeid(e)), Demangle(row.type));
      EXPECT_TRUE(InExpectedGroup(e, row.code));
      EXPECT_EQ(e.ErrorCode(), row.code);
      EXPECT_FALSE(e.Message().empty());
      EXPECT_EQ(e.Message(), MessageNumberToString(static_cast<int16_t>(row.code)));
      EXPECT_STREQ(e.what(), e.Message().c_str());
      EXPECT_EQ(XlatException(e), row.code);
    }
  }
}

TEST(CheckException, MessagesOfTheCodesThisSystemRaises) {
  const struct {
    int32_t code;
    const char* message;
  } rows[] = {
      {ecBufferIsEmpty, "Buffer is empty"},
      {ecNoPortSelected, "The ComNumber property of the TRivuComPort has not been set"},
      {ecCommNotOpen, "ie_NOpen - device not open"},
      {ecNoMem, "No memory"},
      {ecInternal, "Internal error creating window class"},
      {ecNoFieldsDefined, "No fields defined"},  // EInternal, but its own text
  };
  for (const auto& row : rows) {
    try {
      CheckException(nullptr, row.code);
      ADD_FAILURE() << row.code << " did not raise";
    } catch (const ERivuException& e) {
      EXPECT_EQ(e.Message(), row.message);
    }
  }
}

TEST(CheckException, OnlyTheMappedCodesRaiseLeaves) {
  int leaves = 0;
  for (int32_t code = -1; code >= -20000; --code) {
    std::exception_ptr raised = Raised(code);
    ASSERT_TRUE(raised) << code;
    try {
      std::rethrow_exception(raised);
    } catch (const ERivuException& e) {
      if (typeid(e) != typeid(ERivuException)) ++leaves;
    } catch (const EInOutError&) {
    } catch (const EOutOfMemory&) {
    }
  }
  EXPECT_EQ(leaves, 166);
}

TEST(CheckException, InputOutputRangeRaisesInOutErrorWithMagnitude) {
  for (int32_t code = -2; code >= -162; --code) {
    if (code == ecOutOfMemory) continue;
    SCOPED_TRACE(code);
    try {
      CheckException(nullptr, code);
      FAIL() << "did not raise";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), -code);
      EXPECT_EQ(e.Message(), ErrorMsg(static_cast<int16_t>(code)));
      EXPECT_EQ(e.Message().find_first_of("\r\n\t"), std::string::npos);
      EXPECT_EQ(e.Message().find("  "), std::string::npos);
      EXPECT_EQ(XlatException(e), code);
    }
  }
}

TEST(CheckException, InputOutputListedAndUnlistedTexts) {
  try {
    CheckException(nullptr, ecInvalidHandle);
    FAIL() << "did not raise";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 6);
    EXPECT_EQ(e.Message(), "Invalid file handle");
  }
  // No table entry for 31: the platform's text stands in.
  try {
    CheckException(nullptr, -31);
    FAIL() << "did not raise";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 31);
    EXPECT_FALSE(e.Message().empty());
    EXPECT_EQ(e.Message(), PlatformErrorText(31));
  }
}

TEST(CheckException, OutOfMemory) {
  try {
    CheckException(nullptr, ecOutOfMemory);
    FAIL() << "did not raise";
  } catch (const EOutOfMemory& e) {
    EXPECT_STREQ(e.what(), "Out of memory");
    EXPECT_EQ(XlatException(e), -8);
  }
}

TEST(CheckException, UnmappedCodesRaiseGenericExceptionWithoutCode) {
  for (int32_t code :
       {-1, -163, -1001, -3002, -7009, -13804, -13849, -5501, -8500, -13934, -20000, INT32_MIN}) {
    SCOPED_TRACE(code);
    std::exception_ptr raised = Raised(code);
    ASSERT_TRUE(raised);
    try {
      std::rethrow_exception(raised);
    } catch (const ERivuException& e) {
      EXPECT_EQ(typeid(e), typeid(ERivuException));
      EXPECT_EQ(e.Message(), "Rivu exception");
      EXPECT_EQ(e.ErrorCode(), 0);
      EXPECT_EQ(XlatException(e), 0);
    }
  }
}

TEST(CheckException, PassesThroughNonNegativeCodes) {
  for (int32_t code : {0, 12, 4201, INT32_MAX}) EXPECT_EQ(CheckException(nullptr, code), code);
}

TEST(CheckException, PassesEveryCodeThroughWhileLoading) {
  TRivuBaseComponent component;
  component.SetLoading(true);
  for (int32_t code : {-1, -6, -8, -31, -3007, -6006, -13868, INT32_MIN, 0, 12})
    EXPECT_EQ(CheckException(&component, code), code);

  component.SetLoading(false);
  EXPECT_THROW(CheckException(&component, ecBufferIsEmpty), EBufferIsEmpty);
}

TEST(XlatException, OtherExceptionKinds) {
  EXPECT_EQ(XlatException(std::runtime_error("x")), -9999);
  EXPECT_EQ(XlatException(ERivuPagerException(-5, "pager")), -9999);
  EXPECT_EQ(XlatException(Exception("plain")), -9999);
  EXPECT_EQ(XlatException(ERivuException(-123)), -123);
  EXPECT_EQ(XlatException(EInOutError("x", 87)), -87);
}

TEST(ERivuException, ConstructorsAndCodeToStringId) {
  const ERivuException fromCode(ecBaudRate);
  EXPECT_EQ(fromCode.ErrorCode(), -2002);
  EXPECT_EQ(fromCode.Message(), "ie_Baudrate - unsupported baud rate");
  const ERivuException fromText("text");
  EXPECT_EQ(fromText.ErrorCode(), 0);
  EXPECT_EQ(fromText.Message(), "text");

  EXPECT_EQ(ERivuException::MapCodeToStringID(-3007), 3007);
  EXPECT_EQ(ERivuException::MapCodeToStringID(4201), 4201);
  EXPECT_EQ(ERivuException::MapCodeToStringID(INT32_MIN), INT32_MAX);
}

TEST(ERivuException, MarkupErrorsKeepTheirFields) {
  try {
    throw EAdParserError("bad tag", 1234, 7, 3, "unexpected end");
  } catch (const EAdStreamError& e) {
    EXPECT_EQ(e.StreamPos(), 1234);
    const auto& filter = dynamic_cast<const EAdFilterError&>(e);
    EXPECT_EQ(filter.Line(), 7);
    EXPECT_EQ(filter.LinePos(), 3);
    EXPECT_EQ(filter.Reason(), "unexpected end");
    EXPECT_EQ(XlatException(e), 0);
  }
}

TEST(CheckException, ConcurrentCallersGetTheirOwnExceptions) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      const int32_t code = t % 2 ? ecBufferIsEmpty : -31;
      for (int i = 0; i < 2000; ++i) {
        try {
          CheckException(nullptr, code);
          ++failures[t];
        } catch (const std::exception& e) {
          if (XlatException(e) != code) ++failures[t];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace

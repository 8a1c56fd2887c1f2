// The texts users see for the component's error codes, written out by hand as
// the component has always shown them, so that a slip in the message table or
// in a constant's number shows up here rather than in an error box.
#include <gtest/gtest.h>

#include <exception>
#include <string>

#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/message_lookup.h"

namespace {

// What CheckException shows for a code whose table text is known.
enum class Shows {
  kItsText,           // an exception whose message is the table text
  kOutOfMemory,       // the runtime's out-of-memory exception, its own message
  kGenericException,  // "Rivu exception": the table text is only looked up
  kNothing,           // not an error: the code comes back
};

struct QuotedText {
  int32_t number;
  int32_t constant;
  const char* text;
  Shows shows;
};

const QuotedText kTexts[] = {
    {0, ecOK, "OK", Shows::kNothing},

    // File and device input/output
    {-2, ecFileNotFound, "File not found", Shows::kItsText},
    {-3, ecPathNotFound, "Path not found", Shows::kItsText},
    {-4, ecTooManyFiles, "Too many open files", Shows::kItsText},
    {-5, ecAccessDenied, "File access denied", Shows::kItsText},
    {-6, ecInvalidHandle, "Invalid file handle", Shows::kItsText},
    {-8, ecOutOfMemory, "Insufficient memory", Shows::kOutOfMemory},
    {-15, ecInvalidDrive, "Invalid drive", Shows::kItsText},
    {-18, ecNoMoreFiles, "No more files", Shows::kItsText},
    {-100, ecDiskRead, "Attempt to read beyond end of file", Shows::kItsText},
    {-101, ecDiskFull, "Disk is full", Shows::kItsText},
    {-102, ecNotAssigned, "File/device not assigned", Shows::kItsText},
    {-103, ecNotOpen, "File/device not open", Shows::kItsText},
    {-104, ecNotOpenInput, "File/device not open for input", Shows::kItsText},
    {-105, ecNotOpenOutput, "File/device not open for output", Shows::kItsText},
    {-150, ecWriteProtected, "Disk is write-protected", Shows::kItsText},
    {-151, ecUnknownUnit, "Unknown disk unit", Shows::kItsText},
    {-152, ecDriveNotReady, "Drive is not ready", Shows::kItsText},
    {-153, ecUnknownCommand, "Unknown command", Shows::kItsText},
    {-154, ecCrcError, "Data error", Shows::kItsText},
    {-155, ecBadStructLen, "Bad request structure length", Shows::kItsText},
    {-156, ecSeekError, "Seek error", Shows::kItsText},
    {-157, ecUnknownMedia, "Unknown media type", Shows::kItsText},
    {-158, ecSectorNotFound, "Disk sector not found", Shows::kItsText},
    {-159, ecOutOfPaper, "Printer is out of paper", Shows::kItsText},
    {-160, ecDeviceWrite, "Device write error", Shows::kItsText},
    {-161, ecDeviceRead, "Device read error", Shows::kItsText},
    {-162, ecHardwareFailure, "General failure", Shows::kItsText},

    // General
    {-1001, ecBadHandle, "Bad handle passed to com function", Shows::kGenericException},
    {-1002, ecBadArgument, "Bad argument passed to function", Shows::kItsText},
    {-1003, ecGotQuitMsg, "Got quit message", Shows::kItsText},
    {-1004, ecBufferTooBig, "Terminal buffer greater than 65521", Shows::kItsText},
    {-1005, ecPortNotAssigned, "ComPort component not assigned", Shows::kItsText},
    {-1006, ecInternal, "Internal error creating window class", Shows::kItsText},
    {-1007, ecModemNotAssigned, "Modem component not assigned", Shows::kItsText},
    {-1008, ecPhonebookNotAssigned, "Phonebook component not assigned", Shows::kItsText},
    {-1009, ecCannotUseWithWinSock, "Component not compatible with WinSock", Shows::kItsText},

    // Opening a port
    {-2001, ecBadId, "ie_BadId - Specified comport doesn't exist", Shows::kItsText},
    {-2002, ecBaudRate, "ie_Baudrate - unsupported baud rate", Shows::kItsText},
    {-2003, ecByteSize, "ie_Bytesize - invalid byte size", Shows::kItsText},
    {-2004, ecDefault, "ie_Default - error in default parameters", Shows::kItsText},
    {-2005, ecHardware, "ie_Hardware - Specified comport in use", Shows::kItsText},
    {-2006, ecMemory, "ie_Memory - unable to allocate queues", Shows::kItsText},
    {-2007, ecCommNotOpen, "ie_NOpen - device not open", Shows::kItsText},
    {-2008, ecAlreadyOpen, "ie_Open - device already open", Shows::kItsText},
    {-2009, ecNoHandles, "No more handles, can't open port", Shows::kItsText},
    {-2010, ecNoTimers, "No timers available", Shows::kItsText},
    {-2011, ecNoPortSelected, "The ComNumber property of the TRivuComPort has not been set",
     Shows::kItsText},
    {-2012, ecNotOpenedByTapi, "Comport was not opened by Tapi", Shows::kItsText},

    // Serial input/output
    {-3001, ecNullApi, "No device layer specified", Shows::kItsText},
    {-3002, ecNotSupported, "Function not supported by driver", Shows::kGenericException},
    {-3003, ecRegisterHandlerFailed, "EnableCommNotification failed", Shows::kItsText},
    {-3004, ecPutBlockFail, "Failed to put entire block", Shows::kItsText},
    {-3005, ecGetBlockFail, "Failed to get entire block", Shows::kItsText},
    {-3006, ecOutputBufferTooSmall, "Output buffer too small for block", Shows::kItsText},
    {-3007, ecBufferIsEmpty, "Buffer is empty", Shows::kItsText},
    {-3008, ecTracingNotEnabled, "Tracing not enabled", Shows::kItsText},
    {-3009, ecLoggingNotEnabled, "Logging not enabled", Shows::kItsText},
    {-3010, ecBaseAddressNotSet, "Base address not set", Shows::kItsText},

    // Triggers
    {-5001, ecNoMoreTriggers, "No more trigger slots", Shows::kItsText},
    {-5002, ecTriggerTooLong, "Data trigger too long", Shows::kItsText},
    {-5003, ecBadTriggerHandle, "Bad trigger handle", Shows::kItsText},

    // The failed allocation of the background threads
    {-13868, ecNoMem, "No memory", Shows::kItsText},
};

// The message CheckException's exception carries, or "" when it returns.
std::string RaisedMessage(int32_t code) {
  try {
    CheckException(nullptr, code);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(ErrorTexts, EveryQuotedTextIsTheCodesMessage) {
  for (const QuotedText& row : kTexts) {
    SCOPED_TRACE(row.number);
    EXPECT_EQ(row.constant, row.number);
    const auto code = static_cast<int16_t>(row.number);
    // From the table itself, not the platform's text for the same number.
    EXPECT_EQ(MessageNumberToString(code), row.text);
    EXPECT_EQ(ErrorMsg(code), row.text);

    switch (row.shows) {
      case Shows::kItsText:
        EXPECT_EQ(RaisedMessage(row.number), row.text);
        break;
      case Shows::kOutOfMemory:
        EXPECT_EQ(RaisedMessage(row.number), "Out of memory");
        break;
      case Shows::kGenericException:
        EXPECT_EQ(RaisedMessage(row.number), "Rivu exception");
        break;
      case Shows::kNothing:
        EXPECT_EQ(CheckException(nullptr, row.number), row.number);
        break;
    }
  }
}

}  // namespace

// Error codes of the serial port component: 0 is success, negative values are
// errors grouped by subject, positive values are counts or message numbers.
#pragma once

#include <cstdint>

inline constexpr int32_t ecOK = 0;

// File and device input/output
inline constexpr int32_t ecFileNotFound = -2;
inline constexpr int32_t ecPathNotFound = -3;
inline constexpr int32_t ecTooManyFiles = -4;
inline constexpr int32_t ecAccessDenied = -5;
inline constexpr int32_t ecInvalidHandle = -6;
inline constexpr int32_t ecOutOfMemory = -8;
inline constexpr int32_t ecInvalidDrive = -15;
inline constexpr int32_t ecNoMoreFiles = -18;
inline constexpr int32_t ecDiskRead = -100;
inline constexpr int32_t ecDiskFull = -101;
inline constexpr int32_t ecNotAssigned = -102;
inline constexpr int32_t ecNotOpen = -103;
inline constexpr int32_t ecNotOpenInput = -104;
inline constexpr int32_t ecNotOpenOutput = -105;
inline constexpr int32_t ecWriteProtected = -150;
inline constexpr int32_t ecUnknownUnit = -151;
inline constexpr int32_t ecDriveNotReady = -152;
inline constexpr int32_t ecUnknownCommand = -153;
inline constexpr int32_t ecCrcError = -154;
inline constexpr int32_t ecBadStructLen = -155;
inline constexpr int32_t ecSeekError = -156;
inline constexpr int32_t ecUnknownMedia = -157;
inline constexpr int32_t ecSectorNotFound = -158;
inline constexpr int32_t ecOutOfPaper = -159;
inline constexpr int32_t ecDeviceWrite = -160;
inline constexpr int32_t ecDeviceRead = -161;
inline constexpr int32_t ecHardwareFailure = -162;

// General
inline constexpr int32_t ecBadHandle = -1001;
inline constexpr int32_t ecBadArgument = -1002;
inline constexpr int32_t ecGotQuitMsg = -1003;
inline constexpr int32_t ecBufferTooBig = -1004;
inline constexpr int32_t ecPortNotAssigned = -1005;
inline constexpr int32_t ecInternal = -1006;
inline constexpr int32_t ecModemNotAssigned = -1007;
inline constexpr int32_t ecPhonebookNotAssigned = -1008;
inline constexpr int32_t ecCannotUseWithWinSock = -1009;

// Opening a port
inline constexpr int32_t ecBadId = -2001;
inline constexpr int32_t ecBaudRate = -2002;
inline constexpr int32_t ecByteSize = -2003;
inline constexpr int32_t ecDefault = -2004;
inline constexpr int32_t ecHardware = -2005;
inline constexpr int32_t ecMemory = -2006;
inline constexpr int32_t ecCommNotOpen = -2007;
inline constexpr int32_t ecAlreadyOpen = -2008;
inline constexpr int32_t ecNoHandles = -2009;
inline constexpr int32_t ecNoTimers = -2010;
inline constexpr int32_t ecNoPortSelected = -2011;
inline constexpr int32_t ecNotOpenedByTapi = -2012;

// Serial input/output
inline constexpr int32_t ecNullApi = -3001;
inline constexpr int32_t ecNotSupported = -3002;
inline constexpr int32_t ecRegisterHandlerFailed = -3003;
inline constexpr int32_t ecPutBlockFail = -3004;
inline constexpr int32_t ecGetBlockFail = -3005;
inline constexpr int32_t ecOutputBufferTooSmall = -3006;
inline constexpr int32_t ecBufferIsEmpty = -3007;
inline constexpr int32_t ecTracingNotEnabled = -3008;
inline constexpr int32_t ecLoggingNotEnabled = -3009;
inline constexpr int32_t ecBaseAddressNotSet = -3010;

// Modem and dialer
inline constexpr int32_t ecModemNotStarted = -4001;
inline constexpr int32_t ecModemBusy = -4002;
inline constexpr int32_t ecModemNotDialing = -4003;
inline constexpr int32_t ecNotDialing = -4004;
inline constexpr int32_t ecAlreadyDialing = -4005;
inline constexpr int32_t ecModemNotResponding = -4006;
inline constexpr int32_t ecModemRejectedCommand = -4007;
inline constexpr int32_t ecModemStatusMismatch = -4008;
inline constexpr int32_t ecDeviceNotSelected = -4009;
inline constexpr int32_t ecModemDetectedBusy = -4010;
inline constexpr int32_t ecModemNoDialtone = -4011;
inline constexpr int32_t ecModemNoCarrier = -4012;
inline constexpr int32_t ecModemNoAnswer = -4013;
inline constexpr int32_t ecInitFail = -4014;
inline constexpr int32_t ecLoginFail = -4015;
inline constexpr int32_t ecMinorSrvErr = -4016;
inline constexpr int32_t ecFatalSrvErr = -4017;
inline constexpr int32_t ecModemNotFound = -4020;
inline constexpr int32_t ecInvalidFile = -4021;

// Triggers
inline constexpr int32_t ecNoMoreTriggers = -5001;
inline constexpr int32_t ecTriggerTooLong = -5002;
inline constexpr int32_t ecBadTriggerHandle = -5003;

// Data packets
inline constexpr int32_t ecStartStringEmpty = -5501;
inline constexpr int32_t ecPacketTooSmall = -5502;
inline constexpr int32_t ecNoEndCharCount = -5503;
inline constexpr int32_t ecEmptyEndString = -5504;
inline constexpr int32_t ecZeroSizePacket = -5505;
inline constexpr int32_t ecPacketTooLong = -5506;

// File transfer protocols
inline constexpr int32_t ecBadFileList = -6001;
inline constexpr int32_t ecNoSearchMask = -6002;
inline constexpr int32_t ecNoMatchingFiles = -6003;
inline constexpr int32_t ecDirNotFound = -6004;
inline constexpr int32_t ecCancelRequested = -6005;
inline constexpr int32_t ecTimeout = -6006;
inline constexpr int32_t ecProtocolError = -6007;
inline constexpr int32_t ecTooManyErrors = -6008;
inline constexpr int32_t ecSequenceError = -6009;
inline constexpr int32_t ecNoFilename = -6010;
inline constexpr int32_t ecFileRejected = -6011;
inline constexpr int32_t ecCantWriteFile = -6012;
inline constexpr int32_t ecTableFull = -6013;
inline constexpr int32_t ecAbortNoCarrier = -6014;
inline constexpr int32_t ecBadProtocolFunction = -6015;
inline constexpr int32_t ecProtocolAbort = -6016;

// Keyed record database
inline constexpr int32_t ecKeyTooLong = -7001;
inline constexpr int32_t ecDataTooLarge = -7002;
inline constexpr int32_t ecNoFieldsDefined = -7003;
inline constexpr int32_t ecIniWrite = -7004;
inline constexpr int32_t ecIniRead = -7005;
inline constexpr int32_t ecNoIndexKey = -7006;
inline constexpr int32_t ecRecordExists = -7007;
inline constexpr int32_t ecRecordNotFound = -7008;
inline constexpr int32_t ecMustHaveIdxVal = -7009;
inline constexpr int32_t ecDatabaseFull = -7010;
inline constexpr int32_t ecDatabaseEmpty = -7011;
inline constexpr int32_t ecDatabaseNotPrepared = -7012;
inline constexpr int32_t ecBadFieldList = -7013;
inline constexpr int32_t ecBadFieldForIndex = -7014;

// State machine and speech engine
inline constexpr int32_t ecNoStateMachine = -7500;
inline constexpr int32_t ecNoStartState = -7501;
inline constexpr int32_t ecNoSapiEngine = -7502;

// Fax, fax viewer, printer driver installation
inline constexpr int32_t ecFaxBadFormat = -8001;
inline constexpr int32_t ecBadGraphicsFormat = -8002;
inline constexpr int32_t ecConvertAbort = -8003;
inline constexpr int32_t ecUnpackAbort = -8004;
inline constexpr int32_t ecCantMakeBitmap = -8005;
inline constexpr int32_t ecNoImageLoaded = -8050;
inline constexpr int32_t ecNoImageBlockMarked = -8051;
inline constexpr int32_t ecFontFileNotFound = -8052;
inline constexpr int32_t ecInvalidPageNumber = -8053;
inline constexpr int32_t ecBmpTooBig = -8054;
inline constexpr int32_t ecEnhFontTooBig = -8055;
inline constexpr int32_t ecFaxBadMachine = -8060;
inline constexpr int32_t ecFaxBadModemResult = -8061;
inline constexpr int32_t ecFaxTrainError = -8062;
inline constexpr int32_t ecFaxInitError = -8063;
inline constexpr int32_t ecFaxBusy = -8064;
inline constexpr int32_t ecFaxVoiceCall = -8065;
inline constexpr int32_t ecFaxDataCall = -8066;
inline constexpr int32_t ecFaxNoDialTone = -8067;
inline constexpr int32_t ecFaxNoCarrier = -8068;
inline constexpr int32_t ecFaxSessionError = -8069;
inline constexpr int32_t ecFaxPageError = -8070;
inline constexpr int32_t ecFaxGDIPrintError = -8071;
inline constexpr int32_t ecFaxMixedResolution = -8072;
inline constexpr int32_t ecFaxConverterInitFail = -8073;
inline constexpr int32_t ecNoAnswer = -8074;
inline constexpr int32_t ecAlreadyMonitored = -8075;
inline constexpr int32_t ecUniAlreadyInstalled = -8080;
inline constexpr int32_t ecUniCannotGetSysDir = -8081;
inline constexpr int32_t ecUniCannotGetWinDir = -8082;
inline constexpr int32_t ecUniUnknownLayout = -8083;
inline constexpr int32_t ecUniCannotInstallFile = -8085;
inline constexpr int32_t ecDrvCopyError = -8087;
inline constexpr int32_t ecCannotAddPrinter = -8088;
inline constexpr int32_t ecDrvBadResources = -8089;
inline constexpr int32_t ecDrvDriverNotFound = -8090;
inline constexpr int32_t ecUniCannotGetPrinterDriverDir = -8091;
inline constexpr int32_t ecInstallDriverFailed = -8092;

// Short messages
inline constexpr int32_t ecSMSBusy = -8100;
inline constexpr int32_t ecSMSTimedOut = -8101;
inline constexpr int32_t ecSMSTooLong = -8102;
inline constexpr int32_t ecSMSUnknownStatus = -8103;

// Mobile phone equipment
inline constexpr int32_t ecMEFailure = -8300;
inline constexpr int32_t ecServiceRes = -8301;
inline constexpr int32_t ecBadOperation = -8302;
inline constexpr int32_t ecUnsupported = -8303;
inline constexpr int32_t ecInvalidPDU = -8304;
inline constexpr int32_t ecInvalidText = -8305;
inline constexpr int32_t ecSIMInsert = -8310;
inline constexpr int32_t ecSIMPin = -8311;
inline constexpr int32_t ecSIMPH = -8312;
inline constexpr int32_t ecSIMFailure = -8313;
inline constexpr int32_t ecSIMBusy = -8314;
inline constexpr int32_t ecSIMWrong = -8315;
inline constexpr int32_t ecSIMPUK = -8316;
inline constexpr int32_t ecSIMPIN2 = -8317;
inline constexpr int32_t ecSIMPUK2 = -8318;
inline constexpr int32_t ecMemFail = -8320;
inline constexpr int32_t ecInvalidMemIndex = -8321;
inline constexpr int32_t ecMemFull = -8322;
inline constexpr int32_t ecSMSCAddUnknown = -8330;
inline constexpr int32_t ecNoNetwork = -8331;
inline constexpr int32_t ecNetworkTimeout = -8332;
inline constexpr int32_t ecCNMAAck = -8340;

// Unknown
inline constexpr int32_t ecUnknown = -8500;

// Telephony line
inline constexpr int32_t ecAllocated = -13801;
inline constexpr int32_t ecBadDeviceID = -13802;
inline constexpr int32_t ecBearerModeUnavail = -13803;
inline constexpr int32_t ecCallUnavail = -13805;
inline constexpr int32_t ecCompletionOverrun = -13806;
inline constexpr int32_t ecConferenceFull = -13807;
inline constexpr int32_t ecDialBilling = -13808;
inline constexpr int32_t ecDialDialtone = -13809;
inline constexpr int32_t ecDialPrompt = -13810;
inline constexpr int32_t ecDialQuiet = -13811;
inline constexpr int32_t ecIncompatibleApiVersion = -13812;
inline constexpr int32_t ecIncompatibleExtVersion = -13813;
inline constexpr int32_t ecIniFileCorrupt = -13814;
inline constexpr int32_t ecInUse = -13815;
inline constexpr int32_t ecInvalAddress = -13816;
inline constexpr int32_t ecInvalAddressID = -13817;
inline constexpr int32_t ecInvalAddressMode = -13818;
inline constexpr int32_t ecInvalAddressState = -13819;
inline constexpr int32_t ecInvalAppHandle = -13820;
inline constexpr int32_t ecInvalAppName = -13821;
inline constexpr int32_t ecInvalBearerMode = -13822;
inline constexpr int32_t ecInvalCallComplMode = -13823;
inline constexpr int32_t ecInvalCallHandle = -13824;
inline constexpr int32_t ecInvalCallParams = -13825;
inline constexpr int32_t ecInvalCallPrivilege = -13826;
inline constexpr int32_t ecInvalCallSelect = -13827;
inline constexpr int32_t ecInvalCallState = -13828;
inline constexpr int32_t ecInvalCallStatelist = -13829;
inline constexpr int32_t ecInvalCard = -13830;
inline constexpr int32_t ecInvalCompletionID = -13831;
inline constexpr int32_t ecInvalConfCallHandle = -13832;
inline constexpr int32_t ecInvalConsultCallHandle = -13833;
inline constexpr int32_t ecInvalCountryCode = -13834;
inline constexpr int32_t ecInvalDeviceClass = -13835;
inline constexpr int32_t ecInvalDeviceHandle = -13836;
inline constexpr int32_t ecInvalDialParams = -13837;
inline constexpr int32_t ecInvalDigitList = -13838;
inline constexpr int32_t ecInvalDigitMode = -13839;
inline constexpr int32_t ecInvalDigits = -13840;
inline constexpr int32_t ecInvalExtVersion = -13841;
inline constexpr int32_t ecInvalGroupID = -13842;
inline constexpr int32_t ecInvalLineHandle = -13843;
inline constexpr int32_t ecInvalLineState = -13844;
inline constexpr int32_t ecInvalLocation = -13845;
inline constexpr int32_t ecInvalMediaList = -13846;
inline constexpr int32_t ecInvalMediaMode = -13847;
inline constexpr int32_t ecInvalMessageID = -13848;
inline constexpr int32_t ecInvalParam = -13850;
inline constexpr int32_t ecInvalParkID = -13851;
inline constexpr int32_t ecInvalParkMode = -13852;
inline constexpr int32_t ecInvalPointer = -13853;
inline constexpr int32_t ecInvalPrivSelect = -13854;
inline constexpr int32_t ecInvalRate = -13855;
inline constexpr int32_t ecInvalRequestMode = -13856;
inline constexpr int32_t ecInvalTerminalID = -13857;
inline constexpr int32_t ecInvalTerminalMode = -13858;
inline constexpr int32_t ecInvalTimeout = -13859;
inline constexpr int32_t ecInvalTone = -13860;
inline constexpr int32_t ecInvalToneList = -13861;
inline constexpr int32_t ecInvalToneMode = -13862;
inline constexpr int32_t ecInvalTransferMode = -13863;
inline constexpr int32_t ecLineMapperFailed = -13864;
inline constexpr int32_t ecNoConference = -13865;
inline constexpr int32_t ecNoDevice = -13866;
inline constexpr int32_t ecNoDriver = -13867;
inline constexpr int32_t ecNoMem = -13868;
inline constexpr int32_t ecNoRequest = -13869;
inline constexpr int32_t ecNotOwner = -13870;
inline constexpr int32_t ecNotRegistered = -13871;
inline constexpr int32_t ecOperationFailed = -13872;
inline constexpr int32_t ecOperationUnavail = -13873;
inline constexpr int32_t ecRateUnavail = -13874;
inline constexpr int32_t ecResourceUnavail = -13875;
inline constexpr int32_t ecRequestOverrun = -13876;
inline constexpr int32_t ecStructureTooSmall = -13877;
inline constexpr int32_t ecTargetNotFound = -13878;
inline constexpr int32_t ecTargetSelf = -13879;
inline constexpr int32_t ecUninitialized = -13880;
inline constexpr int32_t ecUserUserInfoTooBig = -13881;
inline constexpr int32_t ecReinit = -13882;
inline constexpr int32_t ecAddressBlocked = -13883;
inline constexpr int32_t ecBillingRejected = -13884;
inline constexpr int32_t ecInvalFeature = -13885;
inline constexpr int32_t ecNoMultipleInstance = -13886;

// Telephony component and voice-over-IP
inline constexpr int32_t ecTapiBusy = -13928;
inline constexpr int32_t ecTapiNotSet = -13929;
inline constexpr int32_t ecTapiNoSelect = -13930;
inline constexpr int32_t ecTapiLoadFail = -13931;
inline constexpr int32_t ecTapiGetAddrFail = -13932;
inline constexpr int32_t ecTapiUnexpected = -13934;
inline constexpr int32_t ecTapiVoiceNotSupported = -13935;
inline constexpr int32_t ecTapiWaveFail = -13936;
inline constexpr int32_t ecTapiCIDBlocked = -13937;
inline constexpr int32_t ecTapiCIDOutOfArea = -13938;
inline constexpr int32_t ecTapiWaveFormatError = -13939;
inline constexpr int32_t ecTapiWaveReadError = -13940;
inline constexpr int32_t ecTapiWaveBadFormat = -13941;
inline constexpr int32_t ecTapiTranslateFail = -13942;
inline constexpr int32_t ecTapiWaveDeviceInUse = -13943;
inline constexpr int32_t ecTapiWaveFileExists = -13944;
inline constexpr int32_t ecTapiWaveNoData = -13945;
inline constexpr int32_t ecVoIPNotSupported = -13950;
inline constexpr int32_t ecVoIPCallBusy = -13951;
inline constexpr int32_t ecVoIPBadAddress = -13952;
inline constexpr int32_t ecVoIPNoAnswer = -13953;
inline constexpr int32_t ecVoIPCancelled = -13954;
inline constexpr int32_t ecVoIPRejected = -13955;
inline constexpr int32_t ecVoIPFailed = -13956;
inline constexpr int32_t ecVoIPTapi3NotInstalled = -13957;
inline constexpr int32_t ecVoIPH323NotFound = -13958;
inline constexpr int32_t ecVoIPTapi3EventFailure = -13959;

// Remote access
inline constexpr int32_t ecRasLoadFail = -13980;

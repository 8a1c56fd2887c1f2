// The saving step at the end of a download: asks for a file name and writes
// the response header as received, then the content.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "download/download_view.h"
#include "download/protocol.h"

// Reports failures only by message box; returns when the file is written,
// the dialog was cancelled, or a failure has been shown.
void SaveReceivedFile(TDownloadView& View, const ResponseHeader& Header,
                      std::span<const uint8_t> Content);

// What a save dialog does with a name typed without an extension: adds the
// default one ("list" becomes "list.tcn"); other names are kept.
std::string WithDefaultExt(const std::string& Name, std::string_view DefaultExt);

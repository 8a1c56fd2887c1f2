#include "download/file_writer.h"

#include "download/task_state.h"

namespace {

void FileError(TDownloadView& view, const char* text) {
  view.MessageBox(text, "File Error", TMsgButtons::mbOK);
}

}  // namespace

void SaveReceivedFile(TDownloadView& View, const ResponseHeader& Header,
                      std::span<const uint8_t> Content) {
  const auto name = View.ExecuteSaveDialog(1, ofEnableSizing);
  if (!name) return;
  try {
    if (!OutFile.Create(*name)) return FileError(View, "File create error!!!");
    if (!OutFile.Write(Header.data(), Header.size())) {
      OutFile.Close();
      return FileError(View, "File write error(header)!!!");
    }
    if (!OutFile.Write(Content.data(), Content.size())) {
      OutFile.Close();
      return FileError(View, "File write error(data)!!!");
    }
    // The bytes are all written; what can still fail is getting them to disk
    // or putting the file in place of the old one.
    if (!OutFile.Commit()) return FileError(View, "File write error(data)!!!");
  } catch (...) {
    OutFile.Close();
    View.MessageBox("Problem writing to file.", "File Error", TMsgButtons::mbOKCancel);
  }
}

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

std::string WithDefaultExt(const std::string& Name, std::string_view DefaultExt) {
  const std::size_t slash = Name.find_last_of('/');
  const std::string_view base =
      std::string_view(Name).substr(slash == std::string::npos ? 0 : slash + 1);
  // A leading dot names a hidden file, not an extension.
  const std::size_t dot = base.find_last_of('.');
  if (DefaultExt.empty() || base.empty() || (dot != std::string_view::npos && dot > 0)) {
    return Name;
  }
  return Name + std::string(DefaultExt);
}

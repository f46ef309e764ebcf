// Loading a file into the main window, saving the shown table, and handing a
// file to the spreadsheet program: the dialogs, the status texts, the
// progress bar, Escape and the warnings around the core's load and save.
#ifndef MARVESK_UI_FILEOPERATIONS_H_
#define MARVESK_UI_FILEOPERATIONS_H_

#include <QString>

class TfrMarvesk;

namespace core {
struct LoadResult;
}

namespace ui {

class EscapeWatch;
class StringGrid;

class FileOperations {
 public:
  explicit FileOperations(TfrMarvesk& form) : form_(form) {}

  // Loads the file chosen in the open dialog, or with `reload` the one the
  // open dialog holds.
  void Load(bool reload);
  // Writes `grid` to a file chosen in the save dialog; with TAB when
  // `with_tab`, otherwise with the configured separator (';' for .CSV).
  void Save(StringGrid* grid, bool with_tab);
  // Hands a file chosen in the open dialog to the spreadsheet program.
  void OpenInSpreadsheet();

 private:
  // The empty grid and the table controls, before the reading starts.
  void ClearForLoad();
  // Warnings and the view after the core's load; false when the start view
  // was restored.
  bool ShowOutcome(const core::LoadResult& result);

  TfrMarvesk& form_;
};

}  // namespace ui

#endif  // MARVESK_UI_FILEOPERATIONS_H_

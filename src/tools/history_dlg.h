#pragma once
// "History": every change the tool made to a controller, newest first, from
// the journal: when, which device and controller, the part number, the
// operation and whether the set was put back; the selected entry's changed
// fields (before and after). Open in Editor makes the set before the
// editor's edited set, Save As... writes it as a .PSF file, Put Back sends
// it back to its controller (the controller must be the entry's; what it
// holds is journaled first), Copy puts the entry on the clipboard. The list
// follows new entries while the window is open.

#include <QString>
#include <string>
#include <vector>

#include "gui/loop_dialog.h"
#include "ops/set_journal.h"

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace kelvt {

struct PsfRecord;

class CHistoryDlg : public LoopDialog {
  Q_OBJECT

 public:
  // The dialog's result after Open in Editor: the caller opens the editor.
  static constexpr int kOpenInEditor = 2;

  CHistoryDlg(SetJournal& journal, QWidget* parent);

  QTableWidget* EntryTable() const { return entries_table_; }
  QTableWidget* ChangeTable() const { return changes_table_; }
  QLabel* DetailLine() const { return detail_; }
  QPushButton* OpenButton() const { return open_button_; }
  QPushButton* SaveButton() const { return save_button_; }
  QPushButton* PutBackButton() const { return put_back_button_; }
  QPushButton* CopyButton() const { return copy_button_; }
  const std::vector<JournalEntry>& Shown() const { return entries_; }
  // The selected entry, or nullptr.
  const JournalEntry* Selected() const;
  // Selects the row of entry `id`; false when it is not listed.
  bool Select(const std::string& id);
  // The selected entry and its changes as tab-separated text.
  QString EntryText() const;

 public slots:
  // Reads the journal again; the selection stays on the same entry.
  void Reload();
  void OnSelection();
  void OnOpenInEditor();
  void OnSaveAs();
  void OnPutBack();
  void OnCopy();

 private:
  // Reloads when the journal's folder changed since the last look.
  void CheckFolder();
  void WatchFolder();
  // The selected set into `record`; false (having said why) when there is none.
  bool LoadSelectedSet(PsfRecord& record);

  SetJournal& journal_;
  std::vector<JournalEntry> entries_;
  QString folder_stamp_;

  QTableWidget* entries_table_;
  QTableWidget* changes_table_;
  QLabel* detail_;
  QLabel* status_;
  QPushButton* open_button_;
  QPushButton* save_button_;
  QPushButton* put_back_button_;
  QPushButton* copy_button_;
  QPushButton* close_button_;
  QFileSystemWatcher* watcher_;
  QTimer* poll_;
};

}  // namespace kelvt

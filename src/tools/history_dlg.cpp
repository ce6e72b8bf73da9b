#include "tools/history_dlg.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "gui/prompter.h"
#include "ops/journal_view.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "tools/grid_copy.h"
#include "tools/psf_config_dlg.h"
#include "tools/put_back_operation.h"

namespace kelvt {
namespace {

enum EntryColumn { kHistTime, kHistDevice, kHistController, kHistPartNumber, kHistOperation, kHistPutBack, kHistEntryColumns };
enum ChangeColumn { kHistField, kHistBefore, kHistAfter, kHistChangeColumns };

constexpr int kHistoryPollMs = 1000;

QString HistoryText(const std::string& text) { return QString::fromStdString(text); }

QTableWidget* MakeHistoryTable(int columns, const QStringList& headers, QWidget* parent) {
  auto* table = new QTableWidget(0, columns, parent);
  table->setHorizontalHeaderLabels(headers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  AddCopyAction(table);
  return table;
}

void SetHistoryRow(QTableWidget* table, int row, const QStringList& cells) {
  for (int c = 0; c < cells.size(); ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
}

std::string HistoryOperationText(const JournalEntry& e) {
  std::string text = e.tag.operation;
  if (e.kind == EntryKind::kNullSpan && text.find("null") == std::string::npos) text += " (null/span)";
  if (e.state == EntryState::kOpen) text += " (unfinished)";
  return text;
}

std::string HistoryPartNumberText(const JournalEntry& e) {
  if (e.new_part_number.empty() || e.new_part_number == e.part_number) return e.part_number;
  return e.part_number + " -> " + e.new_part_number;
}

std::string HistoryDetailText(const JournalEntry& e) {
  std::string text = e.time;
  const std::string who = EntryWho(e);
  if (!who.empty()) text += " by " + who;
  text += ", " + EntryPlaceText(e);
  if (!e.device.by_id.empty() && e.device.by_id != e.tag.device) text += " (" + e.device.by_id + ")";
  if (!e.device.serial_number.empty()) text += ", serial number " + e.device.serial_number;
  text += std::string(", controller ") + (e.letter != 0 ? std::string(1, e.letter) : "?");
  text += ", part number " + e.part_number + ", date code " + e.date_code;
  return text;
}

}  // namespace

CHistoryDlg::CHistoryDlg(SetJournal& journal, QWidget* parent)
    : LoopDialog(parent), journal_(journal) {
  setWindowTitle(QStringLiteral("History"));
  entries_table_ = MakeHistoryTable(kHistEntryColumns,
                             {QStringLiteral("Time"), QStringLiteral("Device"),
                              QStringLiteral("Controller"), QStringLiteral("Part Number"),
                              QStringLiteral("Operation"), QStringLiteral("Put Back")},
                             this);
  entries_table_->setObjectName(QStringLiteral("historyEntries"));
  entries_table_->setSelectionMode(QAbstractItemView::SingleSelection);
  changes_table_ = MakeHistoryTable(kHistChangeColumns,
                             {QStringLiteral("Field"), QStringLiteral("Before"),
                              QStringLiteral("After")},
                             this);
  changes_table_->setObjectName(QStringLiteral("historyChanges"));
  detail_ = new QLabel(this);
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_ = new QLabel(this);
  status_->setWordWrap(true);

  open_button_ = new QPushButton(QStringLiteral("&Open in Editor"), this);
  save_button_ = new QPushButton(QStringLiteral("&Save As..."), this);
  put_back_button_ = new QPushButton(QStringLiteral("&Put Back"), this);
  copy_button_ = new QPushButton(QStringLiteral("&Copy"), this);
  close_button_ = new QPushButton(QStringLiteral("C&lose"), this);
  open_button_->setObjectName(QStringLiteral("openInEditorButton"));
  save_button_->setObjectName(QStringLiteral("saveAsButton"));
  put_back_button_->setObjectName(QStringLiteral("putBackButton"));
  copy_button_->setObjectName(QStringLiteral("copyButton"));
  for (QPushButton* b : {open_button_, save_button_, put_back_button_, copy_button_}) {
    b->setAutoDefault(false);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open_button_);
  buttons->addWidget(save_button_);
  buttons->addWidget(put_back_button_);
  buttons->addWidget(copy_button_);
  buttons->addStretch(1);
  buttons->addWidget(close_button_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(entries_table_, 3);
  layout->addWidget(detail_);
  layout->addWidget(new QLabel(QStringLiteral("Changed fields:"), this));
  layout->addWidget(changes_table_, 2);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  resize(820, 520);

  connect(entries_table_, &QTableWidget::itemSelectionChanged, this, &CHistoryDlg::OnSelection);
  connect(open_button_, &QPushButton::clicked, this, &CHistoryDlg::OnOpenInEditor);
  connect(save_button_, &QPushButton::clicked, this, &CHistoryDlg::OnSaveAs);
  connect(put_back_button_, &QPushButton::clicked, this, &CHistoryDlg::OnPutBack);
  connect(copy_button_, &QPushButton::clicked, this, &CHistoryDlg::OnCopy);
  connect(close_button_, &QPushButton::clicked, this, &QDialog::reject);

  // New entries show while the window is open: the folder's own change
  // notice, and a look once a second for a folder that appears later (or a
  // file system that sends no notices).
  watcher_ = new QFileSystemWatcher(this);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { CheckFolder(); });
  poll_ = new QTimer(this);
  poll_->setInterval(kHistoryPollMs);
  connect(poll_, &QTimer::timeout, this, [this] { CheckFolder(); });
  poll_->start();
  WatchFolder();
  Reload();
}

void CHistoryDlg::WatchFolder() {
  const QString folder = HistoryText(journal_.Folder());
  if (!folder.isEmpty() && watcher_->directories().isEmpty() && QFileInfo(folder).isDir()) {
    watcher_->addPath(folder);
  }
}

void CHistoryDlg::CheckFolder() {
  if (LoopRunning()) return;  // a put-back is on the line; the reload follows it
  WatchFolder();
  const QFileInfo folder(HistoryText(journal_.Folder()));
  // Every change of the index renames a new one into place: the folder changes.
  const QString stamp =
      folder.exists() ? folder.lastModified().toString(Qt::ISODateWithMs) : QString();
  if (stamp != folder_stamp_) Reload();
}

void CHistoryDlg::Reload() {
  const JournalEntry* selected = Selected();
  const std::string keep = selected != nullptr ? selected->id : std::string();
  const QFileInfo folder(HistoryText(journal_.Folder()));
  folder_stamp_ = folder.exists() ? folder.lastModified().toString(Qt::ISODateWithMs) : QString();
  entries_ = journal_.Entries();
  const QSignalBlocker quiet(entries_table_);
  entries_table_->clearContents();
  entries_table_->setRowCount(static_cast<int>(entries_.size()));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const JournalEntry& e = entries_[i];
    SetHistoryRow(entries_table_, static_cast<int>(i),
           {HistoryText(e.time), HistoryText(EntryPlaceText(e)),
            HistoryText(e.letter != 0 ? std::string(1, e.letter) : std::string("?")),
            HistoryText(HistoryPartNumberText(e)), HistoryText(HistoryOperationText(e)),
            e.state == EntryState::kPutBack ? QStringLiteral("Yes") : QStringLiteral("No")});
  }
  entries_table_->resizeColumnsToContents();
  if (keep.empty() || !Select(keep)) {
    if (!entries_.empty()) entries_table_->selectRow(0);
  }
  status_->setText(entries_.empty() ? HistoryText("No changes in the journal (" + journal_.Folder() + ")")
                                    : QString());
  OnSelection();
}

const JournalEntry* CHistoryDlg::Selected() const {
  const QList<QTableWidgetItem*> items = entries_table_->selectedItems();
  if (items.isEmpty()) return nullptr;
  const int row = items.front()->row();
  if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return nullptr;
  return &entries_[static_cast<std::size_t>(row)];
}

bool CHistoryDlg::Select(const std::string& id) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].id == id) {
      entries_table_->selectRow(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

void CHistoryDlg::OnSelection() {
  const JournalEntry* entry = Selected();
  changes_table_->setRowCount(0);
  const bool set = entry != nullptr && entry->kind == EntryKind::kSet;
  open_button_->setEnabled(set);
  save_button_->setEnabled(set);
  put_back_button_->setEnabled(entry != nullptr);
  copy_button_->setEnabled(entry != nullptr);
  if (entry == nullptr) {
    detail_->clear();
    return;
  }
  detail_->setText(HistoryText(HistoryDetailText(*entry)));
  const EntryChanges changes = ChangesOf(journal_, *entry);
  if (!changes.known) {
    changes_table_->setRowCount(1);
    SetHistoryRow(changes_table_, 0, {HistoryText("(" + changes.problem + ")"), QString(), QString()});
  } else if (changes.fields.empty()) {
    changes_table_->setRowCount(1);
    SetHistoryRow(changes_table_, 0, {QStringLiteral("(no field changed)"), QString(), QString()});
  } else {
    changes_table_->setRowCount(static_cast<int>(changes.fields.size()));
    for (std::size_t i = 0; i < changes.fields.size(); ++i) {
      const PsfDifference& d = changes.fields[i];
      SetHistoryRow(changes_table_, static_cast<int>(i), {HistoryText(d.label), HistoryText(d.a), HistoryText(d.b)});
    }
  }
  changes_table_->resizeColumnsToContents();
}

QString CHistoryDlg::EntryText() const {
  const JournalEntry* entry = Selected();
  if (entry == nullptr) return {};
  QStringList lines;
  QStringList cells;
  const int row = static_cast<int>(entry - entries_.data());
  for (int c = 0; c < kHistEntryColumns; ++c) {
    const QTableWidgetItem* item = entries_table_->item(row, c);
    cells << (item != nullptr ? item->text() : QString());
  }
  lines << cells.join(QLatin1Char('\t'));
  lines << HistoryText(HistoryDetailText(*entry));
  const EntryChanges changes = ChangesOf(journal_, *entry);
  for (const PsfDifference& d : changes.fields) {
    lines << HistoryText(d.key + "\t" + d.label + "\t" + d.a + "\t" + d.b);
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CHistoryDlg::OnCopy() {
  const QString text = EntryText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

bool CHistoryDlg::LoadSelectedSet(PsfRecord& record) {
  const JournalEntry* entry = Selected();
  if (entry == nullptr || entry->kind != EntryKind::kSet || LoopRunning()) return false;
  PsfImage image;
  const LoadResult read = journal_.Load(*entry, image);
  if (read != LoadResult::kOk) {
    CurrentPrompter().Message(this, "This File is Not Compatible", kAppTitle, PromptButtons::Ok,
                              PromptIcon::None, entry->set_path + ": " + LoadResultText(read));
    return false;
  }
  record.Decode(image.Data());
  return true;
}

void CHistoryDlg::OnOpenInEditor() {
  PsfRecord record;
  if (!LoadSelectedSet(record)) return;
  // As File Retreive: the set becomes the one the editor shows and edits.
  LastEditedPsf() = record;
  done(kOpenInEditor);
}

void CHistoryDlg::OnSaveAs() {
  PsfRecord record;
  if (!LoadSelectedSet(record)) return;
  std::string path;
  if (!CurrentPrompter().SavePsfFile(this, path)) return;
  errno = 0;
  if (!WritePsfFile(record, path.c_str())) {
    const int err = errno;
    CurrentPrompter().Message(this, kPsfWriteFailedMessage, kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop, FileFailureDetail(path, err));
  }
}

void CHistoryDlg::OnPutBack() {
  const JournalEntry* selected = Selected();
  if (selected == nullptr || LoopRunning()) return;
  const JournalEntry entry = *selected;  // Reload replaces the list
  {
    LoopScope command(*this);
    RunPutBack(this, entry);
  }
  Reload();
  Select(entry.id);
}

}  // namespace kelvt

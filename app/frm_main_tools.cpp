// frmMain's tools around the sheet: programming files, undo and redo, and comparing the sheet or what
// was sent with what the box holds.
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/captions.h"
#include "app/frm_main.h"
#include "app/help_dialogs.h"
#include "app/sheet_files.h"
#include "app/sheet_undo.h"
#include "protocol/config_diff.h"

namespace zeze {
namespace {

using Clock = std::chrono::steady_clock;

// The differences listed in the log; the log keeps 25 lines, so the rest are counted.
constexpr std::size_t kListedDifferences = 20;

// The one local file a drag carries, or empty.
QString droppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return {};
    return mime->urls().front().toLocalFile();
}

QString plural(std::size_t count) {
    return count == 1 ? QString() : QStringLiteral("s");
}

}  // namespace

void FrmMain::connectAtStart(const QString& host, quint16 port) {
    Zeze_Address->setEditText(host);
    Zeze_Port->setText(QString::number(port));
    if (Connect->isEnabled())
        onConnectClicked();
}

// ---------------------------------------------------------------------------------------------------
// Files

void FrmMain::onNew() {
    applyConfigValues(m_sheet, configValuesOf(Sheet{}));
    showSheet();
    recordChange();
    m_filePath.clear();
    updateTitle();
}

void FrmMain::onOpen() {
    const QString path =
        QFileDialog::getOpenFileName(this, text::kOpenTitle, QFileInfo(m_filePath).path(), text::kFileFilter);
    if (!path.isEmpty())
        openFile(path);
}

bool FrmMain::openFile(const QString& path) {
    const SheetFileRead read = readSheetFile(path);
    if (!read.file) {
        const QString line = QString(text::kOpenFailed).arg(read.error);
        log(line);
        trimActivityLog();
        showMessageDialog(this, "fileErrorDialog", text::kOpenFailedTitle, line);
        return false;
    }
    // Undoable like any change, so opening needs no question about what the sheet held.
    applyConfigValues(m_sheet, read.file->values);
    showSheet();
    recordChange();
    m_filePath = path;
    m_history->markSaved();
    updateTitle();
    return true;
}

void FrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void FrmMain::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // A drop comes without the deliberate step of a dialog: changes not yet saved are asked about first.
    if (!m_history->saved() &&
        !settleUnsaved(QString(text::kUnsavedBeforeOpen).arg(QFileInfo(path).fileName())))
        return;
    openFile(path);
}

bool FrmMain::onSave() {
    return m_filePath.isEmpty() ? onSaveAs() : saveTo(m_filePath);
}

bool FrmMain::onSaveAs() {
    const QString path =
        QFileDialog::getSaveFileName(this, text::kSaveTitle, QFileInfo(m_filePath).path(), text::kFileFilter);
    return !path.isEmpty() && saveTo(withProgramSuffix(path));
}

bool FrmMain::saveTo(const QString& path) {
    const QString error = writeSheetFile(path, m_sheet);
    if (!error.isEmpty()) {
        const QString line = QString(text::kSaveFailed).arg(error);
        log(line);
        trimActivityLog();
        showMessageDialog(this, "fileErrorDialog", text::kSaveFailedTitle, line);
        return false;
    }
    m_filePath = path;
    m_history->markSaved();
    updateTitle();
    return true;
}

bool FrmMain::settleUnsaved(const QString& question) {
    const QString text = m_filePath.isEmpty() ? QString(text::kUnsavedSheetText)
                                              : QString(text::kUnsavedText).arg(QFileInfo(m_filePath).fileName());
    QMessageBox box(QMessageBox::Warning, text::kToolName, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedDialog"));
    box.setInformativeText(question);
    box.setDefaultButton(QMessageBox::Save);
    const int answer = box.exec();
    return answer == QMessageBox::Discard || (answer == QMessageBox::Save && onSave());
}

void FrmMain::closeEvent(QCloseEvent* event) {
    // Without a file there is nothing to save to, and the window closes as it always has.
    if (!m_filePath.isEmpty() && isWindowModified() && !settleUnsaved(text::kUnsavedQuestion)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------------------------------
// Undo

void FrmMain::onUndo() {
    if (!getAwaited())
        m_history->stack().undo();
    updateTitle();
}

void FrmMain::onRedo() {
    if (!getAwaited())
        m_history->stack().redo();
    updateTitle();
}

// ---------------------------------------------------------------------------------------------------
// Compare and verify

void FrmMain::onCompare() {
    requestRead(PendingRead::Compare);
}

void FrmMain::requestRead(PendingRead why) {
    Effects effects = m_conversation.requestProgramming(connected(), Clock::now());
    if (effects.dumpFailed == Failure::Busy)
        effects.lines.push_back(text::kReadBusy);
    else if (!effects.dumpFailed)
        m_pendingRead = why;
    apply(std::move(effects));
    trimActivityLog();
}

void FrmMain::reportProgramming(const Effects& effects) {
    const PendingRead why = std::exchange(m_pendingRead, PendingRead::None);
    if (why == PendingRead::None || !effects.programming)
        return;  // a failed read has said why
    const bool verify = why == PendingRead::Verify;
    const std::vector<std::string> differences =
        describeDifferences(verify ? m_sentValues : canonicalValuesOf(m_sheet), *effects.programming);
    const QString summary = differences.empty()
                                ? QString(verify ? text::kVerifySame : text::kCompareSame)
                                : QString(verify ? text::kVerifyDiffers : text::kCompareDiffers)
                                      .arg(differences.size())
                                      .arg(plural(differences.size()));
    log(summary);
    QStringList items;
    for (const std::string& difference : differences)
        items << QString::fromStdString(difference);
    for (qsizetype i = 0; i < items.size() && i < static_cast<qsizetype>(kListedDifferences); ++i)
        log(items[i]);
    if (differences.size() > kListedDifferences)
        log(QString(text::kMoreDifferences).arg(differences.size() - kListedDifferences));
    trimActivityLog();
    // Compare was asked for: its answer also stands in a window of its own, every field listed.
    if (!verify)
        showMessageDialog(this, "compareDialog", text::kCompareTitle, summary, items);
}

}  // namespace zeze

// frmMain's menu bar: "Options" first, then File, Edit, Zeze and Help, each item named for the tests and
// its key shown beside it.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app/captions.h"
#include "app/frm_main.h"
#include "app/help_dialogs.h"
#include "app/sheet_undo.h"
#include "editing/presets.h"

namespace zeze {
namespace {

// The tooltip of a control that a key also works: the key in brackets after it.
QString tipWithKey(const char* tip, const QKeySequence& keys) {
    return QString(text::kTipWithKey).arg(QLatin1String(tip), keys.toString(QKeySequence::NativeText));
}

}  // namespace

QAction* FrmMain::addMenuItem(QMenu* menu, const char* caption, const char* name, const QKeySequence& keys) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QLatin1String(name));
    if (!keys.isEmpty())
        action->setShortcut(keys);
    return action;
}

void FrmMain::buildMenu() {
    QMenu* options = menuBar()->addMenu(text::kOptions);
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->setToolTipsVisible(true);
    mnuDefaults = addMenuItem(options, text::kOneMachine, "mnuDefaults");
    mnuFourMach = addMenuItem(options, text::kFourMachines, "mnuFourMach");
    mnuGang = addMenuItem(options, text::kGang, "mnuGang");
    mnuReadShort = addMenuItem(options, text::kReadShort, "mnuReadShort");
    mnuReadShort->setCheckable(true);
    mnuReadShort->setToolTip(text::kReadShortTip);
    connect(mnuDefaults, &QAction::triggered, this, [this] { onPresetChosen(Preset::OneMachine); });
    connect(mnuFourMach, &QAction::triggered, this, [this] { onPresetChosen(Preset::FourMachines); });
    connect(mnuGang, &QAction::triggered, this, [this] { onPresetChosen(Preset::Gang); });
    connect(mnuReadShort, &QAction::toggled, this, [this](bool on) {
        m_sheet.readShort = on;
        m_conversation.setReadShort(on);
    });

    buildFileMenu();
    buildEditMenu();
    buildZezeMenu();
    buildHelpMenu();
}

void FrmMain::buildFileMenu() {
    QMenu* file = menuBar()->addMenu(text::kFileMenu);
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuNew = addMenuItem(file, text::kNew, "mnuNew", QKeySequence::New);
    mnuOpen = addMenuItem(file, text::kOpen, "mnuOpen", QKeySequence::Open);
    mnuSave = addMenuItem(file, text::kSave, "mnuSave", QKeySequence::Save);
    mnuSaveAs = addMenuItem(file, text::kSaveAs, "mnuSaveAs", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    mnuQuit = addMenuItem(file, text::kQuit, "mnuQuit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(mnuNew, &QAction::triggered, this, &FrmMain::onNew);
    connect(mnuOpen, &QAction::triggered, this, &FrmMain::onOpen);
    connect(mnuSave, &QAction::triggered, this, &FrmMain::onSave);
    connect(mnuSaveAs, &QAction::triggered, this, &FrmMain::onSaveAs);
    connect(mnuQuit, &QAction::triggered, this, &QWidget::close);
}

void FrmMain::buildEditMenu() {
    QMenu* edit = menuBar()->addMenu(text::kEditMenu);
    edit->setObjectName(QStringLiteral("mnuEdit"));
    mnuUndo = addMenuItem(edit, text::kUndo, "mnuUndo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuRedo = addMenuItem(edit, text::kRedo, "mnuRedo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    mnuRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    mnuUndo->setEnabled(false);
    mnuRedo->setEnabled(false);
    connect(&m_history->stack(), &QUndoStack::canUndoChanged, mnuUndo, &QAction::setEnabled);
    connect(&m_history->stack(), &QUndoStack::canRedoChanged, mnuRedo, &QAction::setEnabled);
    connect(mnuUndo, &QAction::triggered, this, &FrmMain::onUndo);
    connect(mnuRedo, &QAction::triggered, this, &FrmMain::onRedo);
}

void FrmMain::buildZezeMenu() {
    QMenu* box = menuBar()->addMenu(text::kZezeMenu);
    box->setObjectName(QStringLiteral("mnuZeze"));
    box->setToolTipsVisible(true);
    mnuGet = addMenuItem(box, text::kGetMenu, "mnuGet", QKeySequence(Qt::CTRL | Qt::Key_G));
    mnuSend = addMenuItem(box, text::kSendMenu, "mnuSend", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    mnuCompare = addMenuItem(box, text::kCompare, "mnuCompare", QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuCompare->setToolTip(text::kCompareTip);
    box->addSeparator();
    mnuVerifyAfterSend = addMenuItem(box, text::kVerifyAfterSend, "mnuVerifyAfterSend");
    mnuVerifyAfterSend->setCheckable(true);
    mnuVerifyAfterSend->setToolTip(text::kVerifyAfterSendTip);
    cmd_Dump_Request->setToolTip(tipWithKey(text::kGetFromZezeTip, mnuGet->shortcut()));
    cmd_Download->setToolTip(tipWithKey(text::kSendToZezeTip, mnuSend->shortcut()));
    // The keys do what a click on the button does, and only while the button takes clicks.
    connect(mnuGet, &QAction::triggered, cmd_Dump_Request, [this] {
        if (cmd_Dump_Request->isEnabled())
            cmd_Dump_Request->click();
    });
    connect(mnuSend, &QAction::triggered, cmd_Download, [this] {
        if (cmd_Download->isEnabled())
            cmd_Download->click();
    });
    connect(mnuCompare, &QAction::triggered, this, &FrmMain::onCompare);
}

void FrmMain::buildHelpMenu() {
    QMenu* help = menuBar()->addMenu(text::kHelpMenu);
    help->setObjectName(QStringLiteral("mnuHelp"));
    mnuShortcuts = addMenuItem(help, text::kShortcuts, "mnuShortcuts", QKeySequence::HelpContents);
    mnuAbout = addMenuItem(help, text::kAbout, "mnuAbout");
    connect(mnuShortcuts, &QAction::triggered, this, [this] { showShortcutsDialog(this); });
    connect(mnuAbout, &QAction::triggered, this, [this] { showAboutDialog(this); });
}

}  // namespace zeze

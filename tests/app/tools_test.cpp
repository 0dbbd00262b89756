// The window as an everyday tool, on a fake socket: programming files through the File menu, undo and
// redo, the keys of the menus and where the focus goes after a transfer, Compare with Zeze, Verify after
// Send, and the Help menu.
#include <gtest/gtest.h>

#include <functional>

#include <QDialog>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QTableWidget>
#include <QTemporaryDir>

#include "progfile/program_file.h"
#include "protocol/config_diff.h"
#include "protocol/config_record.h"
#include "version.h"
#include "window_fixture.h"

namespace zeze::apptest {
namespace {

const QByteArray kFirmware209 = bytes({0xFF, 0x00, 0x00, 0x05, 0x09, 0x02});
const QByteArray kDumpRequest = bytes({0xFF, 0x01, 0x01});

ProgramReadResult readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, "cannot open " + path.toStdString()};
    const QByteArray data = file.readAll();
    return readProgram(std::span<const Byte>(reinterpret_cast<const Byte*>(data.constData()),
                                             static_cast<std::size_t>(data.size())));
}

class ToolsTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        showActive();
    }
    // Chooses `path` in the file dialog that `keys` or `item` open, and waits for the window to be active
    // again.
    void chooseFile(const QString& path, QKeyCombination keys) {
        chooseFile(path, [&] { key(keys); });
    }
    void chooseFile(const QString& path, const char* item) {
        chooseFile(path, [&] { action(item)->trigger(); });
    }
    void chooseFile(const QString& path, const std::function<void()>& open) {
        drive::answerFileDialog(window.get(), path);
        open();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void key(QKeyCombination combination) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        combination.key(), combination.keyboardModifiers());
    }
    // Connected, the box has told firmware 2.09; the log and the record of sends start empty.
    void boxAnswers() {
        fake->setState(kStateConnected);
        button("cmd_ID_Request")->click();
        arrive(kFirmware209);
        fake->clearSent();
        get<QListWidget>(QStringLiteral("ListBox"))->clear();
    }
    QByteArray dumpOf(const ConfigValues& values) {
        const EncodeResult reply = EncodeConfigMessage(values, kShortMsgLength);
        EXPECT_TRUE(reply.ok()) << reply.error;
        return toBytes(reply.message);
    }
    QString title(const QString& file) const { return file + "[*] - " + FrmMain::startTitle(); }
};

using Files = ToolsTest;

TEST_F(Files, SaveOpenAndNewKeepTheProgrammingAndTheTitleNamesTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    typeInto(command(0), " 20  1 21");
    get<QCheckBox>("chk_Invert_Trigger", 5)->click();
    ConfigValues saved = configValuesOf(window->sheet());
    saved.pins[0].command = "20 01 21";  // a file holds commands in canonical form

    // Save As: a name without an extension becomes JSON; the title names the file, unmodified.
    chooseFile(dir.filePath("rack3"), Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    const ProgramReadResult json = readFile(dir.filePath("rack3.json"));
    ASSERT_TRUE(json.file) << json.error;
    EXPECT_EQ(json.file->values, saved);
    EXPECT_EQ(window->windowTitle(), title("rack3.json"));
    EXPECT_FALSE(window->isWindowModified());
    typeInto(command(1), "7e");
    EXPECT_TRUE(window->isWindowModified());
    key(Qt::CTRL | Qt::Key_S);  // to the same file, no dialog
    EXPECT_FALSE(window->isWindowModified());
    saved.pins[1].command = "7E";
    EXPECT_EQ(readFile(dir.filePath("rack3.json")).file->values, saved);

    // The exact record: 848 bytes for the short pins of a box not yet heard from.
    chooseFile(dir.filePath("box.bin"), "mnuSaveAs");
    EXPECT_EQ(QFile(dir.filePath("box.bin")).size(), 848);
    EXPECT_EQ(readFile(dir.filePath("box.bin")).file->values, saved);

    // New: the start sheet, no file; Open brings the file back, and undo returns to the new sheet.
    action("mnuNew")->trigger();
    EXPECT_EQ(configValuesOf(window->sheet()), configValuesOf(Sheet{}));
    EXPECT_EQ(window->windowTitle(), FrmMain::startTitle());
    chooseFile(dir.filePath("box.bin"), Qt::CTRL | Qt::Key_O);
    EXPECT_EQ(configValuesOf(window->sheet()), saved);
    Sheet shown = window->sheet();
    expectWidgetsShow(shown);
    EXPECT_EQ(window->windowTitle(), title("box.bin"));
    action("mnuUndo")->trigger();
    EXPECT_EQ(configValuesOf(window->sheet()), configValuesOf(Sheet{}));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(log().isEmpty());

    // A bad file is refused with its path and field, and the sheet stays; so is a sheet no file can hold.
    const QString bad = dir.filePath("bad.json");
    QString document = QString::fromStdString(programToJson({0, kShortMsgLength, saved}));
    document.replace(QStringLiteral("\"7E\""), QStringLiteral("\"G1\""));
    QFile badFile(bad);
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write(document.toUtf8());
    badFile.close();
    const Sheet before = window->sheet();
    chooseFile(bad, "mnuOpen");
    EXPECT_EQ(log(),
              QStringList{QStringLiteral("Couldn't open %1: %2").arg(bad, readFile(bad).error.c_str())});
    EXPECT_TRUE(log().last().contains("pin 3 command")) << log().last().toStdString();
    auto* refusal = window->findChild<QDialog*>(QStringLiteral("fileErrorDialog"));
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->findChild<QLabel*>(QStringLiteral("messageText"))->text(), log().last());
    refusal->close();
    EXPECT_EQ(window->sheet(), before);
    typeInto(get<QLineEdit>("txt_Gateway", 1), "300");
    chooseFile(dir.filePath("refused.json"), "mnuSaveAs");
    EXPECT_TRUE(
        log().last().startsWith("Couldn't save " + dir.filePath("refused.json") + ": network.gateway"))
        << log().last().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("refused.json")));
}

TEST_F(Files, ClosingAsksOnlyAboutUnsavedChangesToANamedFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("rack.json");
    auto closeAnswering = [&](QMessageBox::StandardButton button) {
        QString asked;
        drive::whenModalOpens<QMessageBox>(window.get(), [&asked, button](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Zeze GPI Programmer");
            asked = box->text();
            box->button(button)->click();
        });
        window->close();
        return asked;
    };
    typeInto(command(0), "7e");
    chooseFile(path, "mnuSaveAs");
    typeInto(command(0), "7f");
    EXPECT_EQ(closeAnswering(QMessageBox::Cancel),
              "The programming in rack.json has changes that are not saved.");
    EXPECT_TRUE(window->isVisible());
    closeAnswering(QMessageBox::Save);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(readFile(path).file->values.pins[0].command, "7F");

    // Saved, or with no file at all, the window closes without a question.
    window->show();
    EXPECT_EQ(closeAnswering(QMessageBox::Cancel), QString());
    EXPECT_FALSE(window->isVisible());
    window->show();
    action("mnuNew")->trigger();
    typeInto(command(0), "7e");
    EXPECT_EQ(closeAnswering(QMessageBox::Cancel), QString());
    EXPECT_FALSE(window->isVisible());
}

// One file dropped on the window opens it; with changes not saved, the operator is asked first, in a box
// that carries the tool's name.
TEST_F(Files, ADroppedFileOpensAfterAskingAboutUnsavedChanges) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ConfigValues values = configValuesOf(Sheet{});
    values.pins[6].command = "7E";
    const QString path = dir.filePath("drop.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(programToJson({0, kShortMsgLength, values})));
    file.close();
    auto drop = [&](QMessageBox::StandardButton answer) {
        QString title;
        drive::whenModalOpens<QMessageBox>(window.get(), [&title, answer](QMessageBox* box) {
            title = box->windowTitle();
            box->button(answer)->click();
        });
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return title;
    };
    typeInto(command(0), "01");
    EXPECT_EQ(drop(QMessageBox::Cancel), "Zeze GPI Programmer");
    EXPECT_EQ(command(0)->currentText(), "01");
    drop(QMessageBox::Discard);
    EXPECT_EQ(configValuesOf(window->sheet()), values);
    EXPECT_EQ(window->windowTitle(), title("drop.json"));
    // Saved, it opens without a question.
    values.pins[6].command = "7F";
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(programToJson({0, kShortMsgLength, values})));
    file.close();
    EXPECT_EQ(drop(QMessageBox::Cancel), QString());
    EXPECT_EQ(configValuesOf(window->sheet()), values);
    // Two files are not one file: the drop is refused.
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

using Undo = ToolsTest;

TEST_F(Undo, EveryChangeIsOneStepAndTheKeysUndoTheSheetFromInsideItsBoxes) {
    const Sheet start = window->sheet();
    command(2)->setFocus(Qt::TabFocusReason);
    typeInto(command(2), "20 01");  // five keystrokes, one step
    const Sheet typed = window->sheet();
    get<QCheckBox>("chk_Send_2_Port3", 4)->click();
    const Sheet ticked = window->sheet();
    action("mnuGang")->trigger();
    const Sheet gang = window->sheet();
    ASSERT_NE(gang, ticked);

    // Ctrl+Z with the focus in a command box undoes the sheet's last step, not the box's typing.
    command(2)->setFocus(Qt::TabFocusReason);
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(window->sheet(), ticked);
    expectWidgetsShow(ticked);
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(window->sheet(), typed);
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(window->sheet(), start);
    EXPECT_FALSE(action("mnuUndo")->isEnabled());
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    EXPECT_EQ(window->sheet(), typed);
    key(Qt::CTRL | Qt::Key_Y);
    key(Qt::CTRL | Qt::Key_Y);
    EXPECT_EQ(window->sheet(), gang);
    EXPECT_FALSE(action("mnuRedo")->isEnabled());

    // A Get read into the sheet is one step back to the sheet before it, never to its blank commands.
    boxAnswers();
    button("cmd_Dump_Request")->click();
    ConfigValues box = configValuesOf(Sheet{});
    box.pins[9].command = "42 30";
    arrive(dumpOf(box));
    ASSERT_EQ(configValuesOf(window->sheet()), box);
    action("mnuUndo")->trigger();
    EXPECT_EQ(configValuesOf(window->sheet()), configValuesOf(gang));
    // So is the download's rewriting of the commands into canonical form.
    fake->setState(kStateClosed);
    typeInto(command(0), "1 2");
    button("cmd_Download")->click();
    EXPECT_EQ(command(0)->currentText(), "01 02");
    action("mnuUndo")->trigger();
    EXPECT_EQ(command(0)->currentText(), "1 2");
}

using Keys = ToolsTest;

TEST_F(Keys, GetAndSendByKeyAndTheFocusReturnsToTheButtonThatStarted) {
    boxAnswers();
    for (const auto& [name, action] :
         {std::pair{"cmd_Dump_Request", "mnuGet"}, {"cmd_Download", "mnuSend"}}) {
        const QString keys = this->action(action)->shortcut().toString(QKeySequence::NativeText);
        EXPECT_FALSE(keys.isEmpty()) << action;
        EXPECT_TRUE(button(name)->toolTip().endsWith("(" + keys + ")")) << name;
    }
    command(3)->setFocus(Qt::TabFocusReason);
    key(Qt::CTRL | Qt::Key_G);
    EXPECT_EQ(fake->sent(), kDumpRequest);
    EXPECT_TRUE(transferWaiting());
    key(Qt::CTRL | Qt::Key_G);  // nothing while waiting
    EXPECT_EQ(fake->sent(), kDumpRequest);
    arrive(dumpOf(configValuesOf(Sheet{})));
    EXPECT_TRUE(transferIdle());
    EXPECT_EQ(QApplication::focusWidget(), command(3));  // a key moves no focus

    // Space on the focused button: while it waits the focus is elsewhere, afterwards back on it.
    button("cmd_Dump_Request")->setFocus(Qt::TabFocusReason);
    key(QKeyCombination(Qt::Key_Space));
    ASSERT_TRUE(transferWaiting());
    EXPECT_NE(QApplication::focusWidget(), button("cmd_Dump_Request"));
    arrive(dumpOf(configValuesOf(Sheet{})));
    EXPECT_EQ(QApplication::focusWidget(), button("cmd_Dump_Request"));

    fake->clearSent();
    button("cmd_Download")->setFocus(Qt::TabFocusReason);
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_G);
    EXPECT_EQ(fake->sends().size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return transferIdle(); }, 10000));
    EXPECT_EQ(QApplication::focusWidget(), button("cmd_Download"));
    EXPECT_EQ(fake->sends().size(), 1u);  // Verify after Send is off unless chosen

    // A stray Space or Enter while the pause runs, on the focus where Space sent it or on Disconnect where
    // Ctrl+Shift+G found it, ends nothing; afterwards the focus is back where it was.
    for (const char* start : {"cmd_Download", "Disconnect"}) {
        button(start)->setFocus(Qt::TabFocusReason);
        if (QLatin1String(start) == QLatin1String("cmd_Download"))
            key(QKeyCombination(Qt::Key_Space));
        else
            key(Qt::CTRL | Qt::SHIFT | Qt::Key_G);
        ASSERT_TRUE(transferWaiting()) << start;
        key(QKeyCombination(Qt::Key_Space));
        key(QKeyCombination(Qt::Key_Return));
        EXPECT_TRUE(transferWaiting()) << start;
        EXPECT_FALSE(log().contains("Disconnect")) << start;
        EXPECT_TRUE(QTest::qWaitFor([&] { return transferIdle(); }, 10000));
        EXPECT_EQ(QApplication::focusWidget(), button(start)) << start;
    }
}

using CompareAndVerify = ToolsTest;

TEST_F(CompareAndVerify, TheBoxIsReadWithoutTouchingTheSheetAndEachDifferenceListed) {
    boxAnswers();
    typeInto(command(0), "20 1 21");
    const Sheet sheet = window->sheet();
    ConfigValues box = configValuesOf(sheet);
    box.pins[0].command = "20 01 21";  // what a download of the sheet would store

    action("mnuCompare")->trigger();
    EXPECT_EQ(fake->sent(), kDumpRequest);
    EXPECT_TRUE(transferWaiting());
    arrive(dumpOf(box));
    EXPECT_EQ(log().last(), "Compare: the box holds the sheet's programming.");
    EXPECT_EQ(window->sheet(), sheet);
    EXPECT_TRUE(transferIdle());

    get<QListWidget>(QStringLiteral("ListBox"))->clear();
    const ConfigValues expected = box;
    box.network.gateway[0] = "1";
    box.pins[5].invert = true;
    key(Qt::CTRL | Qt::Key_D);
    arrive(dumpOf(box));
    QStringList lines{"Compare: the box differs in 2 fields (sheet -> box):"};
    for (const std::string& line : describeDifferences(expected, box))
        lines << QString::fromStdString(line);
    EXPECT_EQ(log().mid(1), lines);
    EXPECT_EQ(window->sheet(), sheet);
    // The same answer in a window of its own, each field on its line.
    auto* found = window->findChildren<QDialog*>(QStringLiteral("compareDialog")).last();
    const auto* items = found->findChild<QListWidget*>(QStringLiteral("messageItems"));
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->count(), 2);
    EXPECT_EQ(items->item(0)->text(), lines[1]);
    EXPECT_EQ(items->item(1)->text(), lines[2]);
    for (QDialog* dialog : window->findChildren<QDialog*>(QStringLiteral("compareDialog")))
        dialog->close();

    // Verify after Send: after the pause the box is read back and compared with what went out.
    get<QListWidget>(QStringLiteral("ListBox"))->clear();
    action("mnuVerifyAfterSend")->trigger();
    fake->clearSent();
    button("cmd_Download")->click();
    ASSERT_EQ(fake->sends().size(), 1u);
    const QByteArray download = fake->sends()[0];
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake->sends().size() == 2; }, 10000));
    EXPECT_EQ(fake->sends()[1], kDumpRequest);
    EXPECT_TRUE(transferWaiting());
    arrive(download);  // the box holds what was sent
    EXPECT_EQ(log().last(), "Verified: the box holds what was sent.");
    EXPECT_TRUE(transferIdle());

    fake->clearSent();
    button("cmd_Download")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake->sends().size() == 2; }, 10000));
    QByteArray changed = fake->sends()[0];
    ++changed[static_cast<qsizetype>(kOffGateway)];
    arrive(changed);
    const auto valuesOf = [](const QByteArray& message) {
        return *ReadConfigRecord(std::span<const Byte>(reinterpret_cast<const Byte*>(message.constData()),
                                                       static_cast<std::size_t>(message.size())),
                                 kShortMsgLength);
    };
    const std::vector<std::string> difference =
        describeDifferences(valuesOf(fake->sends()[0]), valuesOf(changed));
    ASSERT_EQ(difference.size(), 1u);
    EXPECT_EQ(log().mid(log().size() - 2),
              (QStringList{"Verify failed: the box differs in 1 field (sent -> box):",
                           QString::fromStdString(difference[0])}));
    // A read that fails says so once, as the engine words it.
    fake->clearSent();
    action("mnuCompare")->trigger();
    button("Disconnect")->click();
    EXPECT_TRUE(log().contains("Reading the box's programming failed: cancelled by Disconnect."))
        << log().join('\n').toStdString();
    EXPECT_TRUE(transferIdle());
}

using Help = ToolsTest;

TEST_F(Help, TheShortcutsListEveryKeyOfTheMenusAndAboutNamesTheVersion) {
    key(QKeyCombination(Qt::Key_F1));
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("shortcutsTable"));
    ASSERT_NE(table, nullptr);
    QStringList listed;
    for (int row = 0; row < table->rowCount(); ++row)
        listed << table->item(row, 0)->text();
    int keys = 0;
    for (QAction* item : window->findChildren<QAction*>()) {
        if (item->shortcut().isEmpty())
            continue;
        ++keys;
        EXPECT_TRUE(listed.contains(item->shortcut().toString(QKeySequence::NativeText)))
            << item->objectName().toStdString();
    }
    EXPECT_GE(keys, 11);
    action("mnuAbout")->trigger();
    auto* about = window->findChild<QLabel*>(QStringLiteral("aboutText"));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->text().contains(QLatin1String(kVersionText)));
    EXPECT_TRUE(about->text().contains(QLatin1String(qVersion())));
    EXPECT_TRUE(about->text().contains(QLatin1String("MIT")));
}

}  // namespace
}  // namespace zeze::apptest

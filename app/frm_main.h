// frmMain, the one window: connection controls, the Activity log and the Programming sheet. It owns
// the Sheet, the socket, Timer1 and the transfer buttons; each handler reads widgets or events, calls
// the logic, applies the result and shows the sheet again.
#pragma once

#include <array>
#include <memory>
#include <span>

#include <QKeySequence>
#include <QMainWindow>
#include <QTimer>

#include "link/engine_link.h"
#include "link/socket.h"
#include "model/sheet.h"
#include "protocol/conversation.h"

class QAction;
class QMenu;
class QCheckBox;
class QKeyEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zeze {

class ActivityLog;
class GestureLabel;
class SheetHistory;
class StateBox;
enum class Preset;

class FrmMain : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kTimerIntervalMs = 100;
    static constexpr int kConnectWaitMs = 1000;

    // Takes the socket to use; without one it makes a TcpSocket.
    explicit FrmMain(std::unique_ptr<Socket> socket = nullptr, QWidget* parent = nullptr);
    ~FrmMain() override;

    const Sheet& sheet() const { return m_sheet; }
    Socket& socket() { return *m_socket; }
    const Conversation& conversation() const { return m_conversation; }
    static QString startTitle();
    // The box named on the command line: shown in the connection controls and connected to as a click on
    // Connect would.
    void connectAtStart(const QString& host, quint16 port);
    // Reads a programming file into the sheet as File > Open does; false, with a line and a message, when
    // it cannot.
    bool openFile(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Changes to the programming of a named file are not lost silently: closing asks first.
    void closeEvent(QCloseEvent* event) override;
    // One programming file dropped on the window is opened, as File > Open would.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    enum class PendingRead { None, Compare, Verify };

    void buildWidgets();
    QWidget* buildConnectionArea();
    QGroupBox* buildProgrammingFrame();
    void buildMenu();
    void buildFileMenu();
    void buildEditMenu();
    void buildZezeMenu();
    void buildHelpMenu();
    QAction* addMenuItem(QMenu* menu, const char* caption, const char* name, const QKeySequence& keys = {});
    void loadForm();

    // Writes every widget from the sheet, with signals blocked so nothing echoes back.
    void showSheet();
    void bindEdits();

    void log(const QString& line);
    void trimActivityLog();
    void setTransferWaiting();
    void setTransferIdle();
    // The title: the file's name when the sheet has one, the program and, once known, the box's firmware.
    void updateTitle();
    // Takes the sheet as it stands as an undo step; `field` names the one field an edit changed.
    void recordChange(int field = -1);
    void restoreValues(const ConfigValues& values);
    // A Get is awaited: the sheet's commands stand empty until the box's programming is in.
    bool getAwaited() const;
    // Carries out what the conversation asked for: log its lines, send, show the sheet and the
    // firmware, set the transfer buttons, and arm the engine's next wake-up.
    void apply(Effects effects);
    bool connected() const;

    // Handlers
    void onConnectClicked();
    void onDisconnectClicked();
    void onSocketError(int number, const QString& description);
    void onSocketConnected();
    void onPortLabelClicked();
    // Enter in the address, the port or on the port's lock label connects, as a click on Connect would.
    void onEnterPressed();
    // A key on the focused lock label: Enter connects, a digit unlocks the port and goes into it.
    bool portLabelKey(const QKeyEvent& key);
    void onTimerTick();
    void onIdRequestClicked();
    void onGpiRequestClicked();
    void onDumpRequestClicked();
    void onDownloadClicked();
    void onDataArrived(const QByteArray& bytes);
    void onConnectionEnded();
    void onWake();
    void onCommandLeft(int row);
    void onText2HexChanged();
    void onText2HexLeft();
    void onPresetChosen(Preset preset);
    void onColumnHeadingPressed(FlagColumn column, Qt::MouseButton button);
    void onNew();
    void onOpen();
    bool onSave();
    bool onSaveAs();
    bool saveTo(const QString& path);
    // Asks `question` about the sheet's unsaved changes (Save, Discard, Cancel); true when the operator
    // let them go or saved them.
    bool settleUnsaved(const QString& question);
    // While a transfer waits, the focus leaves the controls where a stray Space would end it.
    void keepFocusSafe();
    void onUndo();
    void onRedo();
    void onCompare();
    // Asks for the box's programming without touching the sheet, to compare or verify.
    void requestRead(PendingRead why);
    // The box's programming read for a compare or a verify, or its failure.
    void reportProgramming(const Effects& effects);

    Sheet m_sheet;
    std::unique_ptr<Socket> m_socket;
    Conversation m_conversation;
    QTimer* Timer1 = nullptr;
    EngineLink* m_engineLink = nullptr;
    std::unique_ptr<SheetHistory> m_history;
    QString m_filePath;      // the file the sheet was opened from or saved to; empty when none
    QString m_firmwareText;  // "2.10" while the box's firmware is known
    // What the pending read of the box's programming is for; the sheet as sent, for a verify.
    PendingRead m_pendingRead = PendingRead::None;
    ConfigValues m_sentValues;
    // The button that had the focus when its transfer began, and where the focus went then.
    QPushButton* m_refocus = nullptr;
    QWidget* m_focusMovedTo = nullptr;

    // Connection controls
    QLabel* Zeze_Address_Label = nullptr;
    QComboBox* Zeze_Address = nullptr;
    GestureLabel* Zeze_Port_Label = nullptr;
    QLineEdit* Zeze_Port = nullptr;
    QLabel* Zeze_State_Label = nullptr;
    StateBox* Zeze_State = nullptr;
    QPushButton* Connect = nullptr;
    QPushButton* Disconnect = nullptr;
    ActivityLog* ListBox = nullptr;
    QLineEdit* Text2Hex = nullptr;
    QLineEdit* HexBox = nullptr;
    QLabel* HexLen = nullptr;

    // The sheet
    QGroupBox* fraZezeProgramming = nullptr;
    std::array<QLineEdit*, kOctetCount> txt_Zeze_Address{}, txt_Zeze_Mask{}, txt_Gateway{},
        txt_Dest_Address{};
    QLineEdit* txt_Zeze_Port = nullptr;
    QLineEdit* txt_Dest_Port = nullptr;
    std::array<QComboBox*, kSerialPortCount> cbo_Port_Speed{}, cbo_Port_Parity{};
    QCheckBox* chk_Zivido_and_Status = nullptr;
    QCheckBox* chk_Auto_Checksum = nullptr;
    std::array<GestureLabel*, kPinCount> lbl_GPI_Pin{};
    std::array<QComboBox*, kPinCount> cbo_Command{};
    std::array<QCheckBox*, kPinCount> chk_Invert_Trigger{}, chk_Send_2_Port1{}, chk_Send_2_Port2{},
        chk_Send_2_Port3{}, chk_Send_2_Port4{};
    std::array<GestureLabel*, 3> lbl_Port_Steering{}, lbl_Invert{}, lbl_Send_2_Port1{}, lbl_Send_2_Port2{},
        lbl_Send_2_Port3{}, lbl_Send_2_Port4{};
    QPushButton* cmd_Download = nullptr;
    QPushButton* cmd_Dump_Request = nullptr;
    QPushButton* cmd_GPI_Request = nullptr;
    QPushButton* cmd_ID_Request = nullptr;

    QAction* mnuDefaults = nullptr;
    QAction* mnuFourMach = nullptr;
    QAction* mnuGang = nullptr;
    QAction* mnuReadShort = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QAction* mnuGet = nullptr;
    QAction* mnuSend = nullptr;
    QAction* mnuCompare = nullptr;
    QAction* mnuVerifyAfterSend = nullptr;
    QAction* mnuShortcuts = nullptr;
    QAction* mnuAbout = nullptr;
};

}  // namespace zeze

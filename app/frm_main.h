// frmMain, the one window: connection controls, the Activity log and the Programming sheet. It owns
// the Sheet, the socket, Timer1 and the transfer buttons; each handler reads widgets or events, calls
// the logic, applies the result and shows the sheet again.
#pragma once

#include <array>
#include <memory>
#include <span>

#include <QMainWindow>
#include <QTimer>

#include "link/socket.h"
#include "model/sheet.h"
#include "protocol/conversation.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zeze {

class ActivityLog;
class GestureLabel;
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
    static QString startTitle();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildWidgets();
    QWidget* buildConnectionArea();
    QGroupBox* buildProgrammingFrame();
    void buildMenu();
    void loadForm();

    // Writes every widget from the sheet, with signals blocked so nothing echoes back.
    void showSheet();
    void bindEdits();

    void log(const QString& line);
    void trimActivityLog();
    void setTransferWaiting();
    void setTransferIdle();
    // Carries out what the conversation asked for: log its lines, send, show the sheet and the
    // firmware, set the transfer buttons, and arm m_wakeTimer for its next wake-up.
    void apply(Effects effects);
    bool connected() const;

    // Handlers
    void onConnectClicked();
    void onDisconnectClicked();
    void onSocketError(int number, const QString& description);
    void onSocketConnected();
    void onPortLabelClicked();
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

    Sheet m_sheet;
    std::unique_ptr<Socket> m_socket;
    Conversation m_conversation{m_sheet};
    QTimer* Timer1 = nullptr;
    QTimer* m_wakeTimer = nullptr;

    // Connection controls
    QLabel* Zeze_Address_Label = nullptr;
    QComboBox* Zeze_Address = nullptr;
    GestureLabel* Zeze_Port_Label = nullptr;
    QLineEdit* Zeze_Port = nullptr;
    QLabel* Zeze_State_Label = nullptr;
    QLineEdit* Zeze_State = nullptr;
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
};

}  // namespace zeze

// Register view: the encoder's configuration registers in RAM (0..15) and EEPROM (16..31), in hex.
#ifndef ROTACONF_RC_REGISTER_H
#define ROTACONF_RC_REGISTER_H

#include <QDialog>

class QGroupBox;
class QTreeWidget;
class TRC_Device;

class TRC_RegisterForm : public QDialog {
    Q_OBJECT

public:
    // The device model stays the caller's.
    TRC_RegisterForm(QWidget *owner, TRC_Device &device);

    // Reads both areas through the device model; runs each time the window is shown.
    void FormActivate();

    QGroupBox *GBRAM = nullptr;
    QGroupBox *GBEEPROM = nullptr;
    QTreeWidget *LVRAM = nullptr;
    QTreeWidget *LVEEPROM = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TRC_Device &m_device;
};

#endif

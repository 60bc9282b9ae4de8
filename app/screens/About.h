// About box: program name, version, copyright, comments, file date and status, taken from the
// version data built into the program file.
#ifndef ROTACONF_ABOUT_H
#define ROTACONF_ABOUT_H

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT

public:
    // programFile: the file whose version data and date are shown; empty means the running program.
    explicit TAboutForm(QWidget *owner, const QString &programFile = QString());

    // Fills the texts from the version data; runs each time the box is shown.
    void FormActivate();

    QLabel *ProgramIcon = nullptr;
    QLabel *LProductName = nullptr;
    QLabel *LVersion = nullptr;
    QLabel *LFileDate = nullptr;
    QLabel *LCopyright = nullptr;
    QLabel *LStatus = nullptr;
    QLabel *LComments = nullptr;
    QPushButton *BOK = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_programFile;
};

#endif

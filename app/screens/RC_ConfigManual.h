// Manual selection window: browse the catalogue by article type and basic resolution without an
// encoder. Changes nothing.
#ifndef ROTACONF_RC_CONFIGMANUAL_H
#define ROTACONF_RC_CONFIGMANUAL_H

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TConfigList;

class TRC_ConfigManualForm : public QDialog {
    Q_OBJECT

public:
    // The catalogue stays the caller's; langBase is 0 (English) or 1000 (German).
    TRC_ConfigManualForm(QWidget *owner, TConfigList &catalogue, int langBase);
    ~TRC_ConfigManualForm() override;

    void FormCreate();
    void CBArtTypeChange();
    void CBImpZahlChange();

    QLabel *Label1 = nullptr;
    QComboBox *CBArtType = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *CBImpZahl = nullptr;
    QTableWidget *SGData = nullptr;
    QPushButton *BCancel = nullptr;

private:
    TConfigList &m_catalogue;
    int m_langBase;
    std::unique_ptr<TConfigList> m_typeConfigs;  // entries of the chosen article type
    std::unique_ptr<TConfigList> m_countConfigs; // of those, the entries of the chosen resolution
};

#endif

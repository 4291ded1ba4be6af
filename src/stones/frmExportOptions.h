#pragma once
// The columns of a stone list for customers (file or e-mail, two layouts).
#include "stones/StoneLists.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace velmor::ui {

class frmExportOptions : public QDialog {
    Q_OBJECT
public:
    frmExportOptions(bool fileMode, int layout, QWidget *parent = nullptr);

    stones::ListOptions options() const;
    int layout() const;
    bool fileMode() const { return m_fileMode; }

    QCheckBox *chkShape, *chkColour, *chkClarity, *chkCut, *chkMeasurement, *chkRapCt, *chkRAPOFF, *chkCODE, *chkCert, *chkFiles;
    QRadioButton *optLayout1, *optLayout2;
    QPushButton *cmdOK, *cmdCancel;

private:
    bool m_fileMode;
};

} // namespace velmor::ui

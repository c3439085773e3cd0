// The row of a dialog's closing buttons: the accepting button (the default one) and the
// cancelling one, in a QDialogButtonBox so they stand in the desktop's order. Each dialog
// keeps its own captions and object names, since tests and users know them by those.
#pragma once

#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>

namespace tessaly::ui {

struct TButtonRow {
    QDialogButtonBox* Box = nullptr;
    QPushButton* Accept = nullptr;
    QPushButton* Cancel = nullptr;
};

// The buttons only are made: what a click does is connected by the dialog.
TButtonRow MakeButtonRow(QWidget* parent, const QString& accept, const char* acceptName,
                         const QString& cancel, const char* cancelName);

}  // namespace tessaly::ui

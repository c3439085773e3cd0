#include "ui/ButtonRow.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace tessaly::ui {

TButtonRow MakeButtonRow(QWidget* parent, const QString& accept, const char* acceptName,
                         const QString& cancel, const char* cancelName) {
    TButtonRow row;
    row.Accept = new QPushButton(accept, parent);
    row.Accept->setObjectName(acceptName);
    row.Accept->setDefault(true);
    row.Cancel = new QPushButton(cancel, parent);
    row.Cancel->setObjectName(cancelName);
    row.Box = new QDialogButtonBox(parent);
    row.Box->addButton(row.Accept, QDialogButtonBox::AcceptRole);
    row.Box->addButton(row.Cancel, QDialogButtonBox::RejectRole);
    return row;
}

}  // namespace tessaly::ui

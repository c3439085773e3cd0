#include "ui/DialogPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "ui/QtText.h"

namespace tessaly::ui {

QWidget* MessageOwner() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->isMinimized() && w->windowType() != Qt::Popup &&
            w->windowType() != Qt::ToolTip && (w->windowFlags() & Qt::WindowStaysOnTopHint))
            return w;
    return QApplication::activeWindow();
}

namespace {

class TDialogPrompts final : public TPrompts {
  public:
    void ShowMessage(const std::string& text) override {
        Ask(QMessageBox::Information, text, QMessageBox::Ok);
    }
    void Beep() override { QApplication::beep(); }
    bool AskYesNo(const std::string& text) override {
        return Ask(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    }

  private:
    static int Ask(QMessageBox::Icon icon, const std::string& text,
                   QMessageBox::StandardButtons buttons) {
        QWidget* owner = MessageOwner();
        QMessageBox box(icon, "Tessaly Jobs 98", FromBytes(text), buttons, owner);
        // Over a window kept on top, the message must be kept on top too.
        if (owner && (owner->windowFlags() & Qt::WindowStaysOnTopHint))
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        return box.exec();
    }
};

}  // namespace

std::unique_ptr<TPrompts> MakeDialogPrompts() {
    return std::make_unique<TDialogPrompts>();
}

}  // namespace tessaly::ui

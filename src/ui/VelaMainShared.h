// What the main window's source files share: the maker's pages, the keywords' one-line
// form, the byte conversion and the window's actions.
#pragma once

#include <QAction>
#include <QMenu>
#include <QString>
#include <map>
#include <string>
#include <utility>

#include "platform/ByteString.h"
#include "ui/VelaMain.h"

namespace tessaly::ui {

// The maker's home page.
inline constexpr const char* kMakerHome = "http://tessaly-jobs.example.org/";

// The index keeps one line per value: keywords typed on several lines are kept as
// one line, the line breaks turned into blanks, or the index would be read back shifted.
inline std::string SearchKeywords(const std::string& typed) {
    return ReplaceAll(ReplaceAll(typed, "\r\n", " "), "\n", " ");
}

inline std::string Bytes(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// The window's actions by name, and the pop-up copies of the main-menu items.
struct TVelaMainForm::TActions {
    std::map<std::string, QAction*> byName;
    // The pop-up copies of main-menu items (the same handlers, their own enabling).
    QAction *resOpen, *resOpenNew, *resCopy, *resSend, *resDelete, *resHigh, *resComment,
        *resTranslate, *resFind, *resFindNext;
    QAction *srchDelete, *srchNew, *srchRefine, *srchUpdate, *srchFind, *srchFindNext;
    QAction *grabSelected, *grabHigh, *grabGreen, *grabAll;
    QAction *browseThis, *browseNew, *browseHigh, *browseGreen, *browseAll;
    QAction *toolsComment, *toolsTranslate, *toolsSend;
    QMenu *grabMenu, *browseMenu;
    QMenu* resAlsoOn;  // the selected job's pages on other boards
    std::map<std::string, QAction*> sortItems;
    QString findText;
    bool findCase = false;
};

}  // namespace tessaly::ui

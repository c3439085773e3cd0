// What the main window's source files share: the maker's pages, the relevancy texts, the
// sort items and the conversions between the grid's headers and the job list's keys.
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

// The maker's pages; the help page sits beside the home page.
inline constexpr const char* kMakerHome = "http://tessaly-jobs.example.org/";
inline constexpr const char* kMakerHelp = "http://tessaly-jobs.example.org/help.html";

inline const char* const kRelevancyTexts[5] = {"(1) Lowest", "(2) Low", "(3) Average", "(4) High",
                                               "(5) Highest"};

// The "Sort Jobs by" items and the columns they stand for.
inline const std::pair<const char*, const char*> kSortItems[7] = {
    {"Status", " "},           {"Title", "Title "},   {"Company", "Company "},
    {"Location", "Location "}, {"Source", "Source "}, {"Relevancy", "Relevancy "},
    {"Notes", "Notes"}};

// The job list's sort key for a column header: the notes column sorts by "Notes ". The
// engine keeps the key, the grid shows the header.
inline std::string SortKeyOf(const std::string& header) {
    return header == "Notes" ? "Notes " : header;
}
inline std::string HeaderOfKey(const std::string& key) {
    return key == "Notes " ? "Notes" : key;
}

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
    std::map<std::string, QAction*> sortItems;
    QString findText;
    bool findCase = false;
};

}  // namespace tessaly::ui

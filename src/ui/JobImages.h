// The pictures of the listing and the toolbar, drawn at start-up so that every size and
// colour is of one family: the 20 job status images, the search image and the toolbar
// icons.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <vector>

namespace tessaly {
class TVelaJob;
}

namespace tessaly::ui {

inline constexpr int kJobImageCount = 20;
inline constexpr int kJobImageFetching = 11;  // 12 when highlighted

// What an image shows, for the status cell's hint: "Highlighted " ... "Job".
QString JobImageHint(const TVelaJob& job);

// The job image list: index i is the picture for the meaning JobStatusImage gives.
const std::vector<QPixmap>& JobImages();
const QPixmap& SearchImage();

// Toolbar icons by name: "New", "Update", "Refine", "Grab", "Stop", "Highlight",
// "Tools", "Browse", "Guide"; a blank icon for any other name.
QIcon ToolbarIcon(const QString& name);
// The program's icon (window, desktop entry).
QIcon ProgramIcon();

}  // namespace tessaly::ui

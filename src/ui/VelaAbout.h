// The about box and the splash screen shown while the program loads.
#pragma once

#include <QDialog>
#include <QWidget>
#include <string>

class QLabel;

namespace tessaly::ui {

struct TProductId;

class TAboutForm : public QDialog {
  public:
    explicit TAboutForm(QWidget* parent = nullptr);
    // Filled each time it is shown: the product, edition, version and the version of the
    // loaded job-site definitions.
    void Fill(const TProductId& id, const std::string& definitionsVersion);

    QLabel* ProductLabel;
    QLabel* EditionLabel;
    QLabel* VersionLabel;
    QLabel* IntelLabel;
};

class TSplashForm : public QWidget {
  public:
    // `programDir` holds id.box and, optionally, "edition.png" (the edition picture).
    explicit TSplashForm(const std::string& programDir, const TProductId& id);

    QLabel* EditionLabel;
    QLabel* VersionLabel;
    QLabel* EditionLogo;
};

}  // namespace tessaly::ui

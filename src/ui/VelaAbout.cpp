#include "ui/VelaAbout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Paths.h"
#include "ui/FrameAnimation.h"
#include "ui/QtText.h"
#include "ui/VelaMain.h"

namespace tessaly::ui {

namespace {

QLabel* Logo(QWidget* parent, int side) {
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    PaintLogoFrame(p, QRect(0, 0, side, side), 38);
    p.end();
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    return l;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutForm");
    setWindowTitle("About Tessaly Jobs 98");
    setModal(true);
    ProductLabel = new QLabel(this);
    ProductLabel->setObjectName("ProductLabel");
    QFont big = ProductLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    ProductLabel->setFont(big);
    EditionLabel = new QLabel(this);
    EditionLabel->setObjectName("EditionLabel");
    VersionLabel = new QLabel(this);
    VersionLabel->setObjectName("VersionLabel");
    IntelLabel = new QLabel(this);
    IntelLabel->setObjectName("IntelLabel");
    auto* notice = new QLabel(
        "A job-search agent: one search, many job sites.\n"
        "Job postings belong to the sites that publish them.",
        this);

    auto* text = new QVBoxLayout;
    text->addWidget(ProductLabel);
    text->addWidget(EditionLabel);
    text->addWidget(VersionLabel);
    text->addSpacing(8);
    text->addWidget(IntelLabel);
    text->addSpacing(8);
    text->addWidget(notice);
    auto* row = new QHBoxLayout;
    row->addWidget(Logo(this, 64), 0, Qt::AlignTop);
    row->addLayout(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addWidget(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutForm::Fill(const TProductId& id, const std::string& definitionsVersion) {
    ProductLabel->setText(FromBytes(id.ProductName));
    EditionLabel->setText(FromBytes(id.EditionName));
    VersionLabel->setText(FromBytes(id.VersionName));
    IntelLabel->setText("Intelligence File Stamp: " + FromBytes(definitionsVersion));
}

TSplashForm::TSplashForm(const std::string& programDir, const TProductId& id)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("SplashForm");
    setFixedSize(400, 243);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, QColor(40, 48, 64));
    setPalette(pal);

    auto* name = new QLabel("Tessaly Jobs 98", this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    name->setFont(big);
    EditionLabel = new QLabel(FromBytes(id.EditionName), this);
    EditionLabel->setObjectName("EditionLabel");
    VersionLabel = new QLabel(FromBytes(id.VersionName), this);
    VersionLabel->setObjectName("VersionLabel");
    EditionLogo = new QLabel(this);
    EditionLogo->setObjectName("EditionLogo");
    const std::string picture = JoinPath(programDir, "edition.png");
    QPixmap pm;
    if (FileExists(picture) && pm.load(QString::fromStdString(picture)))
        EditionLogo->setPixmap(pm);
    else
        EditionLogo->hide();

    auto* text = new QVBoxLayout;
    text->addStretch();
    text->addWidget(name);
    text->addWidget(EditionLabel);
    text->addWidget(VersionLabel);
    text->addWidget(EditionLogo);
    text->addStretch();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 16, 24, 16);
    row->addWidget(Logo(this, 96));
    row->addSpacing(16);
    row->addLayout(text, 1);
}

}  // namespace tessaly::ui

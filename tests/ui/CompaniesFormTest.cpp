// The watched companies in the window: a pasted board address is watched and the next
// search has the company as a site; a wrong one is refused with the accepted forms; a
// company is taken off the list again.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "platform/TextFile.h"
#include "ui/VelaMain.h"

using namespace tessaly;
using namespace tessaly::ui;

class CompaniesFormTest : public QObject {
    Q_OBJECT

  private slots:
    void pastedAddressesAreWatchedAndRemoved() {
        test::TSampleHome home;
        test::TWindow w(home);
        QStringList listed;
        QString status, refused;
        w.answer = [&](QDialog* d) {
            auto* address = d->findChild<QLineEdit*>("AddressEdit");
            auto* name = d->findChild<QLineEdit*>("NameEdit");
            auto* add = d->findChild<QPushButton*>("AddButton");
            auto* list = d->findChild<QListWidget*>("CompanyList");
            auto* label = d->findChild<QLabel*>("StatusLabel");
            QVERIFY(address && name && add && list && label);
            QVERIFY(!add->isEnabled());
            address->setText("https://jobs.lever.co/tidewater/");
            name->setText("Tidewater");
            add->click();
            status = label->text();
            address->setText("https://careers.example.com/acme");
            add->click();
            refused = label->text();
            for (int i = 0; i < list->count(); ++i)
                listed << list->item(i)->text();
        };
        w->Action("MMCompanies")->trigger();
        QCOMPARE(status, QString("Watching \"Tidewater\": Lever board tidewater."));
        QVERIFY2(refused.contains("jobs.lever.co/TOKEN"), qPrintable(refused));
        QCOMPARE(listed, QStringList{"Tidewater  (Lever: tidewater)"});
        bool searched = false;
        for (int i = 0; i < w->Sources().Count(); ++i)
            searched = searched || (w->Sources()[i].Title == "Tidewater" &&
                                    w->Sources()[i].Board == "tidewater");
        QVERIFY(searched);

        w.answer = [&](QDialog* d) {
            auto* list = d->findChild<QListWidget*>("CompanyList");
            QCOMPARE(list->count(), 1);
            list->setCurrentRow(0);
            d->findChild<QPushButton*>("RemoveButton")->click();
            QCOMPARE(list->count(), 0);
        };
        w->Action("MMCompanies")->trigger();
        QVERIFY(ReadFileBytes(home.File("companies.txt")).find("tidewater") == std::string::npos);
        for (int i = 0; i < w->Sources().Count(); ++i)
            QVERIFY(w->Sources()[i].Title != "Tidewater");
    }
};

QTEST_MAIN(CompaniesFormTest)
#include "CompaniesFormTest.moc"

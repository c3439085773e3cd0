#include "ui/VelaApp.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "platform/DateTime.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/WindowChannel.h"
#include "ui/DialogPrompts.h"
#include "ui/JobImages.h"
#include "ui/QtMainLoop.h"
#include "ui/QtText.h"
#include "ui/VelaAbout.h"
#include "ui/VelaAgent.h"
#include "ui/VelaMain.h"

namespace tessaly::ui {

namespace {

const char* const kUsage =
    "Usage: tessaly-jobs [--home DIR] [--search N] [--demo [--tls]]\n"
    "  --home DIR   use DIR as the home directory (else $TESSALY_HOME, the program's\n"
    "               directory when it holds id.box, or ~/.local/share/tessaly-jobs)\n"
    "  --search N   open on saved search N (as 'tessaly list' numbers them); a window\n"
    "               already open on the home shows it\n"
    "  --demo       start the demo job sites on a free loopback port, prepare a fresh\n"
    "               home directory for them (or DIR of --home) and open the window on it\n"
    "  --tls        with --demo: the demo sites speak https, with a certificate made for\n"
    "               this run that the home's options trust\n";

#ifndef TESSALY_DEMO_SITES
#define TESSALY_DEMO_SITES ""
#endif

// The demo server program: $TESSALY_DEMO_SITES, beside this program, the build's copy,
// else the PATH.
QString DemoSitesProgram() {
    if (const char* env = std::getenv("TESSALY_DEMO_SITES"); env && *env) return env;
    const std::string beside = JoinPath(ExecutableDirectory(), "tessaly-demo-sites");
    if (FileExists(beside)) return QString::fromStdString(beside);
    if (FileExists(TESSALY_DEMO_SITES)) return TESSALY_DEMO_SITES;
    return "tessaly-demo-sites";
}

// Starts the demo sites writing `home` for their port; false (and `error`) when they do
// not come up. They stop when their standard input closes.
bool StartDemoSites(QProcess& server, const std::string& home, bool tls, std::string& error) {
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args = {"--port", "0", "--home", QString::fromStdString(home),
                        "--until-stdin-closes"};
    if (tls) args << "--tls";
    server.start(DemoSitesProgram(), args);
    if (!server.waitForStarted(10000)) {
        error = "cannot start " + DemoSitesProgram().toStdString() + ": " +
                server.errorString().toStdString();
        return false;
    }
    QByteArray line;
    while (!line.contains('\n') && server.waitForReadyRead(10000))
        line += server.readAllStandardOutput();
    if (!line.startsWith("listening on ")) {
        error = "the demo sites did not start (" +
                (line.isEmpty() ? std::string("no answer") : line.trimmed().toStdString()) + ")";
        return false;
    }
    // Over TLS a second line names the certificate authority.
    std::cerr << "tessaly-jobs: demo sites " << line.trimmed().replace('\n', "; ").toStdString()
              << ", home " << home << "\n";
    return true;
}

// SIGTERM and SIGINT (a session ending, Ctrl-C in a terminal) close the window as the
// close box does, so the listing and the index are saved: the handler only writes a byte
// that the main loop reads.
int gSignalPipe[2] = {-1, -1};
extern "C" void OnTerminateSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

// A start-up failure the user must see: a message box and standard error, status 1.
int Fail(const std::string& text) {
    std::cerr << "tessaly-jobs: " << text << "\n";
    QMessageBox::critical(nullptr, "Tessaly Jobs 98", FromBytes(text));
    return 1;
}

// How long a second start waits for the first to listen.
constexpr qint64 kInstanceWaitMs = 3000;

}  // namespace

QString UnexpectedErrorText(const std::string& senderClass, const std::string& message) {
    return "Tessaly Jobs has encountered an unexpected condition in " +
           QString::fromStdString(senderClass) + " and will shut down.\r\n" + FromBytes(message);
}

bool IsIgnoredErrorSender(const std::string& senderClass, const std::string& senderName) {
    return senderClass == "QTimer" || senderClass == "TTimer" ||
           senderClass == "tessaly::ui::TFrameAnimation" || senderClass == "QTableWidget" ||
           senderClass == "QTableView" || senderName == "ButtonsPanel";
}

std::pair<std::string, std::string> ErrorSender(const QObject* receiver) {
    const QObject* sender = receiver;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(receiver->parent())) {
        const bool header = qobject_cast<const QHeaderView*>(receiver) != nullptr;
        if (header || receiver == view->viewport()) sender = view;
    }
    return {sender->metaObject()->className(), sender->objectName().toStdString()};
}

QString InstanceServerName(const std::string& home) {
    // A full path: the toolkit-free command line finds the same socket.
    return QString::fromStdString(WindowChannelPath(home));
}

TVelaApplication::TVelaApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Tessaly Jobs 98");
    setApplicationDisplayName("Tessaly Jobs 98");
    setWindowIcon(ProgramIcon());
}

bool TVelaApplication::notify(QObject* receiver, QEvent* e) {
    try {
        return QApplication::notify(receiver, e);
    } catch (const std::exception& ex) {
        const auto [senderClass, senderName] = ErrorSender(receiver);
        HandleError(senderClass, senderName, ex.what());
    } catch (...) {
        const auto [senderClass, senderName] = ErrorSender(receiver);
        HandleError(senderClass, senderName, "unknown error");
    }
    return false;
}

void TVelaApplication::HandleError(const std::string& senderClass, const std::string& senderName,
                                   const std::string& message) {
    if (MainForm && MainForm->Closing()) {
        // During shutdown a box could stop the shutdown itself: only the beep.
        beep();
        return;
    }
    if (IsIgnoredErrorSender(senderClass, senderName)) {
        std::cerr << "tessaly-jobs: ignored error in " << senderClass << ": " << message << "\n";
        return;
    }
    const QString text = UnexpectedErrorText(senderClass, message);
    std::cerr << "tessaly-jobs: " << text.toStdString() << "\n";
    if (OnErrorBox)
        OnErrorBox(text);
    else
        QMessageBox::critical(MainForm, "Tessaly Jobs 98", text);
    if (MainForm) MainForm->close();
}

int RunTessalyJobs(int argc, char** argv) {
    TVelaApplication app(argc, argv);
    std::string homeArg;
    bool demo = false;
    bool tls = false;
    int search = 0;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--home" && i + 1 < args.size()) {
            homeArg = args[++i].toStdString();
        } else if (a == "--search" && i + 1 < args.size()) {
            bool number = false;
            search = args[++i].toInt(&number);
            if (!number || search < 1) {
                std::cerr << "tessaly-jobs: --search takes a search's number\n" << kUsage;
                return 2;
            }
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--tls") {
            tls = true;
        } else if (a.startsWith("--home=")) {
            homeArg = a.mid(7).toStdString();
        } else {
            std::cerr << "tessaly-jobs: unknown argument " << a.toStdString() << "\n" << kUsage;
            return 2;
        }
    }
    if (tls && !demo) {
        std::cerr << "tessaly-jobs: --tls goes with --demo\n" << kUsage;
        return 2;
    }
    InitLocaleFromEnvironment();

    std::string error;
    QProcess demoSites;
    if (demo && homeArg.empty()) {
        char dir[] = "/tmp/tessaly-demo-XXXXXX";
        if (!mkdtemp(dir)) return Fail("cannot make a directory under /tmp");
        homeArg = dir;
    }
    if (demo) {
        ForceDirectories(homeArg);
        if (!StartDemoSites(demoSites, homeArg, tls, error)) return Fail(error);
    }
    // The demo sites go when the program goes, however it ends.
    struct TStopDemo {
        QProcess& p;
        ~TStopDemo() {
            if (p.state() == QProcess::NotRunning) return;
            p.closeWriteChannel();
            if (!p.waitForFinished(2000)) {
                p.terminate();
                p.waitForFinished(2000);
            }
        }
    } stopDemo{demoSites};
    const std::string home = ResolveHomeDirectory(homeArg);
    if (!homeArg.empty() && !DirectoryExists(home))
        return Fail("--home: " + home + " is not a directory");
    try {
        PrepareHomeDirectory(home, ShippedDataDirectory());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }

    // One process at a time writes the home directory. A second start asks the first to
    // come to the front and ends.
    TInstanceLock lock(home);
    if (!lock.Acquired()) {
        // The first start may still be starting up, before it listens: it is given up
        // to three seconds to answer before this one gives up.
        bool raised = false;
        QElapsedTimer waited;
        waited.start();
        while (!raised && waited.elapsed() < kInstanceWaitMs) {
            QLocalSocket socket;
            socket.connectToServer(InstanceServerName(home));
            if (socket.waitForConnected(1000)) {
                socket.write(search > 0 ? "show " + QByteArray::number(search) + "\n"
                                        : QByteArray("raise\n"));
                raised = socket.waitForBytesWritten(2000);
                socket.disconnectFromServer();
            } else {
                QThread::msleep(200);
            }
        }
        if (raised)
            std::cerr << "tessaly-jobs: Tessaly Jobs 98 is already running on " << home
                      << (lock.Holder().empty() ? "" : " (process " + lock.Holder() + ")")
                      << "; its window was brought to the front\n";
        else
            std::cerr << "tessaly-jobs: " << lock.Message() << "\n";
        return raised ? 0 : 1;
    }

    // Listening at once: a second start while this one loads finds it. Its window comes
    // to the front once there is one; until then it shows in front as it opens anyway.
    // A command-line update that finds the home in use hands it over the same way.
    QPointer<TVelaMainForm> running;
    TWindowChannel channel(
        [&running](int number) {
            if (!running) return;
            if (number > 0) running->ShowSearch(number);
            running->ComeToFront();
        },
        [&running] {
            if (!running) return false;
            running->Agent().CheckNow();
            return true;
        });
    if (!channel.Listen(home))
        std::cerr << "tessaly-jobs: cannot listen on " << WindowChannelPath(home)
                  << "; a second start or a command-line update will not reach this window\n";

    // SIGTERM and SIGINT close the window in order, from the start: one that comes before
    // the window shows closes it as soon as it does.
    bool quitRequested = false;
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app,
                         [&running, &quitRequested] {
                             char c;
                             while (::read(gSignalPipe[0], &c, 1) == 1) {
                             }
                             if (running && running->isVisible())
                                 running->close();
                             else
                                 quitRequested = true;
                         });
        struct sigaction sa = {};
        sa.sa_handler = OnTerminateSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }

    TQtMainLoop loop;
    const std::unique_ptr<TPrompts> prompts = MakeDialogPrompts();
    TPrompts::SetCurrent(prompts.get());

    TProductId splashId;
    std::unique_ptr<TSplashForm> splash;

    TVelaMainForm form(home);
    if (search > 0) form.ShowSearch(search);
    running = &form;
    app.MainForm = &form;
    loop.OnError = [&app](const std::string& sender, std::exception_ptr ep) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(std::move(ep));
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        app.HandleError(sender, "", what);
    };
    if (auto read = form.ReadProductId(); !read) return Fail(read.error());
    splash = std::make_unique<TSplashForm>(home, form.Product());
    splash->show();
    app.processEvents();
    form.SplashHandle = splash.get();

    form.show();
    int status = 0;
    QTimer::singleShot(0, &form, [&] {
        const TResult<void> activated = form.FirstActivation();
        splash->close();  // already closed unless loading failed
        if (!activated) {
            status = Fail(activated.error());
            form.close();
        }
    });
    QTimer::singleShot(0, &form, [&form, &quitRequested] {
        if (quitRequested) form.close();
    });
    const int rc = app.exec();
    app.MainForm = nullptr;
    TPrompts::SetCurrent(nullptr);
    return status ? status : rc;
}

}  // namespace tessaly::ui

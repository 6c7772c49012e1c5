#include "application.h"
#include "commandline.h"
#include "desktopchooser.h"
#include "platform.h"
#include "sessioncheck.h"
#include "singleinstance.h"
#include "window_main.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_UNIX
#include "unixsignalwatcher.h"
#endif

namespace {

// A verb, help or the version: no window, so no display is needed. The
// verb goes to the Pellmar that these arguments would start on `platform`.
int answerWithoutWindow(int argc, char *argv[], const QString &platform)
{
    QCoreApplication app(argc, argv);
    const CommandLine::Request request =
        CommandLine::parse(CommandLine::withoutQtOptions(app.arguments()));
    if (request.kind != CommandLine::Request::Verb)
        return CommandLine::answer(request);
    const CommandLine::Outcome outcome = CommandLine::outcome(
        SingleInstance::forQtPlatform(platform)->tell(request.verb, request.argument));
    if (!outcome.message.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(outcome.message));
    return outcome.status;
}

// --desktop: the backend chosen and, feature by feature, what it allows.
// A desktop helper that is still starting is given a moment to answer.
int printDesktop(const DesktopChooser::Choice &choice, const PlatformOptions &options)
{
    const std::unique_ptr<Platform> platform = DesktopChooser::make(choice, options);
    QEventLoop settle;
    QObject::connect(platform.get(), &Platform::featuresChanged, &settle, &QEventLoop::quit);
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    std::printf("desktop: %s (%s)\n", qPrintable(DesktopChooser::name(choice.backend)),
                qPrintable(choice.why));
    for (const QString &line : platform->features().describe())
        std::printf("%s\n", qPrintable(line));
    // Out before anything at exit can cut the program short.
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Session session = Session::fromEnvironment();
    session.qtPlatform =
        CommandLine::chosenPlatform(argc, argv, qEnvironmentVariable("QT_QPA_PLATFORM"));
    const QString qtPlatform = DesktopChooser::qtPlatformFor(session);
    if (CommandLine::needsNoWindow(argc, argv))
        return answerWithoutWindow(argc, argv, qtPlatform);
    if (session.qtPlatform.isEmpty() && !qtPlatform.isEmpty())
        qputenv("QT_QPA_PLATFORM", qtPlatform.toUtf8());

    // Qt scales the window as the desktop asks; the backends read the
    // screens in the window system's own pixels whatever that scale.
    QApplication qtApp(argc, argv);
    // Qt has taken its own options out; anything left is unknown.
    const CommandLine::Request request = CommandLine::parse(qtApp.arguments());
    if (request.kind != CommandLine::Request::Run && request.kind != CommandLine::Request::Desktop)
        return CommandLine::answer(request);
    // The plugin Qt did load, which the user's list may have left for the
    // next.
    session.qtPlatform = QGuiApplication::platformName();
    const DesktopChooser::Choice choice = DesktopChooser::choose(session);
    PlatformOptions options;
    // For an X server whose device-motion reports misbehave: poll instead.
    options.listenForMotion = qEnvironmentVariableIntValue("PELLMAR_NO_DEVICE_MOTION") == 0;
    if (request.kind == CommandLine::Request::Desktop)
        return printDesktop(choice, options);
    // Pellmar lives in the tray: only the user ends it (closing the window
    // ends it where there is no tray).
    qtApp.setQuitOnLastWindowClosed(false);
#ifdef Q_OS_UNIX
    UnixSignalWatcher signalWatcher;
#endif
    const std::unique_ptr<SingleInstance> instance =
        SingleInstance::forQtPlatform(session.qtPlatform);
    switch (instance->claim()) {
    case SingleInstance::Claim::Run:
        break;
    case SingleInstance::Claim::AnotherRuns:
        return 0; // the running one shows its window instead
    case SingleInstance::Claim::Unanswered:
        std::fprintf(stderr,
                     "Pellmar: another Pellmar holds %s but does not answer; if it hangs, end "
                     "it and start again\n",
                     qPrintable(instance->lockFile()));
        return 1;
    }
    qDebug().noquote() << "Desktop:" << DesktopChooser::name(choice.backend) << "-" << choice.why;
    Application app(DesktopChooser::make(choice, options));
    app.start();
    instance->setAnswerer(
        [&app](const QString &verb, const QString &argument) { return app.obey(verb, argument); });
    app.window()->show();
    SessionCheck::warnIfNoCursorControl(app.window(), app.movesNothing());
    const int status = qtApp.exec();
    // Choices that could not be kept are worth an exit status that says so.
    return app.stop() ? status : 1;
}

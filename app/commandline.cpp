#include "commandline.h"
#include "verbreader.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

namespace {

const char *const verbs[] = {"pause", "resume", "toggle", "show", "jump", "lock", "unlock"};
// The verbs that take a value, as --jump=next or --jump next.
const char *const verbsWithValue[] = {"jump"};

// Whether `value` can go on the socket after `verb` (see VerbReader):
// printable ASCII without spaces, and room for the whole line.
bool sendable(const QString &verb, const QString &value)
{
    if (value.isEmpty() || std::size_t(verb.size() + 1 + value.size() + 1) > VerbReader::maxMessage)
        return false;
    for (const QChar c : value) {
        if (c.unicode() <= ' ' || c.unicode() > '~')
            return false;
    }
    return true;
}

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        "Pellmar: cursor wrap, Easy Move and Screen Focus for several monitors.\n"
        "With a verb, tells the Pellmar running on this display and ends.");
    parser.addOption({"pause", "Pause the running Pellmar: it leaves the cursor alone."});
    parser.addOption({"resume", "Let the running Pellmar act again."});
    parser.addOption({"toggle", "Pause or resume the running Pellmar."});
    parser.addOption({"show", "Show the running Pellmar's window."});
    parser.addOption({"jump",
                      "Put the pointer in the middle of the next or previous monitor (in the "
                      "map's order), or of the one with this output name.",
                      "next|previous|OUTPUT"});
    parser.addOption({"lock", "Keep the pointer on the monitor it is on now."});
    parser.addOption({"unlock", "Let the pointer leave that monitor again."});
    parser.addOption({"desktop", "Print the desktop Pellmar finds here and which of its features "
                                 "work on it, then end."});
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

CommandLine::Request CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    Request r;
    if (!parser.parse(arguments)) {
        r.kind = Request::Bad;
        r.error = parser.errorText();
        return r;
    }
    if (!parser.positionalArguments().isEmpty()) {
        r.kind = Request::Bad;
        r.error = "Unexpected argument: " + parser.positionalArguments().first();
        return r;
    }
    if (parser.isSet("help")) {
        r.kind = Request::Help;
        return r;
    }
    if (parser.isSet("version")) {
        r.kind = Request::Version;
        return r;
    }
    if (parser.isSet("desktop")) {
        r.kind = Request::Desktop;
        return r;
    }
    for (const char *verb : verbs) {
        if (!parser.isSet(verb))
            continue;
        if (r.kind == Request::Verb) {
            r.kind = Request::Bad;
            r.error = "One verb at a time.";
            return r;
        }
        r.kind = Request::Verb;
        r.verb = verb;
    }
    for (const char *verb : verbsWithValue) {
        if (r.verb != verb)
            continue;
        r.argument = parser.value(verb);
        if (!sendable(r.verb, r.argument)) {
            r.kind = Request::Bad;
            r.error = QString("Not a monitor's name: \"%1\"").arg(r.argument);
        }
    }
    return r;
}

QStringList CommandLine::withoutQtOptions(const QStringList &arguments)
{
    // Qt's options that take a value, as QGuiApplication and QApplication
    // read them; their other options are single words.
    static const QStringList withValue{
        "platform",    "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "display",       "name",       "title",
        "visual",      "geometry",           "style",         "stylesheet", "session"};
    static const QStringList words{"reverse", "widgetcount", "nograb",
                                   "dograb",  "sync",        "testability"};
    QStringList out;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const QString name = a.startsWith("--")  ? a.mid(2)
                             : a.startsWith('-') ? a.mid(1)
                                                 : QString();
        if (i > 0 && withValue.contains(name)) {
            ++i; // and its value
            continue;
        }
        if (i > 0 && words.contains(name))
            continue;
        out << a;
    }
    return out;
}

bool CommandLine::needsNoWindow(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        for (const char *verb : verbs) {
            if (std::strncmp(a, "--", 2) == 0 && std::strcmp(a + 2, verb) == 0)
                return true;
        }
        for (const char *verb : verbsWithValue) {
            const std::size_t n = std::strlen(verb);
            if (std::strncmp(a, "--", 2) == 0 && std::strncmp(a + 2, verb, n) == 0 &&
                a[2 + n] == '=')
                return true;
        }
        for (const char *other : {"--help", "-h", "--version", "-v", "-?", "--help-all"}) {
            if (std::strcmp(a, other) == 0)
                return true;
        }
    }
    return false;
}

QString CommandLine::chosenPlatform(int argc, char **argv, const QString &fromEnvironment)
{
    QString chosen = fromEnvironment;
    // Qt reads the arguments after the environment: the last one counts.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            chosen = QString::fromLocal8Bit(argv[++i]);
    }
    return chosen.section(';', 0, 0).section(':', 0, 0).trimmed();
}

QString CommandLine::usage()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText();
}

int CommandLine::answer(const Request &request)
{
    switch (request.kind) {
    case Request::Help:
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    case Request::Version:
        std::fputs("Pellmar " PELLMAR_VERSION "\n", stdout);
        return 0;
    case Request::Bad:
        std::fprintf(stderr, "%s\n\n%s", qPrintable(request.error), qPrintable(usage()));
        return 2;
    case Request::Run:
    case Request::Verb:
    case Request::Desktop:
        break;
    }
    return 0;
}

CommandLine::Outcome CommandLine::outcome(const SingleInstance::Told &told)
{
    switch (told.answer) {
    case SingleInstance::Answer::Answered:
        if (told.text == "ok")
            return {0, QString()};
        return {1, told.text.isEmpty() ? QString("Pellmar could not do it") : told.text};
    case SingleInstance::Answer::NotRunning:
        return {1, "Pellmar is not running"};
    case SingleInstance::Answer::Unanswered:
        return {1, "Pellmar is running but does not answer"};
    }
    return {1, QString()};
}

#pragma once

#include "singleinstance.h"

#include <QStringList>

// pellmar's own options: the verbs --pause, --resume, --toggle, --show,
// --jump WHERE, --lock and --unlock, which tell the running Pellmar of this
// display and end (status 0 once it has done it; 1 with what it said when
// it could not, or with "Pellmar is not running" when none runs),
// --desktop, which prints the desktop backend Pellmar picks here and what it
// allows, and --help and --version.
// An unknown option prints the usage and ends with 2. Qt's own options
// (-display, -platform, ...) are Qt's: the application takes them out of
// the arguments before the rest are looked at.
class CommandLine
{
public:
    CommandLine() = delete;

    // What the arguments ask for.
    struct Request
    {
        enum Kind
        {
            Run,     // start Pellmar
            Verb,    // tell the running one `verb`
            Help,    // print the usage
            Version, // print the version
            Desktop, // print the desktop and what it allows
            Bad      // an unknown option or argument: `error`
        } kind = Run;
        QString verb;
        QString argument; // the verb's value (--jump's), empty if it takes none
        QString error;
    };

    // What a verb's answer comes to: the exit status, and a line for
    // stderr (empty: nothing to say).
    struct Outcome
    {
        int status = 0;
        QString message;
    };

    static Request parse(const QStringList &arguments);
    // The arguments without Qt's own options (and their values), for when
    // no Qt application takes them out first.
    static QStringList withoutQtOptions(const QStringList &arguments);
    // Whether these raw arguments ask for no window at all (a verb, help or
    // version), so no display need be opened.
    static bool needsNoWindow(int argc, char **argv);
    // The platform plugin the user picked for Qt to load: the value of
    // -platform or --platform among these raw arguments, else
    // `fromEnvironment` (QT_QPA_PLATFORM); of a list ("wayland;xcb") the
    // first, which Qt tries first, and without its options
    // ("wayland:option"). Empty if the user picked none.
    static QString chosenPlatform(int argc, char **argv, const QString &fromEnvironment);
    static QString usage();
    // Prints what the request asks for and returns the exit status, for any
    // request but Run and Verb.
    static int answer(const Request &request);
    static Outcome outcome(const SingleInstance::Told &told);
};

#include "singleinstance.h"
#include "verbreader.h"
#include "verbserver.h"

#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using State = VerbReader::State;
Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(SingleInstance::Protocol)

namespace {

// A client of the verb socket, driven byte by byte, with the server in this
// very thread: every wait lets the event loop run.
class Client
{
public:
    explicit Client(const QString &path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        // A full queue empties as the server accepts.
        QDeadlineTimer deadline(10000);
        while (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            if (errno != EAGAIN || deadline.hasExpired()) {
                ::close(fd);
                fd = -1;
                return;
            }
            QTest::qWait(1);
        }
    }
    ~Client() { close(); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool connected() const { return fd >= 0; }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool send(const QByteArray &bytes)
    {
        return ::send(fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) ==
               bytes.size();
    }
    // Whether the server has closed its end, without waiting.
    bool closedByServer()
    {
        char b[256];
        for (;;) {
            const ssize_t n = ::recv(fd, b, sizeof b, MSG_DONTWAIT);
            if (n > 0) {
                received.append(b, int(n));
                continue;
            }
            return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }
    // Everything the server sends until it closes the connection.
    QByteArray reply()
    {
        QDeadlineTimer deadline(20000);
        while (!closedByServer()) {
            if (deadline.hasExpired())
                return received + "(still open)";
            QTest::qWait(2);
        }
        return received;
    }

    int fd = -1;
    QByteArray received;
};

int openDescriptors()
{
    return QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

// Runs `work` on a thread of its own while this one's event loop serves.
template <typename Work> auto meanwhile(Work work)
{
    std::atomic<bool> done{false};
    decltype(work()) result{};
    std::thread thread([&] {
        result = work();
        done = true;
    });
    // However long it takes: the work ends by its own deadline.
    while (!done)
        QTest::qWait(2);
    thread.join();
    return result;
}

// How the tests' running Pellmar answers: by the argument, so that a table
// row picks its answer.
QString answerTo(const QString &argument)
{
    if (argument == "DP-9")
        return "No monitor is called DP-9; the monitors are DP-1, HDMI-1";
    if (argument == "lines")
        return "one\ntwo\r\nthree";
    if (argument == "long")
        return QString(1000, 'x');
    if (argument == "wide") // two bytes each, one byte off: the cut falls inside one
        return 'x' + QString(600, QChar(0xe9));
    return "ok";
}

// An answerer that keeps what it heard, "verb" or "verb argument".
VerbServer::Answerer hearing(QStringList &heard)
{
    return [&heard](const QString &verb, const QString &argument) {
        heard << (argument.isEmpty() ? verb : verb + ' ' + argument);
        return answerTo(argument);
    };
}

QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir base;

    QString socketPath(const char *name) { return base.path() + '/' + name; }

private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<State>("state");
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QByteArray>("argument");

        const QByteArray longest(int(VerbReader::maxMessage) - 1, 'a');
        const QByteArray endless(1 << 20, 'z');
        const QByteArray longestName(int(VerbReader::maxMessage) - int(strlen("jump \n")), 'X');
        const QByteArray none;
        QTest::newRow("a verb") << QByteArrayList{"show\n"} << State::Verb << QByteArray("show")
                                << none;
        QTest::newRow("in pieces")
            << QByteArrayList{"pa", "us", "e", "\n"} << State::Verb << QByteArray("pause") << none;
        QTest::newRow("no newline yet")
            << QByteArrayList{"toggle"} << State::NeedMore << none << none;
        QTest::newRow("the newline later")
            << QByteArrayList{"toggle", "", "\n"} << State::Verb << QByteArray("toggle") << none;
        QTest::newRow("nothing yet") << QByteArrayList{""} << State::NeedMore << none << none;
        QTest::newRow("as long as a verb may be")
            << QByteArrayList{longest, "\n"} << State::Verb << longest << none;
        QTest::newRow("one letter too many")
            << QByteArrayList{longest + "a\n"} << State::TooLong << none << none;
        QTest::newRow("too long, no newline")
            << QByteArrayList{longest, "a"} << State::TooLong << none << none;
        QTest::newRow("endless") << QByteArrayList{endless, endless} << State::TooLong << none
                                 << none;
        QTest::newRow("an empty line") << QByteArrayList{"\n"} << State::Malformed << none << none;
        QTest::newRow("binary garbage")
            << QByteArrayList{QByteArray("\x00\xff\x13\x80", 4), "show\n"} << State::Malformed
            << none << none;
        QTest::newRow("garbage after letters")
            << QByteArrayList{"sh", QByteArray("o\x00w\n", 4)} << State::Malformed << none << none;
        QTest::newRow("capitals") << QByteArrayList{"Show\n"} << State::Malformed << none << none;
        QTest::newRow("a carriage return")
            << QByteArrayList{"show\r\n"} << State::Malformed << none << none;
        QTest::newRow("a space, no argument")
            << QByteArrayList{"show \n"} << State::Malformed << none << none;
        // One message per connection: the first line counts, the rest is
        // never read.
        QTest::newRow("two verbs")
            << QByteArrayList{"pause\nshow\n"} << State::Verb << QByteArray("pause") << none;
        QTest::newRow("a verb, then garbage")
            << QByteArrayList{"resume\n", QByteArray("\xff", 1), endless} << State::Verb
            << QByteArray("resume") << none;
        // A verb and one argument.
        QTest::newRow("an argument") << QByteArrayList{"jump next\n"} << State::Verb
                                     << QByteArray("jump") << QByteArray("next");
        QTest::newRow("an argument in pieces")
            << QByteArrayList{"ju", "mp", " ", "HDMI-", "A-1", "\n"} << State::Verb
            << QByteArray("jump") << QByteArray("HDMI-A-1");
        QTest::newRow("as long as an argument may be")
            << QByteArrayList{"jump " + longestName + "\n"} << State::Verb << QByteArray("jump")
            << longestName;
        QTest::newRow("an argument a byte too long")
            << QByteArrayList{"jump " + longestName + "X\n"} << State::TooLong << none << none;
        QTest::newRow("two arguments")
            << QByteArrayList{"jump DP-1 DP-2\n"} << State::Malformed << none << none;
        QTest::newRow("two spaces")
            << QByteArrayList{"jump  next\n"} << State::Malformed << none << none;
        QTest::newRow("a space first")
            << QByteArrayList{" next\n"} << State::Malformed << none << none;
        QTest::newRow("a tab in the argument")
            << QByteArrayList{"jump DP\t1\n"} << State::Malformed << none << none;
        QTest::newRow("a high byte in the argument")
            << QByteArrayList{QByteArray("jump DP\xc3\xa9\n")} << State::Malformed << none << none;
    }

    void reader()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(State, state);
        QFETCH(QByteArray, verb);
        QFETCH(QByteArray, argument);
        VerbReader r;
        for (const QByteArray &chunk : chunks)
            r.feed(chunk.constData(), std::size_t(chunk.size()));
        QCOMPARE(r.state(), state);
        QCOMPARE(QByteArray::fromStdString(r.verb()), verb);
        QCOMPARE(QByteArray::fromStdString(r.argument()), argument);
    }

    void displayKey_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("key");
        QTest::newRow(":0") << ":0"
                            << ":0";
        QTest::newRow("a screen number") << ":0.0"
                                         << ":0";
        QTest::newRow("another screen of it") << ":0.1"
                                              << ":0";
        QTest::newRow("unix") << "unix:0"
                              << ":0";
        QTest::newRow("unix and a screen") << "unix:0.0"
                                           << ":0";
        QTest::newRow("a protocol") << "unix/:1"
                                    << ":1";
        QTest::newRow("localhost") << "localhost:10.0"
                                   << ":10";
        QTest::newRow("LOCALHOST") << "LOCALHOST:10"
                                   << ":10";
        QTest::newRow("tcp to localhost") << "tcp/localhost:2"
                                          << ":2";
        QTest::newRow("IPv4 loopback") << "127.0.0.1:3"
                                       << ":3";
        QTest::newRow("IPv6 loopback") << "[::1]:3"
                                       << ":3";
        QTest::newRow("IPv6 loopback, bare") << "::1:3.0"
                                             << ":3";
        QTest::newRow("leading zeros") << ":007"
                                       << ":7";
        QTest::newRow("spaces") << " :0 "
                                << ":0";
        QTest::newRow("another display") << ":1"
                                         << ":1";
        QTest::newRow("another host") << "Box:0.0"
                                      << "box:0";
        QTest::newRow("DECnet") << "box::0"
                                << "box::0";
        QTest::newRow("a Wayland socket") << "wayland-1"
                                          << "wayland-1";
        QTest::newRow("a Wayland path") << "/run/user/1000/wayland-0"
                                        << "/run/user/1000/wayland-0";
        QTest::newRow("not a number") << ":x"
                                      << ":x";
        QTest::newRow("an odd screen") << ":0.x"
                                       << ":0.x";
        QTest::newRow("none") << ""
                              << "default";
    }

    void displayKey()
    {
        QFETCH(QString, display);
        QFETCH(QString, key);
        QCOMPARE(SingleInstance::displayKey(display), key);
    }

    void waylandKey_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("key");
        // A runtime folder that does not exist: the paths are read as they
        // are spelt.
        const QString run = "/nonexistent-pellmar/run/user/1000";
        QTest::newRow("a name") << "wayland-1" << run << "wayland-1";
        QTest::newRow("its path") << run + "/wayland-1" << run << "wayland-1";
        QTest::newRow("its path, doubled slashes") << run + "//wayland-1" << run << "wayland-1";
        QTest::newRow("its path, the folder with a slash")
            << run + "/wayland-1" << run + '/' << "wayland-1";
        QTest::newRow("its path, a step back and in")
            << run + "/../1000/wayland-1" << run << "wayland-1";
        QTest::newRow("a dot first") << "./wayland-1" << run << "wayland-1";
        QTest::newRow("another display") << "wayland-2" << run << "wayland-2";
        QTest::newRow("in a subfolder") << "sub/wayland-1" << run << "sub/wayland-1";
        QTest::newRow("its path in a subfolder")
            << run + "/sub/wayland-1" << run << "sub/wayland-1";
        QTest::newRow("a name out of the folder")
            << "../1001/wayland-1" << run << "/nonexistent-pellmar/run/user/1001/wayland-1";
        QTest::newRow("elsewhere") << "/tmp/wl/wayland-9" << run << "/tmp/wl/wayland-9";
        QTest::newRow("a folder whose name goes on")
            << run + "0/wayland-1" << run << run + "0/wayland-1";
        QTest::newRow("the folder itself") << run << run << run;
        QTest::newRow("a name like an X display") << ":0" << run << ":0";
        QTest::newRow("none: libwayland's default") << "" << run << "wayland-0";
        QTest::newRow("no runtime folder, a name") << "wayland-1"
                                                   << ""
                                                   << "wayland-1";
        QTest::newRow("no runtime folder, a path") << "/tmp/wl//wayland-9"
                                                   << ""
                                                   << "/tmp/wl/wayland-9";
        QTest::newRow("a relative runtime folder") << "./wayland-1"
                                                   << "run"
                                                   << "wayland-1";
    }

    void waylandKey()
    {
        QFETCH(QString, display);
        QFETCH(QString, runtime);
        QFETCH(QString, key);
        QCOMPARE(SingleInstance::waylandKey(display, runtime), key);
    }

    void waylandKeyFollowsLinks()
    {
        // /var/run/user/1000 and /run/user/1000 are one folder.
        QTemporaryDir where;
        const QString real = where.path() + "/run";
        const QString link = where.path() + "/varrun";
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(real, link));
        QFile socket(real + "/wayland-3");
        QVERIFY(socket.open(QIODevice::WriteOnly));
        for (const QString &runtime : {real, link}) {
            for (const QString &display : {QString("wayland-3"), real + "/wayland-3",
                                           link + "/wayland-3", link + "/../run/wayland-3"})
                QCOMPARE(SingleInstance::waylandKey(display, runtime), QString("wayland-3"));
            // A display not there yet: its folder is followed.
            QCOMPARE(SingleInstance::waylandKey(link + "/wayland-4", runtime),
                     QString("wayland-4"));
        }
    }

    void sharedLocks_data()
    {
        using P = SingleInstance::Protocol;
        QTest::addColumn<P>("protocol");
        QTest::addColumn<QString>("display");
        QTest::addColumn<P>("otherProtocol");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("shared");
        const QString run = base.path() + "/keys";
        QTest::newRow("X: a screen number") << P::X11 << ":0" << P::X11 << ":0.0" << true;
        QTest::newRow("X: unix") << P::X11 << ":0" << P::X11 << "unix:0" << true;
        QTest::newRow("X: localhost") << P::X11 << ":0" << P::X11 << "localhost:0.0" << true;
        QTest::newRow("X: leading zeros") << P::X11 << ":0" << P::X11 << ":00" << true;
        QTest::newRow("X: another display") << P::X11 << ":0" << P::X11 << ":1" << false;
        QTest::newRow("X: another host") << P::X11 << ":0" << P::X11 << "box:0" << false;
        QTest::newRow("Wayland: name and path")
            << P::Wayland << "wayland-1" << P::Wayland << run + "/wayland-1" << true;
        QTest::newRow("Wayland: another display")
            << P::Wayland << "wayland-1" << P::Wayland << "wayland-2" << false;
        QTest::newRow("Wayland: a socket elsewhere")
            << P::Wayland << "wayland-1" << P::Wayland << "/tmp/wayland-1" << false;
        QTest::newRow("Wayland: '_' is no stand-in")
            << P::Wayland << "a_b" << P::Wayland << "a b" << false;
        QTest::newRow("Wayland: escapes are no stand-ins")
            << P::Wayland << "a_5fb" << P::Wayland << "a_b" << false;
        QTest::newRow("Wayland: long paths that differ at the end")
            << P::Wayland << "/tmp/" + QString(150, 'w') + "/wayland-1" << P::Wayland
            << "/tmp/" + QString(150, 'w') + "/wayland-2" << false;
        const QString longPath = "/tmp/" + QString(150, 'w');
        QTest::newRow("Wayland: a long path and its shortened name")
            << P::Wayland << longPath << P::Wayland
            << SingleInstance::fileStem(P::Wayland, longPath, run).mid(int(strlen("pellmar@")))
            << false;
        QTest::newRow("X :0 and Wayland 0") << P::X11 << ":0" << P::Wayland << "wayland-0" << false;
        QTest::newRow("X and Wayland, the same name")
            << P::X11 << "wayland-0" << P::Wayland << "wayland-0" << false;
        QTest::newRow("X and Wayland, both ':0'") << P::X11 << ":0" << P::Wayland << ":0" << false;
        QTest::newRow("X and Wayland, no display")
            << P::X11 << "" << P::Wayland << "default" << false;
        QTest::newRow("X and Wayland, a stem's look-alike")
            << P::X11 << "@wayland-1" << P::Wayland << "wayland-1" << false;
    }

    void sharedLocks()
    {
        using P = SingleInstance::Protocol;
        QFETCH(P, protocol);
        QFETCH(QString, display);
        QFETCH(P, otherProtocol);
        QFETCH(QString, other);
        QFETCH(bool, shared);
        const QByteArray run = QFile::encodeName(base.path() + "/keys");
        const SingleInstance one(QFile::encodeName(display), run, protocol);
        const SingleInstance two(QFile::encodeName(other), run, otherProtocol);
        // Both in the runtime folder, with a socket address that fits.
        for (const SingleInstance *i : {&one, &two}) {
            QCOMPARE(QFileInfo(i->lockFile()).path(), QFile::decodeName(run));
            QVERIFY(std::size_t(QFile::encodeName(i->socketFile()).size()) <
                    sizeof(sockaddr_un::sun_path));
        }
        QCOMPARE(one.lockFile() == two.lockFile(), shared);
        QCOMPARE(one.socketFile() == two.socketFile(), shared);
    }

    void folder_data()
    {
        // What is found where the lock may go: the runtime folder, the
        // cache folder and the temporary folder.
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("cache");
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("a private runtime folder") << "private"
                                                  << "usable"
                                                  << "free"
                                                  << "runtime";
        QTest::newRow("no runtime folder") << "none"
                                           << "usable"
                                           << "free"
                                           << "cache";
        QTest::newRow("runtime folder someone else's") << "theirs"
                                                       << "usable"
                                                       << "free"
                                                       << "cache";
        QTest::newRow("runtime folder a link") << "link"
                                               << "usable"
                                               << "free"
                                               << "cache";
        QTest::newRow("runtime folder open to all") << "open"
                                                    << "usable"
                                                    << "free"
                                                    << "cache";
        // Whether another user has taken /tmp/pellmar-<uid> changes nothing.
        QTest::newRow("temp folder taken") << "none"
                                           << "usable"
                                           << "theirs"
                                           << "cache";
        QTest::newRow("temp folder a link") << "none"
                                            << "usable"
                                            << "link"
                                            << "cache";
        QTest::newRow("temp folder open to all") << "none"
                                                 << "usable"
                                                 << "open"
                                                 << "cache";
        QTest::newRow("no cache folder") << "none"
                                         << "none"
                                         << "free"
                                         << "temp";
        QTest::newRow("cache folder a file") << "none"
                                             << "file"
                                             << "free"
                                             << "temp";
        QTest::newRow("cache folder too deep for a socket") << "none"
                                                            << "deep"
                                                            << "free"
                                                            << "temp";
        QTest::newRow("cache folder someone else's") << "none"
                                                     << "theirs"
                                                     << "free"
                                                     << "temp";
        QTest::newRow("nothing private") << "open"
                                         << "file"
                                         << "theirs"
                                         << "";
        QTest::newRow("nothing private, temp a link") << "none"
                                                      << "file"
                                                      << "link"
                                                      << "";
    }

    void folder()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, cache);
        QFETCH(QString, temp);
        QFETCH(QString, chosen);
        const bool root = ::getuid() == 0;
        if (!root && (runtime == "theirs" || cache == "theirs" || temp == "theirs"))
            QSKIP("giving a folder to another user needs root");

        const unsigned me = ::getuid();
        QTemporaryDir where;
        const QString tempDir = where.path() + "/tmp";
        QVERIFY(QDir().mkpath(tempDir));
        const QString machineRun = "/pellmar/run-";
        // Sets `path` up as `how` says, from the point of view of `me`.
        const auto prepare = [&](const QString &path, const QString &how) {
            const QByteArray n = QFile::encodeName(path);
            if (how == "private")
                return ::mkdir(n.constData(), 0700) == 0;
            if (how == "open")
                return ::mkdir(n.constData(), 0777) == 0 && ::chmod(n.constData(), 0777) == 0;
            if (how == "theirs")
                return ::mkdir(n.constData(), 0700) == 0 &&
                       ::chown(n.constData(), 65534, 65534) == 0;
            if (how == "link")
                return QDir().mkpath(path + ".target") &&
                       ::chmod(QFile::encodeName(path + ".target").constData(), 0700) == 0 &&
                       QFile::link(path + ".target", path);
            if (how == "file") {
                QFile f(path);
                return f.open(QIODevice::WriteOnly);
            }
            return true; // "none", "free", "usable"
        };
        QString runtimeDir = where.path() + "/run";
        QVERIFY(prepare(runtimeDir, runtime));
        if (runtime == "none")
            runtimeDir.clear();
        QString cacheDir = where.path() + "/cache";
        if (cache == "deep")
            cacheDir = where.path() + '/' + QString(100, 'd');
        else if (cache == "theirs")
            QVERIFY(QDir().mkpath(cacheDir + "/pellmar"));
        if (cache == "theirs") {
            // The folder itself, whatever this machine is called.
            const QString probe =
                SingleInstance::chooseFolder(QString(), cacheDir, QString(), me, "pellmar-_0");
            QVERIFY(QDir(probe).removeRecursively());
            QVERIFY(prepare(probe, "theirs"));
        } else {
            QVERIFY(prepare(cacheDir, cache));
        }
        if (cache == "none")
            cacheDir.clear();
        const QString tempFolder = tempDir + "/pellmar-" + QString::number(me);
        QVERIFY(prepare(tempFolder, temp));

        const QString got =
            SingleInstance::chooseFolder(runtimeDir, cacheDir, tempDir, me, "pellmar-_0");
        if (chosen == "runtime")
            QCOMPARE(got, runtimeDir);
        else if (chosen == "cache")
            QVERIFY2(got.startsWith(cacheDir + machineRun), qPrintable(got));
        else if (chosen == "temp")
            QCOMPARE(got, tempFolder);
        else
            QCOMPARE(got, QString());
        if (!got.isEmpty()) {
            // The user's own and no one else's.
            QCOMPARE(SingleInstance::privateFolder(got, me), got);
            struct stat st;
            QCOMPARE(::lstat(QFile::encodeName(got).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
        }
        // The same every time: also once another user takes the temporary
        // folder, or gives it up.
        QCOMPARE(SingleInstance::chooseFolder(runtimeDir, cacheDir, tempDir, me, "pellmar-_0"),
                 got);
        if (chosen != "temp" && temp == "free") {
            QVERIFY2(!QFileInfo::exists(tempFolder), "the temporary folder was not needed");
            if (root) {
                QVERIFY(prepare(tempFolder, "theirs"));
                QCOMPARE(
                    SingleInstance::chooseFolder(runtimeDir, cacheDir, tempDir, me, "pellmar-_0"),
                    got);
            }
        }
    }

    void serverAnswersOneMessage_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("heard");
        QTest::newRow("a verb") << QByteArray("show\n") << QByteArray("ok\n")
                                << QStringList{"show"};
        QTest::newRow("two verbs")
            << QByteArray("pause\ntoggle\n") << QByteArray("ok\n") << QStringList{"pause"};
        QTest::newRow("an empty line") << QByteArray("\n") << QByteArray() << QStringList();
        QTest::newRow("binary garbage")
            << QByteArray("\x01\x02\xfe\xff\n", 5) << QByteArray() << QStringList();
        QTest::newRow("too long") << QByteArray(200, 'a') + '\n' << QByteArray() << QStringList();
        QTest::newRow("an argument")
            << QByteArray("jump DP-1\n") << QByteArray("ok\n") << QStringList{"jump DP-1"};
        QTest::newRow("why not")
            << QByteArray("jump DP-9\n")
            << QByteArray("No monitor is called DP-9; the monitors are DP-1, HDMI-1\n")
            << QStringList{"jump DP-9"};
        QTest::newRow("an answer of several lines, on one")
            << QByteArray("jump lines\n") << QByteArray("one two  three\n")
            << QStringList{"jump lines"};
        QTest::newRow("a long answer, cut")
            << QByteArray("jump long\n") << QByteArray(VerbServer::maxAnswer, 'x') + '\n'
            << QStringList{"jump long"};
        QTest::newRow("a long answer, cut between characters")
            << QByteArray("jump wide\n")
            << ('x' + QString((VerbServer::maxAnswer - 1) / 2, QChar(0xe9)).toUtf8() + '\n')
            << QStringList{"jump wide"};
    }

    void serverAnswersOneMessage()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, heard);
        VerbServer server;
        QVERIFY(server.listen(socketPath("answers")));
        QStringList verbs;
        server.setAnswerer(hearing(verbs));
        Client client(socketPath("answers"));
        QVERIFY(client.connected());
        QVERIFY(client.send(message));
        QCOMPARE(client.reply(), reply);
        QCOMPARE(verbs, heard);
        QTRY_COMPARE(server.connectionCount(), 0);
    }

    void anEndlessLineIsCutShort()
    {
        VerbServer server;
        QVERIFY(server.listen(socketPath("endless")));
        Client client(socketPath("endless"));
        QVERIFY(client.connected());
        // The server stops reading at the limit and hangs up: sending fails
        // long before this much has gone.
        const QByteArray chunk(4096, 'a');
        qint64 sent = 0;
        while (sent < 64 * 1024 * 1024) {
            const ssize_t n = ::send(client.fd, chunk.constData(), std::size_t(chunk.size()),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
                QTest::qWait(1);
            else
                break;
        }
        QVERIFY2(sent < 64 * 1024 * 1024, "the server kept reading");
        QTRY_COMPARE(server.connectionCount(), 0);
        // And it still hears the next one.
        Client next(socketPath("endless"));
        QVERIFY(next.send("show\n"));
        QCOMPARE(next.reply(), QByteArray("ok\n"));
    }

    void aVerbWhoseSenderGaveUpIsDropped()
    {
        VerbServer server;
        QVERIFY(server.listen(socketPath("gaveup")));
        QStringList verbs;
        server.setAnswerer(hearing(verbs));
        // Sent and hung up before the server looked: that client has told
        // its user the verb went unanswered.
        Client gone(socketPath("gaveup"));
        QVERIFY(gone.send("toggle\n"));
        gone.close();
        Client live(socketPath("gaveup"));
        QVERIFY(live.send("show\n"));
        QCOMPARE(live.reply(), QByteArray("ok\n"));
        QTRY_COMPARE(server.connectionCount(), 0);
        QCOMPARE(verbs, QStringList{"show"});
    }

    void idleConnectionsAreClosed()
    {
        VerbServer server;
        QVERIFY(server.listen(socketPath("idle")));
        Client silent(socketPath("idle"));
        Client halfway(socketPath("idle"));
        QVERIFY(halfway.send("pau"));
        QCOMPARE(silent.reply(), QByteArray());
        QCOMPARE(halfway.reply(), QByteArray());
        QTRY_COMPARE(server.connectionCount(), 0);
    }

    void manyConnectionsCostAFewDescriptors()
    {
        VerbServer server;
        QVERIFY(server.listen(socketPath("many")));
        const int before = openDescriptors();
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 200; ++i) {
            clients.push_back(std::make_unique<Client>(socketPath("many")));
            QVERIFY(clients.back()->connected());
            QVERIFY(server.connectionCount() <= VerbServer::maxConnections);
        }
        QVERIFY2(openDescriptors() <= before + 200 + VerbServer::maxConnections + 2,
                 qPrintable(QString::number(openDescriptors() - before)));
        // Those beyond the cap are turned away, not kept.
        const auto turnedAway = [&] {
            int n = 0;
            for (auto &c : clients)
                n += c->closedByServer() ? 1 : 0;
            return n;
        };
        QTRY_VERIFY(turnedAway() >= 200 - VerbServer::maxConnections);
        QVERIFY(server.connectionCount() <= VerbServer::maxConnections);
        // Once they have gone, the next is heard.
        clients.clear();
        QTRY_COMPARE(server.connectionCount(), 0);
        Client next(socketPath("many"));
        QVERIFY(next.send("show\n"));
        QCOMPARE(next.reply(), QByteArray("ok\n"));
        QTRY_VERIFY(openDescriptors() <= before + 1);
    }

    void outOfDescriptorsTheSocketStays()
    {
        VerbServer server;
        const QString path = socketPath("starved");
        QVERIFY(server.listen(path));
        QStringList verbs;
        server.setAnswerer(hearing(verbs));
        Client client(path);
        QVERIFY(client.send("show\n"));

        // Every descriptor taken, under a low limit so that this is quick.
        rlimit was{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &was), 0);
        rlimit low = was;
        low.rlim_cur = rlim_t(openDescriptors() + 64);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> taken;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken.push_back(fd);
        QCOMPARE(errno, EMFILE);
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
        const bool noticed = QTest::qWaitFor(
            [] { return warnings.filter("out of file descriptors").size() == 1; }, 20000);
        // Long enough to try again a few times.
        QTest::qWait(3 * VerbServer::retryMs);
        const bool stillThere = QFileInfo::exists(path) && server.isListening();
        for (int fd : taken)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &was);
        qInstallMessageHandler(previous);
        QVERIFY(noticed);
        QCOMPARE(warnings.filter("out of file descriptors").size(), 1); // said once
        QVERIFY(stillThere);

        // Descriptors free again: the waiting client is heard.
        QCOMPARE(client.reply(), QByteArray("ok\n"));
        QCOMPARE(verbs, QStringList{"show"});
        Client next(path);
        QVERIFY(next.send("pause\n"));
        QCOMPARE(next.reply(), QByteArray("ok\n"));
    }

    void tellAndClaim()
    {
        const QByteArray run = QFile::encodeName(base.path() + "/tell");
        SingleInstance nobody(":3", run);
        QCOMPARE(nobody.tell("pause").answer, SingleInstance::Answer::NotRunning);

        SingleInstance running(":3", run);
        QStringList verbs;
        running.setAnswerer(hearing(verbs));
        QCOMPARE(running.claim(), SingleInstance::Claim::Run);

        // Another spelling of the same desktop finds it, and hears back
        // what came of the verb.
        SingleInstance client(":3.0", run);
        const SingleInstance::Told paused = meanwhile([&] { return client.tell("pause"); });
        QCOMPARE(paused.answer, SingleInstance::Answer::Answered);
        QCOMPARE(paused.text, QString("ok"));
        QCOMPARE(verbs, QStringList{"pause"});
        const SingleInstance::Told refused = meanwhile([&] { return client.tell("jump", "DP-9"); });
        QCOMPARE(refused.answer, SingleInstance::Answer::Answered);
        QCOMPARE(refused.text, answerTo("DP-9"));
        const SingleInstance::Told cut = meanwhile([&] { return client.tell("jump", "long"); });
        QCOMPARE(cut.text, QString(VerbServer::maxAnswer, 'x'));
        SingleInstance second(":3", run);
        QCOMPARE(meanwhile([&] { return second.claim(); }), SingleInstance::Claim::AnotherRuns);
        QCOMPARE(verbs, (QStringList{"pause", "jump DP-9", "jump long", "show"}));
    }

    void aVerbFindsThePellmarOfItsWaylandDisplay()
    {
        using P = SingleInstance::Protocol;
        const QString folder = base.path() + "/wayland";
        const QByteArray run = QFile::encodeName(folder);
        SingleInstance running("wayland-5", run, P::Wayland);
        QStringList verbs;
        running.setAnswerer(hearing(verbs));
        QCOMPARE(running.claim(), SingleInstance::Claim::Run);

        // The path of its socket is the same display; an X display, or
        // another Wayland one, is not.
        SingleInstance byPath(QFile::encodeName(folder + "/wayland-5"), run, P::Wayland);
        QCOMPARE(meanwhile([&] { return byPath.tell("pause").answer; }),
                 SingleInstance::Answer::Answered);
        SingleInstance xNamed("wayland-5", run, P::X11);
        QCOMPARE(xNamed.tell("resume").answer, SingleInstance::Answer::NotRunning);
        SingleInstance other("wayland-6", run, P::Wayland);
        QCOMPARE(other.tell("resume").answer, SingleInstance::Answer::NotRunning);
        QCOMPARE(verbs, QStringList{"pause"});

        // Each of those runs a Pellmar of its own.
        QCOMPARE(xNamed.claim(), SingleInstance::Claim::Run);
        QCOMPARE(other.claim(), SingleInstance::Claim::Run);
        SingleInstance second("wayland-5", run, P::Wayland);
        QCOMPARE(meanwhile([&] { return second.claim(); }), SingleInstance::Claim::AnotherRuns);
        QCOMPARE(verbs, (QStringList{"pause", "show"}));
    }

    void aHolderThatDoesNotAnswerIsReported_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("the lock held, no socket") << false;
        // As a stopped Pellmar: the kernel takes the connection, nobody
        // reads it.
        QTest::newRow("the lock held, a socket nobody reads") << true;
    }

    void aHolderThatDoesNotAnswerIsReported()
    {
        QFETCH(bool, listening);
        const QString run = base.path() + (listening ? "/silent" : "/nosocket");
        QVERIFY(QDir().mkpath(run));
        QVERIFY(QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner));
        SingleInstance stuck(":4", QFile::encodeName(run));
        QLockFile held(stuck.lockFile());
        QVERIFY(held.tryLock(0));
        int listener = -1;
        if (listening) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray native = QFile::encodeName(stuck.socketFile());
            std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
            listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            QCOMPARE(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address),
                     0);
            QCOMPARE(::listen(listener, 8), 0);
        }
        QCOMPARE(stuck.tell("toggle").answer, SingleInstance::Answer::Unanswered);
        SingleInstance start(":4", QFile::encodeName(run));
        QCOMPARE(start.claim(), SingleInstance::Claim::Unanswered);
        if (listener >= 0)
            ::close(listener);
        // Once the holder lets go, a start runs.
        held.unlock();
        SingleInstance later(":4", QFile::encodeName(run));
        QCOMPARE(later.claim(), SingleInstance::Claim::Run);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

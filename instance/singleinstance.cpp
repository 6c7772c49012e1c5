#include "singleinstance.h"
#include "verbserver.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString fileSafe(QString name)
{
    return name.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
}

// A Wayland key as a file name, one for one: every byte but letters,
// digits, '.' and '-' is written as '_' and two hex digits, '_' among them.
QString escaped(const QString &key)
{
    QString out;
    for (const char c : key.toUtf8()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (plain)
            out += QLatin1Char(c);
        else
            out += QString::asprintf("_%02x", unsigned(static_cast<unsigned char>(c)));
    }
    return out;
}

// `path` cleaned, with its links followed: the whole of it where it exists,
// else its folder.
QString realPath(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    QString real = info.canonicalFilePath();
    if (!real.isEmpty())
        return real;
    real = QFileInfo(info.path()).canonicalFilePath();
    if (real.isEmpty())
        return clean;
    return real.endsWith('/') ? real + info.fileName() : real + '/' + info.fileName();
}

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return false;
    }
    return true;
}

// This machine, for a cache folder that several machines may share (a home
// on the network): the machine id, else the host name.
QString machineName()
{
    const QByteArray id = QSysInfo::machineUniqueId();
    return fileSafe(id.isEmpty() ? QSysInfo::machineHostName() : QString::fromLatin1(id.left(12)));
}

QByteArray processName(const QByteArray &proc)
{
    QFile comm(QString::fromLatin1("/proc/" + proc + "/comm"));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

enum class Reply
{
    Heard,    // a line: "ok", or why not
    NoServer, // no socket, or no one listening on it
    Busy,     // turned away, or no room to ask: ask again
    Silent    // no answer by the deadline
};

// One try: connects, sends `line` and waits for the answer until
// `deadline`; a heard answer goes to `text`, without its newline.
Reply ask(const QString &socketPath, const QByteArray &line, const QDeadlineTimer &deadline,
          QByteArray *text = nullptr)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof address.sun_path)
        return Reply::NoServer;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Reply::Busy;
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // Not blocking: a full queue (EAGAIN) is a busy server, not a reason to
    // wait past the deadline.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return errno == EAGAIN || errno == EINTR ? Reply::Busy : Reply::NoServer;
    if (::send(fd, line.constData(), std::size_t(line.size()), MSG_NOSIGNAL) != line.size())
        return Reply::Busy;
    QByteArray answer;
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Reply::Silent;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(qMin<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            return Reply::Busy;
        if (ready <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) // closed without an answer: it had no room for us
            return Reply::Busy;
        answer.append(buffer, int(n));
        const int end = answer.indexOf('\n');
        if (end >= 0) {
            if (text)
                *text = answer.left(end);
            return Reply::Heard;
        }
        if (answer.size() > VerbServer::maxAnswer) // no answer of ours
            return Reply::Busy;
    }
}

// Between two tries: a server busy with others gets a moment.
void waitBeforeAsking(const QDeadlineTimer &deadline)
{
    QThread::msleep(ulong(qMin<qint64>(50, qMax<qint64>(deadline.remainingTime(), 0))));
}

} // namespace

QString SingleInstance::privateFolder(const QString &path, unsigned uid)
{
    if (path.isEmpty())
        return QString();
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700); // fails harmlessly if it is there
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid ||
        (st.st_mode & 077) != 0)
        return QString();
    return path;
}

QString SingleInstance::displayKey(const QString &display)
{
    const QString d = display.trimmed();
    if (d.isEmpty())
        return "default";
    // [protocol/]host:number[.screen]; the number ends at the last colon
    // (an IPv6 host has colons of its own).
    const int colon = d.lastIndexOf(':');
    if (colon < 0)
        return d;
    QString host = d.left(colon).toLower();
    const QString rest = d.mid(colon + 1);
    const int dot = rest.indexOf('.');
    const QString number = dot < 0 ? rest : rest.left(dot);
    if (!allDigits(number) || (dot >= 0 && !allDigits(rest.mid(dot + 1))))
        return d;              // not an X display as X reads it
    if (!host.startsWith('/')) // a socket's path stays whole
        host = host.mid(host.indexOf('/') + 1);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    static const QStringList thisMachine{"", "unix", "localhost", "127.0.0.1", "::1"};
    if (thisMachine.contains(host))
        host.clear();
    return host + ':' + QString::number(number.toULongLong());
}

QString SingleInstance::waylandKey(const QString &display, const QString &runtimeDir)
{
    const QString name = display.isEmpty() ? QStringLiteral("wayland-0") : display;
    if (!QDir::isAbsolutePath(runtimeDir))
        return QDir::isAbsolutePath(name) ? realPath(name) : QDir::cleanPath(name);
    const QString dir = realPath(runtimeDir);
    const QString path = realPath(QDir::isAbsolutePath(name) ? name : dir + '/' + name);
    const QString inside = dir.endsWith('/') ? dir : dir + '/';
    if (path.startsWith(inside) && path.size() > inside.size())
        return path.mid(inside.size());
    return path;
}

QString SingleInstance::fileStem(Protocol protocol, const QString &display,
                                 const QString &runtimeDir)
{
    if (protocol == Protocol::X11)
        return "pellmar-" + fileSafe(displayKey(display));
    // fileSafe() never writes an '@': no X display's stem starts so.
    const QString key = waylandKey(display, runtimeDir);
    QString name = escaped(key);
    constexpr int longest = 48;
    if (name.size() > longest) {
        // A '~' never comes out of escaped(): a shortened name is no other
        // key's full one.
        const QByteArray hash =
            QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
        name = name.left(longest / 2) + '~' + QString::fromLatin1(hash.left(longest / 2 - 1));
    }
    return "pellmar@" + name;
}

QString SingleInstance::chooseFolder(const QString &runtimeDir, const QString &cacheDir,
                                     const QString &tempDir, unsigned uid, const QString &fileStem)
{
    const auto usable = [&](const QString &folder) {
        const QByteArray socket = QFile::encodeName(folder + '/' + fileStem + ".socket");
        if (folder.isEmpty() || std::size_t(socket.size()) >= sizeof(sockaddr_un::sun_path))
            return QString();
        return privateFolder(folder, uid);
    };
    QString dir = usable(runtimeDir);
    if (!dir.isEmpty())
        return dir;
    // The home before /tmp: another user may take /tmp/pellmar-<uid> and
    // give it up again, so a choice that looked there first could differ
    // from one start to the next. No one else can take a folder in the
    // user's home, and every start finds the same one.
    if (QDir::isAbsolutePath(cacheDir) && QDir().mkpath(cacheDir + "/pellmar")) {
        dir = usable(cacheDir + "/pellmar/run-" + machineName());
        if (!dir.isEmpty())
            return dir;
    }
    if (QDir::isAbsolutePath(tempDir))
        return usable(tempDir + "/pellmar-" + QString::number(uid));
    return QString();
}

SingleInstance::SingleInstance(const QByteArray &display, const QByteArray &runtimeDir,
                               Protocol protocol, QObject *parent)
    : QObject(parent)
{
    const QString stem =
        fileStem(protocol, QFile::decodeName(display), QFile::decodeName(runtimeDir));
    const QString dir =
        chooseFolder(QFile::decodeName(runtimeDir),
                     QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                     QDir::tempPath(), ::getuid(), stem);
    if (dir.isEmpty())
        return; // no private folder: run without the guard rather than be blocked
    lockPath = dir + '/' + stem + ".lock";
    socketPath = dir + '/' + stem + ".socket";
}

std::unique_ptr<SingleInstance> SingleInstance::forQtPlatform(const QString &qtPlatform)
{
    // A Wayland client belongs to its compositor's desktop, anything else to
    // the X display's.
    const Protocol protocol = qtPlatform.startsWith("wayland") ? Protocol::Wayland : Protocol::X11;
    return std::make_unique<SingleInstance>(
        qgetenv(protocol == Protocol::Wayland ? "WAYLAND_DISPLAY" : "DISPLAY"),
        qgetenv("XDG_RUNTIME_DIR"), protocol);
}

SingleInstance::~SingleInstance()
{
    delete server; // removes the socket while the lock is still held
    delete lock;   // unlocks
}

SingleInstance::Claim SingleInstance::claim()
{
    if (lockPath.isEmpty()) {
        qWarning("Pellmar: no private folder for the single-instance lock; running without it");
        return Claim::Run;
    }
    lock = new QLockFile(lockPath);
    // Stale only when its owner has died, however old it is.
    lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(answerMs);
    for (;;) {
        if (lock->tryLock(0)) {
            server = new VerbServer();
            server->setAnswerer(answerer);
            server->listen(socketPath);
            return Claim::Run;
        }
        // The folder is not writable or the like: better run than refuse.
        if (lock->error() != QLockFile::LockFailedError)
            return Claim::Run;
        // The holder may be starting, busy with others, or have just died:
        // ask again, and try the lock again, until the deadline.
        if (ask(socketPath, "show\n", deadline) == Reply::Heard)
            return Claim::AnotherRuns;
        if (deadline.hasExpired())
            return Claim::Unanswered;
        waitBeforeAsking(deadline);
    }
}

SingleInstance::Told SingleInstance::tell(const QString &verb, const QString &argument)
{
    if (socketPath.isEmpty())
        return {Answer::NotRunning, QString()};
    QByteArray line = verb.toLatin1();
    if (!argument.isEmpty())
        line += ' ' + argument.toLatin1();
    line += '\n';
    const QDeadlineTimer deadline(answerMs);
    for (;;) {
        QByteArray text;
        const Reply reply = ask(socketPath, line, deadline, &text);
        if (reply == Reply::Heard)
            return {Answer::Answered, QString::fromUtf8(text)};
        if (reply == Reply::NoServer && !lockHeld())
            return {Answer::NotRunning, QString()};
        if (deadline.hasExpired())
            return {Answer::Unanswered, QString()};
        waitBeforeAsking(deadline);
    }
}

void SingleInstance::setAnswerer(VerbServer::Answerer answer)
{
    answerer = std::move(answer);
    if (server)
        server->setAnswerer(answerer);
}

bool SingleInstance::lockHeld() const
{
    qint64 pid = 0;
    QString host, application;
    if (!QLockFile(lockPath).getLockInfo(&pid, &host, &application))
        return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true; // another machine's: no telling
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    // The number of a Pellmar that crashed (or of one before a reboot, in
    // the cache folder) may since have gone to another program.
    const QByteArray name = processName(QByteArray::number(pid));
    return name.isEmpty() || name == processName("self");
}

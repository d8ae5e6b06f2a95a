#include "TerminalPrompt.h"

#include <QByteArray>
#include <csignal>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {

termios savedTerminal{};
constexpr int Signals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};
struct sigaction savedActions[std::size(Signals)]{};

// A signal while the echo is off gives the terminal back as it was, then
// takes its usual course.
void restoreAndRaise(int number) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    signal(number, SIG_DFL);
    raise(number);
}

void writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(STDERR_FILENO, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace

namespace TerminalPrompt {

std::optional<QString> readSecret(const QString& prompt) {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
        return std::nullopt;
    for (size_t i = 0; i < std::size(Signals); ++i) {
        struct sigaction action {};
        action.sa_handler = restoreAndRaise;
        sigemptyset(&action.sa_mask);
        sigaction(Signals[i], &action, &savedActions[i]);
    }
    termios silent = savedTerminal;
    silent.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL);
    silent.c_lflag |= ICANON;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    writeAll(prompt.toUtf8());

    // A line of the canonical terminal: at most a few kilobytes.
    QByteArray line;
    bool complete = false;
    for (int i = 0; i < 65536; ++i) {
        char c = 0;
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n <= 0)
            break;
        if (c == '\n') {
            complete = true;
            break;
        }
        line.append(c);
    }
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    for (size_t i = 0; i < std::size(Signals); ++i)
        sigaction(Signals[i], &savedActions[i], nullptr);
    writeAll("\n");
    if (!complete)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

std::optional<QString> readLine(const QString& prompt) {
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    writeAll(prompt.toUtf8());
    QByteArray line;
    for (int i = 0; i < 65536; ++i) {
        char c = 0;
        if (read(STDIN_FILENO, &c, 1) <= 0)
            return std::nullopt;
        if (c == '\n')
            break;
        line.append(c);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace TerminalPrompt

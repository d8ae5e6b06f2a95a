#include "CliArguments.h"
#include "CliSession.h"
#include "TerminalText.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // The plain UNIX event dispatcher costs far fewer system calls per event
    // than GLib's, which a transfer pays on every block; the command line
    // needs nothing GLib offers. Read when the application object is made.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krellin-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    CliParseResult parsed = CliArguments::parse(app.arguments().mid(1));
    if (parsed.help) {
        out << CliArguments::usage();
        return 0;
    }
    if (parsed.version) {
        out << CliArguments::version();
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        err << "krellin-cli: " << TerminalText::escape(parsed.error) << '\n'
            << CliArguments::shortUsage();
        return 2;
    }
    parsed.options.errIsTerminal = isatty(STDERR_FILENO);
    parsed.options.inIsTerminal = isatty(STDIN_FILENO);
    CliSession session(parsed.options, out, err);
    return session.run();
}

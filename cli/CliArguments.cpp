#include "CliArguments.h"

#include "Conflict.h"
#include "KrellinVersion.h"
#include "LocalName.h"
#include "TlsPeer.h"

#include <QHash>

namespace {

struct Arity {
    int min;
    int max;
    const char* synopsis;
};

const QHash<QString, Arity>& commandTable() {
    static const QHash<QString, Arity> table = {
        {QStringLiteral("ls"), {0, 0, "ls [--json]"}},
        {QStringLiteral("pwd"), {0, 0, "pwd"}},
        {QStringLiteral("cd"), {1, 1, "cd DIR"}},
        {QStringLiteral("up"), {0, 0, "up"}},
        {QStringLiteral("get"), {1, 2, "get [--resume] [-r] REMOTE [LOCAL]"}},
        {QStringLiteral("put"), {1, 2, "put [--resume] [-r] LOCAL [REMOTE]"}},
        {QStringLiteral("mget"), {1, 10000, "mget PATTERN..."}},
        {QStringLiteral("mput"), {1, 10000, "mput PATTERN..."}},
        {QStringLiteral("mkdir"), {1, 1, "mkdir NAME"}},
        {QStringLiteral("rmdir"), {1, 1, "rmdir NAME"}},
        {QStringLiteral("rm"), {1, 1, "rm NAME"}},
        {QStringLiteral("mv"), {2, 2, "mv OLD NEW"}},
    };
    return table;
}

bool isWordBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

} // namespace

namespace CliArguments {

std::optional<QStringList> splitWords(const QString& text, QString* error) {
    enum class Quote { None, Single, Double };
    QStringList words;
    QString word;
    bool inWord = false; // "" is a word of its own
    Quote quote = Quote::None;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (quote) {
        case Quote::Single:
            if (c == QLatin1Char('\''))
                quote = Quote::None;
            else
                word.append(c);
            break;
        case Quote::Double:
            if (c == QLatin1Char('"')) {
                quote = Quote::None;
            } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                       QStringLiteral("\"\\$`").contains(text[i + 1])) {
                word.append(text[++i]);
            } else {
                word.append(c);
            }
            break;
        case Quote::None:
            if (isWordBreak(c)) {
                if (inWord)
                    words.append(word);
                word.clear();
                inWord = false;
            } else if (c == QLatin1Char('\'')) {
                quote = Quote::Single;
                inWord = true;
            } else if (c == QLatin1Char('"')) {
                quote = Quote::Double;
                inWord = true;
            } else if (c == QLatin1Char('\\')) {
                if (i + 1 >= text.size()) {
                    if (error)
                        *error = QStringLiteral("trailing backslash in \"%1\"").arg(text);
                    return std::nullopt;
                }
                word.append(text[++i]);
                inWord = true;
            } else {
                word.append(c);
                inWord = true;
            }
            break;
        }
    }
    if (quote != Quote::None) {
        if (error)
            *error = QStringLiteral("unterminated quote in \"%1\"").arg(text);
        return std::nullopt;
    }
    if (inWord)
        words.append(word);
    return words;
}

std::optional<CliCommand> makeCommand(QStringList words, QString* error) {
    auto fail = [error](const QString& text) -> std::optional<CliCommand> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (words.isEmpty())
        return fail(QStringLiteral("empty command"));
    CliCommand command;
    command.name = words.takeFirst();
    const auto known = commandTable().constFind(command.name);
    if (known == commandTable().constEnd())
        return fail(QStringLiteral("unknown command \"%1\"").arg(command.name));

    // Flags come before the names; "--" ends them, so a name may start with "-".
    bool flags = true;
    for (const QString& word : std::as_const(words)) {
        if (flags && word == QLatin1StringView("--")) {
            flags = false;
        } else if (flags && word == QLatin1StringView("--resume") &&
                   (command.name == u"get" || command.name == u"put" || command.name == u"mget" ||
                    command.name == u"mput")) {
            command.resume = true;
        } else if (flags && word == QLatin1StringView("-r") &&
                   (command.name == u"get" || command.name == u"put")) {
            command.recursive = true;
        } else if (flags && word == QLatin1StringView("--json") && command.name == u"ls") {
            command.json = true;
        } else if (flags && word.startsWith(QLatin1Char('-')) && word.size() > 1) {
            return fail(QStringLiteral("unknown option \"%1\" for %2 (use -- before a name "
                                       "that starts with \"-\")")
                            .arg(word, command.name));
        } else {
            flags = false;
            command.args.append(word);
        }
    }
    if (command.args.size() < known->min || command.args.size() > known->max)
        return fail(QStringLiteral("usage: %1").arg(QLatin1StringView(known->synopsis)));
    for (const QString& arg : std::as_const(command.args)) {
        if (arg.isEmpty())
            return fail(QStringLiteral("%1: an empty name").arg(command.name));
        if (arg.contains(QLatin1Char('\r')) || arg.contains(QLatin1Char('\n')) ||
            arg.contains(QChar(0)))
            return fail(QStringLiteral("%1: a name holds a line break or NUL").arg(command.name));
    }
    return command;
}

std::optional<QString> localNameFor(const QString& remote, QString* error) {
    QString why;
    auto name = LocalName::fromRemotePath(remote, &why);
    if (!name && error)
        *error = why + QStringLiteral("; name LOCAL");
    return name;
}

QString remoteNameFor(const QString& local) {
    return local.mid(local.lastIndexOf(QLatin1Char('/')) + 1);
}

namespace {

// "--name VALUE" or "--name=VALUE".
bool isValueOption(const QString& arg, const char* name) {
    const QLatin1StringView option(name);
    return arg == option || (arg.startsWith(option) && arg.mid(option.size()).startsWith('='));
}

// The value of the option at arguments[i]: after its "=", or the next
// argument (which i then moves to); nothing when it is missing.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i) {
    const QString& arg = arguments[i];
    const qsizetype equals = arg.indexOf(QLatin1Char('='));
    if (equals >= 0)
        return arg.mid(equals + 1);
    if (i + 1 < arguments.size())
        return arguments[++i];
    return std::nullopt;
}

} // namespace

CliParseResult parse(const QStringList& arguments) {
    CliParseResult result;
    CliOptions& options = result.options;
    auto fail = [&result](const QString& text) {
        result.error = text;
        return result;
    };

    // Options may stand anywhere, as in curl and lftp. The first other word
    // is the URL, the next the command's name; from there, what is no option
    // of krellin-cli belongs to the command (get --resume, rm -- -odd).
    QStringList commandTexts;
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool inCommand = positional.size() >= 2;
        if (optionsEnded || arg == QLatin1StringView("-") || !arg.startsWith(QLatin1Char('-'))) {
            positional.append(arg);
        } else if (arg == QLatin1StringView("--")) {
            if (inCommand) {
                positional += arguments.mid(i);
                break;
            }
            optionsEnded = true;
        } else if (arg == QLatin1StringView("--help") || arg == QLatin1StringView("-h")) {
            result.help = true;
            return result;
        } else if (arg == QLatin1StringView("--version") || arg == QLatin1StringView("-V")) {
            result.version = true;
            return result;
        } else if (arg == QLatin1StringView("--active")) {
            options.active = true;
        } else if (arg == QLatin1StringView("--ascii")) {
            options.ascii = true;
        } else if (arg == QLatin1StringView("-v") || arg == QLatin1StringView("--verbose")) {
            options.verbose = true;
        } else if (arg == QLatin1StringView("--progress")) {
            options.progress = true;
        } else if (arg == QLatin1StringView("-q") || arg == QLatin1StringView("--quiet")) {
            options.quiet = true;
        } else if (arg == QLatin1StringView("--json")) {
            options.json = true;
        } else if (isValueOption(arg, "--timeout")) {
            const auto value = optionValue(arguments, i);
            if (!value)
                return fail(QStringLiteral("--timeout needs a number of seconds"));
            bool ok = false;
            const int seconds = value->toInt(&ok);
            // The engine keeps its time-out in 16 bits.
            if (!ok || seconds < 1 || seconds > 32767)
                return fail(
                    QStringLiteral("--timeout wants whole seconds from 1 to 32767, not \"%1\"")
                        .arg(*value));
            options.timeoutSeconds = seconds;
        } else if (isValueOption(arg, "--parallel")) {
            const auto value = optionValue(arguments, i);
            bool ok = false;
            const int n = value ? value->toInt(&ok) : 0;
            if (!ok || n < 1 || n > 10)
                return fail(QStringLiteral("--parallel wants 1 to 10 connections"));
            options.parallel = n;
        } else if (arg == QLatin1StringView("--verify") ||
                   arg == QLatin1StringView("--no-verify")) {
            options.verify = arg == QLatin1StringView("--verify");
        } else if (arg == QLatin1StringView("--skip-existing")) {
            options.conflictPolicy = int(Conflict::Policy::Skip);
        } else if (arg == QLatin1StringView("--overwrite")) {
            options.conflictPolicy = int(Conflict::Policy::Overwrite);
        } else if (arg == QLatin1StringView("--resume") && !inCommand) {
            options.conflictPolicy = int(Conflict::Policy::Resume);
        } else if (arg == QLatin1StringView("--newer")) {
            options.conflictPolicy = int(Conflict::Policy::OverwriteIfNewer);
        } else if (arg == QLatin1StringView("--tls")) {
            options.tls = true;
        } else if (arg == QLatin1StringView("--insecure")) {
            options.insecure = true;
        } else if (isValueOption(arg, "--fingerprint")) {
            const auto value = optionValue(arguments, i);
            if (!value)
                return fail(QStringLiteral("--fingerprint needs SHA256:... of the certificate"));
            const auto fingerprint = platform::parseFingerprint(*value);
            if (!fingerprint)
                return fail(QStringLiteral("--fingerprint wants a SHA-256 fingerprint "
                                           "(SHA256: and 64 hex digits), not \"%1\"")
                                .arg(*value));
            options.fingerprint = *fingerprint;
        } else if (isValueOption(arg, "--netrc-file")) {
            const auto value = optionValue(arguments, i);
            if (!value || value->isEmpty())
                return fail(QStringLiteral("--netrc-file needs a file name"));
            options.netrcFile = *value;
        } else if (isValueOption(arg, "--password-env")) {
            const auto value = optionValue(arguments, i);
            if (!value || value->isEmpty())
                return fail(QStringLiteral("--password-env needs the name of a variable"));
            options.passwordEnv = *value;
        } else if (arg == QLatin1StringView("-o") || isValueOption(arg, "--output")) {
            const auto value = optionValue(arguments, i);
            if (!value || value->isEmpty())
                return fail(QStringLiteral("-o needs a file name (or - for standard output)"));
            options.output = *value;
        } else if (arg == QLatin1StringView("-c")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("-c needs a command"));
            commandTexts.append(arguments[++i]);
        } else if (inCommand) {
            positional.append(arg);
        } else {
            return fail(QStringLiteral("unknown option \"%1\"").arg(arg));
        }
    }
    if (positional.isEmpty())
        return fail(QStringLiteral("no URL given"));

    QString error;
    const QString urlText = positional.takeFirst();
    const auto url = FtpUrl::parse(urlText, &error);
    if (!url)
        return fail(error);
    options.url = *url;
    options.urlNamesDirectory = urlText.endsWith(QLatin1Char('/'));
    if (options.tls && options.url.security == FtpSecurity::Mode::Plain)
        options.url.security = FtpSecurity::Mode::ExplicitRequired;
    if ((!options.fingerprint.isEmpty() || options.insecure) &&
        options.url.security == FtpSecurity::Mode::Plain)
        return fail(QStringLiteral("--fingerprint and --insecure are for TLS: use ftpes://, "
                                   "ftps:// or --tls"));

    if (!commandTexts.isEmpty() && !positional.isEmpty())
        return fail(QStringLiteral("give commands either with -c or after the URL, not both"));
    for (const QString& text : std::as_const(commandTexts)) {
        const auto words = splitWords(text, &error);
        if (!words)
            return fail(error);
        const auto command = makeCommand(*words, &error);
        if (!command)
            return fail(error);
        options.commands.append(*command);
    }
    if (!positional.isEmpty()) {
        const auto command = makeCommand(positional, &error);
        if (!command)
            return fail(error);
        options.commands.append(*command);
    }
    if (options.commands.isEmpty()) {
        options.noCommand = true;
        options.commands.append(CliCommand{QStringLiteral("ls"), {}, false, false});
    }
    if (!options.output.isEmpty() && !options.noCommand) {
        // -o names the target of exactly one download, as curl's does.
        CliCommand& only = options.commands.first();
        if (options.commands.size() != 1 || only.name != u"get" || only.args.size() != 1)
            return fail(QStringLiteral("-o goes with one \"get REMOTE\" or a URL naming a file"));
        only.args.append(options.output);
    }
    return result;
}

QString version() {
    return QStringLiteral("krellin-cli " KRELLIN_VERSION "\n");
}

QString shortUsage() {
    return QStringLiteral("Usage: krellin-cli [OPTIONS] URL [COMMAND [ARG...]]\n"
                          "Try 'krellin-cli --help' for the commands and options.\n");
}

QString usage() {
    return QStringLiteral(
        "Usage: krellin-cli [OPTIONS] URL [COMMAND [ARG...]]\n"
        "  URL is ftp://[user[:password]@]host[:port][/path] (percent-encoded; no user\n"
        "  means anonymous; [::1]:2121 for IPv6). Without a command the directory is\n"
        "  listed, or the file the path names is downloaded. ftpes:// requires explicit\n"
        "  FTP over TLS, ftps:// is implicit TLS (port 990). Options may come anywhere;\n"
        "  after the command's name, -- ends them.\n"
        "  A password comes from the URL, else --password-env, else the netrc file\n"
        "  (machine, login, password; default), else a prompt on a terminal.\n"
        "Commands:\n"
        "  ls [--json]                     entries, tab-separated: type, size, date, mode,\n"
        "                                  owner, group, name, \"-> target\" for links\n"
        "  pwd | cd DIR | up\n"
        "  get [--resume] REMOTE [LOCAL]   LOCAL defaults to REMOTE's last component;\n"
        "                                  - writes to standard output\n"
        "  put [--resume] LOCAL [REMOTE]   REMOTE defaults to LOCAL's file name\n"
        "  get -r DIR [LOCAL] | put -r DIR [REMOTE]   a whole folder, through the queue\n"
        "  mget PATTERN... | mput PATTERN...  the files whose names match (* ? [...])\n"
        "                                  A queue run that was cut short (a crash, a\n"
        "                                  kill) goes on where it stopped when run again.\n"
        "  mkdir NAME | rmdir NAME | rm NAME | mv OLD NEW\n"
        "Options:\n"
        "  --active            active data connections (default passive)\n"
        "  --ascii             ASCII transfer type (default image)\n"
        "  --timeout SECONDS   inactivity limit of every wait (default 60)\n"
        "  --tls               require explicit FTP over TLS on an ftp:// URL\n"
        "  --fingerprint SHA256:HEX  accept only this server certificate (pinning)\n"
        "  --insecure          accept a certificate that cannot be verified (says so)\n"
        "  --json              ls prints a JSON array\n"
        "  --parallel N        connections for get -r, put -r, mget, mput (1-10, default 2)\n"
        "  --verify            prove each file by the server's checksum where it offers\n"
        "                      one (HASH, XSHA256, ...; the default); --no-verify: do not\n"
        "  --skip-existing | --overwrite | --resume | --newer\n"
        "                      a target that exists is skipped, replaced, completed, or\n"
        "                      replaced when the source is newer (queue commands);\n"
        "                      without one it is asked on a terminal, else it fails\n"
        "  -o FILE             where the download goes (- for standard output)\n"
        "  --netrc-file FILE   read log-ins from FILE instead of ~/.netrc\n"
        "  --password-env NAME the password is the value of the variable NAME\n"
        "  -v                  session log on stderr (> sent, < reply, ! error reply, * note)\n"
        "  -q                  no progress meter\n"
        "  --progress          a progress meter even when stderr is no terminal (on a\n"
        "                      terminal it is on by default)\n"
        "  -c \"COMMAND ARGS\"   run several commands in order, stopping at the first\n"
        "                      failure; quote names with blanks as in a shell\n"
        "  --help              this text\n"
        "  --version           the version\n"
        "Control characters in the server's text are shown as \\t \\n \\r \\xHH \\u00HH, a\n"
        "backslash as \\\\; ls --json gives names exactly.\n"
        "Exit status: 0 success, 1 a command failed, 2 usage error.\n");
}

} // namespace CliArguments
